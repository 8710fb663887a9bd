#include "QVWindow.h"
#include "QVConstants.h"
#include "QVImage.h"
#include "QVNavigationBarView.h"
#include "QVNotificationCenter.h"
#include "QVPushButton.h"
#include "QVPushButtonCell.h"
#include "QVTitlebarView.h"
#include "QVTrafficLightView.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QNativeGestureEvent>
#include <QPointingDevice>
#include <QPushButton>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <QWheelEvent>
#include <QWindow>

#include <memory>

namespace {

void activate(QWidget* window)
{
    window->show();
    QApplication::setActiveWindow(window);
    QCoreApplication::processEvents();
}

void deactivateAll()
{
    QApplication::setActiveWindow(nullptr);
    QCoreApplication::processEvents();
}

void mouse(QObject* target, QEvent::Type type, QPointF at, Qt::MouseButton button = Qt::LeftButton,
    QPointF global = QPointF(-1, -1))
{
    const QPointF globalAt = global == QPointF(-1, -1) ? at : global;
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton
        : type == QEvent::MouseMove                                  ? Qt::MouseButtons(button)
                                                                     : Qt::MouseButtons(button);
    QMouseEvent event(
        type, at, globalAt, type == QEvent::MouseMove ? Qt::NoButton : button, held, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

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

void pan(QVWindow* window, Qt::NativeGestureType type, QPointF delta = QPointF())
{
    QNativeGestureEvent event(type, QPointingDevice::primaryPointingDevice(), 3, QPointF(50, 50),
        QPointF(50, 50), QPointF(50, 50), 0, delta);
    QApplication::sendEvent(window->windowHandle(), &event);
}

// A window with every feature switch open to the test.
class TestWindow : public QVWindow
{
public:
    bool shouldUseCustomTitlebar() const override { return customTitlebar; }
    bool shouldUseUnifiedBackground() const override { return unified; }
    bool shouldUseSubscriptionBadging() const override { return badging; }
    bool supportsNavigationSwipeGestures() const override { return navigates; }

    bool customTitlebar = true;
    bool unified = false;
    bool badging = false;
    bool navigates = false;

    QStringList activations;
    int fullScreenAdjustments = 0;
    int regularAdjustments = 0;
    int backs = 0;
    int forwards = 0;

    // Navigation through the base class, counted on the way.
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

protected:
    void becomeKeyWindow() override { activations.append(QStringLiteral("becomeKey")); }
    void resignKeyWindow() override { activations.append(QStringLiteral("resignKey")); }
    void becomeMainWindow() override { activations.append(QStringLiteral("becomeMain")); }
    void resignMainWindow() override { activations.append(QStringLiteral("resignMain")); }
};

class QVWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        window = std::make_unique<TestWindow>();
        window->resize(400, 300);
    }
    void TearDown() override
    {
        QVNotificationCenter::defaultCenter()->removeObserver(this);
        deactivateAll();
    }

    std::unique_ptr<TestWindow> window;
};

TEST_F(QVWindowTest, FullScreenAndAccountButtonsFollowTheHooks)
{
    window->badging = true;
    activate(window.get());
    QVTitlebarView* bar = window->_titleBarView();
    auto* account = new QPushButton(QStringLiteral("Account"));
    bar->setSubscriptionButtonView(account);
    EXPECT_TRUE(bar->fullScreenButton()->isHidden());
    const int accountLeft = account->geometry().left();

    // Full-screen primary together with another flag does not count.
    window->setCollectionBehavior(
        QVWindow::CollectionBehaviorFullScreenPrimary | QVWindow::CollectionBehaviorFullScreenAuxiliary);
    EXPECT_FALSE(window->supportsFullScreenMode());
    EXPECT_TRUE(bar->fullScreenButton()->isHidden());

    window->setCollectionBehavior(QVWindow::CollectionBehaviorFullScreenPrimary);
    bar->updateSubscriptionButtonLocation();
    EXPECT_FALSE(bar->fullScreenButton()->isHidden());
    EXPECT_LT(account->geometry().right(), bar->fullScreenButton()->geometry().left());
    EXPECT_LT(account->geometry().left(), accountLeft);

    window->badging = false;
    bar->updateSubscriptionButtonLocation();
    EXPECT_TRUE(account->isHidden());
}

TEST_F(QVWindowTest, FullScreenShrinksTheTitleBarWhoeverAsks)
{
    window->setCollectionBehavior(QVWindow::CollectionBehaviorFullScreenPrimary);
    activate(window.get());
    QVTitlebarView* bar = window->_titleBarView();

    // The full-screen button toggles; the layout is adjusted once, beforehand.
    bar->fullScreenButton()->click();
    EXPECT_TRUE(window->isInFullScreenMode());
    EXPECT_EQ(window->fullScreenAdjustments, 1);
    EXPECT_EQ(bar->height(), 1);
    EXPECT_FALSE(bar->shouldDrawWindowTitle());
    window->toggleFullScreen();
    EXPECT_FALSE(window->isInFullScreenMode());
    EXPECT_EQ(window->regularAdjustments, 1);
    EXPECT_EQ(bar->height(), 22);

    // The window manager changing the state on its own is followed too.
    window->setWindowState(window->windowState() | Qt::WindowFullScreen);
    EXPECT_EQ(window->fullScreenAdjustments, 2);
    EXPECT_EQ(bar->height(), 1);
    window->setWindowState(window->windowState() & ~Qt::WindowFullScreen);
    EXPECT_EQ(window->regularAdjustments, 2);
    EXPECT_EQ(window->contentView()->geometry().top(), 22);
}

TEST_F(QVWindowTest, TitleBarMovesAndZoomsTheWindow)
{
    activate(window.get());
    window->move(100, 100);
    QVTitlebarView* bar = window->_titleBarView();
    // Offscreen there is no window manager to move it: the bar moves it by hand.
    const QPointF start(200, 110);
    mouse(bar, QEvent::MouseButtonPress, QPointF(100, 10), Qt::LeftButton, start);
    mouse(bar, QEvent::MouseMove, QPointF(100, 10), Qt::LeftButton, start + QPointF(30, 20));
    mouse(bar, QEvent::MouseMove, QPointF(100, 10), Qt::LeftButton, start + QPointF(40, 25));
    mouse(bar, QEvent::MouseButtonRelease, QPointF(100, 10), Qt::LeftButton, start + QPointF(40, 25));
    EXPECT_EQ(window->pos(), QPoint(140, 125));

    mouse(bar, QEvent::MouseButtonDblClick, QPointF(100, 10));
    EXPECT_TRUE(window->windowState() & Qt::WindowMaximized);
    mouse(bar, QEvent::MouseButtonDblClick, QPointF(100, 10));
    EXPECT_FALSE(window->windowState() & Qt::WindowMaximized);

    // The window buttons. Closing the only window must not end the test run.
    QApplication::setQuitOnLastWindowClosed(false);
    QVTrafficLightView* lights = bar->trafficLightsView();
    // Flat look: zoom is full screen; with Alt it maximises.
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

    window->setFixedWidth(200);
    EXPECT_EQ(window->resizeEdgesAt(QPoint(0, 0)), Qt::TopEdge);
    window->setFixedSize(200, 100);
    EXPECT_EQ(window->resizeEdgesAt(QPoint(0, 0)), Qt::Edges());
    window->setMinimumSize(10, 10);
    window->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    window->setWindowState(Qt::WindowMaximized);
    EXPECT_EQ(window->resizeEdgesAt(QPoint(0, 0)), Qt::Edges());
}

TEST_F(QVWindowTest, TextFieldLosingFocusIsAnnounced)
{
    QList<QObject*> senders;
    QVNotificationCenter::defaultCenter()->addObserver(this,
        QString::fromLatin1(QVTextFieldDidResignFirstResponderNotification),
        [&](const QVNotification& notification) { senders.append(notification.object); });
    auto* field = new QLineEdit(window->contentView());
    auto* other = new QPushButton(window->contentView());
    other->setFocusPolicy(Qt::StrongFocus);
    activate(window.get());

    field->setFocus(Qt::MouseFocusReason);
    other->setFocus(Qt::TabFocusReason);
    ASSERT_EQ(senders.size(), 1);
    EXPECT_EQ(senders.first(), window.get());

    // Another window taking the input does not end the editing; a button losing focus is no text field.
    field->setFocus(Qt::MouseFocusReason);
    senders.clear();
    QWidget elsewhere;
    activate(&elsewhere);
    EXPECT_TRUE(senders.isEmpty());
    activate(window.get());
    field->setFocus(Qt::MouseFocusReason);
    other->setFocus(Qt::TabFocusReason);
    other->clearFocus();
    EXPECT_EQ(senders.size(), 1);

    // A field in another window is that window's business.
    senders.clear();
    QWidget foreign;
    auto* foreignField = new QLineEdit(&foreign);
    auto* foreignOther = new QPushButton(&foreign);
    foreignOther->setFocusPolicy(Qt::StrongFocus);
    activate(&foreign);
    foreignField->setFocus(Qt::MouseFocusReason);
    foreignOther->setFocus(Qt::TabFocusReason);
    EXPECT_TRUE(senders.isEmpty());
}

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
    EXPECT_EQ(window->backs, 1);
    swipe(window.get(), QPoint(-30, 0));
    EXPECT_EQ(window->forwards, 1);

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
        pan(window.get(), Qt::BeginNativeGesture);
        pan(window.get(), Qt::PanNativeGesture, delta);
        pan(window.get(), Qt::EndNativeGesture);
    }
    EXPECT_EQ(window->backs, 2);
    EXPECT_EQ(window->forwards, 2);

    // A swipe's angle: mostly sideways navigates, a small sideways part does not.
    pan(window.get(), Qt::SwipeNativeGesture);
    EXPECT_EQ(window->backs, 3);
    QNativeGestureEvent steep(Qt::SwipeNativeGesture, QPointingDevice::primaryPointingDevice(), 3, QPointF(),
        QPointF(), QPointF(), 70, QPointF());
    QApplication::sendEvent(window->windowHandle(), &steep);
    EXPECT_EQ(window->backs, 3);
    EXPECT_EQ(window->forwards, 2);

    // Windows that do not navigate ignore it all.
    window->navigates = false;
    swipe(window.get(), QPoint(30, 0));
    pan(window.get(), Qt::SwipeNativeGesture);
    EXPECT_EQ(window->backs, 3);
}

} // namespace
