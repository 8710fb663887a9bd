#include "QVClientManagerScriptObject.h"
#include "QVClientManagerListener.h"
#include "QVFakeWebView.h"

#include <gtest/gtest.h>

namespace {

class RecordingListener : public QVClientManagerListener
{
public:
    explicit RecordingListener(QVFakeWebView* page)
        : page(page)
    {
    }
    void onUserIDChanged(int id) override
    {
        events << QStringLiteral("user %1 after %2 trips").arg(id).arg(page->roundTrips);
    }
    void showDownloadWindow() override { events << "downloads"; }
    void onUserSubscriptionChanged() override
    {
        events << QStringLiteral("subscription after %1 trips").arg(page->roundTrips);
    }
    void showMatchCollectionWindow() override { events << "match"; }
    void onUserFreeLimitedStatusUpdate() override { events << "free limited"; }
    void onBillingFailure() override { events << "billing"; }
    void onSecureDialogLoaded() override { events << "secure dialog"; }
    void onInitialize() override { events << "initialize"; }
    QVFakeWebView* page;
    QStringList events;
};

const QString kUser = QStringLiteral("clientManager.current_user");

// A signed-in user with every member present.
void signIn(QVFakeWebView& page)
{
    page.answers = {
        { "typeof clientManager != 'undefined'", "true" },
        { kUser + " != null", "true" },
        { kUser + ".id", "42" },
        { "('subscription_type' in " + kUser + ")", "true" },
        { kUser + ".subscription_type", "3" },
        { kUser + ".subscription != null", "true" },
        { kUser + ".firstName", "Ada" },
        { kUser + ".lastName", "Lovelace" },
        { kUser + ".vanity_name", "ada" },
        { "('free_trial' in " + kUser + ")", "true" },
        { kUser + ".free_trial.trial_end_date", "2027-01-31T12:00:00Z" },
        { "('has_subscription_failure' in " + kUser + ")", "true" },
        { kUser + ".has_subscription_failure", "true" },
        { "('freeLimited' in " + kUser + ")", "true" },
        { kUser + ".freeLimited != null", "true" },
        { kUser + ".freeLimited.remaining", "40" },
        { kUser + ".features.quiv2", "true" },
    };
}

class QVClientManagerScriptObjectTest : public ::testing::Test
{
protected:
    QVClientManagerScriptObjectTest()
        : listener(&page)
    {
        object.forceRefreshProperties(); // no page: nothing read
        object.setWebView(&page);
        object.setListener(&listener);
        signIn(page);
    }
    QVFakeWebView page;
    QVClientManagerScriptObject object;
    RecordingListener listener;
};

} // namespace

TEST_F(QVClientManagerScriptObjectTest, OneTripPerSnapshotAndAbsentMembersKeepOrReset)
{
    object.forceRefreshProperties();
    EXPECT_EQ(page.roundTrips, 1);
    EXPECT_EQ(object.userID(), 42);
    EXPECT_EQ(object.subscriptionType(), 3);
    EXPECT_TRUE(object.isSubscriber());
    EXPECT_EQ(object.realName(), "Ada Lovelace");
    EXPECT_EQ(object.vanityName(), "ada");
    EXPECT_EQ(object.trialEndDate(), QDateTime(QDate(2027, 1, 31), QTime(12, 0), Qt::UTC));
    EXPECT_TRUE(object.hasBillingFailure());
    EXPECT_TRUE(object.isFreeLimitedAccount());
    EXPECT_EQ(object.freeLimitedPercentRemaining(), 40);
    EXPECT_TRUE(object.isUsingQuiv2());

    // The same user without the optional members, and with empty names.
    for (const char* member :
        { "subscription_type", "free_trial", "has_subscription_failure", "freeLimited" })
        page.answers["('" + QString(member) + "' in " + kUser + ")"] = "false";
    page.answers[kUser + ".firstName"] = "";
    object.forceRefreshProperties();
    EXPECT_EQ(object.subscriptionType(), 3); // kept
    EXPECT_TRUE(object.trialEndDate().isValid()); // kept
    EXPECT_FALSE(object.hasBillingFailure()); // reset
    EXPECT_TRUE(object.isFreeLimitedAccount()); // kept
    EXPECT_EQ(object.realName(), " Lovelace");

    // freeLimited present but null: no longer limited, the allowance untouched.
    page.answers["('freeLimited' in " + kUser + ")"] = "true";
    page.answers[kUser + ".freeLimited != null"] = "false";
    page.answers[kUser + ".freeLimited.remaining"] = "";
    object.forceRefreshProperties();
    EXPECT_FALSE(object.isFreeLimitedAccount());
    EXPECT_EQ(object.freeLimitedPercentRemaining(), 40);

    // A page that does not answer, or has no account layer yet, leaves it.
    page.responsive = false;
    object.forceRefreshProperties();
    page.responsive = true;
    page.answers["typeof clientManager != 'undefined'"] = "false";
    object.forceRefreshProperties();
    EXPECT_EQ(object.userID(), 42);
    EXPECT_TRUE(object.isSubscriber());

    // Signed out: nothing of this user is kept for the next.
    page.answers["typeof clientManager != 'undefined'"] = "true";
    page.answers[kUser + " != null"] = "false";
    object.forceRefreshProperties();
    EXPECT_EQ(object.userID(), 0);
    EXPECT_EQ(object.subscriptionType(), 0);
    EXPECT_FALSE(object.trialEndDate().isValid());
    EXPECT_FALSE(object.isFreeLimitedAccount());

    // Another user after this one starts from nothing, not from the last one's trial.
    signIn(page);
    object.forceRefreshProperties();
    page.answers[kUser + ".id"] = "43";
    page.answers["('free_trial' in " + kUser + ")"] = "false";
    page.answers["('subscription_type' in " + kUser + ")"] = "false";
    object.forceRefreshProperties();
    EXPECT_EQ(object.userID(), 43);
    EXPECT_FALSE(object.trialEndDate().isValid());
    EXPECT_EQ(object.subscriptionType(), 0);
}

TEST_F(QVClientManagerScriptObjectTest, CallsRefreshThenTellTheListenerAndMalformedOnesReachNoOne)
{
    object.invokeScriptMethod("onCurrentUserIdChanged", { QStringLiteral("42") });
    object.invokeScriptMethod("onCurrentUserIdChanged", { 1.5 });
    object.invokeScriptMethod("onCurrentUserIdChanged", { 1e12 });
    object.invokeScriptMethod("onCurrentUserIdChanged", { QVariant::fromValue(nullptr) });
    object.invokeScriptMethod("onCurrentUserIdChanged", { 1, 2 });
    object.invokeScriptMethod("onBillingFailure", { QString(100000, QLatin1Char('x')) });
    object.invokeScriptMethod("toString", {});
    EXPECT_TRUE(listener.events.isEmpty());
    EXPECT_EQ(page.roundTrips, 0);

    object.invokeScriptMethod("onCurrentUserIdChanged", { -1.0 }); // a whole number, sent as a double
    object.invokeScriptMethod("onSubscriptionChanged", {});
    object.invokeScriptMethod("onBillingFailure", {}); // no refresh
    object.invokeScriptMethod("onFreeLimitedNotification", { QVariantMap { { "any", 1 } } });
    for (const char* call :
        { "onMatchCollectionActivated", "showDownloadWindow", "onSecureDialogLoaded", "onInitialize" })
        object.invokeScriptMethod(call, {});
    EXPECT_EQ(listener.events,
        (QStringList { "user -1 after 1 trips", "subscription after 2 trips", "billing", "free limited",
            "match", "downloads", "secure dialog", "initialize" }));
}
