#include "QVApplicationLauncher.h"
#include "QVConstants.h"
#include "QVDemoService.h"
#include "QVTestWait.h"
#include "QVDesktopAppDelegate.h"
#include "QVDesktopApplication.h"
#include "QVInterfaceBuilder.h"
#include "QVMainPlayerWindow2.h"
#include "QVMiniPlayerView.h"
#include "QVMiniPlayerWindow.h"
#include "QVMiniPlayerWindowButtonsView.h"
#include "QVPushButton.h"
#include "QVNavigationController.h"
#include "QVNotificationCenter.h"
#include "QVTestEnvironment.h"
#include "QVWebContentChildWindow.h"
#include "QVWindowService.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QPointer>
#include <QProcess>
#include <QTest>
#include <QTimer>

#include <csignal>

// The program as it starts for a user, in this process: start-up, the page
// initialising in the sign-in layout, the demo sign-in switching to the
// normal layout, and quitting from the main player after the page unloads.
TEST(QVProgram, StartsSignsInAndQuits)
{
    QVDemoService demo;
    ASSERT_TRUE(demo.start()) << qPrintable(demo.errorString());
    qputenv("QUIV_DEVELOPER_HOST", demo.hostAndPort().toUtf8());
    qputenv("QUIV_USE_LOCALHOST", "1");

    QStringList posted;
    QVNotificationCenter* center = QVNotificationCenter::defaultCenter();
    for (const char* name : {QVJavascriptContentInitializedNotification, QVUserDidSignInNotification,
                             QVUserDidSignOutNotification})
        center->addObserver(&posted, name, [&](const QVNotification& n) { posted << n.name; });

    auto* application = QVDesktopApplication::instance();
    QVApplicationLauncher launcher(application);
    launcher.launch();
    QVMainPlayerWindow2* window = launcher.builder()->mainPlayerWindow2();
    ASSERT_TRUE(window);
    EXPECT_TRUE(window->isVisible());

    ASSERT_TRUE(QVWaitUntil([&] { return posted.contains("Quiv_UserDidSignOut"); }));
    EXPECT_EQ(posted.first(), "Quiv_JavascriptContentInitialized");
    EXPECT_FALSE(window->windowCanResize());
    EXPECT_EQ(window->size(), QVMainPlayerWindow2::kLoginSize);

    window->webView()->executeJavascript(QVDemoService::signInScript());
    ASSERT_TRUE(QVWaitUntil([&] { return posted.contains("Quiv_UserDidSignIn"); }));
    EXPECT_TRUE(window->windowCanResize());
    EXPECT_GE(window->width(), QVMainPlayerWindow2::kMinimumSize.width());
    EXPECT_GE(window->height(), QVMainPlayerWindow2::kMinimumSize.height());

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

    // A pop-up left open goes before the web profile it shares at exit.
    window->webView()->executeJavascript("window.open('about:blank', 'popup', 'width=300,height=200')");
    QVNavigationController* navigation = QVNavigationController::sharedInstance();
    ASSERT_TRUE(QVWaitUntil([&] { return navigation->childWindows().size() == 1; }));
    QPointer<QVWebContentChildWindow> popup = navigation->childWindows().first();

    // Quit from the main player: the page unloads, then the loop ends.
    QElapsedTimer clock;
    clock.start();
    QTimer::singleShot(0, application, &QVDesktopApplication::terminate);
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, application, [] { QCoreApplication::exit(99); });
    watchdog.start(15000);
    const int status = QCoreApplication::exec();
    EXPECT_EQ(status, 0);
    EXPECT_LT(clock.elapsed(), 6000); // the unload limit is 5 s
    EXPECT_EQ(window->webView()->url(), QUrl("about:blank"));
    EXPECT_TRUE(popup.isNull());
    center->removeObserver(&posted);
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
    QVPrepareTestEnvironment();
    QVApplicationLauncher::setEngineFlags();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QVDesktopApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Quiv"));
    return RUN_ALL_TESTS();
}
