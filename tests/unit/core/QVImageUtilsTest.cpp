#include "QVUtils.h"

#include <gtest/gtest.h>

#include <QFontMetricsF>

using namespace QVUtils;

[[maybe_unused]] static void PrintTo(const QString& string, std::ostream* out)
{
    *out << '"' << string.toStdString() << '"';
}

namespace {

TEST(QVUtilsColors, HexStrings)
{
    // Extra characters after six digits are ignored; a pair that is not hex reads as 0.
    const std::pair<const char16_t*, std::optional<QColor>> cases[] = { { u"#FFaa01", QColor(255, 170, 1) },
        { u"#102030ff", QColor(16, 32, 48) }, { u"#zz8000", QColor(0, 128, 0) },
        { u"#\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9", QColor(0, 0, 0) }, { u"ff8000", std::nullopt },
        { u"#ff800", std::nullopt }, { u"", std::nullopt } };
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
    ASSERT_EQ(half.size(), source.size());
    EXPECT_EQ(half.devicePixelRatio(), 2.0);
    EXPECT_NEAR(half.pixelColor(0, 1).alpha(), 128, 1);
    EXPECT_EQ(half.pixelColor(0, 1).red(), 255);
    EXPECT_NEAR(half.pixelColor(2, 1).alpha(), 64, 1);

    EXPECT_EQ(imageWithAlphaLevel(source, 0.0f).pixelColor(1, 1).alpha(), 0);
    EXPECT_EQ(imageWithAlphaLevel(source, 3.0f).pixelColor(0, 0), QColor(Qt::red));
    EXPECT_TRUE(imageWithAlphaLevel(QImage(), 0.5f).isNull());
}

class QVUtilsTruncate : public ::testing::Test
{
protected:
    qreal width(const QString& s) const { return metrics.horizontalAdvance(s); }

    QFont font { QStringLiteral("DejaVu Sans"), 12 };
    QFontMetricsF metrics { font };
    const QString ellipsis = QString(QChar(0x2026));
};

TEST_F(QVUtilsTruncate, NeverWiderThanTheLimitAndLongestPrefix)
{
    const QString title
        = QStringLiteral("The Quick Brown Fox Jumps Over The Lazy Dog (Remastered Live Version)");
    const int full = int(std::ceil(width(title)));
    ASSERT_GT(full, 100);
    EXPECT_EQ(truncateForWidth(title, font, full), title);
    for (int limit = -5; limit < full; ++limit) {
        const QString result = truncateForWidth(title, font, limit);
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
    EXPECT_EQ(truncateForWidth(title, font, int(std::ceil(width(ellipsis)))), ellipsis);
    EXPECT_EQ(truncateForWidth(QStringLiteral("W"), font, 0), ellipsis);
    EXPECT_EQ(truncateForWidth(QString(), font, -1), QString());
}

TEST_F(QVUtilsTruncate, SurrogatePairsStayWhole)
{
    const QString notes
        = QString::fromUtf16(u"a\U0001D11E\U0001D11E\U0001D11E\U0001D11E\U0001D11E\U0001D11E");
    for (int limit = 0; limit < int(width(notes)); ++limit) {
        const QString result = truncateForWidth(notes, font, limit);
        ASSERT_TRUE(result.endsWith(ellipsis));
        const qsizetype kept = result.size() - 1;
        EXPECT_FALSE(kept > 0 && result.at(kept - 1).isHighSurrogate()) << limit;
        // The next whole character would not have fitted.
        if (kept > 0 && kept + 2 <= notes.size() - 2) {
            EXPECT_GT(width(notes.left(kept + 2) + ellipsis), limit) << limit;
        }
    }
}

} // namespace
