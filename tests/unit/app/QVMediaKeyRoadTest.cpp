#include "QVConstants.h"
#include "QVDesktopAppDelegate.h"
#include "QVNotificationCenter.h"
#include "QVTestWait.h"
#include "QVUserDefaults.h"
#include "QVWebNavigationService.h"
#include "QVWebPlaybackService.h"
#include "QVWindowService.h"
#include "QVXvfb.h"
#include "SPMediaKeyTap.h"

#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QTemporaryDir>

// One press of the keyboard's play key, grabbed on the X display, posts the
// play notification exactly once: its key-up and the delegate's decoding
// must not make a second.
TEST(QVMediaKeyRoadTest, AnX11PlayKeyPostsPlayOnce)
{
    QVXvfb xvfb;
    if (!xvfb.isRunning() || QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
        GTEST_SKIP() << "needs Xvfb and xdotool";
    QTemporaryDir dir;
    QVNotificationCenter center;
    QVUserDefaults defaults(dir.filePath(QStringLiteral("Quiv.conf")), &center);
    QVWindowService windowService;
    QVWebNavigationService navigationService;
    QVWebPlaybackService playbackService;
    QVDesktopAppDelegate delegate(QVDesktopAppDelegate::Services {
        &windowService, &navigationService, &playbackService, &center, &defaults });
    int plays = 0;
    int others = 0;
    center.addObserver(&delegate, QString::fromLatin1(QVPlayButtonPressedNotification),
        [&](const QVNotification&) { ++plays; });
    for (const char* name : { QVForwardButtonPressedNotification, QVRewindButtonPressedNotification })
        center.addObserver(&delegate, QString::fromLatin1(name), [&](const QVNotification&) { ++others; });

    SPMediaKeyTap::Environment environment;
    environment.bus = QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent/bus"), "no-bus");
    environment.display = xvfb.display();
    environment.userDefaults = &defaults;
    SPMediaKeyTap tap(&delegate, environment);
    tap.startWatchingMediaKeys();
    ASSERT_EQ(tap.backend(), SPMediaKeyTap::Backend::X11KeyGrab);

    ASSERT_TRUE(
        xvfb.run(QStringLiteral("xdotool"), { QStringLiteral("key"), QStringLiteral("XF86AudioPlay") }));
    ASSERT_TRUE(QVWaitUntil([&] { return plays > 0; }, 5000));
    QTest::qWait(300);
    EXPECT_EQ(plays, 1);
    EXPECT_EQ(others, 0);
    center.removeObserver(&delegate);
}
