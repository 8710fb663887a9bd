#pragma once

#include "DemoHttpClient.h"
#include "QVDemoService.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <memory>

inline QJsonObject json(const DemoHttpResponse& response)
{
    return QJsonDocument::fromJson(response.body).object();
}

inline QString errorOf(const DemoHttpResponse& response)
{
    return json(response).value(QStringLiteral("error")).toString();
}

inline QList<int> ids(const QJsonValue& value)
{
    QList<int> out;
    for (const auto& id : value.toArray())
        out.append(id.toInt());
    return out;
}

// A service per test: sessions, collections and what the service kept are its own.
class DemoServiceTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(service.start()) << service.errorString().toStdString();
        client = std::make_unique<DemoHttpClient>(service.port());
    }
    QJsonObject signIn()
    {
        const DemoHttpResponse response
            = client->postForm("/api/demo/signin", { { "username", "demo" }, { "password", "demo" } });
        EXPECT_EQ(response.status, 200);
        return json(response).value(QStringLiteral("user")).toObject();
    }
    QJsonObject sessionUser()
    {
        return json(client->get("/api/demo/session")).value(QStringLiteral("user")).toObject();
    }
    QList<int> collection() { return ids(sessionUser().value(QStringLiteral("collection"))); }

    QVDemoService service;
    std::unique_ptr<DemoHttpClient> client;
};
