#include "QVUserDefaults.h"
#include "QVNotificationCenter.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QTemporaryDir>

// What is set comes back from the file with its type (a one-item list stays a
// list); registered values are read but never written.
TEST(QVUserDefaults, StoredValuesSurviveTheFileAndRegisteredOnesAreNeverWritten)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("Quiv.conf");
    const QDateTime when = QDateTime::fromString("2026-05-01T10:00:00Z", Qt::ISODate);
    {
        QVUserDefaults defaults(path);
        defaults.registerDefaults({ { "Flag", true }, { "Count", 3 } });
        EXPECT_EQ(defaults.integerForKey("Count"), 3);
        EXPECT_FALSE(defaults.objectForKey("Absent").isValid());
        defaults.setValue(false, "Flag");
        EXPECT_FALSE(defaults.boolForKey("Flag")) << "a stored value wins";
        defaults.setValue(2, "CurrentWindowType");
        defaults.setValue(QStringList { "one" }, "One");
        defaults.setValue("{{1, 2}, {3, 4}}", "NSWindow Frame Main");
        defaults.setValue(when, "QVCrashReporter.lastCrashSubmissionDate");
        defaults.setValue(QVariantMap { { "LastMatchedDate", "Never" } }, "Dict");
        defaults.synchronize();
    }
    QVUserDefaults reread(path);
    EXPECT_FALSE(reread.objectForKey("Count").isValid());
    EXPECT_FALSE(reread.boolForKey("Flag"));
    EXPECT_TRUE(reread.objectForKey("Flag").isValid());
    EXPECT_EQ(reread.integerForKey("CurrentWindowType"), 2);
    EXPECT_EQ(reread.arrayForKey("One"), QVariantList { "one" });
    EXPECT_EQ(reread.stringForKey("NSWindow Frame Main"), "{{1, 2}, {3, 4}}");
    EXPECT_EQ(reread.objectForKey("QVCrashReporter.lastCrashSubmissionDate").toDateTime(), when);
    EXPECT_EQ(reread.dictionaryForKey("Dict").value("LastMatchedDate").toString(), "Never");
}

TEST(QVUserDefaults, ChangesAreAnnounced)
{
    QTemporaryDir dir;
    QVNotificationCenter center;
    QVUserDefaults defaults(dir.filePath("Quiv.conf"), &center);
    QList<QObject*> senders;
    center.addObserver(&senders, "QVUserDefaultsDidChangeNotification",
        [&](const QVNotification& n) { senders.append(n.object); });
    defaults.setValue(1, "A");
    defaults.removeObjectForKey("A");
    EXPECT_EQ(senders, (QList<QObject*> { &defaults, &defaults }));
    EXPECT_FALSE(defaults.objectForKey("A").isValid());
}
