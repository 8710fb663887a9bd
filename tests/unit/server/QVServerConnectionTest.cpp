// The request pool against a local HTTP server: answers, transport failures,
// form bodies, size limits, cancel, pause and resume, the limit of five, and
// stopping every thread at shut-down.
#include "QVServerConnection.h"
#include "QVRecordingDelegate.h"
#include "QVTestHttpServer.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QTest>
#include <QUrl>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <set>
#include <thread>
#include <vector>

namespace {

using Event = QVRecordingDelegate::Event;
using Kind = QVRecordingDelegate::Kind;
using Delegates = std::vector<QVRecordingDelegate>; // made at their full size: they never move

bool waitForAllEnded(const Delegates& delegates, int milliseconds = 10000)
{
    return QTest::qWaitFor(
        [&] {
            return std::all_of(delegates.cbegin(), delegates.cend(),
                [](const QVRecordingDelegate& delegate) { return delegate.hasEnded(); });
        },
        milliseconds);
}

class QVServerConnectionTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(server.listen()); }

    QVServerRequestIdentifier push(const QString& pathAndQuery, QVRecordingDelegate& delegate)
    {
        return pool.addServerRequest(server.url(pathAndQuery), std::nullopt, false, &delegate);
    }
    // Pushes `url` and waits for its end, checking the callbacks' sequence.
    void run(QVRecordingDelegate& delegate, const QString& url,
        const std::optional<QVariantMap>& resume = std::nullopt)
    {
        const QVServerRequestIdentifier identifier = resume
            ? pool.addServerResumeRequest(url, std::nullopt, *resume, false, &delegate)
            : pool.addServerRequest(url, std::nullopt, false, &delegate);
        ASSERT_TRUE(QTest::qWaitFor([&] { return delegate.hasEnded(); }, 10000));
        QTest::qWait(100); // anything after the final callback would arrive now
        delegate.expectWellFormed(identifier);
    }

    QVTestHttpServer server;
    QVServerConnection pool; // destroyed first: its threads stop before the server goes
};

// Each ends once: with its whole body (an HTTP error's too), or failed, and
// never with a short or oversized body passed off as whole.
TEST_F(QVServerConnectionTest, EachRequestEndsOnceWithItsWholeBodyOrAFailure)
{
    pool.setMaximumBodyLength(1000);
    const struct {
        QString url;
        int status; // 0: it fails
        bool stopsTransfer = false; // rather than reading on to the end
    } cases[] = {
        { server.url("/bytes?size=1000"), 200 }, // exactly the limit
        { server.url("/bytes?size=1000&status=404"), 404 },
        { server.url("/bytes?size=1000&status=500"), 500 },
        { QStringLiteral("http://127.0.0.1:%1/").arg(QVTestHttpServer::closedPort()), 0 },
        { server.url("/bytes?size=1000&cut=400"), 0 },
        { server.url("/bytes?size=1001"), 0 },
        { server.url("/bytes?size=50000&nolength=1&chunk=500&interval=5"), 0, true },
        { "file:///etc/passwd", 0 },
        { "not a url at all", 0 },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.url.toStdString());
        const int aborts = server.clientAborts();
        QVRecordingDelegate delegate;
        run(delegate, c.url);
        if (c.stopsTransfer) {
            EXPECT_TRUE(QTest::qWaitFor([&] { return server.clientAborts() == aborts + 1; }, 5000));
        }
        if (c.status == 0) {
            ASSERT_EQ(delegate.count(Kind::Failed), 1);
            EXPECT_FALSE(delegate.first(Kind::Failed)->error.description().isEmpty());
            continue;
        }
        ASSERT_EQ(delegate.count(Kind::Finished), 1);
        EXPECT_EQ(delegate.first(Kind::Finished)->data, QVTestHttpServer::pattern(1000));
        EXPECT_EQ(delegate.first(Kind::Response)->statusCode, c.status);
    }
    EXPECT_EQ(server.requests().size(), 6) << "nothing but HTTP leaves the pool";
}

