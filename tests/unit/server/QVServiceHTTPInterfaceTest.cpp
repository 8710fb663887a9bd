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

QJsonObject dataObject(const QVServiceHTTPInterface::FormCall& call)
{
    return QJsonDocument::fromJson(call.parameters.value(QStringLiteral("data")).toUtf8()).object();
}

// The calls as the program makes them: built here, sent by the request pool,
// answered by the demo service.
class QVServiceHTTPInterfaceDemoTest : public ::testing::Test
{
protected:
    struct Answer {
        int status = 0; // 0: the request failed
        QByteArray body;
    };

    void SetUp() override
    {
        ASSERT_TRUE(service.start()) << service.errorString().toStdString();
        api = std::make_unique<QVServiceHTTPInterface>(service.baseUrl());
    }

    Answer send(const QString& url, const std::optional<QVServerRequestParams>& parameters = std::nullopt)
    {
        QVRecordingDelegate delegate;
        const QVServerRequestIdentifier id = pool.addServerRequest(url, parameters, false, &delegate);
        EXPECT_TRUE(QVWaitUntil([&] { return delegate.hasEnded(); })) << url.toStdString();
        delegate.expectWellFormed(id);
        Answer answer;
        if (const auto* finished = delegate.first(QVRecordingDelegate::Finished)) {
            answer.body = finished->data;
            if (const auto* response = delegate.first(QVRecordingDelegate::Response))
                answer.status = response->statusCode;
        }
        return answer;
    }
    Answer send(const QVServiceHTTPInterface::FormCall& call) { return send(call.url, call.parameters); }

    QVDemoService service;
    QVServerConnection pool;
    std::unique_ptr<QVServiceHTTPInterface> api;
};

} // namespace

// Whatever the user types stays one query value: nothing in it can start a
// second field, end the query or change the path.
TEST(QVServiceHTTPInterfaceTest, SuggestionQueryIsOneEncodedValue)
{
    const QVServiceHTTPInterface api(base + QStringLiteral("//"));
    EXPECT_EQ(api.groupedSearchSuggestionsURL(QStringLiteral("a&b c")),
        base + QStringLiteral("/api/json/groupedSearchSuggestions/?query=a%26b%20c"));

    const QStringList hostile = {
        QStringLiteral("a&query=b"),
        QStringLiteral("x=1;y=2+3"),
        QStringLiteral("\"quoted\" 'single' <tag>"),
        QStringLiteral("#fragment?q=/../x"),
        QStringLiteral("100% %41 %zz"),
        QStringLiteral("Mötley Crüe — 東京事変 🎸"),
        QStringLiteral("line\nbreak\ttab\r"),
        QStringLiteral("  "),
    };
    for (const QString& query : hostile) {
        SCOPED_TRACE(query.toStdString());
        const QString url = api.groupedSearchSuggestionsURL(query);
        EXPECT_TRUE(url.startsWith(base + QStringLiteral("/api/json/groupedSearchSuggestions/?query=")));
        // Only unreserved characters and escapes after the "=".
        const QString value = url.mid(url.indexOf(u'=') + 1);
        for (const QChar c : value)
            EXPECT_TRUE(c.isLetterOrNumber() || QStringLiteral("-._~%").contains(c)) << int(c.unicode());
        EXPECT_EQ(onlyQueryValue(url, QStringLiteral("query")), query);
    }
}

TEST(QVServiceHTTPInterfaceTest, LongQueriesAreCutWithoutSplittingACharacter)
{
    const QVServiceHTTPInterface api(base);
    const QString overlong(10000, u'q');
    EXPECT_EQ(onlyQueryValue(api.groupedSearchSuggestionsURL(overlong), QStringLiteral("query")),
        QString(QVServiceHTTPInterface::maximumQueryLength, u'q'));

    // A guitar (two UTF-16 units) straddling the limit is left out whole.
    const QString straddling
        = QString(QVServiceHTTPInterface::maximumQueryLength - 1, u'x') + QStringLiteral("🎸tail");
    const auto value = onlyQueryValue(api.groupedSearchSuggestionsURL(straddling), QStringLiteral("query"));
    ASSERT_TRUE(value);
    EXPECT_EQ(*value, QString(QVServiceHTTPInterface::maximumQueryLength - 1, u'x'));
    EXPECT_FALSE(api.groupedSearchSuggestionsURL(straddling).contains(QStringLiteral("%EF%BF%BD")));
}

