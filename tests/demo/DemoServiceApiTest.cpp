#include "DemoHttpClient.h"
#include "QVDemoService.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QUrl>

#include <memory>

namespace {

const QByteArray formType = "application/x-www-form-urlencoded";

QJsonObject json(const DemoHttpResponse& response)
{
    return QJsonDocument::fromJson(response.body).object();
}

QList<int> ids(const QJsonValue& value)
{
    QList<int> out;
    for (const auto& id : value.toArray())
        out.append(id.toInt());
    return out;
}

QByteArray data(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

// A fresh service per test: collections and the crash logs kept are its own.
class DemoServiceApiTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(service.start()) << service.errorString().toStdString();
        client = std::make_unique<DemoHttpClient>(service.port());
        const QJsonObject catalogue = json(client->get("/api/demo/catalogue"));
        for (const char* kind : { "artists", "albums", "tracks" }) {
            for (const auto& item : catalogue.value(QLatin1String(kind)).toArray())
                byKey.insert(item.toObject().value(QStringLiteral("key")).toString(), item.toObject());
        }
        ASSERT_EQ(byKey.size(), 3 + 4 + 12);
    }

    DemoHttpResponse suggest(const QString& query)
    {
        return client->get("/api/json/groupedSearchSuggestions/?query=" + QUrl::toPercentEncoding(query));
    }
    DemoHttpResponse post(const QByteArray& call, const QList<QPair<QString, QString>>& fields)
    {
        return client->postForm("/api/json/" + call, fields);
    }
    DemoHttpResponse bulkAdd(const QJsonObject& grouped)
    {
        return post("bulkAddToLibrary/", { { "data", QString::fromUtf8(data(grouped)) } });
    }
    void signIn()
    {
        ASSERT_EQ(
            client->postForm("/api/demo/signin", { { "username", "demo" }, { "password", "demo" } }).status,
            200);
    }
    QList<int> collection()
    {
        return ids(json(client->get("/api/demo/session"))
                       .value(QStringLiteral("user"))
                       .toObject()
                       .value(QStringLiteral("collection")));
    }

    // Every suggestion must name a real catalogue item of its group's kind.
    void expectFromCatalogue(const QJsonObject& suggestion, const QString& kind)
    {
        SCOPED_TRACE(QJsonDocument(suggestion).toJson().toStdString());
        EXPECT_EQ(suggestion.value(QStringLiteral("type")).toString(), kind);
        const QString url = suggestion.value(QStringLiteral("url")).toString();
        const QString key = url.section(u'/', 2, 2);
        ASSERT_TRUE(byKey.contains(key)) << url.toStdString();
        const QJsonObject item = byKey.value(key);
        EXPECT_EQ(url, item.value(QStringLiteral("url")).toString());
        EXPECT_EQ(suggestion.value(QStringLiteral("id")).toInt(), item.value(QStringLiteral("id")).toInt());
        EXPECT_EQ(suggestion.value(QStringLiteral("name")), item.value(QStringLiteral("name")));
        if (kind != QLatin1String("r")) {
            EXPECT_EQ(suggestion.value(QStringLiteral("artist")), item.value(QStringLiteral("artist")));
        }
        if (kind == QLatin1String("a")) {
            EXPECT_EQ(suggestion.value(QStringLiteral("baseIcon")).toString(), key);
        }
    }

    QVDemoService service;
    std::unique_ptr<DemoHttpClient> client;
    QMap<QString, QJsonObject> byKey;
};

