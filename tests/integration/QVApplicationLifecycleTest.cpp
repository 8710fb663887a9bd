#include "QVConstants.h"
#include "QVDemoService.h"
#include "QVDesktopAppDelegate.h"
#include "QVPageCommands.h"
#include "QVTestWait.h"
#include "QVUIConstantsService.h"
#include "QVWebPlaybackService.h"
#include "QVWebView.h"
#include "QVWindowService.h"

#include <gtest/gtest.h>

#include <QSignalSpy>

namespace {

// The application delegate over the real windows and the demo service.
class QVApplicationLifecycleTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        service = new QVDemoService();
        ASSERT_TRUE(service->start()) << qPrintable(service->errorString());
        qputenv("QUIV_DEVELOPER_HOST", service->hostAndPort().toUtf8());
        QVUIConstantsService::sharedInstance()->setShouldUseLocalhost(true);
    }
    static void TearDownTestSuite()
    {
        delete service;
        service = nullptr;
    }

    void launch()
    {
        delegate.mainPlayerWindow2 = &mainWindow;
        delegate.miniPlayerWindow = &miniWindow;
        QSignalSpy loaded(mainWindow.webView(), &QWebEngineView::loadFinished);
        delegate.applicationWillFinishLaunching();
        delegate.applicationDidFinishLaunching();
        ASSERT_TRUE(loaded.wait(15000));
        ASSERT_TRUE(loaded.first().first().toBool());
    }

    static QVDemoService* service;
    QVMainPlayerWindow2 mainWindow;
    QVMiniPlayerWindow miniWindow;
    QVDesktopAppDelegate delegate;
};

QVDemoService* QVApplicationLifecycleTest::service = nullptr;

} // namespace

TEST_F(QVApplicationLifecycleTest, NowPlayingFromTheMiniPlayerAndBack)
{
    launch();
    QVWindowService* windows = QVWindowService::sharedInstance();
    QVWebPlaybackService* playback = QVWebPlaybackService::sharedInstance();
    QVWebView* page = mainWindow.webView();
    // The flyout is the page's play queue, offered to a signed-in user.
    ASSERT_TRUE(QVWaitUntil([&] {
        return playback->isPlaybackLoaded() && playback->webView() == page
            && page->javascriptBoolValue("Q.desktop.isInitialized");
    }));
    QVRouterNavigate(page, "/accounts/login/");
    ASSERT_TRUE(QVWaitUntil([&] { return page->javascriptBoolValue("$('.Login_Form').length > 0"); }));
    page->executeJavascript(QVDemoService::signInScript());
    ASSERT_TRUE(QVWaitUntil([&] { return playback->isAuthenticated(); }));
    const auto flyoutShown = [&] { return !page->javascriptBoolValue("$('.Queue_Flyout').prop('hidden')"); };
    EXPECT_FALSE(flyoutShown());

    delegate.switchWindowMode();
    EXPECT_EQ(windows->currentWindowType(), QVMiniPlayerWindowType);
    EXPECT_TRUE(miniWindow.isVisible());
    EXPECT_FALSE(mainWindow.isVisible());
    EXPECT_EQ(delegate.applicationShouldTerminate(), QVTerminateReply::TerminateNow);

    // From the mini player: the main player with the flyout open in the page.
    delegate.showNowPlayingWebView();
    EXPECT_EQ(windows->currentWindowType(), QVMainPlayerWindowType);
    EXPECT_TRUE(mainWindow.isVisible());
    EXPECT_TRUE(delegate.shouldShowMiniPlayerAfterFlyout);
    EXPECT_TRUE(QVWaitUntil(flyoutShown));

    // Again: the page cannot tell us the flyout shows, so the main player
    // stays and the flyout closes.
    EXPECT_FALSE(playback->isQuickNowPlayingViewVisible());
    delegate.showNowPlayingWebView();
    EXPECT_EQ(windows->currentWindowType(), QVMainPlayerWindowType);
    EXPECT_FALSE(delegate.shouldShowMiniPlayerAfterFlyout);
    EXPECT_TRUE(QVWaitUntil([&] { return !flyoutShown(); }));

    // Back to the mini player by the menu; the page stayed loaded throughout.
    delegate.switchWindowMode();
    EXPECT_EQ(windows->currentWindowType(), QVMiniPlayerWindowType);
    delegate.showQuivWindow();
    EXPECT_TRUE(page->javascriptBoolValue("typeof Q == 'object'"));
}
