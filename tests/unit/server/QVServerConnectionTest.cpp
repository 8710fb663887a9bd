// The pool as a whole: the limit of five, the pump's wake-ups, the order of the
// queue, cancelling in a batch, and stopping every thread at shut-down.
#include "QVServerConnection.h"
#include "QVEventQueue.h"
#include "QVRecordingDelegate.h"
#include "QVTestHttpServer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <set>
#include <thread>
#include <vector>

namespace {

using Kind = QVRecordingDelegate::Kind;
using Delegates = std::vector<std::unique_ptr<QVRecordingDelegate>>;

Delegates makeDelegates(int count)
{
    Delegates delegates;
    for (int i = 0; i < count; ++i)
        delegates.push_back(std::make_unique<QVRecordingDelegate>());
    return delegates;
}

bool waitForAllEnded(const Delegates& delegates, int milliseconds = 10000)
{
    return QTest::qWaitFor(
        [&] {
            return std::all_of(delegates.cbegin(), delegates.cend(),
                [](const auto& delegate) { return delegate->hasEnded(); });
        },
        milliseconds);
}

class QVServerConnectionTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(server.listen()); }

    QVServerRequestIdentifier push(
        const QString& pathAndQuery, QVRecordingDelegate& delegate, bool front = false)
    {
        return pool.addServerRequest(server.url(pathAndQuery), std::nullopt, front, &delegate);
    }
    // Every request object gone, including those held by callbacks in flight.
    bool waitForDrain(int baselineLive)
    {
        return QTest::qWaitFor(
            [&] {
                return pool.requestCount() == 0 && !pool.isPumpRunning()
                    && QVServerRequest::liveCount() == baselineLive;
            },
            10000);
    }
    qint64 arrivalIndex(const QString& id) const
    {
        for (qsizetype i = 0; i < server.requests().size(); ++i) {
            if (server.requests().at(i).query.queryItemValue("id") == id)
                return i;
        }
        return -1;
    }

    QVTestHttpServer server;
    QVServerConnection pool;
};

// Pushed at once from four threads, as the collection matcher pushes from its own.
TEST_F(QVServerConnectionTest, TwoHundredRequestsFromFourThreadsRunFiveAtATimeAndEachEndsOnce)
{
    const int baselineLive = QVServerRequest::liveCount();
    QVServerRequest::resetPeakRunningCount();
    constexpr int count = 200;
    constexpr int threads = 4;
    const Delegates delegates = makeDelegates(count);
    QStringList urls;
    for (int i = 0; i < count; ++i)
        urls << server.url(QStringLiteral("/bytes?size=%1&hold=10&id=%2").arg(100 + i).arg(i));
    std::vector<QVServerRequestIdentifier> identifiers(count);
    std::vector<std::thread> pushers;
    for (int t = 0; t < threads; ++t) {
        pushers.emplace_back([&, t] {
            for (int i = t; i < count; i += threads)
                identifiers[i] = pool.addServerRequest(urls[i], std::nullopt, false, delegates[i].get());
        });
    }
    for (std::thread& pusher : pushers)
        pusher.join();
    ASSERT_TRUE(waitForAllEnded(delegates, 60000));
    QTest::qWait(100); // anything stray would arrive now

    for (int i = 0; i < count; ++i) {
        SCOPED_TRACE(i);
        delegates[i]->expectWellFormed(identifiers[i]);
        EXPECT_FALSE(delegates[i]->events.first().onMainThread) << "queued comes on the pushing thread";
        ASSERT_EQ(delegates[i]->count(Kind::Finished), 1);
        EXPECT_EQ(delegates[i]->first(Kind::Finished)->data, QVTestHttpServer::pattern(100 + i));
    }
    EXPECT_EQ(std::set(identifiers.cbegin(), identifiers.cend()).size(), size_t(count));
    EXPECT_EQ(server.requests().size(), count);
    // Counted in the pool (requests in the running state) and at the server
    // (answers in progress, which always lie within a running request).
    EXPECT_EQ(QVServerRequest::peakRunningCount(), QVServerConnection::maximumRunningRequests);
    EXPECT_LE(server.peakActiveAnswers(), QVServerConnection::maximumRunningRequests);
    EXPECT_GE(server.peakActiveAnswers(), 2);
    EXPECT_TRUE(waitForDrain(baselineLive)) << "requests left: " << pool.requestCount()
                                            << ", alive: " << QVServerRequest::liveCount() - baselineLive;
    EXPECT_EQ(QVServerRequest::runningCount(), 0);
}

