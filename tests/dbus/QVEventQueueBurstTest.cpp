#include "../unit/playback/QVPlaybackTestSupport.h"
#include "QVConstants.h"
#include "QVDemoService.h"
#include "QVEventQueue.h"
#include "QVMprisService.h"
#include "QVScriptObject.h"
#include "QVServerConnection.h"
#include "QVTestWait.h"
#include "QVWebView.h"

#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QSignalSpy>
#include <QTimer>

namespace {

class CountingObject : public QVScriptObject
{
public:
    QStringList exportedMethods() const override { return { QStringLiteral("ping") }; }
    void invokeScriptMethod(const QString&, const QVariantList& arguments) override
    {
        if (onCall)
            onCall(arguments.value(0).toInt());
    }
    std::function<void(int)> onCall;
};

// Every reply reads the page, as album art and the other pool users may.
class ReadingDelegate : public QVServerRequestDelegate
{
public:
    void onConnectionFinished(QVServerRequestIdentifier, const QByteArray&) override
    {
        depths.append(QVEventQueue::waitDepth());
        if (view->evaluate("quivTest.label") != "bridge")
            ++wrongReads;
    }
    void onConnectionFailed(QVServerRequestIdentifier, const QVServerError&) override { ++failed; }
    QVWebView* view = nullptr;
    QList<int> depths;
    int wrongReads = 0;
    int failed = 0;
};

// The playback service's fakes around a real page of the demo service.
using QVEventQueueBurstTest = PlaybackServiceTest;

} // namespace

// Page calls answered with reads, while pool replies, MPRIS calls and output
// changes arrive inside those reads' waits: every one runs once, in order, and
// no read ever starts inside another.
TEST_F(QVEventQueueBurstTest, EveryEntryPointWaitsForTheReadsToEnd)
{
    ASSERT_TRUE(QDBusConnection::sessionBus().isConnected()) << "run under dbus-run-session";
    QVDemoService demo;
    ASSERT_TRUE(demo.start());
    QVWebView view;
    view.setServiceURL(QUrl(demo.baseUrl()));
    CountingObject object;
    view.setScriptObject("TestScriptObject", &object);
    QSignalSpy loaded(&view, &QWebEngineView::loadFinished);
    view.load(QUrl(demo.baseUrl() + "/test/bridge.html"));
    ASSERT_TRUE(loaded.wait(15000));

    defaults->setValue(true, QVPauseOnDeviceUnplugKey);
    service.setWebView(&view);
    service.webViewFinishedLoading();
    ASSERT_EQ(service.playingTrackKey(), "t1");
    QVMprisService mpris(&service);
    ASSERT_TRUE(mpris.registerOn(QDBusConnection::sessionBus()));
    ASSERT_TRUE(QVWaitUntil([&] { return !mpris.serviceName().isEmpty(); }, 5000));
    QDBusConnection client = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "burst-client");
    const QDBusObjectPath track("/com/quiv/desktop/track/t1");

    QVServerConnection pool;
    ReadingDelegate replies;
    replies.view = &view;
    QSignalSpy timedOut(&view, &QVWebView::evaluationTimedOut);
    QVWebView::resetMaxWaitDepth();
    constexpr int kCalls = 500;
    int mprisCalls = 0;

    for (int run = 0; run < 5; ++run) {
        SCOPED_TRACE(run);
        QList<int> seen;
        int wrong = 0;
        object.onCall = [&](int value) {
            seen.append(value);
            if (view.evaluate("quivTest.label") != "bridge" || view.evaluate("document.title").isEmpty()
                || view.evaluate("quivTest.value") == "")
                ++wrong;
        };
        view.executeJavascript("quivTest.value = -1; quivTest.fire(500);");
        // The others arrive spread over the burst.
        for (int i = 0; i < 40; ++i) {
            QTimer::singleShot(i * 5, &view, [&] {
                pool.addServerRequest(
                    demo.baseUrl() + "/media/images/trans.gif", std::nullopt, false, &replies);
                QDBusMessage call = QDBusMessage::createMethodCall(mpris.serviceName(),
                    "/org/mpris/MediaPlayer2", "org.mpris.MediaPlayer2.Player", "SetPosition");
                call << QVariant::fromValue(track) << qlonglong(mprisCalls++) * 1000000;
                client.asyncCall(call);
            });
        }
        for (int i = 0; i < 10; ++i)
            QTimer::singleShot(i * 20, &view, [&] { output.change(); });
        ASSERT_TRUE(QVWaitUntil([&] { return seen.size() >= kCalls; }, 60000));
        for (int i = 0; i < kCalls; ++i)
            ASSERT_EQ(seen.value(i, -1), i);
        EXPECT_EQ(wrong, 0);
        object.onCall = nullptr;
    }

    ASSERT_TRUE(QVWaitUntil([&] { return replies.depths.size() + replies.failed >= 200; }, 30000));
    EXPECT_EQ(replies.failed, 0);
    EXPECT_EQ(replies.depths, QList<int>(200, 0));
    EXPECT_EQ(replies.wrongReads, 0);
    ASSERT_TRUE(QVWaitUntil([&] { return view.evaluate("Q.player.positions.length") == "200"; }, 30000));
    EXPECT_EQ(view.evaluate("Q.player.positions.every(function (p, i) { return p === i; })"), "true");
    ASSERT_TRUE(QVWaitUntil([&] { return view.evaluate("Q.player.pauses") == "50"; }, 10000));
    EXPECT_EQ(QVWebView::maxWaitDepth(), 1);
    EXPECT_EQ(timedOut.count(), 0);
    QDBusConnection::disconnectFromBus("burst-client");
}
