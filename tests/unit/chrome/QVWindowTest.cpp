#include "QVWindow.h"
#include "../controls/QVControlsTestSupport.h"
#include "QVConstants.h"
#include "QVNotificationCenter.h"
#include "QVPushButton.h"
#include "QVTitlebarView.h"
#include "QVTrafficLightView.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QNativeGestureEvent>
#include <QPointingDevice>
#include <QPushButton>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <QWheelEvent>
#include <QWindow>

#include <memory>

using namespace QVControlsTest;

namespace {

void scroll(QWidget* target, QPoint pixels, Qt::ScrollPhase phase)
{
    QWheelEvent event(QPointF(50, 50), QPointF(50, 50), pixels, pixels * 8 / 15, Qt::NoButton, Qt::NoModifier,
        phase, false);
    QApplication::sendEvent(target, &event);
}

// Two fingers: begin, `steps` updates of `pixels`, end.
void swipe(QWidget* target, QPoint pixels, int steps = 5)
{
    scroll(target, QPoint(), Qt::ScrollBegin);
    for (int i = 0; i < steps; ++i)
        scroll(target, pixels, Qt::ScrollUpdate);
    scroll(target, QPoint(), Qt::ScrollEnd);
}

void gesture(QVWindow* window, Qt::NativeGestureType type, QPointF delta = QPointF(), qreal angle = 0)
{
    QNativeGestureEvent event(type, QPointingDevice::primaryPointingDevice(), 3, QPointF(50, 50),
        QPointF(50, 50), QPointF(50, 50), angle, delta);
    QApplication::sendEvent(window->windowHandle(), &event);
}

class TestWindow : public QVWindow
{
public:
    bool shouldUseSubscriptionBadging() const override { return badging; }
    bool supportsNavigationSwipeGestures() const override { return navigates; }
    void goBack() override
    {
        ++backs;
        QVWindow::goBack();
    }
    void goForward() override
    {
        ++forwards;
        QVWindow::goForward();
    }
    void adjustForFullScreenMode() override
    {
        ++fullScreenAdjustments;
        QVWindow::adjustForFullScreenMode();
    }
    void adjustForRegularScreenMode() override
    {
        ++regularAdjustments;
        QVWindow::adjustForRegularScreenMode();
    }

    bool badging = false;
    bool navigates = false;
    int fullScreenAdjustments = 0;
    int regularAdjustments = 0;
    int backs = 0;
    int forwards = 0;
};

// Records the navigation the window asks of its web view.
class RecordingPage : public QWebEnginePage
{
public:
    using QWebEnginePage::QWebEnginePage;
    void triggerAction(WebAction action, bool checked = false) override
    {
        if (action == Back || action == Forward)
            actions.append(action);
        else
            QWebEnginePage::triggerAction(action, checked);
    }
    QList<WebAction> actions;
};

class QVWindowTest : public ::testing::Test
{
protected:
    void SetUp() override { window->resize(400, 300); }
    void TearDown() override
    {
        QVNotificationCenter::defaultCenter()->removeObserver(this);
        deactivateAll();
    }

