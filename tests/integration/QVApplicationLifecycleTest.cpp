#include "QVConstants.h"
#include "QVDemoService.h"
#include "QVDesktopAppDelegate.h"
#include "QVUIConstantsService.h"
#include "QVWebPlaybackService.h"
#include "QVWebView.h"
#include "QVWindowService.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QSignalSpy>

namespace {

// The first slice, start to quit, against the demo service.
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

TEST_F(QVApplicationLifecycleTest, LaunchShowsTheServicePageAndQuitUnloadsIt)
{
    launch();
    EXPECT_TRUE(mainWindow.isVisible());
    EXPECT_EQ(QVWindowService::sharedInstance()->currentWindowType(), QVMainPlayerWindowType);
    EXPECT_EQ(mainWindow.webView()->url().port(), service->port());
    EXPECT_TRUE(mainWindow.webView()->javascriptBoolValue("typeof Q == 'object'"));

    QSignalSpy reply(&delegate, &QVDesktopAppDelegate::replyToApplicationShouldTerminate);
    QElapsedTimer clock;
    clock.start();
    ASSERT_EQ(delegate.applicationShouldTerminate(), QVTerminateReply::TerminateLater);
    ASSERT_TRUE(reply.wait(4000));
    EXPECT_TRUE(reply.first().first().toBool());
    EXPECT_LT(clock.elapsed(), 3000); // well before the limit: the blank page finished
    EXPECT_EQ(mainWindow.webView()->url(), QUrl("about:blank"));
    EXPECT_FALSE(mainWindow.isVisible());
}

TEST_F(QVApplicationLifecycleTest, NowPlayingFromTheMiniPlayerAndBack)
{
    launch();
    QVWindowService* windows = QVWindowService::sharedInstance();
    QVWebPlaybackService* playback = QVWebPlaybackService::sharedInstance();

    delegate.switchWindowMode();
    EXPECT_EQ(windows->currentWindowType(), QVMiniPlayerWindowType);
    EXPECT_TRUE(miniWindow.isVisible());
    EXPECT_FALSE(mainWindow.isVisible());
    EXPECT_EQ(delegate.applicationShouldTerminate(), QVTerminateReply::TerminateNow);

    // From the mini player: the main player with the flyout.
    delegate.showNowPlayingWebView();
    EXPECT_EQ(windows->currentWindowType(), QVMainPlayerWindowType);
    EXPECT_TRUE(playback->isQuickNowPlayingViewVisible());
    EXPECT_TRUE(delegate.shouldShowMiniPlayerAfterFlyout);

    // Again while the flyout shows: back to the mini player.
    delegate.showNowPlayingWebView();
    EXPECT_EQ(windows->currentWindowType(), QVMiniPlayerWindowType);
    EXPECT_FALSE(delegate.shouldShowMiniPlayerAfterFlyout);

    // The page stayed loaded throughout.
    delegate.showQuivWindow();
    EXPECT_TRUE(mainWindow.webView()->javascriptBoolValue("typeof Q == 'object'"));
}
