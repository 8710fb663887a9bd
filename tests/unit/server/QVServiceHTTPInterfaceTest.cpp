#include "QVServiceHTTPInterface.h"
#include "QVDemoService.h"
#include "QVRecordingDelegate.h"
#include "QVServerConnection.h"
#include "QVTestWait.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>
#include <QUrlQuery>

namespace {

const QString base = QStringLiteral("http://127.0.0.1:8000");

// The single "query" value a URL carries, decoded, or nothing when the URL
// carries anything else (a second field, a fragment).
std::optional<QString> onlyQueryValue(const QString& url, const QString& name)
{
    const QUrl parsed(url, QUrl::StrictMode);
    if (!parsed.isValid() || parsed.hasFragment())
        return std::nullopt;
    const QUrlQuery query(parsed);
    const auto items = query.queryItems(QUrl::FullyDecoded);
    if (items.size() != 1 || items.first().first != name)
        return std::nullopt;
    return items.first().second;
}

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
        { "a&query=b" },
        { "x=1;y=2+3" },
        { "\"quoted\" 'single' <tag>" },
        { "#fragment?q=/../x" },
        { "100% %41 %zz" },
        { QStringLiteral("Mötley Crüe — 東京事変 🎸") },
        { "line\nbreak\ttab\r" },
        { "  " },
        { QString(10000, u'q'), QString(limit, u'q') },
        // A guitar (two UTF-16 units) straddling the limit is left out whole.
        { QString(limit - 1, u'x') + QStringLiteral("🎸tail"), QString(limit - 1, u'x') },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.query.left(80).toStdString());
        const QString url = api.groupedSearchSuggestionsURL(c.query);
        EXPECT_TRUE(url.startsWith(base + "/api/json/groupedSearchSuggestions/?query="));
        // Only unreserved characters and escapes after the "=".
        const QString value = url.mid(url.indexOf(u'=') + 1);
        for (const QChar ch : value)
            EXPECT_TRUE(ch.isLetterOrNumber() || QStringLiteral("-._~%").contains(ch)) << int(ch.unicode());
        EXPECT_EQ(onlyQueryValue(url, "query"), c.sent.isNull() ? c.query : c.sent);
    }
}

// Names longer than the limit are cut at every level. (The rest is the JSON
// writer's work; the collection matcher's tests send real uploads.)
TEST(QVServiceHTTPInterfaceTest, LibraryNamesAreCutToTheLimit)
{
    const QString name(5000, u'n');
    const QString cut(QVServiceHTTPInterface::maximumNameLength, u'n');
    QVServiceHTTPInterface::GroupedTracks tracks;
    tracks[name][name] = { name };
    const auto call = QVServiceHTTPInterface(base).bulkAddToLibraryCall(tracks);
    const QJsonObject data = QJsonDocument::fromJson(call.parameters.value("data").toUtf8()).object();
    EXPECT_EQ(data.value(cut).toObject().value(cut).toArray(), QJsonArray { cut });
}

// Two-byte characters across the limit: the cut falls between characters.
TEST(QVServiceHTTPInterfaceTest, CrashLogIsCutBetweenCharacters)
{
    const QVServiceHTTPInterface api(base);
    const QString big = "x" + QString(QVServiceHTTPInterface::maximumLogLength, u'é');
    const QString sent = api.submitAppLogCall(big).parameters.value("log");
    EXPECT_EQ(sent.toUtf8().size(), QVServiceHTTPInterface::maximumLogLength - 1);
    EXPECT_TRUE(big.startsWith(sent));
    EXPECT_FALSE(sent.contains(QChar::ReplacementCharacter));
}

