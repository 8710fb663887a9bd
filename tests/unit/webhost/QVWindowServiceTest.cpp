#include "QVWindowService.h"
#include "QVConstants.h"
#include "QVFakeWebView.h"
#include "QVNotificationCenter.h"
#include "QVTestDefaults.h"
#include "QVUIConstantsService.h"
#include "QVWebNavigationService.h"
#include "QVWebWindow.h"

#include <gtest/gtest.h>

#include <QWidget>

namespace {

class FakeWebWindow : public QVWebWindow
{
public:
    QWidget* windowWidget() override { return &widget; }
    QVAbstractWebView* webView() const override { return const_cast<QVFakeWebView*>(&page); }
    bool isWebViewLoaded() const override { return loaded; }
    void setIsWebViewLoaded(bool value) override { loaded = value; }
    void unloadWebView() override
    {
        page.loadURL(QUrl("about:blank"));
        loaded = false;
    }
    void showNoConnectionOverlay() override { overlay = true; }
    void hideNoConnectionOverlay() override { overlay = false; }
    bool isNoConnectionOverlayVisible() const override { return overlay; }
    void adjustForFullScreenMode() override { calls << "full screen"; }
    void adjustForRegularScreenMode() override { calls << "regular"; }
    void handleExitFullScreenAnimation(double) override { calls << "exit animation"; }
    void windowWasResized() override { calls << "resized"; }

    QWidget widget;
    QVFakeWebView page;
    bool loaded = false;
    bool overlay = false;
    QStringList calls;
};

class QVWindowServiceTest : public ::testing::Test
{
protected:
    QVWindowServiceTest()
        : constants(&center, defaults.get(), "10.10")
        , navigation(&center, &constants)
        , service(QVWindowService::Services { &navigation, &center, defaults.get(), &constants })
    {
        service.setMainPlayerWindow(&mainWindow, &miniWindow);
        center.addObserver(
            this, QVWindowServiceWindowChangedNotification, [this](const QVNotification&) { ++changes; });
        center.addObserver(
            this, QVGlobalWebViewWillUpdateNotification, [this](const QVNotification&) { ++handedOut; });
    }

    QVNotificationCenter center;
    QVTestDefaults defaults;
    QVUIConstantsService constants;
    QVWebNavigationService navigation;
    QVWindowService service;
    FakeWebWindow mainWindow;
    QWidget miniWindow;
    int changes = 0;
    int handedOut = 0;
};

} // namespace

TEST_F(QVWindowServiceTest, FirstShowLoadsOnceAndSwitchingPostsOncePerChange)
{
    service.showCurrentWindow();
    EXPECT_EQ(mainWindow.page.loads, QList<QUrl> { QUrl("http://www.quiv.example") });
    EXPECT_EQ(navigation.webView(), &mainWindow.page);
    EXPECT_EQ(handedOut, 1);
    service.showMainPlayerWindow();
    EXPECT_EQ(changes, 0); // the main player was current already

    service.showMiniPlayerWindow();
    service.showMiniPlayerWindow();
    EXPECT_EQ(service.currentWindowType(), QVMiniPlayerWindowType);
    EXPECT_EQ(defaults->integerForKey(QVCurrentWindowTypeKey), QVMiniPlayerWindowType);
    service.showMainPlayerWindow();
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(mainWindow.page.loads.size(), 1); // switching moves nothing
}

TEST_F(QVWindowServiceTest, UserAgentFollowsTheWindowTypeButItsPrefixIsKept)
{
    service.showMiniPlayerWindow(); // before anything loaded
    EXPECT_TRUE(mainWindow.page.loads.isEmpty());

    // The page initialises (a reload started elsewhere): the first load happens now.
    navigation.webViewDidClearWindowObject();
    mainWindow.page.engineUserAgent = "Changed/1.0"; // captured once: later changes do not count
    service.onDesktopScriptObjectInitialized();
    EXPECT_EQ(service.currentWindowType(), QVMainPlayerWindowType);
    EXPECT_EQ(changes, 2);
    EXPECT_TRUE(mainWindow.page.customUserAgent.startsWith(
        "Changed/1.0 com.quiv.desktop.maccom.quiv.desktop.new_header/"));

    mainWindow.unloadWebView();
    mainWindow.page.engineUserAgent = "Other/2.0";
    service.showCurrentWindow();
    EXPECT_TRUE(mainWindow.page.customUserAgent.startsWith("Changed/1.0 com.quiv.desktop.mac quiv2"));
}

TEST_F(QVWindowServiceTest, NetworkLossShowsTheOverlayAndRecoveryLoads)
{
    service.onNetworkConnectionNotAvailable();
    EXPECT_TRUE(mainWindow.overlay);
    navigation.setWebView(&mainWindow.page);
    service.onNetworkConnectionAvailable();
    EXPECT_FALSE(mainWindow.overlay);
    EXPECT_EQ(
        mainWindow.page.loads, QList<QUrl> { QUrl("http://www.quiv.example") }); // nothing was loaded yet
    service.onNetworkConnectionAvailable(); // no overlay: nothing happens
    EXPECT_EQ(mainWindow.page.loads.size(), 1);
}

TEST_F(QVWindowServiceTest, CallsForOtherWindowsAreNotOurs)
{
    QWidget other;
    service.windowDidResize(&mainWindow.widget);
    service.windowDidResize(&other);
    EXPECT_EQ(mainWindow.calls, QStringList { "resized" });
    EXPECT_EQ(service.customWindowsToExitFullScreenForWindow(&mainWindow.widget),
        QList<QWidget*> { &mainWindow.widget });
    EXPECT_TRUE(service.customWindowsToExitFullScreenForWindow(&other).isEmpty());
}

TEST_F(QVWindowServiceTest, TheMiniPlayerClosesAnOpenFlyout)
{
    bool open = true;
    int toggles = 0;
    service.setFlyoutHooks([&] { return open; },
        [&] {
            ++toggles;
            open = !open;
        });
    service.showMiniPlayerWindow();
    service.showMainPlayerWindow();
    service.showMiniPlayerWindow();
    EXPECT_EQ(toggles, 1);
}