TEST_F(DemoServiceApiTest, AlbumArtIsADecodableCoverPerAlbum)
{
    QSet<QByteArray> covers;
    for (const char* key : { "a11", "a12", "a13", "a14" }) {
        SCOPED_TRACE(key);
        const DemoHttpResponse response = client->get(QByteArray("/images/art?m=") + key + "&w=200&h=200");
        ASSERT_EQ(response.status, 200);
        EXPECT_EQ(response.header("Content-Type"), "image/png");
        EXPECT_EQ(response.header("Accept-Ranges"), "bytes");
        EXPECT_TRUE(response.header("Content-Security-Policy").contains("default-src 'self'"));
        QImage image;
        ASSERT_TRUE(image.loadFromData(response.body, "PNG"));
        ASSERT_EQ(image.size(), QSize(200, 200));
        // A gradient of the album's colour: light at the top left, dark at the bottom right.
        const QColor albumColor(byKey.value(QLatin1String(key)).value(QStringLiteral("color")).toString());
        const QColor light = image.pixelColor(0, 0);
        const QColor dark = image.pixelColor(199, 199);
        EXPECT_GT(light.lightness(), dark.lightness());
        EXPECT_NEAR(light.hslHue(), albumColor.hslHue(), 6);
        // The initials: near-white pixels in the middle, none at the edges.
        int white = 0;
        for (int y = 60; y < 140; ++y)
            for (int x = 40; x < 160; ++x)
                white += image.pixelColor(x, y).lightness() > 240;
        EXPECT_GT(white, 500);
        EXPECT_LT(image.pixelColor(10, 190).lightness(), 240);
        covers.insert(response.body);
        EXPECT_EQ(client->get(QByteArray("/images/art?m=") + key + "&w=200&h=200").body, response.body)
            << "the same bytes each time";
    }
    EXPECT_EQ(covers.size(), 4);

    for (const QSize size : { QSize(16, 16), QSize(1024, 40), QSize(33, 1024) }) {
        const DemoHttpResponse response = client->get("/images/art?m=a13&w="
            + QByteArray::number(size.width()) + "&h=" + QByteArray::number(size.height()));
        QImage image;
        ASSERT_TRUE(image.loadFromData(response.body, "PNG"));
        EXPECT_EQ(image.size(), size);
    }
}

TEST_F(DemoServiceApiTest, AlbumArtAnswersRangesAndRefusesBadCalls)
{
    const QByteArray target = "/images/art?m=a12&w=64&h=64";
    const QByteArray whole = client->get(target).body;
    ASSERT_GT(whole.size(), 100);

    DemoHttpResponse response = client->get(target, { { "Range", "bytes=0-99" } });
    EXPECT_EQ(response.status, 206);
    EXPECT_EQ(response.body, whole.left(100));
    EXPECT_EQ(response.header("Content-Range"), "bytes 0-99/" + QByteArray::number(whole.size()));
    EXPECT_EQ(response.header("Content-Type"), "image/png");

    response = client->get(target, { { "Range", "bytes=-10" } });
    EXPECT_EQ(response.status, 206);
    EXPECT_EQ(response.body, whole.right(10));

    response = client->get(target, { { "Range", "bytes=100-" } });
    EXPECT_EQ(response.body, whole.mid(100));

    response = client->get(target, { { "Range", "bytes=" + QByteArray::number(whole.size()) + "-" } });
    EXPECT_EQ(response.status, 416);
    EXPECT_EQ(response.header("Content-Range"), "bytes */" + QByteArray::number(whole.size()));

    const QList<QPair<QByteArray, int>> refused = {
        { "/images/art?m=a99&w=64&h=64", 404 },
        { "/images/art?m=t101&w=64&h=64", 404 },
        { "/images/art?m=%27%3Cscript%3E&w=64&h=64", 404 },
        { "/images/art?w=64&h=64", 400 },
        { "/images/art?m=a11&h=64", 400 },
        { "/images/art?m=a11&w=64", 400 },
        { "/images/art?m=a11&w=15&h=64", 400 },
        { "/images/art?m=a11&w=64&h=1025", 400 },
        { "/images/art?m=a11&w=-1&h=64", 400 },
        { "/images/art?m=a11&w=6.4e1&h=64", 400 },
        { "/images/art?m=a11&w=&h=64", 400 },
        { "/images/art?m=a11&w=99999999999999999999&h=64", 400 },
        { "/images/art?m=" + QByteArray(300, 'a') + "&w=64&h=64", 400 },
    };
    for (const auto& [bad, status] : refused) {
        SCOPED_TRACE(bad.left(80).toStdString());
        response = client->get(bad);
        EXPECT_EQ(response.status, status);
        EXPECT_TRUE(response.header("Content-Type").startsWith("text/plain"));
        EXPECT_FALSE(response.body.trimmed().isEmpty());
        EXPECT_FALSE(response.body.contains("<script>"));
    }
}

} // namespace