TEST(QVServiceHTTPInterfaceTest, AlbumArtAddressFromThePage)
{
    const QString address = "http://127.0.0.1:8000/images/art";
    // The icon stays the one "m" value, whatever it holds.
    const QString icon = QStringLiteral("a&w=9999&h=9999#x y/ü'\"");
    const QString url = QVServiceHTTPInterface::albumArtURL(address, icon);
    const QUrl parsed(url, QUrl::StrictMode);
    ASSERT_TRUE(parsed.isValid()) << url.toStdString();
    EXPECT_FALSE(parsed.hasFragment());
    const QUrlQuery query(parsed);
    EXPECT_EQ(query.queryItems(QUrl::FullyDecoded).size(), 3);
    EXPECT_EQ(query.queryItemValue("m", QUrl::FullyDecoded), icon);
    EXPECT_EQ(query.queryItemValue("w"), "200");

    const QStringList refused = {
        QString(),
        "/images/art",
        "javascript:alert(1)",
        "file:///etc/passwd",
        "http:///images/art",
        "http://host/art?size=1",
        "http://host/art#top",
        "http://exa mple.com/art",
        "http://host/" + QString(QVServiceHTTPInterface::maximumImageAddressLength, u'a'),
    };
    for (const QString& bad : refused) {
        SCOPED_TRACE(bad.left(80).toStdString());
        EXPECT_TRUE(QVServiceHTTPInterface::albumArtURL(bad, "a11").isEmpty());
    }
    EXPECT_TRUE(QVServiceHTTPInterface::albumArtURL(address, QString()).isEmpty());
    EXPECT_TRUE(QVServiceHTTPInterface::albumArtURL(
        address, QString(QVServiceHTTPInterface::maximumBaseIconLength + 1, u'a'))
                    .isEmpty());
}

// Entries of the wrong shape are skipped, fields of the wrong type dropped,
// identifiers kept only when whole and in range.
TEST(QVServiceHTTPInterfaceTest, SuggestionsAreReadByGroupAndOddEntriesSkipped)
{
    // A body past the limit is not even parsed, valid JSON or not.
    const QByteArray huge
        = "{\"t\":[{\"name\":\"" + QByteArray(QVServiceHTTPInterface::maximumAnswerLength, 'x') + "\"}]}";
    for (const QByteArray& body : { QByteArray(), QByteArray("not json"), QByteArray("[1,2]"),
             QByteArray("\"top\""), QByteArray("{\"top\":{\"name\":\"x\"}"), QByteArray("null"), huge }) {
        SCOPED_TRACE(body.left(40).toStdString());
        const auto answer = QVServiceHTTPInterface::parseSearchSuggestions(body);
        EXPECT_FALSE(answer.isValid);
        EXPECT_FALSE(answer.top);
        EXPECT_TRUE(answer.groups.isEmpty());
    }
    EXPECT_FALSE(QVServiceHTTPInterface::parseSearchSuggestions(R"({"top": "Harbour Lights"})").top);

    const auto answer = QVServiceHTTPInterface::parseSearchSuggestions(R"({
        "top": {"type": "r", "id": 1, "name": "The Paper Lanterns", "url": "/artist/r1/"},
        "r": {"0": {"name": "not an array"}},
        "a": [{"type": "a", "id": 11, "name": "Harbour Lights", "baseIcon": "a11", "extra": {"deep": [1]}},
              {"type": "A", "id": "12", "name": "Small Rooms"},
              1, "two", null, [], {"name": 5, "displayName": "Shown", "id": -3, "url": ["/x/"],
              "baseIcon": false, "canUnfollow": "yes"}],
        "t": [{"id": 101.9, "name": "Saltwind", "artist": null}, {"id": 1e300}, {"id": "12abc"},
              {"id": 4294967296}],
        "s": [{"type": "s", "id": 7, "displayName": "Dana Demo", "canUnfollow": true}],
        "x": [{"type": "x"}],
        "p": []
    })");
    ASSERT_TRUE(answer.isValid);
    ASSERT_TRUE(answer.top);
    EXPECT_EQ(answer.top->value("name"), "The Paper Lanterns");
    EXPECT_EQ(answer.groups.keys(), QStringList({ "a", "p", "s", "t" }));
    const auto albums = answer.groups.value("a");
    ASSERT_EQ(albums.size(), 3);
    EXPECT_EQ(albums[0].value("baseIcon"), "a11");
    EXPECT_FALSE(albums[0].contains("extra"));
    EXPECT_EQ(albums[1].value("id").toLongLong(), 12);
    EXPECT_EQ(albums[2], QVariantMap({ { "displayName", "Shown" } }));
    EXPECT_EQ(answer.groups.value("s").value(0).value("canUnfollow"), QVariant(true));
    const auto songs = answer.groups.value("t");
    ASSERT_EQ(songs.size(), 4);
    EXPECT_EQ(songs[0].value("id").toLongLong(), 101);
    EXPECT_FALSE(songs[0].contains("artist"));
    for (int i = 1; i < 4; ++i)
        EXPECT_FALSE(songs[i].contains("id")) << i;
    EXPECT_TRUE(answer.groups.value("p").isEmpty());
}

