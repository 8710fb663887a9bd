#include "QVNetworkListener.h"
#include "QVDemoService.h"
#include "QVLogCapture.h"
#include "QVNetworkListenerDelegate.h"
#include "QVRecordingDelegate.h"
#include "QVServerConnection.h"
#include "QVSystemNetworkChangeSource.h"
#include "QVTestHttpServer.h"
#include "QVTestWait.h"

#include <gtest/gtest.h>

#include <QTest>

namespace {

class FakeChangeSource : public QVNetworkChangeSource
{
public:
    explicit FakeChangeSource(bool works = true)
        : works(works)
    {
    }
    bool start() override { return works; }
    State state() const override { return current; }
    void fire() { emit changed(); }

    bool works;
    State current { true, false, true };
};

class CountingDelegate : public QVNetworkListenerDelegate
{
public:
    void onHostnameReachable() override { ++reachable; }
    void onHostnameNotReachable() override { ++notReachable; }
    int reachable = 0;
    int notReachable = 0;
};

constexpr int kRetryMs = 300;
constexpr int kProbeLimitMs = 800;

class QVNetworkListenerTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(demo.start()) << demo.errorString().toStdString(); }

    std::unique_ptr<QVNetworkListener> makeListener(bool sourceWorks = true, int pollMs = 60000)
    {
        auto fake = std::make_unique<FakeChangeSource>(sourceWorks);
        source = fake.get();
        auto made = std::make_unique<QVNetworkListener>(
            std::move(fake), QVNetworkListener::Intervals { kRetryMs, pollMs, kProbeLimitMs });
        made->setDelegate(&delegate);
        made->setHostName(demo.baseUrl());
        return made;
    }

    // Waits for the probe in flight and for the delegate's queued call.
    void settle(QVNetworkListener& listener)
    {
        EXPECT_TRUE(QVWaitUntil([&] { return !listener.isRunningReachabilityCheck(); }, 5000));
        QTest::qWait(30);
    }

    // Makes the demo's probe target fail on purpose ("drop", "hang") or not ("ok").
    void reachability(const char* mode)
    {
        QVRecordingDelegate answer;
        pool.addServerRequest(demo.baseUrl() + "/api/demo/control",
            QVServerRequestParams { { "call", "reachability" }, { "mode", mode } }, true, &answer);
        ASSERT_TRUE(QVWaitUntil([&] { return answer.hasEnded(); }));
        ASSERT_NE(answer.first(QVRecordingDelegate::Finished), nullptr);
    }

    QVDemoService demo;
    QVServerConnection pool;
    CountingDelegate delegate;
    FakeChangeSource* source = nullptr;
};

} // namespace

TEST_F(QVNetworkListenerTest, OnlineAtStartProbesOnceAndChangesTogetherProbeOnce)
{
    auto listener = makeListener();
    listener->startListening();
    settle(*listener);
    EXPECT_EQ(listener->probeCount(), 1);
    EXPECT_EQ(delegate.reachable + delegate.notReachable, 0);
    EXPECT_TRUE(listener->isIPv4Available());
    EXPECT_TRUE(listener->isDNSAvailable());
    // Reachable with a working change source: nothing wakes the listener.
    EXPECT_FALSE(listener->hasActiveTimer());

    listener->startListening(); // a new web view
    EXPECT_EQ(listener->startCount(), 2);
    source->current = { false, true, false };
    source->fire();
    source->fire();
    source->fire();
    settle(*listener);
    EXPECT_EQ(listener->probeCount(), 2);
    EXPECT_FALSE(listener->isIPv4Available());
    EXPECT_TRUE(listener->isIPv6Available());
    EXPECT_EQ(delegate.reachable + delegate.notReachable, 0);
}