// Five running, freeing their slots 300 ms apart; four queued and one pushed to
// the front, then some of each cancelled in one batch.
TEST_F(QVServerConnectionTest, BatchCancelReachesQueuedAndRunningRequestsAndTheFrontStartsFirst)
{
    const Delegates running = makeDelegates(5);
    const Delegates queued = makeDelegates(5);
    QList<QVServerRequestIdentifier> runningIds, queuedIds;
    for (int i = 0; i < 5; ++i)
        runningIds << push(
            QStringLiteral("/bytes?size=10&hold=%1").arg(std::min(300 * (i + 1), 900)), *running[i]);
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.requests().size() == 5; }, 5000));
    for (int i = 0; i < 5; ++i)
        queuedIds << push(QStringLiteral("/bytes?size=10&id=q%1").arg(i), *queued[i], i == 4);

    // Unknown identifiers and repeats are passed over. Cancelled from another
    // thread: the delegates still hear of it on theirs, the main one.
    std::thread([&] {
        pool.batchCancelServerRequests({ queuedIds[0], queuedIds[2], runningIds[4], 0, queuedIds[0] });
    }).join();

    ASSERT_TRUE(waitForAllEnded(running) && waitForAllEnded(queued));
    QTest::qWait(100);
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        running[i]->expectWellFormed(runningIds[i]);
        EXPECT_EQ(running[i]->count(Kind::Finished), i == 4 ? 0 : 1);
        const bool cancelled = i == 0 || i == 2;
        queued[i]->expectWellFormed(queuedIds[i]);
        EXPECT_EQ(queued[i]->count(Kind::Finished), cancelled ? 0 : 1);
        EXPECT_EQ(queued[i]->count(Kind::Started), cancelled ? 0 : 1)
            << "a cancelled queued request never starts";
        EXPECT_EQ(arrivalIndex(QStringLiteral("q%1").arg(i)) >= 0, !cancelled);
    }
    EXPECT_EQ(server.clientAborts(), 1);
    // The front one takes the cancelled one's slot; the rest keep their order.
    EXPECT_LT(arrivalIndex("q4"), arrivalIndex("q1"));
    EXPECT_LT(arrivalIndex("q1"), arrivalIndex("q3"));
    EXPECT_LT(queued[4]->first(Kind::Started)->atNs, queued[1]->first(Kind::Started)->atNs);
}

TEST_F(QVServerConnectionTest, ShutdownCancelsEverythingAndStopsEveryThread)
{
    const QString slow = QStringLiteral("/bytes?size=100000&chunk=100&interval=20");
    const int baselineLive = QVServerRequest::liveCount();
    const Delegates delegates = makeDelegates(7);
    for (const auto& delegate : delegates)
        push(slow, *delegate);
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.activeAnswers() == 5; }, 5000));

    pool.shutdown();
    EXPECT_TRUE(waitForAllEnded(delegates, 5000));
    for (const auto& delegate : delegates)
        EXPECT_EQ(delegate->count(Kind::Canceled), 1);
    EXPECT_EQ(QVServerRequest::runningCount(), 0);
    EXPECT_FALSE(pool.isPumpRunning());
    EXPECT_EQ(pool.requestCount(), 0);

    // The pool stays shut: a later push is cancelled at once.
    QVRecordingDelegate late;
    const QVServerRequestIdentifier identifier = push("/bytes?size=10", late);
    QTest::qWait(200);
    late.expectWellFormed(identifier);
    EXPECT_EQ(late.count(Kind::Canceled), 1);
    for (const auto& delegate : delegates)
        EXPECT_EQ(delegate->finals(), 1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return server.clientAborts() == 5; }, 5000));
    EXPECT_TRUE(waitForDrain(baselineLive));

    // A pool destroyed with transfers under way stops them the same way.
    QVRecordingDelegate inFlight;
    {
        QVServerConnection scoped;
        scoped.addServerRequest(server.url(slow), std::nullopt, false, &inFlight);
        ASSERT_TRUE(QTest::qWaitFor([&] { return inFlight.count(Kind::Response) == 1; }, 5000));
    }
    EXPECT_EQ(QVServerRequest::runningCount(), 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return inFlight.count(Kind::Canceled) == 1; }, 5000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return QVServerRequest::liveCount() == baselineLive; }, 5000));
}

