#include "QVUtils.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QCryptographicHash>

#include <climits>
#include <cstring>
#include <ctime>

using namespace QVUtils;

// Readable failure messages.
[[maybe_unused]] static void PrintTo(const QString& string, std::ostream* out)
{
    *out << '"' << string.toStdString() << '"';
}

namespace {

// A string's code units laid out in host order by hand, apart from the code under test.
QByteArray hostOrderUTF16(const QString& string)
{
    QByteArray bytes;
    for (const QChar c : string) {
        const char16_t unit = c.unicode();
        char raw[2];
        std::memcpy(raw, &unit, 2);
        bytes.append(raw, 2);
    }
    return bytes;
}

TEST(QVUtilsSHA1, KnownVectorsOfBytes)
{
    EXPECT_EQ(SHA1String(QByteArray("abc")), QStringLiteral("a9993e364706816aba3e25717850c26c9cd0d89d"));
    EXPECT_EQ(SHA1String(QByteArray()), QStringLiteral("da39a3ee5e6b4b0d3255bfef95601890afd80709"));
    EXPECT_EQ(SHA1String(QByteArray("The quick brown fox jumps over the lazy dog")),
        QStringLiteral("2fd4e1c67a2d28fced849ee1bb76e7391b93eb12"));
    // Bytes above 0x7f and embedded zeros are data too.
    EXPECT_EQ(SHA1String(QByteArray("\xff\x00\x80", 3)),
        QString::fromLatin1(
            QCryptographicHash::hash(QByteArray("\xff\x00\x80", 3), QCryptographicHash::Sha1).toHex()));
}

TEST(QVUtilsSHA1, StringsHashTheirUTF16CodeUnits)
{
    const QString ascii = QStringLiteral("abc");
    const QString accented = QString::fromUtf16(u"Beyonc\u00e9 \u2013 \U0001D11E");
    // Long enough to be fed in several pieces.
    const QString longText = QString::fromUtf16(u"\u00e9t\u00e9 ").repeated(200);
    for (const QString& s : { ascii, accented, longText, QString() }) {
        const QString expected = QString::fromLatin1(
            QCryptographicHash::hash(hostOrderUTF16(s), QCryptographicHash::Sha1).toHex());
        EXPECT_EQ(SHA1String(s), expected) << s.left(20).toStdString();
        EXPECT_EQ(SHA1String(s).size(), 40);
    }
    // Not the UTF-8 bytes: cache names made earlier must still be found.
    EXPECT_NE(SHA1String(accented), SHA1String(accented.toUtf8()));
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
    EXPECT_EQ(SHA1String(ascii), QStringLiteral("9f04f41a848514162050e3d68c1a7abb441dc2b5"));
    EXPECT_EQ(SHA1String(accented), QStringLiteral("8b0421dba3d282d74877cfc9a87e491c4c2cfd77"));
#endif
}

TEST(QVUtilsStrings, SecondsAsMinutesAndSeconds)
{
    EXPECT_EQ(stringWithSeconds(0), QStringLiteral("0:00"));
    EXPECT_EQ(stringWithSeconds(9), QStringLiteral("0:09"));
    EXPECT_EQ(stringWithSeconds(61), QStringLiteral("1:01"));
    EXPECT_EQ(stringWithSeconds(3599), QStringLiteral("59:59"));
    EXPECT_EQ(stringWithSeconds(3600), QStringLiteral("60:00"));
    EXPECT_EQ(stringWithSeconds(UINT_MAX), QStringLiteral("71582788:15"));
}

TEST(QVUtilsStrings, EscapesAndReplacements)
{
    EXPECT_EQ(stringWithEscapedAmpersands(QStringLiteral("a&b;c")), QStringLiteral("a%26b%3bc"));
    EXPECT_EQ(stringWithEscapedAmpersands(QStringLiteral("&&;;")), QStringLiteral("%26%26%3b%3b"));
    EXPECT_EQ(stringWithEscapedAmpersands(QStringLiteral("a=b c%")), QStringLiteral("a=b c%"));

    EXPECT_EQ(
        safeFileNameStringValue(QStringLiteral("../etc/passwd.bak")), QStringLiteral("   etc passwd bak"));

    EXPECT_EQ(
        stringWithSpacedOutNewlineCharacters(QStringLiteral("a\r\nb\nc\rd")), QStringLiteral("a  b c d"));
    EXPECT_EQ(stringWithSpacedOutNewlineCharacters(QStringLiteral("\t x")), QStringLiteral("\t x"));
}

TEST(QVUtilsStrings, SingleQuoteEscapeKeepsTheLiteralClosed)
{
    EXPECT_EQ(stringWithEscapedSingleQuotes(QStringLiteral("it's")), QStringLiteral("it\\'s"));
    EXPECT_EQ(stringWithEscapedSingleQuotes(QStringLiteral("/search/a b")), QStringLiteral("/search/a b"));
    EXPECT_EQ(stringWithEscapedSingleQuotes(QStringLiteral("a\nb")), QStringLiteral("a\\nb"));

    // Text that tries to close the literal and run its own script: every quote
    // in the result must follow an odd run of backslashes, and no raw line break
    // may remain.
    const QString hostile = QString::fromUtf16(u"\\'); alert(1); //\n\u2028'\\\\'");
    const QString escaped = stringWithEscapedSingleQuotes(hostile);
    for (qsizetype i = 0; i < escaped.size(); ++i) {
        EXPECT_NE(escaped.at(i), u'\n');
        EXPECT_NE(escaped.at(i), QChar(0x2028));
        if (escaped.at(i) != u'\'')
            continue;
        qsizetype run = 0;
        while (i - run - 1 >= 0 && escaped.at(i - run - 1) == u'\\')
            ++run;
        EXPECT_EQ(run % 2, 1) << "unescaped quote at " << i << " in " << escaped.toStdString();
    }
}

TEST(QVUtilsStrings, PluralRulesByFirstPreferredLanguage)
{
    const QStringList english { QStringLiteral("en-US"), QStringLiteral("fr") };
    const QStringList french { QStringLiteral("fr-FR"), QStringLiteral("en") };
    const QStringList portuguese { QStringLiteral("pt_BR") };
    const QStringList german { QStringLiteral("de") };

    EXPECT_EQ(pluralForm(0, english), 1);
    EXPECT_EQ(pluralForm(1, english), 0);
    EXPECT_EQ(pluralForm(2, english), 1);
    EXPECT_EQ(pluralForm(-1, english), 1);
    EXPECT_EQ(pluralForm(0, german), 1);
    EXPECT_EQ(pluralForm(0, QStringList()), 1);

    for (const QStringList& languages : { french, portuguese, QStringList { QStringLiteral("FR") } }) {
        EXPECT_EQ(pluralForm(0, languages), 0) << languages.first().toStdString();
        EXPECT_EQ(pluralForm(1, languages), 0);
        EXPECT_EQ(pluralForm(2, languages), 1);
    }
    // "pt" is Portuguese, "pl" is not.
    EXPECT_EQ(pluralForm(0, QStringList { QStringLiteral("pl") }), 1);

    const QString song = QStringLiteral("song");
    const QString songs = QStringLiteral("songs");
    EXPECT_EQ(pluralize(0, song, songs, english), songs);
    EXPECT_EQ(pluralize(1, song, songs, english), song);
    EXPECT_EQ(pluralize(0, song, songs, french), song);
    EXPECT_EQ(pluralize(1234, song, songs, portuguese), songs);
}

TEST(QVUtilsStrings, BundleNamePlaceholder)
{
    const QString saved = QCoreApplication::applicationName();
    QCoreApplication::setApplicationName(QStringLiteral("Quiv Beta"));
    EXPECT_EQ(QVStringWithBundleName(QStringLiteral("About [product_name]... Quit [product_name]")),
        QStringLiteral("About Quiv Beta... Quit Quiv Beta"));
    EXPECT_EQ(QVStringWithBundleName(QStringLiteral("[product_name")), QStringLiteral("[product_name"));
    QCoreApplication::setApplicationName(saved);
}

TEST(QVUtilsNumbers, DecimalStyleFollowsTheLocale)
{
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    const QLocale german(QLocale::German, QLocale::Germany);
    EXPECT_EQ(stringWithDecimalStyle(qint64(1234567), us), QStringLiteral("1,234,567"));
    EXPECT_EQ(stringWithDecimalStyle(qint64(1234567), german), QStringLiteral("1.234.567"));
    EXPECT_EQ(stringWithDecimalStyle(1234, us), QStringLiteral("1,234"));
    EXPECT_EQ(stringWithDecimalStyle(qsizetype(-98765), us), QStringLiteral("-98,765"));
    EXPECT_EQ(stringWithDecimalStyle(999, us), QStringLiteral("999"));

    EXPECT_EQ(stringWithDecimalStyle(1234.5, us), QStringLiteral("1,234.5"));
    EXPECT_EQ(stringWithDecimalStyle(1234.5, german), QStringLiteral("1.234,5"));
    EXPECT_EQ(stringWithDecimalStyle(0.12345, us), QStringLiteral("0.123"));
    EXPECT_EQ(stringWithDecimalStyle(2.0, us), QStringLiteral("2"));
    EXPECT_EQ(stringWithDecimalStyle(1000.0, us), QStringLiteral("1,000"));
}

TEST(QVUtilsNumbers, FileSizes)
{
    EXPECT_EQ(stringWithFileSize(0), QStringLiteral("0.0 "));
    EXPECT_EQ(stringWithFileSize(512), QStringLiteral("512.0 "));
    EXPECT_EQ(stringWithFileSize(1023), QStringLiteral("1023.0 "));
    EXPECT_EQ(stringWithFileSize(1024), QStringLiteral("1.0 KB"));
    EXPECT_EQ(stringWithFileSize(1536), QStringLiteral("1.5 KB"));
    EXPECT_EQ(stringWithFileSize(1048575), QStringLiteral("1024.0 KB"));
    EXPECT_EQ(stringWithFileSize(1048576), QStringLiteral("1.0 MB"));
    EXPECT_EQ(stringWithFileSize(1073741823), QStringLiteral("1024.0 MB"));
    EXPECT_EQ(stringWithFileSize(1073741824), QStringLiteral("1.0 GB"));
    EXPECT_EQ(stringWithFileSize(5.5 * 1073741824.0), QStringLiteral("5.5 GB"));
    EXPECT_EQ(stringWithFileSize(2048.0 * 1073741824.0), QStringLiteral("2048.0 GB"));
}

TEST(QVUtilsNumbers, FuzzyTimes)
{
    EXPECT_EQ(stringWithFuzzyTimeFromSeconds(0), QStringLiteral("1 seconds"));
    EXPECT_EQ(stringWithFuzzyTimeFromSeconds(59), QStringLiteral("60 seconds"));
    EXPECT_EQ(stringWithFuzzyTimeFromSeconds(60), QStringLiteral("1 minutes"));
    EXPECT_EQ(stringWithFuzzyTimeFromSeconds(3599), QStringLiteral("59 minutes"));
    EXPECT_EQ(stringWithFuzzyTimeFromSeconds(3600), QStringLiteral("1 hours"));
    EXPECT_EQ(stringWithFuzzyTimeFromSeconds(7199), QStringLiteral("1 hours"));
    EXPECT_EQ(stringWithFuzzyTimeFromSeconds(qint64(100000) * 3600), QStringLiteral("100000 hours"));
    // A span in the past is no span.
    EXPECT_EQ(stringWithFuzzyTimeFromSeconds(-1), QStringLiteral("1 seconds"));
    EXPECT_EQ(stringWithFuzzyTimeFromSeconds(-7200), QStringLiteral("1 seconds"));
}

// Dates read in a zone away from UTC, so local and UTC readings differ.
class QVUtilsDates : public ::testing::Test
{
protected:
    void SetUp() override
    {
        _saved = qgetenv("TZ");
        _wasSet = qEnvironmentVariableIsSet("TZ");
        // Central European time without needing tzdata: UTC+1, summer UTC+2.
        qputenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3");
        tzset();
    }
    void TearDown() override
    {
        if (_wasSet)
            qputenv("TZ", _saved);
        else
            qunsetenv("TZ");
        tzset();
    }

private:
    QByteArray _saved;
    bool _wasSet = false;
};

TEST_F(QVUtilsDates, ISOStringsInUTC)
{
    const QDateTime expected(QDate(2024, 2, 29), QTime(13, 45, 30), Qt::UTC);
    for (const char* text : { "2024-02-29T13:45:30Z", "2024-02-29T13:45:30GMT", "2024-02-29T13:45:30 GMT",
             "2024-02-29T15:45:30+02:00", "2024-02-29T08:15:30-0530" }) {
        const QDateTime date = dateWithISOString(QString::fromLatin1(text));
        ASSERT_TRUE(date.isValid()) << text;
        EXPECT_EQ(date.toUTC(), expected) << text;
    }
    const QDateTime fraction = dateWithISOString(QStringLiteral("2024-02-29T13:45:30.25Z"));
    EXPECT_EQ(fraction.toUTC(), expected.addMSecs(250));
}

TEST_F(QVUtilsDates, WithoutAZoneIsLocalTime)
{
    const QDateTime summer = dateWithISOString(QStringLiteral("2031-07-04T09:30:00"));
    ASSERT_TRUE(summer.isValid());
    EXPECT_EQ(summer.timeSpec(), Qt::LocalTime);
    EXPECT_EQ(summer.toUTC(), QDateTime(QDate(2031, 7, 4), QTime(7, 30), Qt::UTC));
    EXPECT_EQ(dateWithISOString(QStringLiteral("2031-01-04T09:30:00")).toUTC(),
        QDateTime(QDate(2031, 1, 4), QTime(8, 30), Qt::UTC));
}

TEST_F(QVUtilsDates, UnparsableIsInvalid)
{
    for (const char* text : { "", "garbage", "2024-02-30T00:00:00Z", "2023-02-29T00:00:00Z",
             "2024-13-01T00:00:00", "2024-01-01T24:00:00Z", "2024-01-01T12:60:00Z", "2024-01-01 12:00:00",
             "2024-01-01", "2024-01-01T12:00:00ZZ", "2024-01-01T12:00:00+25:00", "2024-01-01T12:00:00EST",
             " 2024-01-01T12:00:00Z" }) {
        EXPECT_FALSE(dateWithISOString(QString::fromLatin1(text)).isValid()) << text;
    }
    EXPECT_FALSE(dateWithISOString(QStringLiteral("2024-01-01T12:00:00") + QString(100000, u'0')).isValid());
}

TEST(QVUtilsFrames, StringsAsTheDefaultsStoreThem)
{
    EXPECT_EQ(QVStringFromRect(QRectF()), QStringLiteral("{{0, 0}, {0, 0}}"));
    EXPECT_EQ(QVStringFromRect(QRectF(12.5, -3, 800, 600)), QStringLiteral("{{12.5, -3}, {800, 600}}"));

    for (const QRectF& rect : { QRectF(0, 0, 0, 0), QRectF(12.5, -3, 800, 600),
             QRectF(-1920.25, 1080, 350, 62), QRectF(1e6, 0.125, 2.5e7, 3) }) {
        EXPECT_EQ(QVRectFromString(QVStringFromRect(rect)), rect) << QVStringFromRect(rect).toStdString();
    }

    EXPECT_EQ(QVRectFromString(QStringLiteral("{{1,2},{3,4}}")), QRectF(1, 2, 3, 4));
    EXPECT_EQ(QVRectFromString(QStringLiteral("  { { 1 , 2 } ,{3 ,  4}}\n")), QRectF(1, 2, 3, 4));
    EXPECT_EQ(QVRectFromString(QStringLiteral("{{.5, +2.}, {3e2, -4}}")), QRectF(0.5, 2, 300, -4));
}

TEST(QVUtilsFrames, GarbageIsANullRect)
{
    for (const char* text : { "", "garbage", "{{1, 2}, {3}}", "{{1, 2}, {3, 4, 5}}", "{{a, b}, {c, d}}",
             "{{1, 2}, {3, 4}} x", "{1, 2, 3, 4}", "{{nan, 0}, {1, 1}}", "{{1e999, 0}, {1, 1}}",
             "{{1 2}, {3 4}}", "{{0x10, 0}, {1, 1}}" }) {
        EXPECT_TRUE(QVRectFromString(QString::fromLatin1(text)).isNull()) << text;
    }
    EXPECT_TRUE(
        QVRectFromString(QStringLiteral("{{1, 2}, {3, ") + QString(10000, u'4') + QStringLiteral("}}"))
            .isNull());
}

} // namespace