// Nothing a form parser could misread: the fields read back exactly.
TEST_F(QVServerConnectionTest, FormBodyReadsBackExactly)
{
    const QVServerRequestParams params {
        { "amp;semi", "x&y;z" },
        { "equals", "1=2==" },
        { "plus space", "a+b c" },
        { "percent", "100%25%" },
        { "unicode", QStringLiteral("é€ \U0001F3B5") },
        { "empty", QString() },
    };
    QVRecordingDelegate::fetch(pool, server.url("/bytes"), params);
    ASSERT_EQ(server.requests().size(), 1);
    const QVTestHttpServer::Request& seen = server.requests().first();
    EXPECT_EQ(seen.method, "POST");
    EXPECT_EQ(seen.headers.value("content-type"), "application/x-www-form-urlencoded");
    QVServerRequestParams readBack;
    for (const QByteArray& pair : seen.body.split('&')) {
        const qsizetype equals = pair.indexOf('=');
        ASSERT_GT(equals, 0) << pair.constData();
        readBack.insert(
            QUrl::fromPercentEncoding(pair.left(equals)), QUrl::fromPercentEncoding(pair.mid(equals + 1)));
    }
    EXPECT_EQ(readBack, params);
}

TEST_F(QVServerConnectionTest, CancelMidTransferClosesTheConnection)
{
    QVRecordingDelegate delegate;
    delegate.onEvent = [&](const Event& event) {
        if (event.kind == Kind::Progress && !delegate.hasEnded())
            pool.cancelServerRequest(delegate.events.first().identifier);
    };
    run(delegate, server.url("/bytes?size=200000&chunk=1000&interval=10"));
    ASSERT_EQ(delegate.count(Kind::Canceled), 1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return server.clientAborts() == 1; }, 5000))
        << "the connection is closed mid-transfer";
}

// A paused request resumes only from the same content.
TEST_F(QVServerConnectionTest, PauseAndResumeProduceTheWholeBodyOfTheSameContentOnly)
{
    const QString route = server.url("/bytes?size=4000&ranges=1&chunk=100&interval=10");
    QVRecordingDelegate first;
    first.onEvent = [&](const Event& event) {
        if (event.kind == Kind::Progress && event.percentage >= 20 && !first.hasEnded())
            pool.pauseServerRequest(first.events.first().identifier);
    };
    run(first, route);
    ASSERT_EQ(first.count(Kind::Paused), 1);
    const QVariantMap resume = first.first(Kind::Paused)->resumeDictionary;
    const qsizetype held = resume.value("requestData").toByteArray().size();
    ASSERT_GT(held, 0);
    ASSERT_LT(held, 4000);

    // A 206 of the wrong range; a plain 200 whose length happens to be the
    // rest (appending it would corrupt the body).
    for (const QString& other : { server.url("/bytes?size=4000&badresume=1"),
             server.url("/bytes?ignorerange=1&size=" + QString::number(4000 - held)) }) {
        SCOPED_TRACE(other.toStdString());
        QVRecordingDelegate delegate;
        run(delegate, other, resume);
        ASSERT_EQ(delegate.count(Kind::Failed), 1);
        EXPECT_EQ(delegate.first(Kind::Failed)->error.description(),
            "Attempting to resume content that is not the same!");
    }

    QVRecordingDelegate second;
    run(second, route, resume);
    ASSERT_EQ(second.count(Kind::Finished), 1);
    EXPECT_EQ(second.first(Kind::Finished)->data, QVTestHttpServer::pattern(4000));
    EXPECT_EQ(server.requests().last().headers.value("range"), "bytes=" + QByteArray::number(held) + "-4000");
}

