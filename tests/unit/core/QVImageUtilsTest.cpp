#include "QVUtils.h"

#include <gtest/gtest.h>

#include <QFontMetricsF>

using namespace QVUtils;

namespace {

TEST(QVUtilsColors, HexStrings)
{
    // Extra characters after six digits are ignored; a pair that is not hex reads as 0.
    const std::pair<const char16_t*, std::optional<QColor>> cases[] = { { u"#FFaa01", QColor(255, 170, 1) },
        { u"#102030ff", QColor(16, 32, 48) }, { u"#zz8000", QColor(0, 128, 0) },
        { u"#\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9", QColor(0, 0, 0) }, { u"ff8000", std::nullopt },
        { u"#ff800", std::nullopt } };
    for (const auto& [text, color] : cases)
        EXPECT_EQ(colorFromRGBHexString(QString::fromUtf16(text)), color)
            << QString::fromUtf16(text).toStdString();
}

TEST(QVUtilsImages, AlphaLevelScalesOpacity)
{
    QImage source(3, 2, QImage::Format_ARGB32);
    source.fill(Qt::red);
    source.setPixelColor(2, 1, QColor(0, 0, 255, 128));
    source.setDevicePixelRatio(2.0);
    const QImage half = imageWithAlphaLevel(source, 0.5f);
    EXPECT_EQ(half.devicePixelRatio(), 2.0);
    EXPECT_NEAR(half.pixelColor(0, 1).alpha(), 128, 1);
    EXPECT_EQ(half.pixelColor(0, 1).red(), 255);
    EXPECT_NEAR(half.pixelColor(2, 1).alpha(), 64, 1);
    EXPECT_EQ(imageWithAlphaLevel(source, 3.0f).pixelColor(0, 0), QColor(Qt::red));
    EXPECT_TRUE(imageWithAlphaLevel(QImage(), 0.5f).isNull());
}

// Never wider than the limit, never half a surrogate pair, and the longest prefix that fits.
TEST(QVUtilsImages, TruncateForWidth)
{
    const QFont font(QStringLiteral("DejaVu Sans"), 12);
    const QFontMetricsF metrics(font);
    const QString ellipsis(QChar(0x2026));
    const QString texts[] = { QStringLiteral("The Quick Brown Fox Jumps Over The Lazy Dog (Remastered)"),
        QString::fromUtf16(u"a\U0001D11E\U0001D11E\U0001D11E\U0001D11E\U0001D11E\U0001D11E") };
    for (const QString& text : texts) {
        const int full = int(std::ceil(metrics.horizontalAdvance(text)));
        EXPECT_EQ(truncateForWidth(text, font, full), text);
        for (int limit = -5; limit < full; ++limit) {
            const QString result = truncateForWidth(text, font, limit);
            ASSERT_TRUE(result.endsWith(ellipsis)) << limit;
            const qsizetype kept = result.size() - 1;
            EXPECT_TRUE(text.startsWith(result.left(kept)));
            EXPECT_FALSE(kept > 0 && result.at(kept - 1).isHighSurrogate()) << limit;
            if (kept > 0) {
                EXPECT_LE(metrics.horizontalAdvance(result), limit) << limit;
            }
            const qsizetype next = kept + (text.at(kept).isHighSurrogate() ? 2 : 1);
            if (next <= text.size() - 2) {
                EXPECT_GT(metrics.horizontalAdvance(text.left(next) + ellipsis), limit) << limit;
            }
        }
    }
    // One character once read out of range.
    EXPECT_EQ(truncateForWidth(QStringLiteral("W"), font, 0), ellipsis);
    EXPECT_EQ(truncateForWidth(QString(), font, -1), QString());
}

} // namespace