TEST(QVServiceHTTPInterfaceTest, LibraryNamesTravelAsJsonData)
{
    const QVServiceHTTPInterface api(base);
    const QString artist = QStringLiteral("AC/DC \"live\" & friends; a=b");
    const QString album = QStringLiteral("Björk\\n 'Homogenic'\n#2");
    QVServiceHTTPInterface::GroupedTracks tracks;
    tracks[artist][album] = { QStringLiteral("Jóga"), QStringLiteral("Jóga"), QStringLiteral("}]\",{") };
    tracks[QStringLiteral("Long")][QStringLiteral("Names")] = { QString(5000, u'n') };

    const auto call = api.bulkAddToLibraryCall(tracks);
    ASSERT_EQ(call.parameters.keys(), QStringList { QStringLiteral("data") });
    const QJsonObject data = dataObject(call);
    ASSERT_EQ(data.size(), 2);
    const QJsonArray songs = data.value(artist).toObject().value(album).toArray();
    EXPECT_EQ(songs.toVariantList(),
        QVariantList({ QStringLiteral("Jóga"), QStringLiteral("Jóga"), QStringLiteral("}]\",{") }));
    EXPECT_EQ(data.value(QStringLiteral("Long")).toObject().value(QStringLiteral("Names")).toArray().at(0),
        QString(QVServiceHTTPInterface::maximumNameLength, u'n'));

    const QJsonObject done
        = dataObject(api.addToLibraryCompletedCall({ 11 }, { 101, QStringLiteral("t&;=") }));
    EXPECT_EQ(done.value(QStringLiteral("tracks")).toArray().toVariantList(),
        QVariantList({ 101.0, QStringLiteral("t&;=") }));
}

TEST(QVServiceHTTPInterfaceTest, CrashLogKeepsItsTextUpToTheLimit)
{
    const QVServiceHTTPInterface api(base);
    const QString log = QStringLiteral("Signal 11 & more; a=b+c %20 ü\n\tframe #1");
    EXPECT_EQ(api.submitAppLogCall(log).parameters.value(QStringLiteral("log")), log);

    // Two-byte characters across the limit: the cut falls between characters.
    const QString big = QStringLiteral("x") + QString(QVServiceHTTPInterface::maximumLogLength, u'é');
    const QString sent = api.submitAppLogCall(big).parameters.value(QStringLiteral("log"));
    EXPECT_EQ(sent.toUtf8().size(), QVServiceHTTPInterface::maximumLogLength - 1);
    EXPECT_TRUE(big.startsWith(sent));
    EXPECT_FALSE(sent.contains(QChar::ReplacementCharacter));
}

TEST(QVServiceHTTPInterfaceTest, AlbumArtAddressFromThePage)
{
    const QString address = QStringLiteral("http://127.0.0.1:8000/images/art");
    EXPECT_EQ(QVServiceHTTPInterface::albumArtURL(address, QStringLiteral("a11")),
        address + QStringLiteral("?m=a11&w=200&h=200"));
    EXPECT_EQ(
        QVServiceHTTPInterface::albumArtURL(QStringLiteral("HTTPS://Art.Example/i"), QStringLiteral("k")),
        QStringLiteral("https://art.example/i?m=k&w=200&h=200"));

    // The icon stays the one "m" value, whatever it holds.
    const QString icon = QStringLiteral("a&w=9999&h=9999#x y/ü'\"");
    const QString url = QVServiceHTTPInterface::albumArtURL(address, icon);
    const QUrl parsed(url, QUrl::StrictMode);
    ASSERT_TRUE(parsed.isValid()) << url.toStdString();
    EXPECT_FALSE(parsed.hasFragment());
    const QUrlQuery query(parsed);
    EXPECT_EQ(query.queryItems(QUrl::FullyDecoded).size(), 3);
    EXPECT_EQ(query.queryItemValue(QStringLiteral("m"), QUrl::FullyDecoded), icon);
    EXPECT_EQ(query.queryItemValue(QStringLiteral("w")), QStringLiteral("200"));

    const QStringList refused = {
        QString(),
        QStringLiteral("/images/art"),
        QStringLiteral("javascript:alert(1)"),
        QStringLiteral("file:///etc/passwd"),
        QStringLiteral("http:///images/art"),
        QStringLiteral("http://host/art?size=1"),
        QStringLiteral("http://host/art#top"),
        QStringLiteral("http://exa mple.com/art"),
        QStringLiteral("http://host/") + QString(QVServiceHTTPInterface::maximumImageAddressLength, u'a'),
    };
    for (const QString& bad : refused) {
        SCOPED_TRACE(bad.left(80).toStdString());
        EXPECT_TRUE(QVServiceHTTPInterface::albumArtURL(bad, QStringLiteral("a11")).isEmpty());
    }
    EXPECT_TRUE(QVServiceHTTPInterface::albumArtURL(address, QString()).isEmpty());
    EXPECT_TRUE(QVServiceHTTPInterface::albumArtURL(
        address, QString(QVServiceHTTPInterface::maximumBaseIconLength + 1, u'a'))
                    .isEmpty());
}

