#include "DemoServiceSuite.h"

#include <QFile>
#include <QUrl>

namespace {

const QByteArray strictPolicy
    = "default-src 'self'; script-src 'self'; connect-src 'self'; img-src 'self' data:; "
      "media-src 'self'; style-src 'self'";
const DemoHttpClient::Headers formHeaders { { "Content-Type", "application/x-www-form-urlencoded" } };

using DemoServiceHttpTest = DemoServiceTest;

// Every application route answers the index page; pages, scripts and errors carry the strict policy.
TEST_F(DemoServiceHttpTest, RoutesAnswerTheIndexAndEverythingCarriesTheStrictPolicy)
{
    QFile file(qEnvironmentVariable("QUIV_DEMO_ROOT") + QStringLiteral("/index.html"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray index = file.readAll();
    struct Case {
        QByteArray method;
        QByteArray target;
        int status;
        QByteArray type;
    };
    const Case cases[] = {
        { "GET", "/", 200, "text/html; charset=utf-8" },
        { "GET", "/album/a11/", 200, "text/html; charset=utf-8" },
        { "GET", "/search/blue%20hour/", 200, "text/html; charset=utf-8" },
        { "GET", "/js/quiv-core.js", 200, "text/javascript" },
        { "GET", "/media/images/trans.gif", 200, "image/gif" },
        { "GET", "/js/missing.js", 404, "text/plain" },
        { "GET", "/index.html", 404, "text/plain" },
        { "GET", "/api/demo/nothing", 404, "application/json" },
        { "DELETE", "/api/demo/session", 405, "application/json" },
        { "BREW", "/", 400, "" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE((c.method + ' ' + c.target).toStdString());
        const DemoHttpResponse response = client->request(c.method, c.target);
        EXPECT_EQ(response.status, c.status);
        EXPECT_TRUE(response.header("Content-Type").startsWith(c.type))
            << response.header("Content-Type").data();
        EXPECT_EQ(response.header("Content-Security-Policy"), strictPolicy);
        EXPECT_EQ(response.header("X-Content-Type-Options"), "nosniff");
        if (c.type.startsWith("text/html")) {
            EXPECT_EQ(response.body, index);
        }
        EXPECT_FALSE(response.body.trimmed().isEmpty());
    }
    // The reachability probe must reach the service each time.
    EXPECT_EQ(client->get("/media/images/trans.gif").header("Cache-Control"), "no-store");
    EXPECT_TRUE(client->request("HEAD", "/album/a12/").body.isEmpty());
    // Ranges are for media: a page is answered whole.
    EXPECT_EQ(client->get("/", { { "Range", "bytes=0-9" } }).body, index);
}

TEST_F(DemoServiceHttpTest, PathsThatClimbOutOfTheRootAreRefused)
{
    for (const QByteArray target : { "/js/../index.html", "/js/%2e%2e/%2e%2e/etc/passwd",
             "/media/audio/..%2f..%2fetc.wav", "/test/..%5c..%5cx.js" }) {
        SCOPED_TRACE(target.toStdString());
        const DemoHttpResponse response = client->get(target);
        EXPECT_EQ(response.status, 400);
        EXPECT_FALSE(response.body.contains("root:"));
    }
}

// Sent in chunks the body announces no length; the bound holds all the same.
TEST_F(DemoServiceHttpTest, ChunkedBodiesAreBoundedToo)
{
    QByteArray chunked;
    for (int i = 0; i < 80; ++i)
        chunked += "10000\r\n" + QByteArray(0x10000, 'x') + "\r\n";
    const DemoHttpResponse response = client->request("POST", "/api/json/submitAppLog/",
        formHeaders + DemoHttpClient::Headers { { "Transfer-Encoding", "chunked" } },
        "10\r\nappName=mac&log=\r\n" + chunked + "0\r\n\r\n");
    EXPECT_EQ(response.status, 413);
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
            const DemoHttpResponse response
                = client->request("POST", "/api/json/bulkAddToLibrary/", formHeaders, formOf(size, tail));
            if (refusal.isEmpty()) {
                ASSERT_EQ(response.status, 200) << response.body.data();
                EXPECT_EQ(json(response),
                    QJsonDocument::fromJson(R"({"found":3,"new":3,"tracks":[102,103,108],"albums":[]})")
                        .object());
            } else {
                EXPECT_EQ(response.status, 400);
                EXPECT_TRUE(errorOf(response).contains(QLatin1String(refusal))) << response.body.data();
            }
        }
    }
}

} // namespace