    std::unique_ptr<TestWindow> window = std::make_unique<TestWindow>();
};

TEST_F(QVWindowTest, FullScreenButtonAndAccountButtonFollowTheHooks)
{
    window->badging = true;
    activate(window.get());
    QVTitlebarView* bar = window->_titleBarView();
    auto* account = new QPushButton(QStringLiteral("Account"));
    bar->setSubscriptionButtonView(account);
    EXPECT_TRUE(bar->fullScreenButton()->isHidden());

    // Full-screen primary together with another flag does not count.
    window->setCollectionBehavior(
        QVWindow::CollectionBehaviorFullScreenPrimary | QVWindow::CollectionBehaviorFullScreenAuxiliary);
    EXPECT_FALSE(window->supportsFullScreenMode());
    window->setCollectionBehavior(QVWindow::CollectionBehaviorFullScreenPrimary);
    bar->updateSubscriptionButtonLocation();
    EXPECT_FALSE(bar->fullScreenButton()->isHidden());
    EXPECT_LT(account->geometry().right(), bar->fullScreenButton()->geometry().left()) << "no overlap";

    window->badging = false;
    bar->updateSubscriptionButtonLocation();
    EXPECT_TRUE(account->isHidden());

    // The layout is adjusted once per change, whether the button or the window manager asks.
    const int regularHeight = bar->height();
    bar->fullScreenButton()->click();
    EXPECT_TRUE(window->isInFullScreenMode());
    EXPECT_FALSE(bar->shouldDrawWindowTitle());
    window->toggleFullScreen();
    EXPECT_FALSE(window->isInFullScreenMode());
    window->setWindowState(window->windowState() | Qt::WindowFullScreen);
    EXPECT_LT(bar->height(), regularHeight);
    window->setWindowState(window->windowState() & ~Qt::WindowFullScreen);
    EXPECT_EQ(window->fullScreenAdjustments, 2);
    EXPECT_EQ(window->regularAdjustments, 2);
    EXPECT_EQ(window->contentView()->geometry().top(), regularHeight);
}

TEST_F(QVWindowTest, TitleBarMovesAndZoomsTheWindow)
{
    activate(window.get());
    window->move(100, 100);
    QVTitlebarView* bar = window->_titleBarView();
    // Offscreen there is no window manager to move it: the bar moves it by hand.
    QTest::mousePress(bar, Qt::LeftButton, Qt::NoModifier, QPoint(100, 10));
    QTest::mouseMove(bar, QPoint(140, 25));
    QTest::mouseRelease(bar, Qt::LeftButton, Qt::NoModifier, QPoint(100, 10));
    EXPECT_EQ(window->pos(), QPoint(140, 115));

    QTest::mouseDClick(bar, Qt::LeftButton, Qt::NoModifier, QPoint(100, 10));
    EXPECT_TRUE(window->windowState() & Qt::WindowMaximized);
    QTest::mouseDClick(bar, Qt::LeftButton, Qt::NoModifier, QPoint(100, 10));
    EXPECT_FALSE(window->windowState() & Qt::WindowMaximized);

    // Flat look: zoom is full screen; with Alt it maximises. Close hides.
    QApplication::setQuitOnLastWindowClosed(false);
    QVTrafficLightView* lights = bar->trafficLightsView();
    lights->zoomButton()->click();
    EXPECT_TRUE(window->windowState() & Qt::WindowFullScreen);
    lights->zoomButton()->click();
    EXPECT_FALSE(window->windowState() & Qt::WindowFullScreen);
    lights->setAltState(true);
    lights->zoomButton()->click();
    EXPECT_TRUE(window->windowState() & Qt::WindowMaximized);
    lights->setAltState(false);
    lights->minButton()->click();
    EXPECT_TRUE(window->windowState() & Qt::WindowMinimized);
    window->showNormal();
    lights->closeButton()->click();
    EXPECT_FALSE(window->isVisible());
}

TEST_F(QVWindowTest, ResizeEdges)
{
    window->resize(200, 100);
    const QList<std::pair<QPoint, Qt::Edges>> cases { { { 0, 0 }, Qt::LeftEdge | Qt::TopEdge },
        { { 199, 99 }, Qt::RightEdge | Qt::BottomEdge }, { { 100, 98 }, Qt::BottomEdge },
        { { 2, 50 }, Qt::LeftEdge }, { { 100, 50 }, Qt::Edges() }, { { 300, 50 }, Qt::Edges() } };
    for (const auto& [at, edges] : cases)
        EXPECT_EQ(window->resizeEdgesAt(at), edges) << at.x() << "," << at.y();

    // A fixed width leaves only the height; fixed or maximised, no edge.
    window->setFixedWidth(200);
    EXPECT_EQ(window->resizeEdgesAt(QPoint(0, 0)), Qt::TopEdge);
    window->setFixedSize(200, 100);
    EXPECT_EQ(window->resizeEdgesAt(QPoint(0, 0)), Qt::Edges());
    window->setMinimumSize(10, 10);
    window->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    window->setWindowState(Qt::WindowMaximized);
    EXPECT_EQ(window->resizeEdgesAt(QPoint(0, 0)), Qt::Edges());
}

TEST_F(QVWindowTest, TextFieldLosingFocusIsAnnouncedForThisWindowOnly)
{
    QList<QObject*> senders;
    QVNotificationCenter::defaultCenter()->addObserver(this,
        QString::fromLatin1(QVTextFieldDidResignFirstResponderNotification),
        [&](const QVNotification& notification) { senders.append(notification.object); });
    QWidget foreign;
    for (QWidget* parent : { window->contentView(), &foreign }) {
        SCOPED_TRACE(parent == &foreign ? "another window" : "this window");
        senders.clear();
        auto* field = new QLineEdit(parent);
        auto* other = new QPushButton(parent);
        other->setFocusPolicy(Qt::StrongFocus);
        activate(parent->window());
        field->setFocus(Qt::MouseFocusReason);
        other->setFocus(Qt::TabFocusReason);
        // A button losing focus is no text field.
        other->clearFocus();
        EXPECT_EQ(senders, parent == &foreign ? QList<QObject*>() : QList<QObject*>({ window.get() }));
    }

    // Another window taking the input does not end the editing.
    activate(window.get());
    window->contentView()->findChild<QLineEdit*>()->setFocus(Qt::MouseFocusReason);
    senders.clear();
    activate(&foreign);
    EXPECT_TRUE(senders.isEmpty());
}

TEST_F(QVWindowTest, BackAndForwardMouseButtonsNavigateTheWebView)
{
    window->navigates = true;
    auto* view = new QWebEngineView(window->contentView());
    auto* page = new RecordingPage(view);
    view->setPage(page);
    window->setWebView(view);
    auto* child = new QWidget(window->contentView());
    activate(window.get());

    mouse(child, QEvent::MouseButtonPress, QPointF(5, 5), Qt::BackButton);
    mouse(child, QEvent::MouseButtonRelease, QPointF(5, 5), Qt::BackButton);
    mouse(view, QEvent::MouseButtonPress, QPointF(5, 5), Qt::ForwardButton);
    mouse(view, QEvent::MouseButtonDblClick, QPointF(5, 5), Qt::ForwardButton);
    EXPECT_EQ(page->actions,
        QList<QWebEnginePage::WebAction>(
            { QWebEnginePage::Back, QWebEnginePage::Forward, QWebEnginePage::Forward }));

    // Other buttons and other windows are left alone; so is a window that does not navigate.
    QWidget elsewhere;
    mouse(&elsewhere, QEvent::MouseButtonPress, QPointF(5, 5), Qt::BackButton);
    mouse(child, QEvent::MouseButtonPress, QPointF(5, 5), Qt::MiddleButton);
    window->navigates = false;
    mouse(child, QEvent::MouseButtonPress, QPointF(5, 5), Qt::BackButton);
    EXPECT_EQ(page->actions.size(), 3);

    // The view going away leaves navigation a no-op.
    window->navigates = true;
    delete view;
    mouse(child, QEvent::MouseButtonPress, QPointF(5, 5), Qt::BackButton);
    EXPECT_EQ(window->backs, 2);
}

TEST_F(QVWindowTest, TouchpadSwipesNavigate)
{
    window->navigates = true;
    activate(window.get());

    // Two fingers sideways, past the distance: scrolling toward the left goes back.
    swipe(window.get(), QPoint(30, 2));
    swipe(window.get(), QPoint(-30, 0));
    // Too short, or begun vertically, or a mouse wheel: nothing.
    swipe(window.get(), QPoint(60, 0), 1);
    scroll(window.get(), QPoint(), Qt::ScrollBegin);
    scroll(window.get(), QPoint(1, 20), Qt::ScrollUpdate);
    for (int i = 0; i < 5; ++i)
        scroll(window.get(), QPoint(40, 0), Qt::ScrollUpdate);
    scroll(window.get(), QPoint(), Qt::ScrollEnd);
    for (int i = 0; i < 5; ++i)
        scroll(window.get(), QPoint(40, 0), Qt::NoScrollPhase);
    EXPECT_EQ(window->backs, 1);
    EXPECT_EQ(window->forwards, 1);

    // Three fingers moving together: to the right is back, to the left forward, steeply neither.
    for (const QPointF delta : { QPointF(150, 5), QPointF(-150, 0), QPointF(100, 160) }) {
        gesture(window.get(), Qt::BeginNativeGesture);
        gesture(window.get(), Qt::PanNativeGesture, delta);
        gesture(window.get(), Qt::EndNativeGesture);
    }
    // A swipe's angle: mostly sideways navigates, a small sideways part does not.
    gesture(window.get(), Qt::SwipeNativeGesture);
    gesture(window.get(), Qt::SwipeNativeGesture, QPointF(), 70);
    EXPECT_EQ(window->backs, 3);
    EXPECT_EQ(window->forwards, 2);

    // Windows that do not navigate ignore it all.
    window->navigates = false;
    swipe(window.get(), QPoint(30, 0));
    gesture(window.get(), Qt::SwipeNativeGesture);
    EXPECT_EQ(window->backs, 3);
}

} // namespace
