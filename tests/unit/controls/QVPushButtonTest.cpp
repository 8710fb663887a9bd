#include "QVPushButton.h"
#include "QVControlsTestSupport.h"
#include "QVInstantPushButtonCell.h"
#include "QVPopupMenuPushButton.h"
#include "QVPushButtonCell.h"
#include "QVPushButtonCellListener.h"
#include "QVPushButtonTextCell.h"
#include "QVTextPushButton.h"

#include <gtest/gtest.h>

#include <QFontMetricsF>
#include <QMenu>
#include <QSignalSpy>

#include <memory>

using namespace QVControlsTest;

namespace {

const QColor kNormal(200, 0, 0);
const QColor kHover(0, 200, 0);
const QColor kPush(0, 0, 200);
const QColor kDisabled(200, 0, 200);
const QColor kInactive(0, 200, 200);

// Records each call as "over", "out", "down" or "up" with the button it names.
class RecordingListener : public QVPushButtonCellListener
{
public:
    void onPushButtonCellMouseOver(QVPushButton* button) override { record("over", button); }
    void onPushButtonCellMouseOut(QVPushButton* button) override { record("out", button); }
    void onPushButtonCellMouseDown(QVPushButton* button) override { record("down", button); }
    void onPushButtonCellMouseUp(QVPushButton* button) override { record("up", button); }
    void record(const char* call, QVPushButton* button)
    {
        calls.append(QString::fromLatin1(call));
        lastButton = button;
    }

    QStringList calls;
    QVPushButton* lastButton = nullptr;
};

// The first and last columns where anything was drawn, or -1.
std::pair<int, int> inkColumns(const QImage& image)
{
    std::pair<int, int> columns { -1, -1 };
    for (int x = 0; x < image.width(); ++x) {
        for (int y = 0; y < image.height(); ++y) {
            if (image.pixelColor(x, y).alpha() > 0) {
                columns = { columns.first < 0 ? x : columns.first, x };
                break;
            }
        }
    }
    return columns;
}

class QVPushButtonTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        window.resize(100, 60);
        button = new QVPushButton(&window);
        button->setGeometry(10, 10, 20, 20);
        activate(&window);
    }
    void TearDown() override { deactivateAll(); }

    static void setAllImages(QVPushButton* target)
    {
        target->setImage(QVImage(solid(kNormal)));
        target->setHoverImage(QVImage(solid(kHover)));
        target->setPushImage(QVImage(solid(kPush)));
        target->setDisabledImage(QVImage(solid(kDisabled)));
        target->setInactiveImage(QVImage(solid(kInactive)));
        target->setInactiveHoverImage(QVImage(solid(kHover)));
    }
    QColor shown(QVPushButton* target = nullptr) { return pixel(target ? target : button, QPoint(5, 5)); }

    QWidget window;
    QVPushButton* button = nullptr;
};

TEST_F(QVPushButtonTest, EachStateShowsItsImage)
{
    setAllImages(button);
    EXPECT_EQ(shown(), kNormal);
    enter(button);
    EXPECT_EQ(shown(), kHover);
    mouse(button, QEvent::MouseButtonPress);
    EXPECT_EQ(shown(), kPush);
    // Dragged off while held: tracking stops, and comes back with the pointer.
    mouse(button, QEvent::MouseMove, QPointF(50, 50));
    EXPECT_EQ(shown(), kNormal);
    mouse(button, QEvent::MouseMove, QPointF(3, 3));
    EXPECT_EQ(shown(), kPush);
    mouse(button, QEvent::MouseButtonRelease);
    // The end of a click clears the hover look until the pointer comes in again.
    EXPECT_EQ(shown(), kNormal);

    button->setEnabled(false);
    EXPECT_EQ(shown(), kDisabled);
    button->setDisabledImage(QVImage());
    EXPECT_EQ(shown().alpha(), 0) << "a disabled button without a disabled image draws nothing";
}

TEST_F(QVPushButtonTest, ListenerHearsThePointerAndClicksStillFire)
{
    RecordingListener listener;
    button->setPushButtonCellListener(&listener);
    QSignalSpy clicked(button, &QAbstractButton::clicked);
    enter(button);
    click(button);
    leave(button);
    EXPECT_EQ(listener.calls, QStringList({ "over", "down", "up", "out", "out" }));
    EXPECT_EQ(listener.lastButton, button);
    EXPECT_EQ(clicked.count(), 1);

    // Released off the button: tracking ended when it left, and no click.
    listener.calls.clear();
    mouse(button, QEvent::MouseButtonPress);
    mouse(button, QEvent::MouseMove, QPointF(60, 60));
    mouse(button, QEvent::MouseButtonRelease, QPointF(60, 60));
    EXPECT_EQ(listener.calls, QStringList({ "down", "up", "out" }));
    EXPECT_EQ(clicked.count(), 1);

    // Other buttons do not track.
    listener.calls.clear();
    mouse(button, QEvent::MouseButtonPress, QPointF(2, 2), Qt::RightButton);
    EXPECT_TRUE(listener.calls.isEmpty());
}

