#include "DemoServiceSuite.h"

namespace {

class DemoServiceSessionTest : public DemoServiceTest
{
protected:
    bool signedIn() { return !sessionUser().isEmpty(); }
    DemoHttpResponse changeCollection(const QString& action, const QString& keys)
    {
        return client->postForm("/api/demo/collection", { { "action", action }, { "keys", keys } });
    }
};

TEST_F(DemoServiceSessionTest, SignInKeepsASessionUntilSignOut)
{
    DemoHttpResponse response = client->get("/api/demo/session");
    ASSERT_EQ(response.status, 200);
    EXPECT_TRUE(json(response).value(QStringLiteral("user")).isNull());
    EXPECT_EQ(response.header("Cache-Control"), "no-store");

    response = client->postForm("/api/demo/signin", { { "username", "demo" }, { "password", "wrong" } });
    EXPECT_EQ(response.status, 401);
    EXPECT_TRUE(response.header("Set-Cookie").isEmpty());
    EXPECT_FALSE(errorOf(response).isEmpty());

    response = client->postForm("/api/demo/signin", { { "username", "demo" }, { "password", "demo" } });
    ASSERT_EQ(response.status, 200);
    const QByteArray setCookie = response.header("Set-Cookie");
    EXPECT_TRUE(setCookie.contains("HttpOnly") && setCookie.contains("SameSite=Lax"));
    EXPECT_EQ(sessionUser().value(QStringLiteral("id")).toInt(), 1001);

    // A made-up token is no session.
    DemoHttpClient stranger(service.port());
    stranger.setSessionCookie("quiv_demo_session=" + QByteArray(64, 'a'));
    EXPECT_TRUE(json(stranger.get("/api/demo/session")).value(QStringLiteral("user")).isNull());

    // The token itself is revoked, not just forgotten by the browser.
    const QByteArray oldCookie = client->sessionCookie();
    EXPECT_EQ(client->request("POST", "/api/demo/signout").status, 200);
    EXPECT_FALSE(signedIn());
    client->setSessionCookie(oldCookie);
    EXPECT_FALSE(signedIn());

    // Signing in again replaces the old session.
    signIn();
    const QByteArray first = client->sessionCookie();
    signIn();
    client->setSessionCookie(first);
    EXPECT_FALSE(signedIn());
}

TEST_F(DemoServiceSessionTest, CollectionChangesNeedASignedInUserAndKnownTracks)
{
    EXPECT_EQ(changeCollection("add", "t103").status, 401);
    signIn();
    ASSERT_EQ(changeCollection("add", "t103,t110").status, 200);
    EXPECT_EQ(collection(), QList<int>({ 101, 102, 103, 107, 110 }));

    // Syncing to a phone puts the track in the collection; removing it unsyncs it.
    DemoHttpResponse response = changeCollection("offlineAdd", "t104");
    EXPECT_TRUE(ids(json(response).value(QStringLiteral("offline"))).contains(104));
    response = changeCollection("remove", "t104");
    EXPECT_FALSE(ids(json(response).value(QStringLiteral("offline"))).contains(104));

    // A rejected list changes nothing, not even its valid keys.
    for (const auto& [action, keys] : QList<QPair<QString, QString>> {
             { "steal", "t101" }, { "add", "t104,t999" }, { "add", "a11" }, { "add", "" } }) {
        SCOPED_TRACE((action + ' ' + keys).toStdString());
        response = changeCollection(action, keys);
        EXPECT_EQ(response.status, 400);
        EXPECT_FALSE(errorOf(response).isEmpty());
    }
    EXPECT_EQ(collection(), QList<int>({ 101, 102, 103, 107, 110 }));
}

TEST_F(DemoServiceSessionTest, PlanAndNoticeChangesShowInTheUser)
{
    EXPECT_EQ(client->get("/api/demo/notices").status, 401);
    EXPECT_EQ(signIn().value(QStringLiteral("unread_notices")).toInt(), 2);
    DemoHttpResponse response = client->postForm(
        "/api/demo/subscription", { { "type", "0" }, { "remaining", "30" }, { "billing_failure", "1" } });
    ASSERT_EQ(response.status, 200);
    const QJsonObject user = json(response).value(QStringLiteral("user")).toObject();
    EXPECT_EQ(user.value(QStringLiteral("subscription_type")).toInt(), 0);
    EXPECT_EQ(
        user.value(QStringLiteral("freeLimited")).toObject().value(QStringLiteral("remaining")).toInt(), 30);
    EXPECT_TRUE(user.value(QStringLiteral("has_subscription_failure")).toBool());
    for (const auto& fields : QList<QList<QPair<QString, QString>>> {
             { { "type", "5" } }, { { "type", "1" }, { "remaining", "101" } }, {} }) {
        EXPECT_EQ(client->postForm("/api/demo/subscription", fields).status, 400);
    }
    EXPECT_EQ(sessionUser().value(QStringLiteral("subscription_type")).toInt(), 0);

    EXPECT_EQ(
        json(client->request("POST", "/api/demo/notices/read")).value(QStringLiteral("unread")).toInt(), 0);
    EXPECT_EQ(
        json(client->request("POST", "/api/demo/notices/new")).value(QStringLiteral("unread")).toInt(), 1);
    EXPECT_EQ(sessionUser().value(QStringLiteral("unread_notices")).toInt(), 1);
}

} // namespace
