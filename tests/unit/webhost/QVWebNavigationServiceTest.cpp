#include "QVWebNavigationService.h"
#include "QVConstants.h"
#include "QVFakeWebView.h"
#include "QVNotificationCenter.h"
#include "QVTestDefaults.h"
#include "QVUIConstantsService.h"
#include "QVWebNavigationListener.h"
#include "QVWebWindow.h"
#include "QVWindowService.h"

#include <gtest/gtest.h>

#include <QWidget>

namespace {

class RecordingListener : public QVWebNavigationListener
{
public:
    explicit RecordingListener(QStringList* log)
        : log(log)
    {
    }
    void onDesktopScriptObjectInitialized() override { *log << "initialized"; }
    void onUserLoggedIn() override { *log << "logged in"; }
    void onUserLoggedOut() override { *log << "logged out"; }
    void webViewFinishedLoading() override { *log << "finished"; }
    void onWindowScriptObjectShouldRemove(QVAbstractWebView*) override { *log << "should remove"; }
    void webViewDidStartLoading() override { *log << "did start"; }
    void onWindowScriptObjectReady(QVAbstractWebView* view) override
    {
        // The bridge objects are in place when listeners add theirs.
        *log << (view->scriptObject("DesktopScriptObject") ? "ready" : "ready without bridges");
    }
    QStringList* log;
};

class FakeWebWindow : public QVWebWindow
{
public:
    QWidget* windowWidget() override { return &widget; }
    QVAbstractWebView* webView() const override { return const_cast<QVFakeWebView*>(&page); }
    bool isWebViewLoaded() const override { return loaded; }
    void setIsWebViewLoaded(bool value) override { loaded = value; }
    void unloadWebView() override { loaded = false; }
    void showNoConnectionOverlay() override { overlay = true; }
    void hideNoConnectionOverlay() override { overlay = false; }
    bool isNoConnectionOverlayVisible() const override { return overlay; }

    QWidget widget;
    QVFakeWebView page;
    bool loaded = false;
    bool overlay = false;
};

class QVWebNavigationServiceTest : public ::testing::Test
{
protected:
    QVWebNavigationServiceTest()
        : constants(&center, defaults.get(), "10.10")
        , service(&center, &constants)
        , listener(&log)
    {
        service.addWebNavigationListener(&listener);
        service.setWebView(&page);
        for (const char* name : { QVUserDidSignInNotification, QVUserDidSignOutNotification })
            center.addObserver(this, name, [this](const QVNotification& n) { log << n.name; });
    }
    ~QVWebNavigationServiceTest() override { center.removeObserver(this); }

    QVNotificationCenter center;
    QVTestDefaults defaults;
    QVUIConstantsService constants;
    QVWebNavigationService service;
    QVFakeWebView page;
    QStringList log;
    RecordingListener listener;
};

} // namespace

TEST_F(QVWebNavigationServiceTest, AWholeLoadInOrderAndEveryUserReportPosts)
{
    service.webViewDidStartProvisionalLoad();
    service.webViewDidClearWindowObject();
    service.desktopScriptObject()->invokeScriptMethod("onInitialize", {}); // the page starts up
    service.webViewDidFinishLoad();
    EXPECT_EQ(log, (QStringList { "should remove", "did start", "ready", "initialized", "finished" }));
    // The finished load refreshed the account snapshot (its first guard).
    EXPECT_TRUE(page.scripts.contains("typeof clientManager != 'undefined'"));

    // The same user reported again posts again; from the page through the bridge too.
    log.clear();
    service.onUserIDChanged(7);
    service.onUserIDChanged(7);
    service.clientManagerScriptObject()->invokeScriptMethod("onCurrentUserIdChanged", { qlonglong(-1) });
    EXPECT_EQ(log,
        (QStringList { "logged in", "Quiv_UserDidSignIn", "logged in", "Quiv_UserDidSignIn", "logged out",
            "Quiv_UserDidSignOut" }));
}

TEST_F(QVWebNavigationServiceTest, LoadsFollowTheHost)
{
    service.ensureContentLoaded();
    service.ensureContentLoaded(); // something is loaded now
    EXPECT_EQ(page.loads, QList<QUrl> { QUrl("http://www.quiv.example") });
    constants.setShouldUseLocalhost(true); // reloads from the new base URL
    EXPECT_EQ(page.loads.last().host(), QUrl(constants.quivURL()).host());
    // The probe follows the page to the new host.
    EXPECT_EQ(service.networkListener()->hostName(), constants.quivURL());
}

// The window service over this navigation service.
TEST_F(QVWebNavigationServiceTest, WindowsLoadOnceAndRecoveryLeavesAnErrorPage)
{
    FakeWebWindow mainWindow;
    QWidget miniWindow;
    QVWindowService windows({ &service, &center, defaults.get(), &constants });
    windows.setMainPlayerWindow(&mainWindow, &miniWindow);
    int changes = 0;
    center.addObserver(
        this, QVWindowServiceWindowChangedNotification, [&](const QVNotification&) { ++changes; });
    windows.showCurrentWindow();
    windows.showMainPlayerWindow();
    EXPECT_EQ(mainWindow.page.loads, QList<QUrl> { QUrl("http://www.quiv.example") });
    EXPECT_EQ(service.webView(), &mainWindow.page);
    windows.showMiniPlayerWindow();
    windows.showMiniPlayerWindow();
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(defaults->integerForKey(QVCurrentWindowTypeKey), QVMiniPlayerWindowType);

    // Offline, and the engine shows its error page: back online, the service is loaded again, once.
    windows.onNetworkConnectionNotAvailable();
    EXPECT_TRUE(mainWindow.overlay);
    mainWindow.page.currentURL = QUrl("chrome-error://chromewebdata/");
    windows.onNetworkConnectionAvailable();
    windows.onNetworkConnectionAvailable();
    EXPECT_FALSE(mainWindow.overlay);
    EXPECT_EQ(mainWindow.page.loads.size(), 2);
}
