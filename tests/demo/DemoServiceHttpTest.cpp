#include "DemoServiceSuite.h"

#include <QFile>
#include <QImage>
#include <QUrl>

namespace {

const QByteArray strictPolicy
    = "default-src 'self'; script-src 'self'; connect-src 'self'; img-src 'self' data:; "
      "media-src 'self'; style-src 'self'";

QByteArray webRootFile(const QString& relative)
{
    QFile file(qEnvironmentVariable("QUIV_DEMO_ROOT") + QLatin1Char('/') + relative);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

using DemoServiceHttpTest = DemoServiceSuite;

// Every application route answers the index page; pages, scripts and errors carry the strict policy.
TEST_F(DemoServiceHttpTest, RoutesAnswerTheIndexAndEverythingCarriesTheStrictPolicy)
{
    const QByteArray index = webRootFile(QStringLiteral("index.html"));
    ASSERT_FALSE(index.isEmpty());
    struct Case {
        QByteArray target;
        int status;
        QByteArray type;
    };
    const Case cases[] = {
        { "/", 200, "text/html; charset=utf-8" },
        { "/accounts/login/", 200, "text/html; charset=utf-8" },
        { "/album/a11/", 200, "text/html; charset=utf-8" },
        { "/search/blue%20hour/", 200, "text/html; charset=utf-8" },
        { "/people/demo/people/following/", 200, "text/html; charset=utf-8" },
        { "/js/quiv-core.js", 200, "text/javascript" },
        { "/css/app.css", 200, "text/css" },
        { "/api/demo/catalogue", 200, "application/json" },
        { "/nope", 404, "text/plain" },
        { "/js/missing.js", 404, "text/plain" },
        { "/index.html", 404, "text/plain" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.target.toStdString());
        const DemoHttpResponse response = client->get(c.target);
        EXPECT_EQ(response.status, c.status);
        EXPECT_TRUE(response.header("Content-Type").startsWith(c.type))
            << response.header("Content-Type").data();
        EXPECT_EQ(response.headerCount("Content-Security-Policy"), 1);
        EXPECT_EQ(response.header("Content-Security-Policy"), strictPolicy);
        EXPECT_EQ(response.header("X-Content-Type-Options"), "nosniff");
        if (c.type.startsWith("text/html")) {
            EXPECT_EQ(response.body, index);
        }
        EXPECT_FALSE(response.body.trimmed().isEmpty());
    }
    const DemoHttpResponse head = client->request("HEAD", "/album/a12/");
    EXPECT_EQ(head.status, 200);
    EXPECT_TRUE(head.body.isEmpty());
}

TEST_F(DemoServiceHttpTest, ReachabilityImageIsAnUncachedTransparentPixel)
{
    const DemoHttpResponse response = client->get("/media/images/trans.gif");
    ASSERT_EQ(response.status, 200);
    EXPECT_EQ(response.header("Content-Type"), "image/gif");
    EXPECT_EQ(response.header("Cache-Control"), "no-store");
    const QImage image = QImage::fromData(response.body, "GIF");
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), QSize(1, 1));
    EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);
}

TEST_F(DemoServiceHttpTest, PathsThatClimbOutOfTheRootAreRefused)
{
    for (const QByteArray target : { "/js/../index.html", "/js/%2e%2e/%2e%2e/etc/passwd", "/../../etc/passwd",
             "/media/audio/..%2f..%2fetc.wav", "/album/./a11/", "/test/..%5c..%5cx.js" }) {
        SCOPED_TRACE(target.toStdString());
        const DemoHttpResponse response = client->get(target);
        EXPECT_EQ(response.status, 400);
        EXPECT_TRUE(response.body.contains("dot segments") || response.body.contains("Bad"))
            << response.body.data();
        EXPECT_FALSE(response.body.contains("root:"));
    }
}

TEST_F(DemoServiceHttpTest, WrongMethodsAndUnknownCallsAreRejectedClearly)
{
    DemoHttpResponse response = client->request("DELETE", "/api/demo/session");
    EXPECT_EQ(response.status, 405);
    EXPECT_EQ(response.header("Allow"), "GET, HEAD");
    EXPECT_FALSE(errorOf(response).isEmpty());

    response = client->get("/api/demo/nothing");
    EXPECT_EQ(response.status, 404);
    EXPECT_TRUE(response.header("Content-Type").startsWith("application/json"));
    EXPECT_FALSE(errorOf(response).isEmpty());

    response = client->request("BREW", "/");
    EXPECT_EQ(response.status, 400);

    // Ranges are for media: a page is answered whole.
    response = client->get("/", { { "Range", "bytes=0-9" } });
    EXPECT_EQ(response.status, 200);
    EXPECT_EQ(response.body, webRootFile(QStringLiteral("index.html")));
}

