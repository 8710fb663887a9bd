#include "QVSearchCategoryCell.h"
#include "QVSearchCell.h"
#include "QVSearchFieldCell.h"
#include "QVTextFieldCell.h"

#include <QPainter>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

QImage canvas(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

// Pixels in `rect` whose colour passes `test`.
int countPixels(const QImage& image, const QRect& rect, const std::function<bool(QColor)>& test)
{
    int count = 0;
    for (int y = std::max(0, rect.top()); y <= std::min(image.height() - 1, rect.bottom()); ++y)
        for (int x = std::max(0, rect.left()); x <= std::min(image.width() - 1, rect.right()); ++x)
            count += test(image.pixelColor(x, y)) ? 1 : 0;
    return count;
}

bool isWhite(QColor c)
{
    return c.alpha() > 200 && c.red() > 220 && c.green() > 220 && c.blue() > 220;
}

bool isDark(QColor c)
{
    return c.alpha() > 200 && c.red() < 60 && c.green() < 60 && c.blue() < 60;
}

} // namespace

TEST(QVSearchCellTest, LayoutOfARowWithPaddingsIconsAndArt)
{
    QVSearchCell cell;
    cell.setTopPadding(5);
    cell.setBottomPadding(5);
    EXPECT_EQ(cell.bottomPadding(), 4u) << "stored one less";
    cell.setTitle("Title");
    cell.setSubTitle("Subtitle");

    // A 43-point row with both paddings lays its content out in 34 points.
    const QRectF frame(68, 100, 232, 43);
    EXPECT_EQ(cell.layout(frame).content, QRectF(67, 105, 235, 34));

    // A named icon and album art of the same size: the art sits 3 points lower.
    cell.setLeftImage(QVSearchCell::imageNamed("search_icon_album"));
    ASSERT_FALSE(cell.leftImage().isNull());
    const QRectF icon = cell.layout(frame).leftImage;
    QImage art(32, 32, QImage::Format_RGB32);
    art.setDevicePixelRatio(2);
    cell.setLeftImage(art);
    const QVSearchCell::Layout withArt = cell.layout(frame);
    EXPECT_EQ(withArt.leftImage.size(), icon.size());
    EXPECT_EQ(withArt.leftImage.top() - icon.top(), 3);
    EXPECT_EQ(withArt.leftImage.left(), icon.left());

    // The right mark is centred in what is left of the height; one point higher without bottom padding.
    cell.setRightImage(QVSearchCell::imageNamed("search_icon_check"));
    const qreal down = cell.layout(frame).rightImage.top();
    cell.setBottomPadding(0);
    EXPECT_EQ(cell.layout(frame).rightImage.top(), down + 2 - 1);
}

TEST(QVSearchCellTest, ASelectedRowsSubtitleIsWhiteAndItsTitleStaysBlack)
{
    QVSearchCell cell;
    cell.setTitle("MMMMMMMM");
    cell.setSubTitle("MMMMMMMM");
    const QRectF frame(0, 0, 232, 33);
    const QVSearchCell::Layout pieces = cell.layout(frame);
    for (const bool selected : { true, false }) {
        SCOPED_TRACE(selected);
        QImage image = canvas(240, 40);
        QPainter painter(&image);
        cell.drawWithFrame(&painter, frame, selected);
        painter.end();
        const QRect subtitle = pieces.subTitle.toAlignedRect().intersected(QRect(0, 0, 120, 40));
        EXPECT_EQ(countPixels(image, subtitle, isWhite) > 5, selected);
        EXPECT_GT(countPixels(image, QRect(0, 2, 120, 12), isDark), 5);
    }
}

TEST(QVSearchCellTest, TheCategoryCellDrawsNothingWithoutACategory)
{
    QImage empty = canvas(300, 30);
    QPainter painter(&empty);
    QVSearchCategoryCell::drawCategory(&painter, QRectF(0, 0, 68, 30), QString(), 300);
    painter.end();
    EXPECT_EQ(countPixels(empty, empty.rect(), [](QColor c) { return c.alpha() > 0; }), 0);

    QImage drawn = canvas(300, 30);
    painter.begin(&drawn);
    QVSearchCategoryCell::drawCategory(&painter, QRectF(0, 0, 68, 30), "Albums", 300);
    painter.end();
    // The separator spans the whole table, past the category column.
    EXPECT_GT(countPixels(drawn, QRect(200, 0, 90, 1), [](QColor c) { return c.alpha() > 0; }), 80);
}

TEST(QVSearchCellTest, ThePillStretchesItsMiddleBetweenMirroredCaps)
{
    const QVSearchFieldCell cell;
    ASSERT_EQ(cell.capImage().deviceIndependentSize().width(), 10);
    const QVSearchFieldCell::Pieces pieces = cell.pieces(QRectF(0, 0, 200, 22));
    EXPECT_EQ(pieces.middle, QRectF(10, 0, 180, 22));
    EXPECT_EQ(pieces.rightCap.left(), 190);

    // Mirrored: a cap marked on its left draws its mark on the right at the other end.
    QImage cap(10, 22, QImage::Format_ARGB32_Premultiplied);
    cap.fill(Qt::transparent);
    for (int y = 0; y < 22; ++y)
        cap.setPixelColor(0, y, Qt::red);
    QImage middle(1, 22, QImage::Format_ARGB32_Premultiplied);
    middle.fill(Qt::blue);
    QImage image = canvas(200, 22);
    QPainter painter(&image);
    QVSearchFieldCell(cap, middle).drawWithFrame(&painter, QRectF(0, 0, 200, 22));
    painter.end();
    EXPECT_EQ(image.pixelColor(0, 10), QColor(Qt::red));
    EXPECT_EQ(image.pixelColor(199, 10), QColor(Qt::red));
    EXPECT_EQ(image.pixelColor(10, 10), QColor(Qt::blue));
    EXPECT_EQ(image.pixelColor(189, 10), QColor(Qt::blue));
    EXPECT_EQ(image.pixelColor(190, 10).alpha(), 0);
}

TEST(QVTextFieldCellTest, InactiveTransparencyAndTheShadow)
{
    QVTextFieldCell cell;
    cell.setTextColor(QColor(10, 20, 30));
    QWidget window; // never shown: not the active window
    ASSERT_TRUE(cell.attributes(&window).shadow);
    EXPECT_EQ(cell.attributes(&window).color.alphaF(), 1.0f);
    cell.setUseInactiveTransparency(true);
    EXPECT_LT(cell.attributes(&window).color.alphaF(), 1.0f);
    EXPECT_EQ(cell.attributes(nullptr).color.alphaF(), 1.0f) << "no window: drawn as active";
    cell.setShouldDrawShadow(false);
    EXPECT_FALSE(cell.attributes(&window).shadow);
}
