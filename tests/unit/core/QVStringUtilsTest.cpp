#include "QVUtils.h"

#include <gtest/gtest.h>

#include <QCryptographicHash>

#include <climits>
#include <ctime>

using namespace QVUtils;

namespace {

// Each input against the text it must give.
template <typename In, typename F>
void expectTexts(F function, std::initializer_list<std::pair<In, const char*>> cases)
{
    for (const auto& [in, out] : cases)
        EXPECT_EQ(function(in), QString::fromUtf8(out)) << in;
}

TEST(QVUtilsStrings, SHA1OfUTF16CodeUnits)
{
    // Not the UTF-8 bytes: album-art cache names made earlier must still be found.
    const QString text = QString::fromUtf16(u"Beyonc\u00e9 \u2013 \U0001D11E").repeated(40);
    const QByteArray units(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    EXPECT_EQ(SHA1String(text),
        QString::fromLatin1(QCryptographicHash::hash(units, QCryptographicHash::Sha1).toHex()));
}

TEST(QVUtilsStrings, SecondsEscapesAndReplacements)
{
    expectTexts<unsigned>(
        stringWithSeconds, { { 9, "0:09" }, { 3600, "60:00" }, { UINT_MAX, "71582788:15" } });
    auto q = [](const char* s) { return QString::fromUtf8(s); };
    expectTexts<const char*>([&](const char* s) { return stringWithEscapedAmpersands(q(s)); },
        { { "a&b;c", "a%26b%3bc" }, { "a=b c%", "a=b c%" } });
    expectTexts<const char*>([&](const char* s) { return safeFileNameStringValue(q(s)); },
        { { "../etc/passwd.bak", "   etc passwd bak" } });
    expectTexts<const char*>([&](const char* s) { return stringWithSpacedOutNewlineCharacters(q(s)); },
        { { "a\r\nb\nc\rd", "a  b c d" } });
    expectTexts<const char*>([&](const char* s) { return stringWithEscapedSingleQuotes(q(s)); },
        { { "it's", "it\\'s" }, { "a\nb", "a\\nb" } });
    // One log line whatever the page sends, and never longer than asked.
    expectTexts<const char*>([&](const char* s) { return stringForLog(q(s), 12); },
        { { "a\nb\r\tc", "a\\nb\\r\\x09c" }, { "\x1b[2Jred", "\\x1b[2Jred" },
            { "u\xE2\x80\xA8v\xC2\x85", "u\\u2028v\\x85" },
            { "0123456789abcdef", "0123456789ab…[4 more]" } });
}

TEST(QVUtilsStrings, SingleQuoteEscapeKeepsTheLiteralClosed)
{
    // Text that tries to close the literal and run its own script: every quote
    // must follow an odd run of backslashes, and no raw line break may remain.
    const QString escaped
        = stringWithEscapedSingleQuotes(QString::fromUtf16(u"\\'); alert(1); //\n\u2028'\\\\'"));
    for (qsizetype i = 0; i < escaped.size(); ++i) {
        EXPECT_TRUE(escaped.at(i) != u'\n' && escaped.at(i) != QChar(0x2028));
        qsizetype run = 0;
        while (escaped.at(i) == u'\'' && i - run > 0 && escaped.at(i - run - 1) == u'\\')
            ++run;
        EXPECT_TRUE(escaped.at(i) != u'\'' || run % 2 == 1) << "at " << i << " in " << escaped.toStdString();
    }
}

TEST(QVUtilsNumbers, PluralsFileSizesAndFuzzyTimes)
{
    const QString song = QStringLiteral("song"), songs = QStringLiteral("songs");
    const struct {
        const char* language;
        int count;
        const QString& expected;
    } cases[] = { { "en-US", 0, songs }, { "en", 1, song }, { "", 0, songs }, { "FR", 0, song },
        { "pt_BR", 2, songs } };
    for (const auto& c : cases)
        EXPECT_EQ(pluralize(c.count, song, songs, { QString::fromLatin1(c.language), QStringLiteral("en") }),
            c.expected)
            << c.language << " " << c.count;

    const double GB = 1073741824.0;
    expectTexts<double>(stringWithFileSize,
        { { 0, "0.0 " }, { 1023, "1023.0 " }, { 1024, "1.0 KB" }, { 1048576, "1.0 MB" },
            { 2048 * GB, "2048.0 GB" } });
    // A span in the past counts as none.
    expectTexts<qint64>(stringWithFuzzyTimeFromSeconds,
        { { 0, "1 seconds" }, { 59, "60 seconds" }, { 3599, "59 minutes" }, { 7199, "1 hours" },
            { -7200, "1 seconds" } });
}

// Dates read in a zone away from UTC, so local and UTC readings differ.
TEST(QVUtilsDates, ZonesLocalTimeAndUnparsableText)
{
    const bool wasSet = qEnvironmentVariableIsSet("TZ");
    const QByteArray saved = qgetenv("TZ");
    // Central European time without needing tzdata: UTC+1, summer UTC+2.
    qputenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3");
    tzset();

    const QDateTime expected(QDate(2024, 2, 29), QTime(13, 45, 30), Qt::UTC);
    for (const char* text :
        { "2024-02-29T13:45:30 GMT", "2024-02-29T15:45:30+02:00", "2024-02-29T08:15:30-0530" })
        EXPECT_EQ(dateWithISOString(QString::fromLatin1(text)).toUTC(), expected) << text;
    // No zone: the local one, summer time included.
    EXPECT_EQ(dateWithISOString(QStringLiteral("2031-07-04T09:30:00")).toUTC(),
        QDateTime(QDate(2031, 7, 4), QTime(7, 30), Qt::UTC));

    for (const char* text :
        { "garbage", "2023-02-29T00:00:00Z", "2024-01-01T24:00:00Z", "2024-01-01T12:00:00+25:00" })
        EXPECT_FALSE(dateWithISOString(QString::fromLatin1(text)).isValid()) << text;
    EXPECT_FALSE(dateWithISOString(QStringLiteral("2024-01-01T12:00:00") + QString(100000, u'0')).isValid());

    wasSet ? qputenv("TZ", saved) : qunsetenv("TZ");
    tzset();
}

TEST(QVUtilsFrames, RoundTripLeniencyAndGarbage)
{
    for (const QRectF& rect : { QRectF(12.5, -3, 800, 600), QRectF(1e6, 0.125, 2.5e7, 3) })
        EXPECT_EQ(QVRectFromString(QVStringFromRect(rect)), rect) << QVStringFromRect(rect).toStdString();
    EXPECT_EQ(QVRectFromString(QStringLiteral("  { { 1 , 2 } ,{3 ,  4}}\n")), QRectF(1, 2, 3, 4));

    for (const char* text :
        { "garbage", "{{1, 2}, {3}}", "{{1, 2}, {3, 4}} x", "{{nan, 0}, {1, 1}}", "{{1e999, 0}, {1, 1}}" })
        EXPECT_TRUE(QVRectFromString(QString::fromLatin1(text)).isNull()) << text;
    const QString huge = QStringLiteral("{{1, 2}, {3, ") + QString(10000, u'4') + QStringLiteral("}}");
    EXPECT_TRUE(QVRectFromString(huge).isNull());
}

} // namespace
