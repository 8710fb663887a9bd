// One request through the pool against a local HTTP server: answers, transport
// failures, form bodies, progress, size limits, cancel, pause and resume.
#include "QVRecordingDelegate.h"
#include "QVServerConnection.h"
#include "QVTestHttpServer.h"

#include <QNetworkReply>
#include <QTest>
#include <QUrl>

#include <gtest/gtest.h>

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
    static bool waitForEnd(const QVRecordingDelegate& delegate)
    {
        return QTest::qWaitFor([&] { return delegate.hasEnded(); }, 10000);
    }
    // Runs `route` to its end, pausing it at its first progress of 20% or more.
    QVServerRequestIdentifier getAndPause(const QString& route, QVRecordingDelegate& delegate)
    {
        QVServerRequestIdentifier identifier = 0;
        delegate.onEvent = [&](const Event& event) {
            if (event.kind == Kind::Progress && event.percentage >= 20 && !delegate.hasEnded())
                pool.pauseServerRequest(identifier);
        };
        identifier = get(route, delegate);
        EXPECT_TRUE(waitForEnd(delegate));
        QTest::qWait(100);
        delegate.expectWellFormed(identifier);
        return identifier;
    }

    QVTestHttpServer server;
    QVServerConnection pool; // destroyed first: its threads stop before the server goes
};

// Each ends once: with its whole body (an HTTP error's too), or failed, and
// never with a short or oversized body passed off as whole.
TEST_F(QVServerRequestTest, EachRequestEndsOnceWithItsWholeBodyOrAFailure)
{
    pool.setMaximumBodyLength(1000);
    const QString network = QVServerError::networkDomain;
    const QString client = QVServerError::clientDomain;
    const struct {
        QString url;
        int status; // 0: it fails
        QString domain; // of the failure; empty: either
        bool reachesServer;
        bool stopsTransfer; // rather than reading on to the end
    } cases[] = {
        { server.url("/bytes?size=1000"), 200, {}, true, false }, // exactly the limit
        { server.url("/bytes?size=1000&status=404"), 404, {}, true, false },
        { server.url("/bytes?size=1000&status=500"), 500, {}, true, false },
        { QStringLiteral("http://127.0.0.1:%1/").arg(QVTestHttpServer::closedPort()), 0, network, false,
            false },
        { server.url("/bytes?size=1000&cut=400"), 0, {}, true, false },
        { server.url("/bytes?size=1001"), 0, client, true, false },
        { server.url("/bytes?size=50000&nolength=1&chunk=500&interval=5"), 0, client, true, true },
        { "not a url at all", 0, client, false, false },
        { "file:///etc/passwd", 0, client, false, false },
        { "ftp://127.0.0.1/file", 0, client, false, false },
        { "http://", 0, client, false, false },
        { QString(), 0, client, false, false },
    };
    int reached = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.url.toStdString());
        const int aborts = server.clientAborts();
        QVRecordingDelegate delegate;
        const QVServerRequestIdentifier identifier
            = pool.addServerRequest(c.url, std::nullopt, false, &delegate);
        ASSERT_EQ(delegate.count(Kind::Queued), 1) << "queued is sent before the push returns";
        ASSERT_TRUE(waitForEnd(delegate));
        delegate.expectWellFormed(identifier);
        reached += c.reachesServer ? 1 : 0;
        if (c.stopsTransfer) {
            EXPECT_TRUE(QTest::qWaitFor([&] { return server.clientAborts() == aborts + 1; }, 5000));
        }
        if (c.status == 0) {
            ASSERT_EQ(delegate.count(Kind::Failed), 1);
            const QVServerError& error = delegate.first(Kind::Failed)->error;
            EXPECT_FALSE(error.description().isEmpty());
            if (!c.domain.isEmpty()) {
                EXPECT_EQ(error.domain, c.domain);
            }
            continue;
        }
        ASSERT_EQ(delegate.count(Kind::Finished), 1);
        EXPECT_EQ(delegate.first(Kind::Finished)->data, QVTestHttpServer::pattern(1000));
        const Event* response = delegate.first(Kind::Response);
        ASSERT_NE(response, nullptr);
        EXPECT_EQ(response->statusCode, c.status);
        EXPECT_EQ(response->length, 1000);
        EXPECT_EQ(response->mimeType, "application/octet-stream");
    }
    EXPECT_EQ(server.requests().size(), reached);
    EXPECT_EQ(server.requests().first().method, "GET");
    EXPECT_FALSE(server.requests().first().headers.contains("range"));
}

