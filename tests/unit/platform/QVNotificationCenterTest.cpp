#include "QVNotificationCenter.h"

#include <gtest/gtest.h>

#include <QObject>

TEST(QVNotificationCenter, DeliversInRegistrationOrderAndFiltersBySender)
{
    QVNotificationCenter center;
    QObject sender, other;
    QStringList calls;
    int a = 0, b = 0, c = 0;
    const auto record = [&](const char* who) {
        return [&calls, who](const QVNotification& n) {
            calls.append(QStringLiteral("%1:%2").arg(
                QString::fromLatin1(who), n.object ? n.object->objectName() : "-"));
        };
    };
    sender.setObjectName("s");
    other.setObjectName("o");
    center.addObserver(&a, "N", record("a"));
    center.addObserver(&b, "N", record("b"), &sender);
    center.addObserver(&c, "N", record("c"));
    center.addObserver(&c, "M", record("m"));

    center.postNotificationName("N", &sender);
    center.postNotificationName("N", &other);
    center.removeObserver(&c, "N");
    center.postNotificationName("N");
    center.postNotificationName("M");
    EXPECT_EQ(calls, (QStringList { "a:s", "b:s", "c:s", "a:o", "c:o", "a:-", "m:-" }));
}

TEST(QVNotificationCenter, ObserversMayChangeTheListWhileBeingCalled)
{
    QVNotificationCenter center;
    QStringList calls;
    int first = 0, second = 0, third = 0;
    // The first removes the second before it is reached and adds a third,
    // which is not called for the notification already under way.
    center.addObserver(&first, "N", [&](const QVNotification&) {
        calls.append("first");
        center.removeObserver(&second);
        center.addObserver(&third, "N", [&](const QVNotification&) { calls.append("third"); });
    });
    center.addObserver(&second, "N", [&](const QVNotification&) { calls.append("second"); });
    center.postNotificationName("N");
    EXPECT_EQ(calls, QStringList { "first" });

    // Posting from inside a handler is delivered at once.
    calls.clear();
    center.removeObserver(&first);
    center.removeObserver(&third);
    center.addObserver(&first, "outer", [&](const QVNotification&) {
        calls.append("outer");
        center.postNotificationName("inner");
        calls.append("outer-end");
    });
    center.addObserver(&second, "inner", [&](const QVNotification&) { calls.append("inner"); });
    center.postNotificationName("outer");
    EXPECT_EQ(calls, (QStringList { "outer", "inner", "outer-end" }));
    EXPECT_EQ(center.observerCount(), 2);
}