TEST(QVServiceHTTPInterfaceTest, SuggestionsAnswerIsReadByGroup)
{
    const auto answer = QVServiceHTTPInterface::parseSearchSuggestions(R"({
        "top": {"type": "r", "id": 1, "name": "The Paper Lanterns", "url": "/artist/r1/"},
        "a": [{"type": "a", "id": 11, "name": "Harbour Lights", "artist": "The Paper Lanterns",
               "url": "/album/a11/", "baseIcon": "a11", "extra": {"deep": [1]}},
              {"type": "A", "id": "12", "name": "Small Rooms"}],
        "t": [{"type": "t", "id": 101, "name": "Lanterns on the Water"}],
        "s": [{"type": "s", "id": 7, "displayName": "Dana Demo", "canUnfollow": true}],
        "x": [{"type": "x"}]
    })");
    ASSERT_TRUE(answer.isValid);
    ASSERT_TRUE(answer.top);
    EXPECT_EQ(answer.top->value(QStringLiteral("name")), QStringLiteral("The Paper Lanterns"));
    EXPECT_EQ(
        answer.groups.keys(), QStringList({ QStringLiteral("a"), QStringLiteral("s"), QStringLiteral("t") }));
    const auto albums = answer.groups.value(QStringLiteral("a"));
    ASSERT_EQ(albums.size(), 2);
    EXPECT_EQ(albums[0].value(QStringLiteral("baseIcon")), QStringLiteral("a11"));
    EXPECT_FALSE(albums[0].contains(QStringLiteral("extra")));
    EXPECT_EQ(albums[1].value(QStringLiteral("id")).toLongLong(), 12);
    EXPECT_EQ(answer.groups.value(QStringLiteral("s")).value(0).value(QStringLiteral("canUnfollow")),
        QVariant(true));
}

TEST(QVServiceHTTPInterfaceTest, OddSuggestionsAnswersAreSkippedNotTrusted)
{
    for (const QByteArray& body : { QByteArray(), QByteArray("not json"), QByteArray("[1,2]"),
             QByteArray("\"top\""), QByteArray("{\"top\":{\"name\":\"x\"}"), QByteArray("null") }) {
        SCOPED_TRACE(body.toStdString());
        const auto answer = QVServiceHTTPInterface::parseSearchSuggestions(body);
        EXPECT_FALSE(answer.isValid);
        EXPECT_FALSE(answer.top);
        EXPECT_TRUE(answer.groups.isEmpty());
    }

    const auto odd = QVServiceHTTPInterface::parseSearchSuggestions(R"({
        "top": "Harbour Lights",
        "r": {"0": {"name": "not an array"}},
        "a": [1, "two", null, [], {"name": 5, "displayName": "Shown", "id": -3, "url": ["/x/"],
              "baseIcon": false, "canUnfollow": "yes"}],
        "t": [{"id": 101.9, "name": "Saltwind", "artist": null}, {"id": 1e300}, {"id": "12abc"},
              {"id": 4294967296}],
        "p": []
    })");
    ASSERT_TRUE(odd.isValid);
    EXPECT_FALSE(odd.top);
    EXPECT_FALSE(odd.groups.contains(QStringLiteral("r")));
    ASSERT_EQ(odd.groups.value(QStringLiteral("a")).size(), 1);
    const QVariantMap album = odd.groups.value(QStringLiteral("a")).first();
    EXPECT_EQ(album, QVariantMap({ { QStringLiteral("displayName"), QStringLiteral("Shown") } }));
    const auto songs = odd.groups.value(QStringLiteral("t"));
    ASSERT_EQ(songs.size(), 4);
    EXPECT_EQ(songs[0].value(QStringLiteral("id")).toLongLong(), 101);
    EXPECT_FALSE(songs[0].contains(QStringLiteral("artist")));
    EXPECT_FALSE(songs[1].contains(QStringLiteral("id")));
    EXPECT_FALSE(songs[2].contains(QStringLiteral("id")));
    EXPECT_FALSE(songs[3].contains(QStringLiteral("id")));
    EXPECT_TRUE(odd.groups.contains(QStringLiteral("p")));
    EXPECT_TRUE(odd.groups.value(QStringLiteral("p")).isEmpty());
}