TEST_F(QVServerConnectionTest, ShutdownWaitsFiveSecondsInAllForThreadsThatDoNotStop)
{
    // Three request threads held at their start, as by a stall, until let go.
    std::atomic<bool> letGo { false };
    QVServerRequest::setThreadStartHook([&] {
        while (!letGo)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    });
    const int running = QVServerRequest::runningCount();
    const Delegates delegates = makeDelegates(3);
    for (const auto& delegate : delegates)
        push("/bytes?size=10", *delegate);
    ASSERT_TRUE(QTest::qWaitFor([&] { return QVServerRequest::runningCount() == running + 3; }, 5000));
    // Lets them go after nine seconds, so that a pool waiting longer still comes back.
    std::thread watchdog([&] {
        for (int i = 0; i < 900 && !letGo; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        letGo = true;
    });

    QElapsedTimer clock;
    clock.start();
    pool.shutdown(); // one deadline for all three, not one each
    EXPECT_GE(clock.elapsed(), 4900);
    EXPECT_LT(clock.elapsed(), 7000);
    EXPECT_TRUE(QTest::qWaitFor([&] { return delegates.back()->hasEnded(); }, 2000));
    for (const auto& delegate : delegates)
        EXPECT_EQ(delegate->count(Kind::Canceled), 1);

    // Let go, they end on their own; nothing frees them under their feet.
    letGo = true;
    watchdog.join();
    QTest::qWait(200);
    QVServerRequest::setThreadStartHook({});
    EXPECT_EQ(server.requests().size(), 0);
}

// Run in a child process by the test below: the shared pool with transfers
// under way when the application's event loop quits.
TEST(QVServerConnectionExitTest, DISABLED_SharedPoolAtQuit)
{
    QVTestHttpServer server;
    ASSERT_TRUE(server.listen());
    const Delegates delegates = makeDelegates(7);
    for (const auto& delegate : delegates)
        QVServerConnection::sharedInstance()->addServerRequest(
            server.url("/bytes?size=100000&chunk=100&interval=20"), std::nullopt, false, delegate.get());
    QTimer::singleShot(500, QCoreApplication::instance(), [] { QCoreApplication::quit(); });
    QCoreApplication::exec();
    // The cancels, on their way to the delegates: posted to the main thread,
    // then queued for depth 0.
    QCoreApplication::sendPostedEvents();
    QVEventQueue::sharedInstance()->dispatchNow();
    EXPECT_EQ(QVServerRequest::runningCount(), 0);
    EXPECT_EQ(QVServerConnection::sharedInstance()->requestCount(), 0);
    EXPECT_FALSE(QVServerConnection::sharedInstance()->isPumpRunning());
    for (const auto& delegate : delegates)
        EXPECT_EQ(delegate->count(Kind::Canceled), 1);
}

TEST(QVServerConnectionExitTest, SharedPoolStopsItsThreadsWhenTheApplicationQuits)
{
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(),
        { QStringLiteral("--gtest_also_run_disabled_tests"),
            QStringLiteral("--gtest_filter=QVServerConnectionExitTest.DISABLED_SharedPoolAtQuit") });
    ASSERT_TRUE(child.waitForFinished(30000));
    const QString output = QString::fromLocal8Bit(child.readAllStandardOutput());
    const QString errors = QString::fromLocal8Bit(child.readAllStandardError());
    EXPECT_EQ(child.exitStatus(), QProcess::NormalExit) << errors.toStdString();
    EXPECT_EQ(child.exitCode(), 0) << output.toStdString() << errors.toStdString();
    EXPECT_TRUE(output.contains("[  PASSED  ] 1 test.")) << output.toStdString();
    EXPECT_FALSE(errors.contains(QStringLiteral("QThread: Destroyed while thread"))) << errors.toStdString();
}

} // namespace
