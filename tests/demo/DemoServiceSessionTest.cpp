#include "DemoServiceSuite.h"

#include <QRegularExpression>

namespace {

class DemoServiceSessionTest : public DemoServiceFreshTest
{
protected:
    bool signedIn()
    {
        return json(client->get("/api/demo/session")).value(QStringLiteral("user")).isObject();
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
    EXPECT_EQ(response.headerCount("Set-Cookie"), 0);
    EXPECT_FALSE(json(response).value(QStringLiteral("error")).toString().isEmpty());
    EXPECT_FALSE(signedIn());

    response = client->postForm("/api/demo/signin", { { "username", "demo" }, { "password", "demo" } });
    ASSERT_EQ(response.status, 200);
    const QByteArray setCookie = response.header("Set-Cookie");
    EXPECT_TRUE(
        setCookie.contains("HttpOnly") && setCookie.contains("SameSite=Lax") && setCookie.contains("Path=/"));

    // The fields the client's account snapshot reads.
    const QJsonObject user = sessionUser();
    EXPECT_EQ(user.value(QStringLiteral("id")).toInt(), 1001);
    EXPECT_EQ(user.value(QStringLiteral("subscription_type")).toInt(), 2);
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ$"))
                    .match(user.value(QStringLiteral("free_trial"))
                               .toObject()
                               .value(QStringLiteral("trial_end_date"))
                               .toString())
                    .hasMatch());

    // Another browser has no session.
    DemoHttpClient stranger(service.port());
    EXPECT_TRUE(json(stranger.get("/api/demo/session")).value(QStringLiteral("user")).isNull());
    // A made-up token is no session either.
    stranger.setSessionCookie("quiv_demo_session=" + QByteArray(64, 'a'));
    EXPECT_TRUE(json(stranger.get("/api/demo/session")).value(QStringLiteral("user")).isNull());

    const QByteArray oldCookie = client->sessionCookie();
    response = client->request("POST", "/api/demo/signout");
    EXPECT_EQ(response.status, 200);
    EXPECT_TRUE(response.header("Set-Cookie").contains("Max-Age=0"));
    EXPECT_FALSE(signedIn());
    // The token itself is revoked, not just forgotten by the browser.
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
    DemoHttpResponse response
        = client->postForm("/api/demo/collection", { { "action", "add" }, { "keys", "t103" } });
    EXPECT_EQ(response.status, 401);

    const QJsonObject user = signIn();
    const QList<int> before = ids(user.value(QStringLiteral("collection")));
    EXPECT_FALSE(before.contains(103));

    response = client->postForm("/api/demo/collection", { { "action", "add" }, { "keys", "t103,t110" } });
    ASSERT_EQ(response.status, 200);
    EXPECT_TRUE(ids(json(response).value(QStringLiteral("collection"))).contains(103));
    EXPECT_TRUE(ids(json(response).value(QStringLiteral("collection"))).contains(110));

    // Syncing to a phone puts the track in the collection; removing it unsyncs it.
    response = client->postForm("/api/demo/collection", { { "action", "offlineAdd" }, { "keys", "t104" } });
    EXPECT_TRUE(ids(json(response).value(QStringLiteral("collection"))).contains(104));
    EXPECT_TRUE(ids(json(response).value(QStringLiteral("offline"))).contains(104));
    response = client->postForm("/api/demo/collection", { { "action", "remove" }, { "keys", "t104" } });
    EXPECT_FALSE(ids(json(response).value(QStringLiteral("collection"))).contains(104));
    EXPECT_FALSE(ids(json(response).value(QStringLiteral("offline"))).contains(104));

    const QJsonObject session = sessionUser();
    EXPECT_TRUE(ids(session.value(QStringLiteral("collection"))).contains(103));
    EXPECT_FALSE(ids(session.value(QStringLiteral("collection"))).contains(104));

    for (const auto& fields : QList<QList<QPair<QString, QString>>> {
             { { "action", "steal" }, { "keys", "t101" } },
             { { "action", "add" }, { "keys", "t101,t999" } },
             { { "action", "add" }, { "keys", "a11" } },
             { { "action", "add" }, { "keys", "" } },
             { { "action", "add" } },
         }) {
        response = client->postForm("/api/demo/collection", fields);
        EXPECT_EQ(response.status, 400) << response.body.data();
        EXPECT_FALSE(json(response).value(QStringLiteral("error")).toString().isEmpty());
    }
    // A rejected list changes nothing, not even its valid keys.
    EXPECT_EQ(ids(sessionUser().value(QStringLiteral("collection"))),
        ids(session.value(QStringLiteral("collection"))));
}

TEST_F(DemoServiceSessionTest, PlanChangesShowInTheUser)
{
    signIn();
    DemoHttpResponse response = client->postForm(
        "/api/demo/subscription", { { "type", "0" }, { "remaining", "30" }, { "billing_failure", "1" } });
    ASSERT_EQ(response.status, 200);
    QJsonObject user = json(response).value(QStringLiteral("user")).toObject();
    EXPECT_EQ(user.value(QStringLiteral("subscription_type")).toInt(), 0);
    EXPECT_TRUE(user.value(QStringLiteral("subscription")).isNull());
    EXPECT_EQ(
        user.value(QStringLiteral("freeLimited")).toObject().value(QStringLiteral("remaining")).toInt(), 30);
    EXPECT_TRUE(user.value(QStringLiteral("has_subscription_failure")).toBool());

    for (const auto& fields : QList<QList<QPair<QString, QString>>> {
             { { "type", "5" } },
             { { "type", "1" }, { "remaining", "101" } },
             { { "type", "1" }, { "billing_failure", "yes" } },
             {},
         }) {
        response = client->postForm("/api/demo/subscription", fields);
        EXPECT_EQ(response.status, 400) << response.body.data();
    }
    EXPECT_EQ(sessionUser().value(QStringLiteral("subscription_type")).toInt(), 0);
}

TEST_F(DemoServiceSessionTest, UnreadNoticesCanBeClearedAndAdded)
{
    EXPECT_EQ(client->get("/api/demo/notices").status, 401);
    const QJsonObject user = signIn();
    EXPECT_EQ(user.value(QStringLiteral("unread_notices")).toInt(), 2);

    DemoHttpResponse response = client->request("POST", "/api/demo/notices/read");
    ASSERT_EQ(response.status, 200);
    EXPECT_EQ(json(response).value(QStringLiteral("unread")).toInt(), 0);
    EXPECT_EQ(sessionUser().value(QStringLiteral("unread_notices")).toInt(), 0);

    response = client->request("POST", "/api/demo/notices/new");
    ASSERT_EQ(response.status, 200);
    EXPECT_EQ(json(response).value(QStringLiteral("unread")).toInt(), 1);
    EXPECT_EQ(json(client->get("/api/demo/notices")).value(QStringLiteral("notices")).toArray().size(), 3);
}

} // namespace
