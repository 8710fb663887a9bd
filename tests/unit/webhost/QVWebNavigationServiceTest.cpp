#include "QVWebNavigationService.h"
#include "QVConstants.h"
#include "QVFakeWebView.h"
#include "QVNotificationCenter.h"
#include "QVTestDefaults.h"
#include "QVUIConstantsService.h"
#include "QVWebNavigationListener.h"

#include <gtest/gtest.h>

namespace {

class RecordingListener : public QVWebNavigationListener
{
public:
    explicit RecordingListener(QStringList* log, QString name = {})
        : log(log)
        , prefix(name.isEmpty() ? QString() : name + ":")
    {
    }
    void onNetworkConnectionAvailable() override { *log << prefix + "available"; }
    void onNetworkConnectionNotAvailable() override { *log << prefix + "not available"; }
    void onDesktopScriptObjectInitialized() override { *log << prefix + "initialized"; }
    void onUserLoggedIn() override { *log << prefix + "logged in"; }
    void onUserLoggedOut() override { *log << prefix + "logged out"; }
    void onDownloadsAvailable() override { *log << prefix + "downloads"; }
    void webViewFinishedLoading() override { *log << prefix + "finished"; }
    void onWindowScriptObjectShouldRemove(QVAbstractWebView*) override { *log << prefix + "should remove"; }
    void webViewDidStartLoading() override { *log << prefix + "did start"; }
    void onWindowScriptObjectReady(QVAbstractWebView* view) override
    {
        // The bridge objects are in place when listeners add theirs.
        *log << prefix + (view->scriptObject("DesktopScriptObject") ? "ready" : "ready without bridges");
    }
    QStringList* log;
    QString prefix;
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
            center.addObserver(this, name,
                [this](const QVNotification& n) { log << n.name + (n.object ? " with object" : ""); });
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

TEST_F(QVWebNavigationServiceTest, AWholeLoadInOrder)
{
    service.webViewDidStartProvisionalLoad();
    service.webViewDidClearWindowObject();
    service.desktopScriptObject()->invokeScriptMethod("onInitialize", {}); // the page starts up
    service.webViewDidFinishLoad();
    EXPECT_EQ(log, (QStringList { "should remove", "did start", "ready", "initialized", "finished" }));
    EXPECT_EQ(page.installs, (QStringList { "ClientManagerScriptObject=set", "DesktopScriptObject=set" }));
    // The finished load refreshed the account snapshot (its first guard).
    EXPECT_TRUE(page.scripts.contains("typeof clientManager != 'undefined'"));

    // The next load resets the page's initialisation.
    service.webViewDidStartProvisionalLoad();
    EXPECT_FALSE(service.desktopScriptObject()->isInitialized());
}

TEST_F(QVWebNavigationServiceTest, ARemovedListenerIsCalledNoMore)
{
    QStringList other;
    RecordingListener second(&other);
    service.addWebNavigationListener(&second);
    service.addWebNavigationListener(&second);
    service.removeWebNavigationListener(&second); // every entry
    service.showDownloadWindow();
    EXPECT_TRUE(other.isEmpty());
    EXPECT_EQ(log, QStringList { "downloads" });
}

TEST_F(QVWebNavigationServiceTest, EveryUserReportPosts)
{
    service.onUserIDChanged(7);
    service.onUserIDChanged(7);
    service.onUserIDChanged(-1);
    EXPECT_EQ(log,
        (QStringList { "logged in", "Quiv_UserDidSignIn", "logged in", "Quiv_UserDidSignIn", "logged out",
            "Quiv_UserDidSignOut" }));

    // From the page, through the client manager bridge.
    log.clear();
    service.clientManagerScriptObject()->invokeScriptMethod("onCurrentUserIdChanged", { qlonglong(-1) });
    EXPECT_EQ(log, (QStringList { "logged out", "Quiv_UserDidSignOut" }));
}

TEST_F(QVWebNavigationServiceTest, IdentityReaders)
{
    EXPECT_EQ(service.userID(), 0); // no Q at all
    page.answers = { { "typeof clientManager != 'undefined'", "true" },
        { "clientManager.current_user == null", "true" }, { "Q.currentUser.get('id')", "5" } };
    EXPECT_EQ(service.userID(), -1); // the client manager has no user, whatever Q says
    page.answers["clientManager.current_user == null"] = "false";
    EXPECT_EQ(service.userID(), 5);
    page.answers["Q.currentUser == null"] = "true";
    EXPECT_EQ(service.userID(), -1);
}

TEST_F(QVWebNavigationServiceTest, LoadsNetworkAndNavigation)
{
    const int starts = service.networkListener()->startCount();
    service.setWebView(&page); // the same view again: nothing restarts
    EXPECT_EQ(service.networkListener()->startCount(), starts);

    service.ensureContentLoaded();
    EXPECT_EQ(page.loads, QList<QUrl> { QUrl("http://www.quiv.example") });
    service.ensureContentLoaded(); // something is loaded now
    EXPECT_EQ(page.loads.size(), 1);

    constants.setShouldUseLocalhost(true); // reloads from the new base URL
    EXPECT_EQ(page.loads.last().host(), QUrl(constants.quivURL()).host());
    EXPECT_EQ(page.loads.size(), 2);
    // The probe follows the page to the new host.
    EXPECT_EQ(service.networkListener()->hostName(), constants.quivURL());

    service.onHostnameNotReachable();
    service.onHostnameReachable();
    EXPECT_EQ(log, (QStringList { "not available", "available" }));
}