// Pushed at once from four threads, as the collection matcher pushes from its
// own; the last ten, still queued, cancelled in one batch from another thread.
TEST_F(QVServerConnectionTest, TwoHundredRequestsFromFourThreadsRunFiveAtATimeAndEachEndsOnce)
{
    const int baselineLive = QVServerRequest::liveCount();
    QVServerRequest::resetPeakRunningCount();
    constexpr int count = 200;
    constexpr int cancelled = 190; // and after
    constexpr int threads = 4;
    Delegates delegates(count);
    std::vector<QVServerRequestIdentifier> identifiers(count);
    std::vector<std::thread> pushers;
    for (int t = 0; t < threads; ++t) {
        pushers.emplace_back([&, t] {
            for (int i = t; i < count; i += threads)
                identifiers[i] = push(QStringLiteral("/bytes?size=%1&hold=10").arg(100 + i), delegates[i]);
        });
    }
    for (std::thread& pusher : pushers)
        pusher.join();
    // Unknown identifiers and repeats are passed over; the cancels still reach
    // the delegates on their own thread, the main one (expectWellFormed).
    QList<QVServerRequestIdentifier> toCancel { 0, identifiers[cancelled] };
    toCancel.append(QList(identifiers.cbegin() + cancelled, identifiers.cend()));
    std::thread([&] { pool.batchCancelServerRequests(toCancel); }).join();
    ASSERT_TRUE(waitForAllEnded(delegates, 60000));
    QTest::qWait(100); // anything stray would arrive now

    for (int i = 0; i < count; ++i) {
        SCOPED_TRACE(i);
        delegates[i].expectWellFormed(identifiers[i]);
        if (i >= cancelled) {
            EXPECT_EQ(delegates[i].count(Kind::Canceled), 1);
            EXPECT_EQ(delegates[i].count(Kind::Started), 0) << "a cancelled queued request never starts";
            continue;
        }
        ASSERT_EQ(delegates[i].count(Kind::Finished), 1);
        EXPECT_EQ(delegates[i].first(Kind::Finished)->data, QVTestHttpServer::pattern(100 + i));
    }
    EXPECT_EQ(std::set(identifiers.cbegin(), identifiers.cend()).size(), size_t(count));
    EXPECT_EQ(server.requests().size(), cancelled);
    // Counted in the pool (requests in the running state) and at the server
    // (answers in progress, which always lie within a running request).
    EXPECT_EQ(QVServerRequest::peakRunningCount(), QVServerConnection::maximumRunningRequests);
    EXPECT_LE(server.peakActiveAnswers(), QVServerConnection::maximumRunningRequests);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return pool.requestCount() == 0 && !pool.isPumpRunning()
                && QVServerRequest::liveCount() == baselineLive;
        },
        10000))
        << "requests left: " << pool.requestCount()
        << ", alive: " << QVServerRequest::liveCount() - baselineLive;
}

TEST_F(QVServerConnectionTest, ShutdownWaitsFiveSecondsInAllForThreadsThatDoNotStop)
{
    // Three request threads held at their start, as by a stall, until let go
    // (after nine seconds at most, so that a pool waiting longer still comes back).
    std::atomic<bool> letGo { false };
    QVServerRequest::setThreadStartHook([&] {
        const QDeadlineTimer limit(9000);
        while (!letGo && !limit.hasExpired())
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    });
    const int running = QVServerRequest::runningCount();
    Delegates delegates(3);
    for (QVRecordingDelegate& delegate : delegates)
        push("/bytes?size=10", delegate);
    ASSERT_TRUE(QTest::qWaitFor([&] { return QVServerRequest::runningCount() == running + 3; }, 5000));

    QElapsedTimer clock;
    clock.start();
    pool.shutdown(); // one deadline for all three, not one each
    EXPECT_GE(clock.elapsed(), 4900);
    EXPECT_LT(clock.elapsed(), 7000);
    EXPECT_TRUE(waitForAllEnded(delegates, 2000));
    for (const QVRecordingDelegate& delegate : delegates)
        EXPECT_EQ(delegate.count(Kind::Canceled), 1);

    // Let go, they end on their own; nothing frees them under their feet.
    letGo = true;
    QTest::qWait(200);
    QVServerRequest::setThreadStartHook({});
    EXPECT_EQ(server.requests().size(), 0);
}

} // namespace
