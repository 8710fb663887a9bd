#include "../unit/server/QVRecordingDelegate.h"
#include "QVDemoClientFixture.h"
#include "QVServerConnection.h"
#include "QVTestWait.h"
#include "QVUIConstantsService.h"
#include "QVWebNavigationListener.h"
#include "QVWebNavigationService.h"
#include "QVWebView.h"

#include <gtest/gtest.h>

#include <QTest>
#include <csignal>

namespace {

class LoadRecorder : public QVWebNavigationListener
{
public:
    void webViewFinishedLoading() override { events << "finished"; }
    void onUserLoggedOut() override { events << "logged out"; }
    QStringList events;
};

// The bridges against the demo web application: start-up, sign-in, reload, sign-out.
class QVPageBridgeTest : public QVDemoClientFixture
{
protected:
    void SetUp() override
    {
        startDemo();
        if (HasFatalFailure())
            return;
        navigation->addWebNavigationListener(&recorder);
        for (const char* name : { QVJavascriptContentInitializedNotification, QVUserDidSignInNotification,
                 QVUserDidSignOutNotification })
            center.addObserver(this, name, [this](const QVNotification& n) { posted << n.name; });
        view.resize(1000, 700);
        navigation->setWebView(&view);
    }
    void TearDown() override { center.removeObserver(this); }

    LoadRecorder recorder;
    QVWebView view;
    QStringList posted;
};

} // namespace

TEST_F(QVPageBridgeTest, SignInReloadAndSignOut)
{
    view.loadURL(QUrl(constants->quivURL() + "/accounts/login/"));
    ASSERT_TRUE(QVWaitUntil([&] {
        return recorder.events.contains("finished") && posted.contains("Quiv_JavascriptContentInitialized");
    }));
    EXPECT_EQ(posted.first(), "Quiv_JavascriptContentInitialized");
    EXPECT_TRUE(navigation->desktopScriptObject()->isInitialized());
    EXPECT_EQ(navigation->userID(), -1);

    // The demo account through the page's own form.
    view.executeJavascript(QVDemoService::signInScript());
    ASSERT_TRUE(QVWaitUntil([&] { return posted.contains("Quiv_UserDidSignIn"); }));
    EXPECT_LT(posted.indexOf("Quiv_JavascriptContentInitialized"), posted.indexOf("Quiv_UserDidSignIn"));
    const int id = navigation->userID();
    EXPECT_GT(id, 0);
    EXPECT_FALSE(navigation->userVanityName().isEmpty());

    // A reload installs the objects again and the page initialises again.
    recorder.events.clear();
    posted.clear();
    view.reload();
    ASSERT_TRUE(QVWaitUntil([&] {
        return recorder.events.contains("finished") && posted.contains("Quiv_JavascriptContentInitialized");
    }));
    EXPECT_EQ(view.evaluate("typeof DesktopScriptObject + ' ' + typeof ClientManagerScriptObject"),
        "object object");
    EXPECT_EQ(navigation->userID(), id); // the session survived

    // A renderer killed outright: the same page is back, signed in, within 5 s.
    const QString path = view.mainFrameURL().path();
    posted.clear();
    ASSERT_EQ(::kill(pid_t(view.page()->renderProcessPid()), SIGKILL), 0);
    ASSERT_TRUE(QVWaitUntil([&] { return posted.contains("Quiv_JavascriptContentInitialized"); }, 5000));
    EXPECT_EQ(view.mainFrameURL().path(), path);
    EXPECT_EQ(navigation->userID(), id);

    navigation->gotoSignOut();
    ASSERT_TRUE(QVWaitUntil([&] { return posted.contains("Quiv_UserDidSignOut"); }));
    EXPECT_TRUE(recorder.events.contains("logged out"));
    EXPECT_EQ(navigation->userID(), -1);
}

// The page hears from the probe when its host goes away and comes back.
TEST_F(QVPageBridgeTest, ThePageIsToldOfflineAndOnlineAgain)
{
    view.loadURL(QUrl(constants->quivURL() + "/"));
    ASSERT_TRUE(QVWaitUntil([&] {
        return recorder.events.contains("finished")
            && !navigation->networkListener()->isRunningReachabilityCheck();
    }));
    EXPECT_TRUE(navigation->isNetworkConnectionAvailable());
    QVServerConnection pool;
    const auto online = [&] { return view.evaluate("String(Q.offlineMonitor.isOnline)"); };
    EXPECT_EQ(online(), "true");
    for (const char* mode : { "drop", "ok" }) {
        SCOPED_TRACE(mode);
        QVRecordingDelegate answer;
        pool.addServerRequest(demo.baseUrl() + "/api/demo/control",
            QVServerRequestParams { { "call", "reachability" }, { "mode", mode } }, true, &answer);
        ASSERT_TRUE(QVWaitUntil([&] { return answer.hasEnded(); }));
        // Down: a network change makes us look; up: the page's own retry.
        const bool up = QByteArray(mode) == "ok";
        if (!up)
            navigation->attemptNetworkConnection();
        ASSERT_TRUE(QVWaitUntil([&] { return online() == (up ? "true" : "false"); }));
        EXPECT_EQ(navigation->isNetworkConnectionAvailable(), up);
        EXPECT_EQ(view.javascriptBoolValue("$('body').hasClass('offline')"), !up);
    }
}