TEST_F(QVPushButtonTest, ListenerLifetimeIsSafeBothWays)
{
    {
        RecordingListener gone;
        button->setPushButtonCellListener(&gone);
    }
    EXPECT_EQ(button->cell()->pushButtonCellListener(), nullptr);
    enter(button);
    click(button);

    // A listener that deletes the button on mouse-up stops the handling there.
    struct Closer : QVPushButtonCellListener {
        void onPushButtonCellMouseUp(QVPushButton* target) override { delete target; }
    } closer;
    QPointer<QVPushButton> watched(button);
    button->setPushButtonCellListener(&closer);
    QSignalSpy clicked(button, &QAbstractButton::clicked);
    click(button);
    EXPECT_TRUE(watched.isNull());
    EXPECT_EQ(clicked.count(), 0);
}

TEST_F(QVPushButtonTest, InstantCellHidesHoverAfterClickUntilThePointerLeaves)
{
    auto* plain = new QVPushButton(&window);
    plain->setGeometry(40, 10, 20, 20);
    button->setCell(std::make_unique<QVInstantPushButtonCell>());
    for (QVPushButton* target : { button, plain }) {
        setAllImages(target);
        enter(target);
        click(target);
        // The pointer is reported inside again (the button's look changed under it).
        enter(target);
    }
    EXPECT_EQ(shown(button), kNormal);
    EXPECT_EQ(shown(plain), kHover);
    mouse(button, QEvent::MouseButtonPress);
    EXPECT_EQ(shown(button), kPush);
    mouse(button, QEvent::MouseButtonRelease);
    leave(button);
    enter(button);
    EXPECT_EQ(shown(button), kHover);

    // In a background window the inactive image stands in for the inactive
    // hover one, even when one image serves both hover looks.
    const QVImage shared(solid(kHover));
    button->setHoverImage(shared);
    button->setInactiveHoverImage(shared);
    click(button);
    enter(button);
    deactivateAll();
    EXPECT_TRUE(sameRgb(shown(button), kInactive));
    QApplication::setActiveWindow(&window);
    EXPECT_EQ(shown(button), kNormal);
}

TEST_F(QVPushButtonTest, MissingImagesAndCellsDrawNothing)
{
    button->setActiveImageByName(QStringLiteral("no_such_image"));
    EXPECT_EQ(shown().alpha(), 0);
    // Without a cell every setter and the pointer do nothing.
    button->setCell(nullptr);
    button->setImage(QVImage(solid(kNormal)));
    enter(button);
    click(button);
    EXPECT_EQ(shown().alpha(), 0);
}

TEST_F(QVPushButtonTest, PopupButtonOpensItsMenuOnLeftClick)
{
    auto* popup = new QVPopupMenuPushButton(&window);
    popup->setGeometry(10, 30, 20, 20);
    QSignalSpy clicked(popup, &QAbstractButton::clicked);
    // Without a menu it is a push button.
    click(popup);
    EXPECT_EQ(clicked.count(), 1);

    QMenu menu;
    menu.addAction(QStringLiteral("Item"));
    popup->setMenu(&menu);
    mouse(popup, QEvent::MouseButtonPress);
    EXPECT_TRUE(menu.isVisible());
    EXPECT_TRUE(popup->isDown());
    EXPECT_GE(menu.pos().y(), popup->mapToGlobal(QPoint(0, popup->height())).y()) << "below the button";
    menu.hide();
    EXPECT_FALSE(popup->isDown());
    EXPECT_EQ(clicked.count(), 1);

    // No context menu, and nothing while disabled.
    QContextMenuEvent context(QContextMenuEvent::Mouse, QPoint(2, 2), popup->mapToGlobal(QPoint(2, 2)));
    QApplication::sendEvent(popup, &context);
    EXPECT_FALSE(menu.isVisible());
    popup->setEnabled(false);
    mouse(popup, QEvent::MouseButtonPress);
    EXPECT_FALSE(menu.isVisible());
}

TEST_F(QVPushButtonTest, TextButtonTitlesAreCutToTheButtonAndShortOnesCentred)
{
    window.resize(300, 80);
    auto* text = new QVTextPushButton(&window);
    text->setGeometry(100, 10, 40, 20);
    QVPushButtonTextCell* cell = text->textCell();
    cell->setShouldUseTextShadow(false);
    text->setFontSize(12);
    const QString longTitle = QStringLiteral("A title far too long for a forty-point button");
    text->setTitle(longTitle);
    const QString shown = cell->displayedTitle(40);
    EXPECT_TRUE(shown.endsWith(QChar(0x2026)));
    EXPECT_LT(shown.size(), longTitle.size());
    EXPECT_LE(QFontMetricsF(cell->_attributedTitleString().font).horizontalAdvance(shown), 40.0);
    // Not even the ellipsis fits: nothing is drawn.
    EXPECT_TRUE(cell->displayedTitle(2).isEmpty());
    text->resize(2, 20);
    EXPECT_EQ(inkColumns(snapshot(text)).first, -1);

    text->resize(120, 30);
    cell->setShouldUseCustomTextYOffset(false);
    text->setTitle(QStringLiteral("Play"));
    const auto [first, last] = inkColumns(snapshot(text));
    ASSERT_GE(first, 0);
    EXPECT_NEAR((first + last) / 2.0, 60.0, 3.0);
}

} // namespace
