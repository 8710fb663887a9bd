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
    }

    void record(QVNotificationCenter* c, const QStringList& names)
    {
        for (const QString& name : names)
            c->addObserver(this, name, [this](const QVNotification& n) {
                posted.append(n.name);
                objects.append(n.object);
            });
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
    QList<QObject*> objects;
};

} // namespace

TEST_F(QVDesktopAppDelegateTest, MediaKeysPostTheButtonNotifications)
{
    const QString play = QVPlayButtonPressedNotification, forward = QVForwardButtonPressedNotification,
                  rewind = QVRewindButtonPressedNotification;
    record(QVNotificationCenter::defaultCenter(), { play, forward, rewind });

    for (int code : { 16, 17, 18, 19, 20, 21, 0, 15 })
        delegate.mediaKeyTapReceivedMediaKeyEvent(nullptr, SPMediaKeyEvent::keyDown(code));
    EXPECT_EQ(posted, (QStringList { play, forward, rewind, forward, rewind }));
    EXPECT_EQ(objects.count(&delegate), 5);

    posted.clear();
    delegate.mediaKeyTapReceivedMediaKeyEvent(nullptr, SPMediaKeyEvent::keyUp(16));
    EXPECT_TRUE(posted.isEmpty());

    // Held down: play/pause toggles once; the skips go on with each repeat.
    for (int code : { 16, 17, 19 }) {
        delegate.mediaKeyTapReceivedMediaKeyEvent(nullptr, SPMediaKeyEvent::keyDown(code));
        delegate.mediaKeyTapReceivedMediaKeyEvent(nullptr, SPMediaKeyEvent::keyDown(code, true));
        delegate.mediaKeyTapReceivedMediaKeyEvent(nullptr, SPMediaKeyEvent::keyDown(code, true));
    }
    EXPECT_EQ(posted, (QStringList { play, forward, forward, forward, forward, forward, forward }));

    // Not a media-key event at all: nothing, and no crash.
    posted.clear();
    delegate.mediaKeyTapReceivedMediaKeyEvent(nullptr, SPMediaKeyEvent { 10, 8, 16u << 16 | 0x0A00u });
    delegate.mediaKeyTapReceivedMediaKeyEvent(nullptr, SPMediaKeyEvent { 14, 7, 16u << 16 | 0x0A00u });
    EXPECT_TRUE(posted.isEmpty());
}

// One press of the keyboard's play key, grabbed on the X display, posts play
// exactly once: its key-up and the delegate's decoding must not make a second.
TEST_F(QVDesktopAppDelegateTest, AnX11PlayKeyPostsPlayOnce)
{
    QVXvfb xvfb;
    if (!xvfb.isRunning() || QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
        GTEST_SKIP() << "needs Xvfb and xdotool";
    record(QVNotificationCenter::defaultCenter(),
        { QVPlayButtonPressedNotification, QVForwardButtonPressedNotification,
            QVRewindButtonPressedNotification });
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

TEST_F(QVDesktopAppDelegateTest, LaunchRegistersDefaultsWithoutWritingThem)
{
    QAction app("[product_name]"), support("[product_name] Support"), updates("Check for Updates…"),
        match("Match");
    delegate.appMenuItem = &app;
    delegate.supportMenuItem = &support;
    delegate.checkForUpdatesMenuItem = &updates;
    delegate.matchCollectionMenuItem = &match;
    delegate.applicationWillFinishLaunching();
    delegate.applicationDidFinishLaunching();

    EXPECT_TRUE(defaults.boolForKey(QVPauseOnDeviceUnplugKey));
    EXPECT_TRUE(defaults.boolForKey(QVShouldShowWelcomeWindowKey));
    defaults.synchronize();
    EXPECT_FALSE(QSettings(defaults.filePath(), QSettings::IniFormat).contains(QVPauseOnDeviceUnplugKey));
    EXPECT_TRUE(QDir(QVPaths::supportDirectory()).exists());
    EXPECT_EQ(app.text(), "Quiv");
    EXPECT_EQ(support.text(), "Quiv Support");
    EXPECT_FALSE(updates.isVisible());
    EXPECT_FALSE(match.isEnabled());
    EXPECT_NE(delegate.mediaKeyTap, nullptr);
}

TEST_F(QVDesktopAppDelegateTest, MenuItemsFollowSignInAndWindowType)
{
    QAction match("Match"), switcher("Switch to Mini Player");
    QVWindow matchWindow;
    delegate.matchCollectionMenuItem = &match;
    delegate.windowSwitchMenuItem = &switcher;
    delegate.matchCollectionWindow = &matchWindow;
    delegate.applicationDidFinishLaunching();

    QVNotificationCenter* c = QVNotificationCenter::defaultCenter();
    c->postNotificationName(QVUserDidSignInNotification);
    EXPECT_TRUE(match.isEnabled());
    matchWindow.show();
    c->postNotificationName(QVUserDidSignOutNotification);
    EXPECT_FALSE(match.isEnabled());
    EXPECT_FALSE(matchWindow.isVisible());

    windowService.showMiniPlayerWindow();
    EXPECT_EQ(switcher.text(), "Switch from Mini Player");
    delegate.switchWindowMode();
    EXPECT_EQ(windowService.currentWindowType(), QVMiniPlayerWindowType); // no main window to show
}

// A page that unloads in time, and quitting from the mini player, are driven
// on the real page by the lifecycle test; here a page that never unloads.
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
}

TEST_F(QVDesktopAppDelegateTest, MiniPlayerFrameIsSavedAtExit)
{
    delegate.applicationWillTerminate();
    EXPECT_EQ(defaults.stringForKey(QVMiniPlayerFrameKey), "{{0, 0}, {0, 0}}");
    QVMiniPlayerWindow mini;
    mini.setGeometry(10, 20, 350, 64);
    delegate.miniPlayerWindow = &mini;
    delegate.applicationWillTerminate();
    EXPECT_EQ(defaults.stringForKey(QVMiniPlayerFrameKey), "{{10, 20}, {350, 64}}");
}