TEST(QVServiceHTTPInterfaceTest, OversizedSuggestionsAreRefused)
{
    QJsonArray many;
    for (int i = 0; i <= QVServiceHTTPInterface::maximumSuggestionCount; ++i)
        many.append(QJsonObject { { QStringLiteral("name"), QStringLiteral("n%1").arg(i) } });
    QJsonArray few = many;
    few.removeLast();
    const QJsonObject object {
        { QStringLiteral("r"), many },
        { QStringLiteral("t"), few },
        { QStringLiteral("a"),
            QJsonArray { QJsonObject { { QStringLiteral("name"),
                QString(QVServiceHTTPInterface::maximumSuggestionFieldLength + 1, u'n') } } } },
    };
    const auto answer = QVServiceHTTPInterface::parseSearchSuggestions(QJsonDocument(object).toJson());
    ASSERT_TRUE(answer.isValid);
    EXPECT_FALSE(answer.groups.contains(QStringLiteral("r")));
    EXPECT_EQ(
        answer.groups.value(QStringLiteral("t")).size(), QVServiceHTTPInterface::maximumSuggestionCount);
    EXPECT_FALSE(answer.groups.value(QStringLiteral("a")).first().contains(QStringLiteral("name")));

    // A body past the limit is not even parsed, valid JSON or not.
    QByteArray huge
        = "{\"t\":[{\"name\":\"" + QByteArray(QVServiceHTTPInterface::maximumAnswerLength, 'x') + "\"}]}";
    EXPECT_FALSE(QVServiceHTTPInterface::parseSearchSuggestions(huge).isValid);
    // Deep nesting is a parse failure, not a crash.
    const QByteArray deep = "{\"top\":" + QByteArray(100000, '[') + QByteArray(100000, ']') + "}";
    EXPECT_FALSE(QVServiceHTTPInterface::parseSearchSuggestions(deep).top);
}

TEST(QVServiceHTTPInterfaceTest, BulkAddAnswerCountsAndIdentifiers)
{
    const auto answer = QVServiceHTTPInterface::parseBulkAddToLibrary(
        R"({"found": 30, "new": 12, "tracks": [101, "t102", 103.5, null, {}, -1, ""], "albums": [11]})");
    ASSERT_TRUE(answer.isValid);
    EXPECT_EQ(answer.found, 30);
    EXPECT_EQ(answer.added, 12);
    EXPECT_EQ(answer.tracks, QVariantList({ qint64(101), QStringLiteral("t102"), qint64(103) }));
    EXPECT_EQ(answer.albums, QVariantList({ qint64(11) }));

    struct Case {
        QByteArray body;
        qint64 found;
        qint64 added;
    };
    const Case cases[] = {
        { "{}", 0, 0 },
        { "garbage", 0, 0 },
        { R"({"found": "30", "new": true})", 0, 0 },
        { R"({"found": -5, "new": 2.9})", 0, 2 },
        { R"({"found": 1e300, "new": 4294967296})", 2147483647, 2147483647 },
        { R"({"found": 3, "tracks": "101,102", "albums": {"0": 11}})", 3, 0 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.body.toStdString());
        const auto result = QVServiceHTTPInterface::parseBulkAddToLibrary(c.body);
        EXPECT_EQ(result.found, c.found);
        EXPECT_EQ(result.added, c.added);
        EXPECT_TRUE(result.tracks.isEmpty());
        EXPECT_TRUE(result.albums.isEmpty());
    }

    QJsonArray many;
    for (int i = 0; i <= QVServiceHTTPInterface::maximumIdentifierCount; ++i)
        many.append(i);
    const QJsonObject tooMany { { QStringLiteral("found"), 1 }, { QStringLiteral("tracks"), many },
        { QStringLiteral("albums"), QJsonArray { 11 } } };
    const auto refused = QVServiceHTTPInterface::parseBulkAddToLibrary(QJsonDocument(tooMany).toJson());
    EXPECT_EQ(refused.found, 1);
    EXPECT_TRUE(refused.tracks.isEmpty());
    EXPECT_EQ(refused.albums.size(), 1);
}

