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
    void onUserSubscriptionChanged() override
    {
        events << QStringLiteral("subscription after %1 trips").arg(page->roundTrips);
    }
    void onBillingFailure() override { events << "billing"; }
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
        { "('free_trial' in " + kUser + ")", "true" },
        { kUser + ".free_trial.trial_end_date", "2027-01-31T12:00:00Z" },
        { "('freeLimited' in " + kUser + ")", "true" },
        { kUser + ".freeLimited != null", "true" },
        { kUser + ".freeLimited.remaining", "40" },
    };
}

class QVClientManagerScriptObjectTest : public ::testing::Test
{
protected:
    QVClientManagerScriptObjectTest()
        : listener(&page)
    {
        object.setWebView(&page);
        object.setListener(&listener);
        signIn(page);
    }
    QVFakeWebView page;
    QVClientManagerScriptObject object;
    RecordingListener listener;
};

} // namespace

TEST_F(QVClientManagerScriptObjectTest, OneTripPerSnapshotAndNothingKeptForTheNextUser)
{
    object.forceRefreshProperties();
    EXPECT_EQ(page.roundTrips, 1);
    // Values from both ends of the one answer landed in their fields.
    EXPECT_EQ(object.userID(), 42);
    EXPECT_EQ(object.realName(), "Ada Lovelace");
    EXPECT_EQ(object.trialEndDate(), QDateTime(QDate(2027, 1, 31), QTime(12, 0), Qt::UTC));
    EXPECT_EQ(object.freeLimitedPercentRemaining(), 40);

    // The same user without the optional members keeps what they said.
    for (const char* member : { "subscription_type", "free_trial", "freeLimited" })
        page.answers["('" + QString(member) + "' in " + kUser + ")"] = "false";
    object.forceRefreshProperties();
    EXPECT_EQ(object.subscriptionType(), 3);
    EXPECT_TRUE(object.trialEndDate().isValid());
    EXPECT_TRUE(object.isFreeLimitedAccount());

    // A page that does not answer leaves it.
    page.responsive = false;
    object.forceRefreshProperties();
    EXPECT_EQ(object.userID(), 42);

    // Signed out: nothing of this user is kept.
    page.responsive = true;
    page.answers[kUser + " != null"] = "false";
    object.forceRefreshProperties();
    EXPECT_EQ(object.userID(), 0);
    EXPECT_EQ(object.subscriptionType(), 0);
    EXPECT_FALSE(object.trialEndDate().isValid());
    EXPECT_FALSE(object.isFreeLimitedAccount());

    // Another user straight after this one starts from nothing, not from the last one's trial.
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

// Malformed calls of every kind are the real channel's fuzz test; here, that they reach no one.
TEST_F(QVClientManagerScriptObjectTest, CallsRefreshThenTellTheListenerAndMalformedOnesReachNoOne)
{
    object.invokeScriptMethod("onCurrentUserIdChanged", { QStringLiteral("42") });
    object.invokeScriptMethod("onCurrentUserIdChanged", { 1.5 });
    object.invokeScriptMethod("onBillingFailure", { QString(100000, QLatin1Char('x')) });
    EXPECT_TRUE(listener.events.isEmpty());
    EXPECT_EQ(page.roundTrips, 0);

    object.invokeScriptMethod("onCurrentUserIdChanged", { -1.0 }); // a whole number, sent as a double
    object.invokeScriptMethod("onSubscriptionChanged", {});
    object.invokeScriptMethod("onBillingFailure", {}); // no refresh
    EXPECT_EQ(
        listener.events, (QStringList { "user -1 after 1 trips", "subscription after 2 trips", "billing" }));
}
