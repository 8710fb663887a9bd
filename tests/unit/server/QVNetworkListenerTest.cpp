#include "QVNetworkListener.h"
#include "QVDemoService.h"
#include "QVLogCapture.h"
#include "QVNetworkListenerDelegate.h"
#include "QVRecordingDelegate.h"
#include "QVServerConnection.h"
#include "QVSystemNetworkChangeSource.h"
#include "QVTestWait.h"

#include <gtest/gtest.h>

#include <QTest>

namespace {

class FakeChangeSource : public QVNetworkChangeSource
{
public:
    bool start() override { return works; }
    State state() const override { return current; }
    bool works = true;
    State current { true, false, true };
};

constexpr int kRetryMs = 300;
constexpr int kProbeLimitMs = 800;

// Against the demo service, with change events fired by hand.
class QVNetworkListenerTest : public ::testing::Test, public QVNetworkListenerDelegate
{
protected:
    void SetUp() override { ASSERT_TRUE(demo.start()) << demo.errorString().toStdString(); }

    void onHostnameReachable() override { ++reachable; }
    void onHostnameNotReachable() override { ++notReachable; }

    void start(bool sourceWorks = true, int pollMs = 60000)
    {
        auto fake = std::make_unique<FakeChangeSource>();
        fake->works = sourceWorks;
        source = fake.get();
        listener = std::make_unique<QVNetworkListener>(
            std::move(fake), QVNetworkListener::Intervals { kRetryMs, pollMs, kProbeLimitMs });
        listener->setDelegate(this);
        listener->setHostName(demo.baseUrl());
        listener->startListening();
        settle();
    }
    // Waits for the probe in flight and the delegate's queued call.
    void settle()
    {
        EXPECT_TRUE(QVWaitUntil([&] { return !listener->isRunningReachabilityCheck(); }, 5000));
        QTest::qWait(30);
    }
    // Makes the demo's probe target fail on purpose ("drop", "hang") or not ("ok").
    void reachability(const char* mode)
    {
        QVRecordingDelegate::fetch(pool, demo.baseUrl() + "/api/demo/control",
            QVServerRequestParams { { "call", "reachability" }, { "mode", mode } });
    }

    QVDemoService demo;
    QVServerConnection pool;
    FakeChangeSource* source = nullptr;
    std::unique_ptr<QVNetworkListener> listener;
    int reachable = 0;
    int notReachable = 0;
};

} // namespace

// Online at start, three changes at once, the host going away while the page
// retries, its return, and the listener going away mid-probe.
TEST_F(QVNetworkListenerTest, ProbesOncePerChangeOrIntervalAndTellsEachChangeOnce)
{
    start();
    EXPECT_EQ(listener->probeCount(), 1);
    EXPECT_EQ(reachable + notReachable, 0);
    EXPECT_FALSE(listener->hasActiveTimer()) << "reachable, with a change source: nothing wakes it";

    listener->startListening(); // a new web view
    source->current = { false, true, false };
    for (int i = 0; i < 3; ++i)
        emit source->changed();
    settle();
    EXPECT_EQ(listener->probeCount(), 2);
    EXPECT_TRUE(!listener->isIPv4Available() && listener->isIPv6Available() && !listener->isDNSAvailable());
    EXPECT_EQ(reachable + notReachable, 0);

    const int port = demo.port();
    demo.stop();
    emit source->changed();
    ASSERT_TRUE(QVWaitUntil([&] { return notReachable == 1; }, 3000));
    // The page asks again and again while offline: still one probe an interval.
    const int before = listener->probeCount();
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < 20; ++i) {
        listener->checkIsHostReachable();
        QTest::qWait(kRetryMs / 5);
    }
    const int intervals = int(clock.elapsed() / kRetryMs);
    EXPECT_GE(listener->probeCount() - before, intervals - 1);
    EXPECT_LE(listener->probeCount() - before, intervals + 1);

    ASSERT_TRUE(demo.start(5000, port)) << demo.errorString().toStdString();
    ASSERT_TRUE(QVWaitUntil([&] { return reachable == 1; }, 3000));
    QTest::qWait(kRetryMs * 2);
    EXPECT_EQ(reachable, 1);
    EXPECT_EQ(notReachable, 1);
    EXPECT_FALSE(listener->hasActiveTimer());

    // Destroyed mid-probe: the probe is aborted and nobody is called.
    reachability("hang");
    listener->checkIsHostReachable();
    EXPECT_TRUE(listener->isRunningReachabilityCheck());
    listener.reset();
    QTest::qWait(kProbeLimitMs + 200);
    EXPECT_EQ(reachable + notReachable, 2);
    reachability("ok");
}

// Any answer with a status is the host being there; a silent host or a body
// cut short is not; a new base URL is the one asked.
TEST_F(QVNetworkListenerTest, WhatCountsAsAnAnswerAndFromWhom)
{
    start();
    reachability("hang");
    QElapsedTimer clock;
    clock.start();
    listener->checkIsHostReachable();
    ASSERT_TRUE(QVWaitUntil([&] { return notReachable == 1; }, 5000));
    EXPECT_GE(clock.elapsed(), kProbeLimitMs - 50);

    listener->setHostName(demo.baseUrl() + "/no/such/place"); // a 404
    ASSERT_TRUE(QVWaitUntil([&] { return reachable == 1; }, 5000));

    reachability("drop");
    listener->setHostName(demo.baseUrl());
    ASSERT_TRUE(QVWaitUntil([&] { return notReachable == 2; }, 5000));
    reachability("ok");

    QVDemoService other;
    ASSERT_TRUE(other.start());
    listener->setHostName(other.baseUrl());
    ASSERT_TRUE(QVWaitUntil([&] { return reachable == 2; }, 5000));
    demo.stop();
    emit source->changed();
    settle();
    EXPECT_TRUE(listener->isHostReachable()) << "the old host is not asked any more";
}

TEST_F(QVNetworkListenerTest, WithoutAChangeSourceItSaysSoAndPollsWhileReachable)
{
    QVLogCapture log;
    start(false, kRetryMs);
    EXPECT_TRUE(log.lines().contains("Quiv:  --- ERROR: Could not set store notification keys!"));
    QTest::qWait(kRetryMs * 4);
    EXPECT_GE(listener->probeCount(), 3);
    EXPECT_EQ(reachable + notReachable, 0);
}

TEST(QVSystemNetworkChangeSourceTest, ANameserverLineMeansDNS)
{
    EXPECT_TRUE(
        QVSystemNetworkChangeSource::namesNameserver("# generated\nsearch lan\nnameserver 10.0.0.1\n"));
    EXPECT_FALSE(QVSystemNetworkChangeSource::namesNameserver("# nameserver 1.1.1.1\nsearch lan\n"));
    EXPECT_FALSE(QVSystemNetworkChangeSource::namesNameserver("nameserver\n"));
}