TEST_F(QVServiceHTTPInterfaceDemoTest, EveryCallReachesTheServiceIntact)
{
    // An "&" in the query would cut it short if it were not escaped.
    Answer answer = send(api->groupedSearchSuggestionsURL(QStringLiteral("Smoke & Brass")));
    ASSERT_EQ(answer.status, 200);
    const auto suggestions = QVServiceHTTPInterface::parseSearchSuggestions(answer.body);
    ASSERT_TRUE(suggestions.top);
    EXPECT_EQ(suggestions.top->value(QStringLiteral("id")).toLongLong(), 108);
    EXPECT_EQ(suggestions.top->value(QStringLiteral("url")), QStringLiteral("/track/t108/"));

    QVServiceHTTPInterface::GroupedTracks library;
    library[QStringLiteral("the paper lanterns")][QStringLiteral("HARBOUR LIGHTS")]
        = { QStringLiteral("Lanterns on the Water"), QStringLiteral("Pier at Midnight"),
              QStringLiteral("Saltwind") };
    library[QStringLiteral("Mira Okafor")][QStringLiteral("Blue Hour Sessions")]
        = { QStringLiteral("Smoke & Brass") };
    library[QStringLiteral("Nobody; a=b&c+d %41")][QStringLiteral("Ünknown")] = { QStringLiteral("x") };
    answer = send(api->bulkAddToLibraryCall(library));
    ASSERT_EQ(answer.status, 200) << answer.body.data();
    const auto matched = QVServiceHTTPInterface::parseBulkAddToLibrary(answer.body);
    EXPECT_TRUE(matched.isValid);
    EXPECT_EQ(matched.found, 4);
    EXPECT_EQ(matched.added, 4);
    EXPECT_EQ(matched.tracks, QVariantList({ qint64(101), qint64(102), qint64(103), qint64(108) }));
    EXPECT_EQ(matched.albums, QVariantList({ qint64(11) }));

    answer = send(api->addToLibraryCompletedCall(matched.albums, matched.tracks));
    EXPECT_EQ(answer.status, 200) << answer.body.data();

    // A crash log far longer than a small form, full of the form's own characters.
    QString log;
    for (int frame = 0; log.size() < 64 * 1024; ++frame)
        log += QStringLiteral("#%1 in f(a=1&b=2; c+d) 100% ü 🎸\n").arg(frame);
    answer = send(api->submitAppLogCall(log));
    ASSERT_EQ(answer.status, 200) << answer.body.data();
    answer = send(service.baseUrl() + QStringLiteral("/api/demo/appLogs"));
    const QJsonArray logs
        = QJsonDocument::fromJson(answer.body).object().value(QStringLiteral("logs")).toArray();
    ASSERT_EQ(logs.size(), 1);
    EXPECT_EQ(logs[0].toObject().value(QStringLiteral("appName")), QStringLiteral("mac"));
    EXPECT_EQ(logs[0].toObject().value(QStringLiteral("log")).toString(), log);

    answer = send(api->reachabilityProbeURL());
    EXPECT_EQ(answer.status, 200);
    EXPECT_TRUE(answer.body.startsWith("GIF89a"));
}
