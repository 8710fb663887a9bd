#include "QVServiceHTTPInterface.h"

#include <gtest/gtest.h>

#include <QUrl>
#include <QUrlQuery>

namespace {

const QString base = QStringLiteral("http://127.0.0.1:8000");

} // namespace

// Whatever the user types stays one query value: nothing in it can start a
// second field, end the query or change the path. Long ones are cut between
// characters, never inside one.
TEST(QVServiceHTTPInterfaceTest, SuggestionQueryIsOneEncodedValue)
{
    const QVServiceHTTPInterface api(base + "//");
    const int limit = QVServiceHTTPInterface::maximumQueryLength;
    const struct {
        QString query;
        QString sent {}; // null: the query as it is
    } cases[] = {
        { "a&b c" },
        { "x=1;y=2+3" },
        { "#fragment?q=/../x" },
        { QStringLiteral("Mötley Crüe — 東京事変 🎸") },
        { QString(10000, u'q'), QString(limit, u'q') },
        // A guitar (two UTF-16 units) straddling the limit is left out whole.
        { QString(limit - 1, u'x') + QStringLiteral("🎸tail"), QString(limit - 1, u'x') },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.query.left(80).toStdString());
        const QString url = api.groupedSearchSuggestionsURL(c.query);
        const QString prefix = base + "/api/json/groupedSearchSuggestions/?query=";
        ASSERT_TRUE(url.startsWith(prefix)) << url.toStdString();
        // Only unreserved characters and escapes ("+" would read as a space).
        for (const QChar ch : url.mid(prefix.size()))
            EXPECT_TRUE(ch.isLetterOrNumber() || QStringLiteral("-._~%").contains(ch)) << int(ch.unicode());
        EXPECT_EQ(
            QUrl::fromPercentEncoding(url.mid(prefix.size()).toLatin1()), c.sent.isNull() ? c.query : c.sent);
    }
}

// The icon stays the one "m" value, whatever it holds; an address from the
// page that is not a plain http(s) one is refused.
TEST(QVServiceHTTPInterfaceTest, AlbumArtAddressFromThePage)
{
    const QString address = "http://127.0.0.1:8000/images/art";
    const QString icon = QStringLiteral("a&w=9999&h=9999#x y/ü'\"");
    const QUrl parsed(QVServiceHTTPInterface::albumArtURL(address, icon), QUrl::StrictMode);
    ASSERT_TRUE(parsed.isValid());
    EXPECT_FALSE(parsed.hasFragment());
    const QUrlQuery query(parsed);
    EXPECT_EQ(query.queryItems(QUrl::FullyDecoded).size(), 3);
    EXPECT_EQ(query.queryItemValue("m", QUrl::FullyDecoded), icon);

    const QStringList refused = {
        "/images/art",
        "javascript:alert(1)",
        "file:///etc/passwd",
        "http://host/art?size=1",
        "http://host/" + QString(QVServiceHTTPInterface::maximumImageAddressLength, u'a'),
    };
    for (const QString& bad : refused) {
        SCOPED_TRACE(bad.left(80).toStdString());
        EXPECT_TRUE(QVServiceHTTPInterface::albumArtURL(bad, "a11").isEmpty());
    }
    EXPECT_TRUE(QVServiceHTTPInterface::albumArtURL(address, QString()).isEmpty());
}

// Only non-negative integers count; an answer that is not an object adds nothing.
TEST(QVServiceHTTPInterfaceTest, BulkAddAnswerCountsAndIdentifiers)
{
    const auto answer = QVServiceHTTPInterface::parseBulkAddToLibrary(
        R"({"found": 30, "new": 12, "tracks": [101, "t102", 103.5, null, {}, -1, ""], "albums": [11]})");
    ASSERT_TRUE(answer.isValid);
    EXPECT_EQ(answer.found, 30);
    EXPECT_EQ(answer.added, 12);
    EXPECT_EQ(answer.tracks, QVariantList({ qint64(101), "t102", qint64(103) }));
    EXPECT_EQ(answer.albums, QVariantList({ qint64(11) }));

    const struct {
        QByteArray body;
        qint64 found;
        qint64 added;
    } cases[] = {
        { "garbage", 0, 0 },
        { R"([{"found": 3}])", 0, 0 },
        { R"({"found": "30", "new": true})", 0, 0 },
        { R"({"found": -5, "new": 2.9})", 0, 2 },
        { R"({"found": 1e300, "new": 4294967296})", 2147483647, 2147483647 },
        { R"({"found": 3, "tracks": "101,102", "albums": {"0": 11}})", 3, 0 },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.body.toStdString());
        const auto result = QVServiceHTTPInterface::parseBulkAddToLibrary(c.body);
        EXPECT_EQ(result.found, c.found);
        EXPECT_EQ(result.added, c.added);
        EXPECT_TRUE(result.tracks.isEmpty());
        EXPECT_TRUE(result.albums.isEmpty());
    }
}