TEST_F(DemoServiceHttpTest, FormFieldsAndBodiesAreBounded)
{
    DemoHttpResponse response = client->postForm("/api/demo/signin", { { "username", "demo" } });
    EXPECT_EQ(response.status, 400);
    EXPECT_TRUE(errorOf(response).contains(QStringLiteral("password")));

    response = client->postForm(
        "/api/demo/signin", { { "username", QString(300, QLatin1Char('d')) }, { "password", "demo" } });
    EXPECT_EQ(response.status, 400);
    EXPECT_TRUE(response.body.contains("too long"));

    // Sent in chunks the body announces no length; the bound holds all the same.
    QByteArray chunked;
    for (int i = 0; i < 80; ++i)
        chunked += "10000\r\n" + QByteArray(0x10000, 'x') + "\r\n";
    response = client->request("POST", "/api/json/submitAppLog/",
        { { "Content-Type", "application/x-www-form-urlencoded" }, { "Transfer-Encoding", "chunked" } },
        "10\r\nappName=mac&log=\r\n" + chunked + "0\r\n\r\n");
    EXPECT_EQ(response.status, 413);

    QByteArray fields = "a=1";
    for (int i = 0; i < 64; ++i)
        fields += "&a=1";
    response = client->request("POST", "/api/json/submitAppLog/",
        { { "Content-Type", "application/x-www-form-urlencoded" } }, fields);
    EXPECT_EQ(response.status, 400);
    EXPECT_TRUE(response.body.contains("Too many form fields"));
}

// cpp-httplib decodes small url-encoded bodies itself and refuses those over
// 8 KiB: one form must read the same at either size, and a fault late in a
// large body must be found as in a small one.
TEST_F(DemoServiceHttpTest, FormsReadTheSameAtAnySize)
{
    // Spaces as "+" and as "%20", "&" escaped, JSON whitespace to fill; the
    // second "data" is ignored.
    const QByteArray rest = QUrl::toPercentEncoding(
        QStringLiteral("\"The Paper Lanterns\":{\"Harbour Lights\":[\"Saltwind\",\"Pier at Midnight\"]},"
                       "\"Mira Okafor\":{\"Blue Hour Sessions\":[\"Smoke & Brass\"]}}"));
    const auto formOf = [&](qsizetype size, const QByteArray& tail) {
        const QByteArray fixed = "data=%7B" + rest + "&data=%7B%7D&note=a+b" + tail;
        return "data=%7B" + QByteArray(size - fixed.size(), '+') + fixed.mid(8);
    };
    const QList<QPair<QByteArray, QByteArray>> cases = {
        { "", "" },
        { "&x=%4", "percent-escape" },
        { "&x=%C3%28", "UTF-8" },
    };
    for (const qsizetype size : { 1024, 64 * 1024 }) {
        for (const auto& [tail, refusal] : cases) {
            SCOPED_TRACE(
                QStringLiteral("%1 bytes, %2").arg(size).arg(QString::fromLatin1(tail)).toStdString());
            const QByteArray form = formOf(size, tail);
            ASSERT_EQ(form.size(), size);
            const DemoHttpResponse response = client->request("POST", "/api/json/bulkAddToLibrary/",
                { { "Content-Type", "application/x-www-form-urlencoded" } }, form);
            const QJsonObject answer = json(response);
            if (refusal.isEmpty()) {
                ASSERT_EQ(response.status, 200) << response.body.data();
                EXPECT_EQ(answer,
                    QJsonDocument::fromJson(R"({"found":3,"new":3,"tracks":[102,103,108],"albums":[]})")
                        .object());
            } else {
                EXPECT_EQ(response.status, 400);
                EXPECT_TRUE(answer.value(QStringLiteral("error")).toString().contains(QLatin1String(refusal)))
                    << response.body.data();
            }
        }
    }
}

} // namespace
