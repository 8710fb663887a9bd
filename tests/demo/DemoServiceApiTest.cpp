#include "DemoServiceSuite.h"

#include <QElapsedTimer>
#include <QImage>
#include <QRegularExpression>
#include <QSet>
#include <QUrl>

namespace {

const QByteArray formType = "application/x-www-form-urlencoded";

QByteArray data(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

class DemoServiceApiTest : public DemoServiceTest
{
protected:
    DemoHttpResponse suggest(const QString& query)
    {
        return client->get("/api/json/groupedSearchSuggestions/?query=" + QUrl::toPercentEncoding(query));
    }
    DemoHttpResponse post(const QByteArray& call, const QList<QPair<QString, QString>>& fields)
    {
        return client->postForm("/api/json/" + call, fields);
    }
    DemoHttpResponse postData(const QByteArray& call, const QByteArray& body)
    {
        return post(call, { { "data", QString::fromUtf8(body) } });
    }
    DemoHttpResponse bulkAdd(const QJsonObject& grouped)
    {
        return postData("bulkAddToLibrary/", data(grouped));
    }
    int control(const QString& call, const QString& mode, const QString& after = {})
    {
        QList<QPair<QString, QString>> fields { { "call", call }, { "mode", mode } };
        if (!after.isEmpty())
            fields.append({ "after", after });
        return client->postForm("/api/demo/control", fields).status;
    }
};

TEST_F(DemoServiceApiTest, SuggestionsComeInFiveGroupsWithATopHitAndCanBeSlowed)
{
    // "a" is in nearly every name: each group is cut to five, every entry a page the router knows, and an
    // album's icon is a cover the art route serves.
    const QRegularExpression known(
        QStringLiteral("^/(artist/r\\d+|album/a\\d+|track/t\\d+|playlist/p\\d+|people/[^/]+)/$"));
    const QJsonObject answer = json(suggest(QStringLiteral("a")));
    for (const QString kind : { "r", "a", "t", "p", "s" }) {
        SCOPED_TRACE(kind.toStdString());
        const QJsonArray group = answer.value(kind).toArray();
        EXPECT_FALSE(group.isEmpty());
        EXPECT_LE(group.size(), 5);
        for (const auto& item : group) {
            const QJsonObject suggestion = item.toObject();
            EXPECT_EQ(suggestion.value(QStringLiteral("type")).toString(), kind);
            EXPECT_TRUE(known.match(suggestion.value(QStringLiteral("url")).toString()).hasMatch());
            if (kind == "a") {
                const QByteArray icon = suggestion.value(QStringLiteral("baseIcon")).toString().toUtf8();
                EXPECT_EQ(client->get("/images/art?m=" + icon + "&w=64&h=64").status, 200);
            }
        }
    }

    // The top hit, found without case; on a tie the album wins over the song, an exact name beats a
    // prefix; it is not listed twice. Characters that would end a query value arrive as part of it.
    const QList<QPair<QString, QString>> cases = {
        { "BLUE", "/album/a13/" },
        { "  the paper lanterns ", "/artist/r1/" },
        { "smoke & brass", "/track/t108/" },
        { "static &", "/playlist/p2/" },
    };
    for (const auto& [query, top] : cases) {
        SCOPED_TRACE(query.toStdString());
        const QJsonObject found = json(suggest(query));
        EXPECT_EQ(found.value(QStringLiteral("top")).toObject().value(QStringLiteral("url")).toString(), top);
    }
    EXPECT_FALSE(json(suggest(QStringLiteral("blue"))).contains(QStringLiteral("a")));
    EXPECT_EQ(json(suggest(QStringLiteral("#?&=%"))), QJsonObject());

    // Slowed on request for tests, and back to normal.
    const QString call = QStringLiteral("groupedSearchSuggestions");
    ASSERT_EQ(control(call, "delay:300"), 200);
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(suggest(QStringLiteral("blue")).status, 200);
    EXPECT_GE(clock.elapsed(), 300);
    ASSERT_EQ(control(call, "ok"), 200);
    clock.restart();
    EXPECT_EQ(suggest(QStringLiteral("blue")).status, 200);
    EXPECT_LT(clock.elapsed(), 300);
}

TEST_F(DemoServiceApiTest, MalformedCallsAreRefusedClearly)
{
    struct Case {
        QByteArray method;
        QByteArray target;
        QByteArray type;
        QByteArray body;
        int status;
        QString message;
    };
    const QByteArray log = "/api/json/submitAppLog/";
    const Case cases[] = {
        { "GET", "/api/json/groupedSearchSuggestions/", "", "", 400, "query" },
        { "GET", "/api/json/groupedSearchSuggestions/?query=%FF%FE", "", "", 400, "UTF-8" },
        { "GET", "/api/json/groupedSearchSuggestions/?query=" + QByteArray(1025, 'x'), "", "", 400,
            "too long" },
        { "POST", "/api/json/groupedSearchSuggestions/", formType, "query=blue", 405, "" },
        { "POST", "/api/json/bulkAddToLibrary/", formType, "other=%7B%7D", 400, "\"data\"" },
        { "POST", "/api/json/bulkAddToLibrary/", formType, "data=%7B%22%FF%22%3A%7B%7D%7D", 400, "UTF-8" },
        { "POST", "/api/json/bulkAddToLibrary/", formType, "data=" + QByteArray(5 << 20, 'x'), 413, "" },
        { "POST", log, formType, "log=x", 400, "" },
        { "POST", log, formType, "appName=mac&log=", 400, "" },
        { "POST", log, formType, "appName=mac%20os&log=x", 400, "" },
        { "POST", log, formType, "a=1" + QByteArray("&a=1").repeated(64), 400, "Too many form fields" },
        { "POST", "/api/demo/signin", formType, "password=demo&username=" + QByteArray(300, 'd'), 400,
            "too long" },
        { "POST", log, "application/json", "{\"log\":\"x\"}", 415, "" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE((c.method + " " + c.target.left(60) + " " + c.body.left(40)).toStdString());
        DemoHttpClient::Headers headers;
        if (!c.type.isEmpty())
            headers.append({ "Content-Type", c.type });
        const DemoHttpResponse response = client->request(c.method, c.target, headers, c.body);
        EXPECT_EQ(response.status, c.status);
        EXPECT_FALSE(response.body.trimmed().isEmpty());
        EXPECT_TRUE(errorOf(response).contains(c.message)) << response.body.left(200).toStdString();
    }
    EXPECT_TRUE(json(client->get("/api/demo/appLogs")).value(QStringLiteral("logs")).toArray().isEmpty());
}

TEST_F(DemoServiceApiTest, BulkAddMatchesNamesIgnoringCase)
{
    const QJsonObject library {
        { QStringLiteral("the paper LANTERNS"),
            QJsonObject {
                { QStringLiteral(" harbour lights "),
                    QJsonArray { QStringLiteral("Lanterns on the Water"), QStringLiteral("PIER AT MIDNIGHT"),
                        QStringLiteral("saltwind"), QStringLiteral("Saltwind"),
                        QStringLiteral("Not On It") } },
                { QStringLiteral("Small Rooms"), QJsonArray { QStringLiteral("Kitchen Radio") } },
                // A song of another album does not match under this one.
                { QStringLiteral("Unknown Album"), QJsonArray { QStringLiteral("Paper Walls") } },
            } },
        { QStringLiteral("Mira Okafor"),
            QJsonObject {
                { QStringLiteral("Blue Hour Sessions"), QJsonArray { QStringLiteral("Blue Hour") } } } },
        { QStringLiteral("Nobody"), QJsonObject { { QStringLiteral("Harbour Lights"), QJsonArray {} } } },
    };

    // Without a session nothing is in a collection yet: everything found is new.
    DemoHttpResponse response = bulkAdd(library);
    ASSERT_EQ(response.status, 200) << response.body.data();
    QJsonObject answer = json(response);
    EXPECT_EQ(answer.value(QStringLiteral("found")).toInt(), 5);
    EXPECT_EQ(answer.value(QStringLiteral("new")).toInt(), 5);
    EXPECT_EQ(ids(answer.value(QStringLiteral("tracks"))), QList<int>({ 101, 102, 103, 104, 107 }));
    EXPECT_EQ(ids(answer.value(QStringLiteral("albums"))), QList<int>({ 11 }));

    // The demo account already holds 101, 102 and 107.
    signIn();
    answer = json(bulkAdd(library));
    EXPECT_EQ(answer.value(QStringLiteral("new")).toInt(), 2);
    EXPECT_EQ(ids(answer.value(QStringLiteral("tracks"))), QList<int>({ 103, 104 }));
    EXPECT_EQ(ids(answer.value(QStringLiteral("albums"))), QList<int>({ 11 }));
    EXPECT_EQ(collection(), QList<int>({ 101, 102, 103, 104, 107 })) << "what is new joins the collection";
    answer = json(bulkAdd(library));
    EXPECT_EQ(answer.value(QStringLiteral("found")).toInt(), 5);
    EXPECT_EQ(answer.value(QStringLiteral("new")).toInt(), 0) << "nothing is new twice";

    EXPECT_EQ(json(bulkAdd({})).value(QStringLiteral("found")).toInt(), 0) << "the matcher's empty upload";
}

TEST_F(DemoServiceApiTest, MalformedLibraryUploadsAreRefusedClearly)
{
    struct Case {
        QByteArray data;
        int status;
        QString message;
        QByteArray call = "bulkAddToLibrary/";
    };
    // The reader takes 8 levels and 20,000 elements (artist, album and songs here).
    const auto nested = [](int levels) {
        return "{\"a\":" + QByteArray(levels - 1, '[') + QByteArray(levels - 1, ']') + "}";
    };
    const auto elements
        = [](int count) { return "{\"a\":{\"b\":[" + QByteArray("0,").repeated(count - 3) + "0]}}"; };
    const Case cases[] = {
        { "{\"a\":{}} trailing", 400, QStringLiteral("not valid JSON") },
        { "{\"a\":{\"b\":[\"\\udc00\"]}}", 400, QStringLiteral("surrogate") },
        { "[\"Lanterns\"]", 400, QStringLiteral("object of artists") },
        { "{\"Artist\":{\"Album\":{\"0\":\"song\"}}}", 400, QStringLiteral("\"Album\" of \"Artist\"") },
        { "{\"Artist\":{\"Album\":[\"ok\",7]}}", 400, QStringLiteral("must be strings") },
        { nested(8), 400, QStringLiteral("\"a\" must map to an object") },
        { nested(9), 400, QStringLiteral("nested too deeply") },
        { elements(20000), 413, QStringLiteral("Too many songs") },
        { elements(20001), 400, QStringLiteral("too many elements") },
        // Names in messages are cut short, never inside a character.
        { "{\"" + QByteArray(59, 'x') + "\u00e9\":[]}", 400,
            QString(59, u'x') + QStringLiteral("...\" must map") },
        { "{\"albums\":[]}", 400, QStringLiteral("\"tracks\""), "addToLibraryCompleted/" },
        { "{\"albums\":{},\"tracks\":[]}", 400, QStringLiteral("\"albums\""), "addToLibraryCompleted/" },
        { "{\"albums\":[],\"tracks\":[\"t101\"]}", 400, QStringLiteral("whole-number"),
            "addToLibraryCompleted/" },
        { "[]", 400, QStringLiteral("JSON object"), "addToLibraryCompleted/" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE((c.call + c.data.left(60)).toStdString());
        const DemoHttpResponse response = postData(c.call, c.data);
        EXPECT_EQ(response.status, c.status);
        EXPECT_TRUE(errorOf(response).contains(c.message)) << errorOf(response).toStdString();
    }
}

TEST_F(DemoServiceApiTest, CompletionAddsToTheSignedInCollectionOnly)
{
    const QByteArray done = data({ { QStringLiteral("albums"), QJsonArray { 14 } },
        { QStringLiteral("tracks"), QJsonArray { 105, 101 } } });
    DemoHttpResponse response = postData("addToLibraryCompleted/", done);
    ASSERT_EQ(response.status, 200) << response.body.data();
    EXPECT_EQ(json(response).value(QStringLiteral("signedIn")), QJsonValue(false));

    signIn();
    // A list with an unknown item is refused whole.
    response = postData("addToLibraryCompleted/", "{\"albums\":[14],\"tracks\":[105,999]}");
    EXPECT_EQ(response.status, 400);
    EXPECT_TRUE(errorOf(response).contains(QStringLiteral("Unknown track identifier 999")));
    EXPECT_EQ(collection(), QList<int>({ 101, 102, 107 }));
    response = postData("addToLibraryCompleted/", done);
    ASSERT_EQ(response.status, 200);
    EXPECT_EQ(json(response).value(QStringLiteral("signedIn")), QJsonValue(true));
    EXPECT_EQ(collection(), QList<int>({ 101, 102, 105, 107, 110, 111, 112 }));
    const auto received = json(client->get("/api/demo/received/addToLibraryCompleted")).value("received");
    EXPECT_EQ(received.toArray().last().toObject().value("data").toString().toUtf8(), done);
}

// A log of 1 MiB, the client's bound, is taken whole; only the last eight are kept.
TEST_F(DemoServiceApiTest, CrashLogsAreBounded)
{
    const auto submit = [this](const QString& log) {
        return post("submitAppLog/", { { "appName", "mac" }, { "log", log } }).status;
    };
    const auto logs
        = [this] { return json(client->get("/api/demo/appLogs")).value(QStringLiteral("logs")).toArray(); };
    const QString whole = QString(1 << 20, QLatin1Char('&'));
    EXPECT_EQ(submit(whole), 200) << "3 MiB encoded, under the 4 MiB body bound";
    EXPECT_EQ(submit(whole + "x"), 400);
    ASSERT_EQ(logs().size(), 1);
    EXPECT_EQ(logs()[0].toObject().value(QStringLiteral("log")).toString(), whole);

    for (int i = 0; i < 10; ++i)
        ASSERT_EQ(submit(QStringLiteral("log %1").arg(i)), 200);
    ASSERT_EQ(logs().size(), 8);
    EXPECT_EQ(logs().first().toObject().value(QStringLiteral("log")), QStringLiteral("log 2"));
    EXPECT_EQ(logs().last().toObject().value(QStringLiteral("log")), QStringLiteral("log 9"));
}

// Covers are answered in ranges like audio (the same code: its cases are in the audio test).
TEST_F(DemoServiceApiTest, AlbumArtIsADecodableCoverPerAlbumAndBadCallsAreRefused)
{
    QSet<QByteArray> covers;
    for (const char* key : { "a11", "a12", "a13", "a14" }) {
        const DemoHttpResponse response = client->get(QByteArray("/images/art?m=") + key + "&w=200&h=200");
        ASSERT_EQ(response.status, 200) << key;
        EXPECT_EQ(QImage::fromData(response.body, "PNG").size(), QSize(200, 200)) << key;
        covers.insert(response.body);
    }
    EXPECT_EQ(covers.size(), 4);
    EXPECT_EQ(
        QImage::fromData(client->get("/images/art?m=a13&w=1024&h=40").body, "PNG").size(), QSize(1024, 40));

    const QList<QPair<QByteArray, int>> refused = {
        { "/images/art?m=t101&w=64&h=64", 404 },
        { "/images/art?m=%27%3Cscript%3E&w=64&h=64", 404 },
        { "/images/art?w=64&h=64", 400 },
        { "/images/art?m=a11&w=15&h=64", 400 },
        { "/images/art?m=a11&w=64&h=1025", 400 },
        { "/images/art?m=a11&w=99999999999999999999&h=64", 400 },
        { "/images/art?m=" + QByteArray(300, 'a') + "&w=64&h=64", 400 },
    };
    for (const auto& [bad, status] : refused) {
        SCOPED_TRACE(bad.left(80).toStdString());
        const DemoHttpResponse response = client->get(bad);
        EXPECT_EQ(response.status, status);
        EXPECT_FALSE(response.body.trimmed().isEmpty());
        EXPECT_FALSE(response.body.contains("<script>"));
    }
}

} // namespace

TEST_F(DemoServiceApiTest, MatchingCallsKeepWhatTheyReceivedAndFailOnRequest)
{
    const QJsonObject library { { QStringLiteral("Mira Okafor"),
        QJsonObject {
            { QStringLiteral("Blue Hour Sessions"), QJsonArray { QStringLiteral("Blue Hour") } } } } };
    const auto received = [this](const QByteArray& call) {
        QList<QPair<int, QByteArray>> out;
        for (const auto& entry :
            json(client->get("/api/demo/received/" + call)).value(QStringLiteral("received")).toArray())
            out.append({ entry.toObject().value(QStringLiteral("status")).toInt(),
                entry.toObject().value(QStringLiteral("data")).toString().toUtf8() });
        return out;
    };

    ASSERT_EQ(bulkAdd(library).status, 200);
    // One normal answer, then failures until told otherwise.
    ASSERT_EQ(control("bulkAddToLibrary", "status500", "1"), 200);
    EXPECT_EQ(bulkAdd(library).status, 200);
    EXPECT_EQ(bulkAdd(library).status, 500);
    ASSERT_EQ(control("bulkAddToLibrary", "drop"), 200);
    // The connection closes before the promised body.
    const DemoHttpResponse dropped = bulkAdd(library);
    EXPECT_EQ(dropped.header("Content-Length"), "64");
    EXPECT_LT(dropped.body.size(), 64);
    ASSERT_EQ(control("bulkAddToLibrary", "ok"), 200);
    EXPECT_EQ(bulkAdd(library).status, 200);
    const QByteArray sent = data(library);
    EXPECT_EQ(received("bulkAddToLibrary"),
        (QList<QPair<int, QByteArray>> {
            { 200, sent }, { 200, sent }, { 500, sent }, { 0, sent }, { 200, sent } }));

    for (const auto& [mode, after] : QList<QPair<QString, QString>> { { "sometimes", "" }, { "drop", "-1" },
             { "drop", "99999999" }, { "delay:10001", "" }, { "delay:-5", "" }, { "delay:300ms", "" } }) {
        SCOPED_TRACE(mode.toStdString() + " " + after.toStdString());
        EXPECT_EQ(control("bulkAddToLibrary", mode, after), 400);
    }
    EXPECT_EQ(client->postForm("/api/demo/control", { { "mode", "ok" } }).status, 400);

    // Bodies up to 4 MiB are read (here 2.7 MB of songs, under the songs limit).
    const QByteArray song = '"' + QByteArray(300, 'a') + '"';
    EXPECT_EQ(
        postData("bulkAddToLibrary/", "{\"A\":{\"B\":[" + (song + ',').repeated(8999) + song + "]}}").status,
        200);
}