TEST(QVServiceHTTPInterfaceTest, OversizedSuggestionsAreRefused)
{
    QJsonArray many;
    for (int i = 0; i <= QVServiceHTTPInterface::maximumSuggestionCount; ++i)
        many.append(QJsonObject { { "name", QStringLiteral("n%1").arg(i) } });
    QJsonArray few = many;
    few.removeLast();
    const QJsonObject object {
        { "r", many },
        { "t", few },
        { "a",
            QJsonArray { QJsonObject {
                { "name", QString(QVServiceHTTPInterface::maximumSuggestionFieldLength + 1, u'n') } } } },
    };
    const auto answer = QVServiceHTTPInterface::parseSearchSuggestions(QJsonDocument(object).toJson());
    ASSERT_TRUE(answer.isValid);
    EXPECT_FALSE(answer.groups.contains("r"));
    EXPECT_EQ(answer.groups.value("t").size(), QVServiceHTTPInterface::maximumSuggestionCount);
    EXPECT_FALSE(answer.groups.value("a").first().contains("name"));
}

TEST(QVServiceHTTPInterfaceTest, BulkAddAnswerCountsAndIdentifiers)
{
    const auto answer = QVServiceHTTPInterface::parseBulkAddToLibrary(
        R"({"found": 30, "new": 12, "tracks": [101, "t102", 103.5, null, {}, -1, ""], "albums": [11]})");
    ASSERT_TRUE(answer.isValid);
    EXPECT_EQ(answer.found, 30);
    EXPECT_EQ(answer.added, 12);
    EXPECT_EQ(answer.tracks, QVariantList({ qint64(101), "t102", qint64(103) }));
    EXPECT_EQ(answer.albums, QVariantList({ qint64(11) }));

    QByteArray tooMany = R"({"found": 1, "tracks": [0)";
    for (int i = 1; i <= QVServiceHTTPInterface::maximumIdentifierCount; ++i)
        tooMany += "," + QByteArray::number(i);
    const struct {
        QByteArray body;
        qint64 found;
        qint64 added;
    } cases[] = {
        { "{}", 0, 0 },
        { "garbage", 0, 0 },
        { R"({"found": "30", "new": true})", 0, 0 },
        { R"({"found": -5, "new": 2.9})", 0, 2 },
        { R"({"found": 1e300, "new": 4294967296})", 2147483647, 2147483647 },
        { R"({"found": 3, "tracks": "101,102", "albums": {"0": 11}})", 3, 0 },
        { tooMany + "]}", 1, 0 },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.body.left(60).toStdString());
        const auto result = QVServiceHTTPInterface::parseBulkAddToLibrary(c.body);
        EXPECT_EQ(result.found, c.found);
        EXPECT_EQ(result.added, c.added);
        EXPECT_TRUE(result.tracks.isEmpty());
        EXPECT_TRUE(result.albums.isEmpty());
    }
}

// The query as the program builds it, sent by the pool and answered by the
// demo service: an "&" in it would cut it short if it were not escaped. (The
// collection matcher's tests send the library calls to the demo service.)
TEST(QVServiceHTTPInterfaceDemoTest, AQueryWithAnAmpersandReachesTheServiceWhole)
{
    QVDemoService service;
    ASSERT_TRUE(service.start()) << service.errorString().toStdString();
    QVServerConnection pool;
    const auto suggestions = QVServiceHTTPInterface::parseSearchSuggestions(QVRecordingDelegate::fetch(
        pool, QVServiceHTTPInterface(service.baseUrl()).groupedSearchSuggestionsURL("Smoke & Brass")));
    ASSERT_TRUE(suggestions.top);
    EXPECT_EQ(suggestions.top->value("id").toLongLong(), 108);
    EXPECT_EQ(suggestions.top->value("url"), "/track/t108/");
}
