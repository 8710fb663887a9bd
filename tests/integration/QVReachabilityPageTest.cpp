#include "../unit/server/QVRecordingDelegate.h"
#include "QVDemoClientFixture.h"
#include "QVServerConnection.h"
#include "QVWebNavigationService.h"
#include "QVWebView.h"

#include <gtest/gtest.h>

#include <QSignalSpy>

namespace {

// The page of the demo service hears from the probe when its host goes away
// and comes back.
class QVReachabilityPageTest : public QVDemoClientFixture
{
protected:
    void SetUp() override
    {
        startDemo();
        if (HasFatalFailure())
            return;
        view.resize(1000, 700);
        navigation->setWebView(&view);
        QSignalSpy finished(&view, &QWebEngineView::loadFinished);
        view.loadURL(QUrl(constants->quivURL() + "/"));
        ASSERT_TRUE(finished.wait(15000));
        ASSERT_TRUE(
            QVWaitUntil([&] { return !navigation->networkListener()->isRunningReachabilityCheck(); }));
    }

    void reachability(const char* mode)
    {
        QVRecordingDelegate answer;
        pool.addServerRequest(demo.baseUrl() + "/api/demo/control",
            QVServerRequestParams { { "call", "reachability" }, { "mode", mode } }, true, &answer);
        ASSERT_TRUE(QVWaitUntil([&] { return answer.hasEnded(); }));
    }
    QString online() { return view.evaluate("String(Q.offlineMonitor.isOnline)"); }

    QVServerConnection pool;
    QVWebView view;
};

} // namespace

TEST_F(QVReachabilityPageTest, ThePageIsToldOfflineAndOnlineAgain)
{
    EXPECT_TRUE(navigation->isNetworkConnectionAvailable());
    EXPECT_EQ(online(), "true");

    reachability("drop");
    navigation->attemptNetworkConnection(); // the page's retry, or a network change
    ASSERT_TRUE(QVWaitUntil([&] { return online() == "false"; }, 10000));
    EXPECT_FALSE(navigation->isNetworkConnectionAvailable());
    EXPECT_EQ(view.evaluate("String($('body').hasClass('offline'))"), "true");

    reachability("ok");
    ASSERT_TRUE(QVWaitUntil([&] { return online() == "true"; }, 10000)); // the next retry
    EXPECT_TRUE(navigation->isNetworkConnectionAvailable());
}
