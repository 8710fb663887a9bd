// One request through the pool against a local HTTP server: answers, transport
// failures, form bodies, progress, size limits, cancel, pause and resume.
#include "QVRecordingDelegate.h"
#include "QVServerConnection.h"
#include "QVTestHttpServer.h"

#include <QNetworkReply>
#include <QTest>
#include <QUrl>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

namespace {

using Event = QVRecordingDelegate::Event;
using Kind = QVRecordingDelegate::Kind;

class QVServerRequestTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(server.listen()); }

    QVServerRequestIdentifier get(const QString& pathAndQuery, QVRecordingDelegate& delegate)
    {
        return pool.addServerRequest(server.url(pathAndQuery), std::nullopt, false, &delegate);
    }
    static bool waitForEnd(const QVRecordingDelegate& delegate, int timeoutMs = 10000)
    {
        return QTest::qWaitFor([&] { return delegate.hasEnded(); }, timeoutMs);
    }

    QVTestHttpServer server;
    QVServerConnection pool; // destroyed first: its threads stop before the server goes
};

TEST_F(QVServerRequestTest, FinishesWithTheWholeBodyAndItsResponse)
{
    // An HTTP error is no transfer failure: its body arrives too.
    for (const int status : { 200, 404, 500 }) {
        SCOPED_TRACE(status);
        QVRecordingDelegate delegate;
        const QVServerRequestIdentifier identifier
            = get(QStringLiteral("/bytes?size=3000&status=%1&type=image/png").arg(status), delegate);
        ASSERT_EQ(delegate.count(Kind::Queued), 1) << "queued is sent before the push returns";
        ASSERT_TRUE(waitForEnd(delegate));
        delegate.expectWellFormed(identifier);
        ASSERT_EQ(delegate.count(Kind::Finished), 1);
        EXPECT_EQ(delegate.first(Kind::Finished)->data, QVTestHttpServer::pattern(3000));
        const Event* response = delegate.first(Kind::Response);
        ASSERT_NE(response, nullptr);
        EXPECT_EQ(response->statusCode, status);
        EXPECT_EQ(response->length, 3000);
        EXPECT_EQ(response->mimeType, QStringLiteral("image/png"));
    }
    EXPECT_EQ(server.requests().first().method, "GET");
    EXPECT_FALSE(server.requests().first().headers.contains("range"));
}

TEST_F(QVServerRequestTest, TransportFailuresReachTheDelegateOnce)
{
    {
        SCOPED_TRACE("connection refused");
        QVRecordingDelegate delegate;
        const QVServerRequestIdentifier identifier = pool.addServerRequest(
            QStringLiteral("http://127.0.0.1:%1/bytes?size=10").arg(QVTestHttpServer::closedPort()),
            std::nullopt, false, &delegate);
        ASSERT_TRUE(waitForEnd(delegate));
        delegate.expectWellFormed(identifier);
        ASSERT_EQ(delegate.count(Kind::Failed), 1);
        const QVServerError& error = delegate.first(Kind::Failed)->error;
        EXPECT_EQ(error.domain, QVServerError::networkDomain);
        EXPECT_EQ(error.code, int(QNetworkReply::ConnectionRefusedError));
        EXPECT_FALSE(error.description().isEmpty());
        EXPECT_EQ(delegate.count(Kind::Response), 0);
    }
    {
        SCOPED_TRACE("body cut short");
        QVRecordingDelegate delegate;
        const QVServerRequestIdentifier identifier
            = get(QStringLiteral("/bytes?size=1000&cut=400"), delegate);
        ASSERT_TRUE(waitForEnd(delegate));
        delegate.expectWellFormed(identifier);
        EXPECT_EQ(delegate.count(Kind::Finished), 0) << "a short body must not pass for a whole one";
        EXPECT_EQ(delegate.count(Kind::Failed), 1);
    }
}

