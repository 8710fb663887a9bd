#include "QVNotificationCenter.h"

#include <gtest/gtest.h>

// An observer that removes the next one before it is reached and adds another:
// neither is called for the notification under way, and nothing dangles.
TEST(QVNotificationCenter, ObserversMayChangeTheListWhileBeingCalled)
{
    QVNotificationCenter center;
    QStringList calls;
    int first = 0, second = 0, third = 0;
    center.addObserver(&first, "N", [&](const QVNotification&) {
        calls.append("first");
        center.removeObserver(&second);
        center.addObserver(&third, "N", [&](const QVNotification&) { calls.append("third"); });
    });
    center.addObserver(&second, "N", [&](const QVNotification&) { calls.append("second"); });
    center.postNotificationName("N");
    EXPECT_EQ(calls, QStringList { "first" });
    center.postNotificationName("N");
    EXPECT_EQ(calls, (QStringList { "first", "first", "third" }));
}