TEST_F(QVNetworkListenerTest, LossRetriesOnOneTimerAndReturnIsToldOnce)
{
    auto listener = makeListener();
    listener->startListening();
    settle(*listener);
    const int port = demo.port();
    demo.stop();
    source->fire();
    ASSERT_TRUE(QVWaitUntil([&] { return delegate.notReachable == 1; }, 3000));
    EXPECT_FALSE(listener->isHostReachable());

    // The page asks again and again while offline: still one probe an interval.
    const int before = listener->probeCount();
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < 20; ++i) {
        listener->checkIsHostReachable();
        QTest::qWait(kRetryMs * 4 / 20);
    }
    const int intervals = int(clock.elapsed() / kRetryMs);
    EXPECT_GE(listener->probeCount() - before, intervals - 1);
    EXPECT_LE(listener->probeCount() - before, intervals + 1);
    EXPECT_EQ(delegate.notReachable, 1);

    ASSERT_TRUE(demo.start(5000, port)) << demo.errorString().toStdString();
    ASSERT_TRUE(QVWaitUntil([&] { return delegate.reachable == 1; }, 3000));
    QTest::qWait(kRetryMs * 2);
    EXPECT_EQ(delegate.reachable, 1);
    EXPECT_EQ(delegate.notReachable, 1);
    EXPECT_FALSE(listener->hasActiveTimer());
}

// Any answer with a status is the host being there; no answer in time is not.
TEST_F(QVNetworkListenerTest, A404IsReachableAndASilentHostIsNotAfterTheLimit)
{
    auto listener = makeListener();
    listener->startListening();
    settle(*listener);

    reachability("hang");
    QElapsedTimer clock;
    clock.start();
    listener->checkIsHostReachable();
    ASSERT_TRUE(QVWaitUntil([&] { return delegate.notReachable == 1; }, 5000));
    EXPECT_GE(clock.elapsed(), kProbeLimitMs - 50);
    reachability("ok");

    // A host whose probe path is missing still answers.
    listener->setHostName(demo.baseUrl() + "/no/such/place");
    ASSERT_TRUE(QVWaitUntil([&] { return delegate.reachable == 1; }, 5000));

    // A body cut short is a failed transfer, not an answer.
    reachability("drop");
    listener->setHostName(demo.baseUrl());
    ASSERT_TRUE(QVWaitUntil([&] { return delegate.notReachable == 2; }, 5000));
    reachability("ok");
}

TEST_F(QVNetworkListenerTest, ANewBaseURLIsTheOneProbed)
{
    QVDemoService other;
    ASSERT_TRUE(other.start()) << other.errorString().toStdString();
    auto listener = makeListener();
    listener->startListening();
    settle(*listener);
    demo.stop();
    listener->setHostName(other.baseUrl());
    settle(*listener);
    source->fire();
    settle(*listener);
    EXPECT_TRUE(listener->isHostReachable());
    EXPECT_EQ(delegate.notReachable, 0);
    EXPECT_EQ(listener->probeCount(), 3);
}

TEST_F(QVNetworkListenerTest, WithoutAChangeSourceItSaysSoAndPollsWhileReachable)
{
    QVLogCapture log;
    auto listener = makeListener(false, kRetryMs);
    listener->startListening();
    EXPECT_TRUE(log.lines().contains("Quiv:  --- ERROR: Could not set store notification keys!"))
        << log.lines().join('\n').toStdString();
    QTest::qWait(kRetryMs * 4);
    EXPECT_GE(listener->probeCount(), 3);
    EXPECT_TRUE(listener->isHostReachable());
    EXPECT_EQ(delegate.reachable + delegate.notReachable, 0);
}

TEST_F(QVNetworkListenerTest, GoingAwayMidProbeTellsNobody)
{
    reachability("hang");
    {
        auto listener = makeListener();
        listener->startListening();
        EXPECT_TRUE(listener->isRunningReachabilityCheck());
        QTest::qWait(50);
    }
    QTest::qWait(kProbeLimitMs + 200);
    EXPECT_EQ(delegate.reachable + delegate.notReachable, 0);
    reachability("ok");
}

TEST(QVSystemNetworkChangeSourceTest, ANameserverLineMeansDNS)
{
    EXPECT_TRUE(
        QVSystemNetworkChangeSource::namesNameserver("# generated\nsearch lan\nnameserver 10.0.0.1\n"));
    EXPECT_TRUE(QVSystemNetworkChangeSource::namesNameserver("  nameserver\t::1"));
    EXPECT_FALSE(QVSystemNetworkChangeSource::namesNameserver("# nameserver 1.1.1.1\nsearch lan\n"));
    EXPECT_FALSE(QVSystemNetworkChangeSource::namesNameserver("nameserver\n"));
    EXPECT_FALSE(QVSystemNetworkChangeSource::namesNameserver(""));
}
