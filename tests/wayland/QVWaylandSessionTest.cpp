#include "QVApplicationLauncher.h"
#include "QVConstants.h"
#include "QVDemoService.h"
#include "QVDesktopApplication.h"
#include "QVInterfaceBuilder.h"
#include "QVLogCapture.h"
#include "QVMainPlayerWindow2.h"
#include "QVNotificationCenter.h"
#include "QVTestEnvironment.h"
#include "QVTestWait.h"
#include "QVWebContentChildWindow.h"
#include "QVWebView.h"
#include "QVWeston.h"
#include "QVWindowService.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QTimer>
#include <QWindow>

#include <cstdio>
#include <memory>

namespace {

// Qt's own warnings, with their category: a Wayland session must not add any.
QStringList qtWarnings;
QtMessageHandler previousHandler = nullptr;

void recordWarnings(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type != QtDebugMsg && type != QtInfoMsg)
        qtWarnings.append(QString::fromLatin1(context.category ? context.category : "") + ": " + message);
    if (previousHandler)
        previousHandler(type, context, message);
}

// Lines that say what this test machine lacks (a tray host, the buses,
// PulseAudio, input devices), the one the program documents for Wayland
// (windows cannot be kept on top or on every workspace), and a read during
// the unload at quit that may time out on any platform.
bool isExpected(const QString& line)
{
    static const QRegularExpression expected(
        QStringLiteral("No system tray|No session bus|is not available|no /dev/input|on top|all workspaces|"
                       "Sandboxing disabled|no grab|did not answer within|The page is not answering"),
        QRegularExpression::CaseInsensitiveOption);
    return line.contains(expected);
}

} // namespace

// The whole program in a Wayland session (a headless Weston): the page
// initialises, the demo sign-in works, the player goes to the mini player and
// back, a page pop-up opens, and it quits cleanly.
TEST(QVWaylandSession, SignsInSwapsOpensAPopUpAndQuits)
{
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("wayland"));
    QVDemoService demo;
    ASSERT_TRUE(demo.start()) << qPrintable(demo.errorString());
    qputenv("QUIV_DEVELOPER_HOST", demo.hostAndPort().toUtf8());
    qputenv("QUIV_USE_LOCALHOST", "1");
    const QVLogCapture log;
    previousHandler = qInstallMessageHandler(recordWarnings);

    QStringList posted;
    QVNotificationCenter* center = QVNotificationCenter::defaultCenter();
    for (const char* name : { QVJavascriptContentInitializedNotification, QVUserDidSignInNotification,
             QVUserDidSignOutNotification })
        center->addObserver(&posted, name, [&](const QVNotification& n) { posted << n.name; });

    auto* application = QVDesktopApplication::instance();
    QVApplicationLauncher launcher(application);
    launcher.launch();
    QVMainPlayerWindow2* window = launcher.builder()->mainPlayerWindow2();
    ASSERT_TRUE(window);
    ASSERT_TRUE(QVWaitUntil([&] { return posted.contains("Quiv_UserDidSignOut"); }, 20000));
    EXPECT_EQ(posted.first(), "Quiv_JavascriptContentInitialized");
    window->webView()->executeJavascript(QVDemoService::signInScript());
    ASSERT_TRUE(QVWaitUntil([&] { return posted.contains("Quiv_UserDidSignIn"); }));

    // To the mini player and back: one page throughout, still signed in.
    const qsizetype loads = posted.count("Quiv_JavascriptContentInitialized");
    QVWindowService* windows = QVWindowService::sharedInstance();
    QWidget* mini = windows->miniPlayerWindow();
    ASSERT_TRUE(mini);
    const int mainType = windows->currentWindowType();
    windows->showMiniPlayerWindow();
    // The compositor has shown it (configured and exposed) before we go back.
    EXPECT_TRUE(QVWaitUntil(
        [&] { return mini->windowHandle() && mini->windowHandle()->isExposed() && !window->isVisible(); },
        5000));
    EXPECT_NE(windows->currentWindowType(), mainType);
    windows->showMainPlayerWindow();
    EXPECT_TRUE(QVWaitUntil([&] { return window->windowHandle()->isExposed() && !mini->isVisible(); }, 5000));
    EXPECT_EQ(windows->currentWindowType(), mainType);
    EXPECT_EQ(posted.count("Quiv_UserDidSignOut"), 1);
    EXPECT_EQ(posted.count("Quiv_JavascriptContentInitialized"), loads) << "the page was not loaded again";

    // A pop-up the page opens becomes a window of its own.
    window->webView()->executeJavascript("window.open('about:blank', 'popup', 'width=300,height=200'); 1");
    QVWebContentChildWindow* popup = nullptr;
    EXPECT_TRUE(QVWaitUntil(
        [&] {
            for (QWidget* widget : QApplication::topLevelWidgets())
                if (auto* child = qobject_cast<QVWebContentChildWindow*>(widget); child && child->isVisible())
                    popup = child;
            return popup != nullptr;
        },
        5000));

    // Quit with the pop-up still open: the page unloads, then the loop ends.
    QElapsedTimer clock;
    clock.start();
    QTimer::singleShot(0, application, &QVDesktopApplication::terminate);
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, application, [] { QCoreApplication::exit(99); });
    watchdog.start(15000);
    EXPECT_EQ(QCoreApplication::exec(), 0);
    EXPECT_LT(clock.elapsed(), 6000);
    center->removeObserver(&posted);
    qInstallMessageHandler(previousHandler);

    QStringList unexpected;
    for (const QString& line : log.lines() + qtWarnings)
        if ((line.contains(QLatin1String("[WARNING]")) || line.contains(QLatin1String("[ERROR]"))
                || qtWarnings.contains(line))
            && !isExpected(line))
            unexpected.append(line);
    EXPECT_TRUE(unexpected.isEmpty()) << qPrintable(unexpected.join(QLatin1Char('\n')));
}

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (GTEST_FLAG_GET(list_tests))
        return RUN_ALL_TESTS();
    static QVWeston weston;
    if (!weston.isRunning()) {
        std::fprintf(stderr, "A headless weston did not start:\n%s\n", weston.log().constData());
        return 1;
    }
    weston.useForThisProcess();
    QVPrepareTestEnvironment();
    QVApplicationLauncher::setEngineFlags();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QVDesktopApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Quiv"));
    return RUN_ALL_TESTS();
}