TEST_F(QVServerRequestTest, UnusableUrlFailsWithAClientError)
{
    const QStringList urls { QStringLiteral("not a url at all"), QStringLiteral("file:///etc/passwd"),
        QStringLiteral("ftp://127.0.0.1/file"), QStringLiteral("http://"), QString() };
    for (const QString& url : urls) {
        SCOPED_TRACE(url.toStdString());
        QVRecordingDelegate delegate;
        const QVServerRequestIdentifier identifier
            = pool.addServerRequest(url, std::nullopt, false, &delegate);
        ASSERT_TRUE(waitForEnd(delegate));
        delegate.expectWellFormed(identifier);
        ASSERT_EQ(delegate.count(Kind::Failed), 1);
        const QVServerError& error = delegate.first(Kind::Failed)->error;
        EXPECT_EQ(error.domain, QStringLiteral("com.quiv.desktop"));
        EXPECT_EQ(error.code, 0);
        EXPECT_FALSE(error.userInfo.value(QStringLiteral("exception")).toString().isEmpty());
    }
    EXPECT_TRUE(server.requests().isEmpty());
}

TEST_F(QVServerRequestTest, FormBodyReadsBackExactly)
{
    const QVServerRequestParams params {
        { QStringLiteral("plain"), QStringLiteral("abc") },
        { QStringLiteral("amp;semi"), QStringLiteral("x&y;z") },
        { QStringLiteral("equals"), QStringLiteral("1=2==") },
        { QStringLiteral("plus space"), QStringLiteral("a+b c") },
        { QStringLiteral("percent"), QStringLiteral("100%25%") },
        { QStringLiteral("unicode"), QStringLiteral("é€ \U0001F3B5") },
        { QStringLiteral("empty"), QString() },
    };
    QVRecordingDelegate delegate;
    pool.addServerRequest(server.url(QStringLiteral("/echo")), params, false, &delegate);
    ASSERT_TRUE(waitForEnd(delegate));
    ASSERT_EQ(server.requests().size(), 1);
    const QVTestHttpServer::Request& seen = server.requests().first();
    EXPECT_EQ(seen.method, "POST");
    EXPECT_EQ(seen.headers.value("content-type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(seen.headers.value("content-length").toLongLong(), seen.body.size());

    // Nothing a form parser could misread: the fields read back exactly.
    const QByteArray& body = seen.body;
    EXPECT_EQ(body.count('&'), params.size() - 1);
    QVServerRequestParams readBack;
    for (const QByteArray& pair : body.split('&')) {
        const qsizetype equals = pair.indexOf('=');
        ASSERT_GT(equals, 0) << pair.constData();
        readBack.insert(
            QUrl::fromPercentEncoding(pair.left(equals)), QUrl::fromPercentEncoding(pair.mid(equals + 1)));
    }
    EXPECT_EQ(readBack, params);
    EXPECT_EQ(delegate.first(Kind::Finished)->data, body) << "the echo answers the body it got";

    // An empty form is still a POST, with an empty body.
    QVRecordingDelegate empty;
    pool.addServerRequest(server.url(QStringLiteral("/echo")), QVServerRequestParams(), false, &empty);
    ASSERT_TRUE(waitForEnd(empty));
    ASSERT_EQ(server.requests().size(), 2);
    EXPECT_EQ(server.requests().last().method, "POST");
    EXPECT_EQ(server.requests().last().headers.value("content-length"), "0");
}

TEST_F(QVServerRequestTest, ProgressComesInFivePercentStepsOrAsRawBytes)
{
    {
        SCOPED_TRACE("length known");
        QVRecordingDelegate delegate;
        const QVServerRequestIdentifier identifier
            = get(QStringLiteral("/bytes?size=1000&chunk=10&interval=3"), delegate);
        ASSERT_TRUE(waitForEnd(delegate));
        delegate.expectWellFormed(identifier);
        QList<quint32> steps;
        for (const Event& event : delegate.events) {
            if (event.kind == Kind::Progress)
                steps << event.percentage;
        }
        ASSERT_GE(steps.size(), 2);
        EXPECT_LE(steps.size(), 20);
        quint32 last = 0;
        for (const quint32 step : steps) {
            EXPECT_GE(step, last + 5);
            EXPECT_LE(step, 100u);
            last = step;
        }
        EXPECT_GE(last, 95u);
        EXPECT_EQ(delegate.count(Kind::RawProgress), 0);
    }
    {
        SCOPED_TRACE("no length");
        QVRecordingDelegate delegate;
        const QVServerRequestIdentifier identifier
            = get(QStringLiteral("/bytes?size=1000&chunk=100&interval=5&nolength=1"), delegate);
        ASSERT_TRUE(waitForEnd(delegate));
        delegate.expectWellFormed(identifier);
        EXPECT_EQ(delegate.count(Kind::Progress), 0);
        qint64 last = 0;
        for (const Event& event : delegate.events) {
            if (event.kind == Kind::RawProgress) {
                EXPECT_GT(event.length, last);
                last = event.length;
            }
        }
        EXPECT_EQ(last, 1000);
    }
}

TEST_F(QVServerRequestTest, BodyOverTheLimitFails)
{
    pool.setMaximumBodyLength(1000);
    {
        SCOPED_TRACE("exactly the limit");
        QVRecordingDelegate delegate;
        get(QStringLiteral("/bytes?size=1000"), delegate);
        ASSERT_TRUE(waitForEnd(delegate));
        EXPECT_EQ(delegate.count(Kind::Finished), 1);
    }
    {
        SCOPED_TRACE("announced length");
        QVRecordingDelegate delegate;
        const QVServerRequestIdentifier identifier = get(QStringLiteral("/bytes?size=1001"), delegate);
        ASSERT_TRUE(waitForEnd(delegate));
        delegate.expectWellFormed(identifier);
        ASSERT_EQ(delegate.count(Kind::Failed), 1);
        EXPECT_TRUE(delegate.first(Kind::Failed)->error.isClientError());
        EXPECT_EQ(delegate.count(Kind::Response), 0);
    }
    {
        SCOPED_TRACE("no length");
        QVRecordingDelegate delegate;
        const QVServerRequestIdentifier identifier
            = get(QStringLiteral("/bytes?size=50000&nolength=1&chunk=500&interval=5"), delegate);
        ASSERT_TRUE(waitForEnd(delegate));
        delegate.expectWellFormed(identifier);
        ASSERT_EQ(delegate.count(Kind::Failed), 1);
        EXPECT_TRUE(delegate.first(Kind::Failed)->error.description().contains(QStringLiteral("limit")));
        EXPECT_TRUE(QTest::qWaitFor([&] { return server.clientAborts() == 1; }, 5000))
            << "the transfer stops instead of reading on";
    }
}

TEST_F(QVServerRequestTest, CancelMidTransferStopsIt)
{
    QVRecordingDelegate delegate;
    QVServerRequestIdentifier identifier = 0;
    delegate.onEvent = [&](const Event& event) {
        if (event.kind == Kind::Progress && delegate.count(Kind::Canceled) == 0)
            pool.cancelServerRequest(identifier);
    };
    identifier = get(QStringLiteral("/bytes?size=200000&chunk=1000&interval=10"), delegate);
    ASSERT_TRUE(waitForEnd(delegate));
    ASSERT_EQ(delegate.count(Kind::Canceled), 1);
    QTest::qWait(300);
    delegate.expectWellFormed(identifier); // nothing after the cancel
    EXPECT_TRUE(QTest::qWaitFor([&] { return server.clientAborts() == 1; }, 5000))
        << "the connection is closed mid-transfer";
    EXPECT_TRUE(QTest::qWaitFor([&] { return pool.requestCount() == 0; }, 5000));

    // Cancelling it again, or something that never existed, does nothing.
    pool.cancelServerRequest(identifier);
    pool.cancelServerRequest(identifier + 100000);
    EXPECT_EQ(delegate.count(Kind::Canceled), 1);
}

TEST_F(QVServerRequestTest, ResumeOfOtherContentFails)
{
    const QVariantMap resume { { QStringLiteral("requestData"), QVTestHttpServer::pattern(400) },
        { QStringLiteral("expectedLength"), qint64(1000) } };
    // A 206 of the wrong length; a plain 200 whose length happens to be the
    // rest (appending it would corrupt the body); a 200 of the whole.
    const QStringList routes { QStringLiteral("/bytes?size=1000&badresume=1"),
        QStringLiteral("/bytes?size=600&ignorerange=1"), QStringLiteral("/bytes?size=1000&ignorerange=1") };
    for (const QString& route : routes) {
        SCOPED_TRACE(route.toStdString());
        QVRecordingDelegate delegate;
        const QVServerRequestIdentifier identifier
            = pool.addServerResumeRequest(server.url(route), std::nullopt, resume, false, &delegate);
        ASSERT_TRUE(waitForEnd(delegate));
        QTest::qWait(100);
        delegate.expectWellFormed(identifier);
        ASSERT_EQ(delegate.count(Kind::Failed), 1);
        const QVServerError& error = delegate.first(Kind::Failed)->error;
        EXPECT_EQ(error.domain, QStringLiteral("com.quiv.desktop"));
        EXPECT_EQ(error.userInfo.value(QStringLiteral("exception")).toString(),
            QStringLiteral("Attempting to resume content that is not the same!"));
    }
}

TEST_F(QVServerRequestTest, PauseAndResumeProduceTheWholeBody)
{
    const QString route = QStringLiteral("/bytes?size=4000&ranges=1&chunk=100&interval=10");
    QVRecordingDelegate first;
    QVServerRequestIdentifier identifier = 0;
    first.onEvent = [&](const Event& event) {
        if (event.kind == Kind::Progress && event.percentage >= 20 && first.count(Kind::Paused) == 0)
            pool.pauseServerRequest(identifier);
    };
    identifier = get(route, first);
    ASSERT_TRUE(waitForEnd(first));
    QTest::qWait(200);
    first.expectWellFormed(identifier);
    ASSERT_EQ(first.count(Kind::Paused), 1);
    const QVariantMap resume = first.first(Kind::Paused)->resumeDictionary;
    const QByteArray held = resume.value(QStringLiteral("requestData")).toByteArray();
    EXPECT_EQ(resume.value(QStringLiteral("expectedLength")).toLongLong(), 4000);
    ASSERT_GT(held.size(), 0);
    ASSERT_LT(held.size(), 4000);
    EXPECT_EQ(held, QVTestHttpServer::pattern(4000).left(held.size()));

    QVRecordingDelegate second;
    const QVServerRequestIdentifier resumed
        = pool.addServerResumeRequest(server.url(route), std::nullopt, resume, false, &second);
    EXPECT_NE(resumed, identifier);
    ASSERT_TRUE(waitForEnd(second));
    second.expectWellFormed(resumed);
    ASSERT_EQ(second.count(Kind::Finished), 1);
    EXPECT_EQ(second.first(Kind::Finished)->data, QVTestHttpServer::pattern(4000));
    EXPECT_EQ(server.requests().last().headers.value("range"),
        "bytes=" + QByteArray::number(held.size()) + "-4000");
    // The answer is the rest; the response reports the whole.
    EXPECT_EQ(second.first(Kind::Response)->statusCode, 206);
    EXPECT_EQ(second.first(Kind::Response)->length, 4000);
}

TEST_F(QVServerRequestTest, PauseWithoutRangeSupportCancels)
{
    QVRecordingDelegate delegate;
    QVServerRequestIdentifier identifier = 0;
    delegate.onEvent = [&](const Event& event) {
        if (event.kind == Kind::Progress && !delegate.hasEnded())
            pool.pauseServerRequest(identifier);
    };
    identifier = get(QStringLiteral("/bytes?size=20000&chunk=500&interval=10"), delegate);
    ASSERT_TRUE(waitForEnd(delegate));
    QTest::qWait(100);
    delegate.expectWellFormed(identifier);
    EXPECT_EQ(delegate.count(Kind::Canceled), 1);
    EXPECT_EQ(delegate.count(Kind::Paused), 0);
}

TEST_F(QVServerRequestTest, DelegateMayGoAwayAndNoneIsNeeded)
{
    // A delegate destroyed mid-transfer is simply not called again.
    auto delegate = std::make_unique<QVRecordingDelegate>();
    get(QStringLiteral("/bytes?size=5000&chunk=500&interval=10"), *delegate);
    ASSERT_TRUE(QTest::qWaitFor([&] { return delegate->count(Kind::Started) == 1; }, 5000));
    delegate.reset();

    // A request without a delegate runs to its end.
    const QVServerRequestIdentifier identifier = pool.addServerRequest(server.url(QStringLiteral("/echo")),
        QVServerRequestParams { { QStringLiteral("appName"), QStringLiteral("mac") } }, false, nullptr);
    EXPECT_NE(identifier, 0u);
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return server.requests().size() == 2 && pool.requestCount() == 0; }, 10000));
    // The two run side by side: either may reach the server first.
    const auto& requests = server.requests();
    const auto echo = std::find_if(
        requests.cbegin(), requests.cend(), [](const auto& request) { return request.path == "/echo"; });
    ASSERT_NE(echo, requests.cend());
    EXPECT_EQ(echo->body, "appName=mac");
    EXPECT_EQ(server.clientAborts(), 0);
}

} // namespace
