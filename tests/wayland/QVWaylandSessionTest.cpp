#include "QVLogCapture.h"
#include "QVMainPlayerWindow2.h"
#include "QVNavigationController.h"
#include "QVProgramSession.h"
#include "QVTestWait.h"
#include "QVWebContentChildWindow.h"
#include "QVWebView.h"
#include "QVWeston.h"
#include "QVWindowService.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QRegularExpression>
#include <QWindow>

#include <cstdio>

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
    QVProgramSession session;
    const QVLogCapture log;
    previousHandler = qInstallMessageHandler(recordWarnings);
    ASSERT_TRUE(session.launchSignedOut());
    QVMainPlayerWindow2* window = session.window;
    QStringList& posted = session.posted;
    EXPECT_EQ(posted.first(), "Quiv_JavascriptContentInitialized");
    ASSERT_TRUE(session.signIn());

    // To the mini player and back: one page throughout, still signed in.
    const qsizetype loads = posted.count("Quiv_JavascriptContentInitialized");
    QVWindowService* windows = QVWindowService::sharedInstance();
    QWidget* mini = windows->miniPlayerWindow();
    ASSERT_TRUE(mini);
    windows->showMiniPlayerWindow();
    // The compositor has shown it (configured and exposed) before we go back.
    EXPECT_TRUE(QVWaitUntil(
        [&] { return mini->windowHandle() && mini->windowHandle()->isExposed() && !window->isVisible(); },
        5000));
    EXPECT_EQ(windows->currentWindowType(), QVMiniPlayerWindowType);
    windows->showMainPlayerWindow();
    EXPECT_TRUE(QVWaitUntil([&] { return window->windowHandle()->isExposed() && !mini->isVisible(); }, 5000));
    EXPECT_EQ(windows->currentWindowType(), QVMainPlayerWindowType);
    EXPECT_EQ(posted.count("Quiv_UserDidSignOut"), 1);
    EXPECT_EQ(posted.count("Quiv_JavascriptContentInitialized"), loads) << "the page was not loaded again";

    // A pop-up the page opens becomes a window of its own.
    window->webView()->executeJavascript(
        "window.open('/test/bridge.html', 'popup', 'width=300,height=200'); 1");
    QVNavigationController* navigation = QVNavigationController::sharedInstance();
    EXPECT_TRUE(QVWaitUntil(
        [&] {
            return navigation->childWindows().size() == 1 && navigation->childWindows().first()->isVisible();
        },
        5000));

    // Quit with the pop-up still open: the page unloads, then the loop ends.
    qint64 elapsed = 0;
    EXPECT_EQ(session.quit(&elapsed), 0);
    EXPECT_LT(elapsed, 6000);
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
    return QVRunProgramTests(argc, argv);
}
