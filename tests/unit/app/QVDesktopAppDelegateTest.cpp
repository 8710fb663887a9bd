#include "QVDesktopAppDelegate.h"
#include "QVConstants.h"
#include "QVNotificationCenter.h"
#include "QVPaths.h"
#include "QVTestWait.h"
#include "QVUserDefaults.h"
#include "QVWebNavigationService.h"
#include "QVWebPlaybackService.h"
#include "QVWindowService.h"
#include "QVXvfb.h"
#include "SPMediaKeyTap.h"

#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDir>
#include <QElapsedTimer>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>

namespace {

// A delegate over fresh services, so each test starts from nothing.
class QVDesktopAppDelegateTest : public ::testing::Test
{
protected:
    QVDesktopAppDelegateTest()
        : defaults(dir.filePath("Quiv.conf"), &center)
        , delegate(QVDesktopAppDelegate::Services { &windowService, &navigationService, &playbackService,
              QVNotificationCenter::defaultCenter(), &defaults })
    {
        for (const char* name : { QVPlayButtonPressedNotification, QVForwardButtonPressedNotification,
                 QVRewindButtonPressedNotification })
            QVNotificationCenter::defaultCenter()->addObserver(
                this, name, [this](const QVNotification& n) { posted.append(n.name); });
    }
    ~QVDesktopAppDelegateTest() override { QVNotificationCenter::defaultCenter()->removeObserver(this); }

    QTemporaryDir dir;
    QVNotificationCenter center;
    QVUserDefaults defaults;
    QVWindowService windowService;
    QVWebNavigationService navigationService;
    QVWebPlaybackService playbackService;
    QVDesktopAppDelegate delegate;
    QStringList posted;
};

} // namespace

TEST_F(QVDesktopAppDelegateTest, MediaKeysPostTheButtonNotifications)
{
    const QString play = QVPlayButtonPressedNotification, forward = QVForwardButtonPressedNotification,
                  rewind = QVRewindButtonPressedNotification;
    for (int code : { 16, 17, 18, 19, 20, 21, 0, 15 })
        delegate.mediaKeyTapReceivedMediaKeyEvent(nullptr, SPMediaKeyEvent::keyDown(code));
    delegate.mediaKeyTapReceivedMediaKeyEvent(nullptr, SPMediaKeyEvent::keyUp(16));
    // Not a media-key event at all.
    delegate.mediaKeyTapReceivedMediaKeyEvent(nullptr, SPMediaKeyEvent { 10, 8, 16u << 16 | 0x0A00u });
    EXPECT_EQ(posted, (QStringList { play, forward, rewind, forward, rewind }));
    posted.clear();

    // Held down: play/pause toggles once; the skips go on with each repeat.
    for (int code : { 16, 17, 19 }) {
        delegate.mediaKeyTapReceivedMediaKeyEvent(nullptr, SPMediaKeyEvent::keyDown(code));
        delegate.mediaKeyTapReceivedMediaKeyEvent(nullptr, SPMediaKeyEvent::keyDown(code, true));
        delegate.mediaKeyTapReceivedMediaKeyEvent(nullptr, SPMediaKeyEvent::keyDown(code, true));
    }
    EXPECT_EQ(posted, (QStringList { play, forward, forward, forward, forward, forward, forward }));
}

// One press of the keyboard's play key, grabbed on the X display, posts play
// exactly once: its key-up and the delegate's decoding must not make a second.
TEST_F(QVDesktopAppDelegateTest, AnX11PlayKeyPostsPlayOnce)
{
    QVXvfb xvfb;
    if (!xvfb.isRunning() || QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
        GTEST_SKIP() << "needs Xvfb and xdotool";
    SPMediaKeyTap::Environment environment;
    environment.bus = QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent/bus"), "no-bus");
    environment.display = xvfb.display();
    environment.userDefaults = &defaults;
    SPMediaKeyTap tap(&delegate, environment);
    tap.startWatchingMediaKeys();
    ASSERT_EQ(tap.backend(), SPMediaKeyTap::Backend::X11KeyGrab);

    ASSERT_TRUE(
        xvfb.run(QStringLiteral("xdotool"), { QStringLiteral("key"), QStringLiteral("XF86AudioPlay") }));
    ASSERT_TRUE(QVWaitUntil([&] { return !posted.isEmpty(); }, 5000));
    QTest::qWait(300);
    EXPECT_EQ(posted, QStringList { QVPlayButtonPressedNotification });
}

// Quitting from the mini player and a page that unloads in time are driven on
// the real page by the lifecycle test; here a page that never unloads.
TEST_F(QVDesktopAppDelegateTest, QuitFromTheMainPlayerEndsTheWaitAtTheLimit)
{
    QSignalSpy reply(&delegate, &QVDesktopAppDelegate::replyToApplicationShouldTerminate);
    delegate.setShutdownTimeLimit(1200);
    delegate.shouldShutdown = false;
    QElapsedTimer clock;
    clock.start();
    ASSERT_EQ(delegate.applicationShouldTerminate(), QVTerminateReply::TerminateLater);
    ASSERT_TRUE(reply.wait(4000));
    EXPECT_GE(clock.elapsed(), 1200);
    EXPECT_TRUE(reply.first().first().toBool());

    QVMiniPlayerWindow mini;
    mini.setGeometry(10, 20, 350, 64);
    delegate.miniPlayerWindow = &mini;
    delegate.applicationWillTerminate();
    EXPECT_EQ(defaults.stringForKey(QVMiniPlayerFrameKey), "{{10, 20}, {350, 64}}");
}
