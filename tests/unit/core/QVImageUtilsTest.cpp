#include "QVUtils.h"

#include <gtest/gtest.h>

#include <QFontMetricsF>

using namespace QVUtils;

// Readable failure messages.
[[maybe_unused]] static void PrintTo(const QString& string, std::ostream* out)
{
    *out << '"' << string.toStdString() << '"';
}

namespace {

TEST(QVUtilsColors, HexStrings)
{
    const std::optional<QColor> orange = colorFromRGBHexString(QStringLiteral("#ff8000"));
    ASSERT_TRUE(orange.has_value());
    EXPECT_DOUBLE_EQ(orange->redF(), 1.0);
    EXPECT_NEAR(orange->greenF(), 128.0 / 255.0, 1e-6);
    EXPECT_DOUBLE_EQ(orange->blueF(), 0.0);
    EXPECT_DOUBLE_EQ(orange->alphaF(), 1.0);

    EXPECT_EQ(colorFromRGBHexString(QStringLiteral("#FFaa01")), QColor(255, 170, 1));
    // Characters after the sixth digit do not matter; seven bare characters read as six digits.
    EXPECT_EQ(colorFromRGBHexString(QStringLiteral("#102030ff")), QColor(16, 32, 48));
    EXPECT_EQ(colorFromRGBHexString(QStringLiteral("1020304")), QColor(16, 32, 48));

    // A pair that does not read as hex is 0; a leading digit still counts.
    EXPECT_EQ(colorFromRGBHexString(QStringLiteral("#zz8000")), QColor(0, 128, 0));
    EXPECT_EQ(colorFromRGBHexString(QStringLiteral("#f?8000")), QColor(15, 128, 0));
    EXPECT_EQ(
        colorFromRGBHexString(QStringLiteral("#\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9")), QColor(0, 0, 0));

    EXPECT_FALSE(colorFromRGBHexString(QStringLiteral("ff8000")).has_value());
    EXPECT_FALSE(colorFromRGBHexString(QStringLiteral("#ff800")).has_value());
    EXPECT_FALSE(colorFromRGBHexString(QString()).has_value());
}

QImage stripe(QImage::Format format = QImage::Format_ARGB32)
{
    QImage image(3, 2, format);
    for (int y = 0; y < 2; ++y) {
        image.setPixelColor(0, y, Qt::red);
        image.setPixelColor(1, y, Qt::green);
        image.setPixelColor(2, y, QColor(0, 0, 255, 128));
    }
    return image;
}

TEST(QVUtilsImages, HorizontalFlipMirrorsLeftToRight)
{
    const QImage flipped = horizontalFlippedImage(stripe());
    ASSERT_EQ(flipped.size(), QSize(3, 2));
    for (int y = 0; y < 2; ++y) {
        EXPECT_EQ(flipped.pixelColor(0, y), QColor(0, 0, 255, 128));
        EXPECT_EQ(flipped.pixelColor(1, y), QColor(Qt::green));
        EXPECT_EQ(flipped.pixelColor(2, y), QColor(Qt::red));
    }
    EXPECT_TRUE(horizontalFlippedImage(QImage()).isNull());
}

TEST(QVUtilsImages, AlphaLevelScalesOpacity)
{
    QImage source = stripe();
    source.setDevicePixelRatio(2.0);
    const QImage half = imageWithAlphaLevel(source, 0.5f);
    ASSERT_EQ(half.size(), source.size());
    EXPECT_EQ(half.devicePixelRatio(), 2.0);
    for (int y = 0; y < 2; ++y) {
        const QColor red = half.pixelColor(0, y);
        EXPECT_NEAR(red.alpha(), 128, 1);
        EXPECT_EQ(red.red(), 255);
        EXPECT_EQ(red.green(), 0);
        EXPECT_NEAR(half.pixelColor(2, y).alpha(), 64, 1);
        EXPECT_NEAR(half.pixelColor(2, y).blue(), 255, 2);
    }

    const QImage clear = imageWithAlphaLevel(source, 0.0f);
    EXPECT_EQ(clear.pixelColor(1, 1).alpha(), 0);
    const QImage full = imageWithAlphaLevel(source, 3.0f);
    EXPECT_EQ(full.pixelColor(0, 0), QColor(Qt::red));
    EXPECT_TRUE(imageWithAlphaLevel(QImage(), 0.5f).isNull());
}

class QVUtilsTruncate : public ::testing::Test
{
protected:
    QVUtilsTruncate()
        : font(QStringLiteral("DejaVu Sans"), 12)
        , metrics(font)
    {
    }
    qreal width(const QString& s) const { return metrics.horizontalAdvance(s); }

    QFont font;
    QFontMetricsF metrics;
    const QString ellipsis = QString(QChar(0x2026));
};

TEST_F(QVUtilsTruncate, FittingTextIsUntouched)
{
    const QString title = QStringLiteral("Play");
    EXPECT_EQ(truncateForWidth(title, font, int(std::ceil(width(title)))), title);
    EXPECT_EQ(truncateForWidth(QString(), font, 0), QString());
}

TEST_F(QVUtilsTruncate, NeverWiderThanTheLimitAndLongestPrefix)
{
    const QString title
        = QStringLiteral("The Quick Brown Fox Jumps Over The Lazy Dog (Remastered Live Version)");
    const int full = int(std::ceil(width(title)));
    ASSERT_GT(full, 100);
    for (int limit = 0; limit <= full + 2; ++limit) {
        const QString result = truncateForWidth(title, font, limit);
        if (result == title) {
            EXPECT_LE(width(title), limit);
            continue;
        }
        ASSERT_TRUE(result.endsWith(ellipsis)) << limit;
        if (result == ellipsis)
            continue;
        EXPECT_LE(width(result), limit) << result.toStdString();
        const qsizetype kept = result.size() - 1;
        EXPECT_TRUE(title.startsWith(result.left(kept)));
        EXPECT_LE(kept, title.size() - 2);
        // One more character would not have fitted.
        if (kept < title.size() - 2) {
            EXPECT_GT(width(title.left(kept + 1) + ellipsis), limit) << limit;
        }
    }
    // Room for the ellipsis only.
    EXPECT_EQ(truncateForWidth(title, font, int(std::ceil(width(ellipsis)))), ellipsis);
}

TEST_F(QVUtilsTruncate, TooNarrowForAnythingGivesTheEllipsis)
{
    EXPECT_EQ(truncateForWidth(QStringLiteral("W"), font, 1), ellipsis);
    EXPECT_EQ(truncateForWidth(QStringLiteral("Wide"), font, 0), ellipsis);
    EXPECT_EQ(truncateForWidth(QStringLiteral("Wide"), font, -5), ellipsis);
}

TEST_F(QVUtilsTruncate, SurrogatePairsStayWhole)
{
    const QString notes
        = QString::fromUtf16(u"a\U0001D11E\U0001D11E\U0001D11E\U0001D11E\U0001D11E\U0001D11E");
    const int full = int(std::ceil(width(notes)));
    for (int limit = 0; limit < full; ++limit) {
        const QString result = truncateForWidth(notes, font, limit);
        ASSERT_TRUE(result.endsWith(ellipsis));
        if (result.size() > 1) {
            EXPECT_FALSE(result.at(result.size() - 2).isHighSurrogate()) << limit;
        }
    }
}

} // namespace
