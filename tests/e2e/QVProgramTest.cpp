#include "QVDemoService.h"
#include "QVDesktopAppDelegate.h"
#include "QVMainPlayerWindow2.h"
#include "QVMiniPlayerView.h"
#include "QVMiniPlayerWindow.h"
#include "QVMiniPlayerWindowButtonsView.h"
#include "QVNavigationController.h"
#include "QVProgramSession.h"
#include "QVPushButton.h"
#include "QVTestWait.h"
#include "QVWebContentChildWindow.h"
#include "QVWebView.h"
#include "QVWindowService.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <QProcess>
#include <QTest>

#include <csignal>

// The program as it starts for a user, in this process: start-up, the page
// initialising in the sign-in layout, the demo sign-in switching to the
// normal layout, and quitting from the main player after the page unloads.
TEST(QVProgram, StartsSignsInAndQuits)
{
    QVProgramSession session;
    ASSERT_TRUE(session.launchSignedOut());
    QVMainPlayerWindow2* window = session.window;
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(session.posted.first(), "Quiv_JavascriptContentInitialized");
    EXPECT_FALSE(window->windowCanResize());
    EXPECT_EQ(window->size(), QVMainPlayerWindow2::kLoginSize);

    ASSERT_TRUE(session.signIn());
    EXPECT_TRUE(window->windowCanResize());

    // Closing hides the player; the tray's click (the current window) brings it back.
    QVWindowService* windows = QVWindowService::sharedInstance();
    window->close();
    QCoreApplication::processEvents();
    EXPECT_FALSE(window->isVisible());
    windows->showCurrentWindow();
    EXPECT_TRUE(window->isVisible());

    // The mini player from the keyboard alone: the menu's shortcut there and
    // back, and the zoom button switches too.
    auto* mini = qobject_cast<QVMiniPlayerWindow*>(windows->miniPlayerWindow());
    ASSERT_TRUE(mini);
    QApplication::setActiveWindow(window);
    QTest::keyClick(window, Qt::Key_M, Qt::ControlModifier | Qt::ShiftModifier);
    ASSERT_EQ(windows->currentWindowType(), QVMiniPlayerWindowType);
    EXPECT_TRUE(mini->isVisible());
    QApplication::setActiveWindow(mini);
    QTest::keyClick(mini, Qt::Key_M, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(windows->currentWindowType(), QVMainPlayerWindowType);
    windows->showMiniPlayerWindow();
    mini->miniPlayerView()->windowButtonsView()->zoomButton()->click();
    EXPECT_EQ(windows->currentWindowType(), QVMainPlayerWindowType);
    EXPECT_TRUE(window->isVisible());

    // From the mini player, "Now Playing" opens the main player with the
    // page's play queue; asked again, the queue closes and the main player stays.
    QVDesktopAppDelegate* delegate = session.launcher->delegate();
    const auto flyoutShown
        = [&] { return !window->webView()->javascriptBoolValue("$('.Queue_Flyout').prop('hidden')"); };
    ASSERT_FALSE(flyoutShown());
    windows->showMiniPlayerWindow();
    delegate->showNowPlayingWebView();
    EXPECT_EQ(windows->currentWindowType(), QVMainPlayerWindowType);
    EXPECT_TRUE(QVWaitUntil(flyoutShown));
    delegate->showNowPlayingWebView();
    EXPECT_EQ(windows->currentWindowType(), QVMainPlayerWindowType);
    EXPECT_TRUE(QVWaitUntil([&] { return !flyoutShown(); }));

    // A pop-up left open goes before the web profile it shares at exit.
    window->webView()->executeJavascript("window.open('/test/bridge.html', 'popup', 'width=300,height=200')");
    QVNavigationController* navigation = QVNavigationController::sharedInstance();
    ASSERT_TRUE(QVWaitUntil([&] { return navigation->childWindows().size() == 1; }));
    QPointer<QVWebContentChildWindow> popup = navigation->childWindows().first();

    // Quit from the main player: the page unloads, then the loop ends.
    qint64 elapsed = 0;
    EXPECT_EQ(session.quit(&elapsed), 0);
    EXPECT_LT(elapsed, 6000); // the unload limit is 5 s
    EXPECT_EQ(window->webView()->url(), QUrl("about:blank"));
    EXPECT_TRUE(popup.isNull());
}

// The installed binary: it comes up against the demo service, its page
// reports who is signed in, and SIGTERM ends it cleanly and soon.
TEST(QVProgram, TheBinaryStartsAndEndsOnSignal)
{
    QVDemoService demo;
    ASSERT_TRUE(demo.start()) << qPrintable(demo.errorString());
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QUIV_DEVELOPER_HOST", demo.hostAndPort());
    environment.insert("QUIV_USE_LOCALHOST", "1");
    program.setProcessEnvironment(environment);
    program.setProcessChannelMode(QProcess::SeparateChannels);
    program.start(QStringLiteral(QUIV_BINARY_PATH), {});
    ASSERT_TRUE(program.waitForStarted(5000));

    QByteArray log;
    ASSERT_TRUE(QVWaitUntil([&] {
        log += program.readAllStandardError();
        return log.contains("User id changed! -1");
    })) << log.constData();

    QElapsedTimer clock;
    clock.start();
    ::kill(pid_t(program.processId()), SIGTERM);
    ASSERT_TRUE(program.waitForFinished(10000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
    EXPECT_LT(clock.elapsed(), 6000);
}

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (GTEST_FLAG_GET(list_tests))
        return RUN_ALL_TESTS();
    return QVRunProgramTests(argc, argv);
}
