#include "QVTextPushButton.h"
#include "QVControlsTestSupport.h"
#include "QVPushButtonTextCell.h"
#include "QVUIConstantsService.h"

#include <gtest/gtest.h>

#include <QDialog>
#include <QFontMetricsF>
#include <QMenu>

#include <memory>

using namespace QVControlsTest;

namespace {

const QColor kCapOuter(220, 0, 0);
const QColor kCapInner(0, 220, 0);
const QColor kMiddle(0, 0, 220);
const QColor kHoverMiddle(220, 220, 0);
const QColor kPressedMiddle(0, 220, 220);
const QColor kInactiveMiddle(120, 120, 120);
const QColor kDisabledMiddle(220, 0, 220);

class QVTextPushButtonTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        window = std::make_unique<QWidget>();
        window->resize(300, 80);
        button = new QVTextPushButton(window.get());
        button->setGeometry(100, 10, 40, 20);
        cell = button->textCell();
        activate(window.get());
    }
    void TearDown() override { deactivateAll(); }

    // A cap whose outer half differs from its inner half, and one middle per state.
    void setBevel()
    {
        cell->setEndcapImage(QVImage(halves(kCapOuter, kCapInner)));
        cell->setBackgroundImage(QVImage(solid(kMiddle, QSize(4, 20))));
        cell->setHoverBackgroundImage(QVImage(solid(kHoverMiddle, QSize(4, 20))));
        cell->setPressedBackgroundImage(QVImage(solid(kPressedMiddle, QSize(4, 20))));
        cell->setInactiveBackgroundImage(QVImage(solid(kInactiveMiddle, QSize(4, 20))));
        cell->setDisabledBackgroundImage(QVImage(solid(kDisabledMiddle, QSize(4, 20))));
    }
    QColor middle() { return pixel(button, QPoint(20, 15)); }

    // The columns where anything but the bevel was drawn.
    std::pair<int, int> inkColumns(const QImage& image)
    {
        int first = -1;
        int last = -1;
        for (int x = 0; x < image.width(); ++x) {
            for (int y = 0; y < image.height(); ++y) {
                if (image.pixelColor(x, y).alpha() > 0) {
                    if (first < 0)
                        first = x;
                    last = x;
                    break;
                }
            }
        }
        return { first, last };
    }

    std::unique_ptr<QWidget> window;
    QVTextPushButton* button = nullptr;
    QVPushButtonTextCell* cell = nullptr;
};

TEST_F(QVTextPushButtonTest, BevelFollowsTheState)
{
    setBevel();
    EXPECT_EQ(middle(), kMiddle);
    enter(button);
    EXPECT_EQ(middle(), kHoverMiddle);
    mouse(button, QEvent::MouseButtonPress);
    EXPECT_EQ(middle(), kPressedMiddle);
    mouse(button, QEvent::MouseButtonRelease);
    button->setDown(true);
    EXPECT_EQ(middle(), kPressedMiddle) << "a highlighted button looks pressed";
    button->setDown(false);

    // A state without its own middle falls back to the normal one.
    cell->setPressedBackgroundImage(QVImage());
    button->setDown(true);
    EXPECT_EQ(middle(), kMiddle);
    button->setDown(false);

    deactivateAll();
    EXPECT_TRUE(sameRgb(middle(), kInactiveMiddle));
    button->setEnabled(false);
    EXPECT_TRUE(sameRgb(middle(), kDisabledMiddle));
}

TEST_F(QVTextPushButtonTest, LongTitlesAreCutToTheButtonAndShortOnesCentred)
{
    cell->setShouldUseTextShadow(false);
    button->setFontSize(12);
    const QString longTitle = QStringLiteral("A title far too long for a forty-point button");
    button->setTitle(longTitle);
    const QString shown = cell->displayedTitle(40);
    EXPECT_TRUE(shown.endsWith(QChar(0x2026)));
    EXPECT_LT(shown.size(), longTitle.size());
    EXPECT_LE(QFontMetricsF(cell->_attributedTitleString().font).horizontalAdvance(shown), 40.0);
    // Not even the ellipsis fits: nothing is drawn.
    EXPECT_TRUE(cell->displayedTitle(2).isEmpty());
    button->resize(2, 20);
    EXPECT_EQ(inkColumns(snapshot(button)).first, -1);

    // A short title sits in the middle of the button (with the fixed y offset, its
    // box starts 3 points above the top, so centre it vertically to see it whole).
    button->resize(120, 30);
    cell->setShouldUseCustomTextYOffset(false);
    button->setTitle(QStringLiteral("Play"));
    const QRectF box = cell->titleRect(QRectF(0, 0, 120, 30));
    EXPECT_NEAR(box.center().x(), 60.0, 0.01);
    EXPECT_NEAR(box.center().y(), 14.0, 0.01);
    const auto [first, last] = inkColumns(snapshot(button));
    ASSERT_GE(first, 0);
    EXPECT_NEAR((first + last) / 2.0, 60.0, 3.0);
    EXPECT_GE(first, int(box.left()) - 1);
    EXPECT_LE(last, int(box.right()) + 1);

    // Left and right alignment, and room for the menu arrow.
    cell->setAlignment(Qt::AlignLeft);
    EXPECT_EQ(cell->titleRect(QRectF(0, 0, 120, 30)).left(), 0.0);
    cell->setAlignment(Qt::AlignRight);
    EXPECT_NEAR(cell->titleRect(QRectF(0, 0, 120, 30)).right(), 120.0, 0.01);
    QMenu menu;
    button->setMenu(&menu);
    button->setArrowMenuImage(QVImage(solid(Qt::white, QSize(7, 4))));
    EXPECT_NEAR(cell->titleRect(QRectF(0, 0, 120, 30)).right(), 115.0, 0.01);
}

} // namespace