TEST_F(QVServerRequestTest, FormBodyReadsBackExactly)
{
    const QVServerRequestParams params {
        { "plain", "abc" },
        { "amp;semi", "x&y;z" },
        { "equals", "1=2==" },
        { "plus space", "a+b c" },
        { "percent", "100%25%" },
        { "unicode", QStringLiteral("é€ \U0001F3B5") },
        { "empty", QString() },
    };
    QVRecordingDelegate delegate;
    pool.addServerRequest(server.url("/echo"), params, false, &delegate);
    ASSERT_TRUE(waitForEnd(delegate));
    ASSERT_EQ(server.requests().size(), 1);
    const QVTestHttpServer::Request& seen = server.requests().first();
    EXPECT_EQ(seen.method, "POST");
    EXPECT_EQ(seen.headers.value("content-type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(seen.headers.value("content-length").toLongLong(), seen.body.size());
    EXPECT_EQ(delegate.first(Kind::Finished)->data, seen.body);

    // Nothing a form parser could misread: the fields read back exactly.
    QVServerRequestParams readBack;
    for (const QByteArray& pair : seen.body.split('&')) {
        const qsizetype equals = pair.indexOf('=');
        ASSERT_GT(equals, 0) << pair.constData();
        readBack.insert(
            QUrl::fromPercentEncoding(pair.left(equals)), QUrl::fromPercentEncoding(pair.mid(equals + 1)));
    }
    EXPECT_EQ(readBack, params);

    // An empty form is still a POST, with an empty body; no delegate is needed.
    pool.addServerRequest(server.url("/echo"), QVServerRequestParams(), false, nullptr);
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return server.requests().size() == 2 && pool.requestCount() == 0; }, 10000));
    EXPECT_EQ(server.requests().last().method, "POST");
    EXPECT_EQ(server.requests().last().headers.value("content-length"), "0");
}

TEST_F(QVServerRequestTest, ProgressComesInFivePercentStepsOrAsRawBytes)
{
    for (const bool knownLength : { true, false }) {
        SCOPED_TRACE(knownLength);
        QVRecordingDelegate delegate;
        const QVServerRequestIdentifier identifier
            = get(QStringLiteral("/bytes?size=1000&chunk=10&interval=3&nolength=%1").arg(int(!knownLength)),
                delegate);
        ASSERT_TRUE(waitForEnd(delegate));
        delegate.expectWellFormed(identifier);
        EXPECT_EQ(delegate.count(knownLength ? Kind::RawProgress : Kind::Progress), 0);
        QList<qint64> steps;
        for (const Event& event : delegate.events) {
            if (event.kind == Kind::Progress || event.kind == Kind::RawProgress)
                steps << (knownLength ? qint64(event.percentage) : event.length);
        }
        ASSERT_GE(steps.size(), 2);
        if (knownLength) {
            EXPECT_LE(steps.size(), 20) << "steps of five percent at least";
        }
        qint64 last = 0;
        for (const qint64 step : steps) {
            EXPECT_GE(step, last + (knownLength ? 5 : 1));
            last = step;
        }
        EXPECT_GE(last, knownLength ? 95 : 1000);
        EXPECT_LE(last, knownLength ? 100 : 1000);
    }
}

TEST_F(QVServerRequestTest, CancelMidTransferStopsItAndAGoneDelegateDoesNot)
{
    QVRecordingDelegate delegate;
    QVServerRequestIdentifier identifier = 0;
    delegate.onEvent = [&](const Event& event) {
        if (event.kind == Kind::Progress && delegate.count(Kind::Canceled) == 0)
            pool.cancelServerRequest(identifier);
    };
    identifier = get("/bytes?size=200000&chunk=1000&interval=10", delegate);
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

    // A delegate destroyed mid-transfer is simply not called again.
    auto gone = std::make_unique<QVRecordingDelegate>();
    get("/bytes?size=5000&chunk=500&interval=10", *gone);
    ASSERT_TRUE(QTest::qWaitFor([&] { return gone->count(Kind::Started) == 1; }, 5000));
    gone.reset();
    EXPECT_TRUE(QTest::qWaitFor([&] { return pool.requestCount() == 0; }, 10000));
    EXPECT_EQ(server.clientAborts(), 1) << "it runs to its end";
}

// A paused request resumes only from the same content; without range support a
// pause is a cancel.
TEST_F(QVServerRequestTest, PauseAndResumeProduceTheWholeBodyOfTheSameContentOnly)
{
    const QString route = QStringLiteral("/bytes?size=4000&ranges=1&chunk=100&interval=10");
    QVRecordingDelegate first;
    const QVServerRequestIdentifier identifier = getAndPause(route, first);
    ASSERT_EQ(first.count(Kind::Paused), 1);
    const QVariantMap resume = first.first(Kind::Paused)->resumeDictionary;
    const QByteArray held = resume.value("requestData").toByteArray();
    EXPECT_EQ(resume.value("expectedLength").toLongLong(), 4000);
    ASSERT_GT(held.size(), 0);
    ASSERT_LT(held.size(), 4000);
    EXPECT_EQ(held, QVTestHttpServer::pattern(4000).left(held.size()));

    // A 206 of the wrong length; a plain 200 whose length happens to be the
    // rest (appending it would corrupt the body); a 200 of the whole.
    const QString rest = QString::number(4000 - held.size());
    for (const QString& other : QStringList { "/bytes?size=4000&badresume=1",
             "/bytes?size=" + rest + "&ignorerange=1", "/bytes?size=4000&ignorerange=1" }) {
        SCOPED_TRACE(other.toStdString());
        QVRecordingDelegate delegate;
        const QVServerRequestIdentifier id
            = pool.addServerResumeRequest(server.url(other), std::nullopt, resume, false, &delegate);
        ASSERT_TRUE(waitForEnd(delegate));
        QTest::qWait(100);
        delegate.expectWellFormed(id);
        ASSERT_EQ(delegate.count(Kind::Failed), 1);
        EXPECT_EQ(delegate.first(Kind::Failed)->error.description(),
            "Attempting to resume content that is not the same!");
    }

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

    QVRecordingDelegate noRanges;
    getAndPause("/bytes?size=20000&chunk=500&interval=10", noRanges);
    EXPECT_EQ(noRanges.count(Kind::Canceled), 1);
}

} // namespace
