#include "QVNotificationCenter.h"
#include "QVUserDefaults.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QTemporaryDir>

TEST(QVUserDefaults, RegisteredValuesAreReadButNeverStored)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("Quiv.conf");
    {
        QVUserDefaults defaults(path);
        defaults.registerDefaults({{"PauseOnDeviceUnplug", true}, {"Count", 3}});
        EXPECT_TRUE(defaults.boolForKey("PauseOnDeviceUnplug"));
        EXPECT_EQ(defaults.integerForKey("Count"), 3);
        EXPECT_FALSE(defaults.objectForKey("Absent").isValid());
        EXPECT_FALSE(defaults.boolForKey("Absent"));
        defaults.setValue(false, "PauseOnDeviceUnplug"); // a stored value wins
        EXPECT_FALSE(defaults.boolForKey("PauseOnDeviceUnplug"));
        defaults.synchronize();
    }
    QVUserDefaults reread(path);
    EXPECT_FALSE(reread.boolForKey("PauseOnDeviceUnplug"));
    EXPECT_FALSE(reread.objectForKey("Count").isValid());
}

TEST(QVUserDefaults, ValuesSurviveTheFileWithTheirMeaning)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("Quiv.conf");
    const QDateTime when = QDateTime::fromString("2026-05-01T10:00:00Z", Qt::ISODate);
    {
        QVUserDefaults defaults(path);
        defaults.setValue(true, "Flag");
        defaults.setValue(2, "CurrentWindowType");
        defaults.setValue(QStringList{"one"}, "One");
        defaults.setValue(QStringList{"a", "b"}, "Two");
        defaults.setValue("{{1, 2}, {3, 4}}", "NSWindow Frame Main");
        defaults.setValue(when, "QVCrashReporter.lastCrashSubmissionDate");
        defaults.setValue(QVariantMap{{"LastMatchedDate", "Never"}, {"AddedTrackCount", "--"}}, "Dict");
        defaults.synchronize();
    }
    QVUserDefaults reread(path);
    EXPECT_TRUE(reread.boolForKey("Flag"));
    EXPECT_EQ(reread.integerForKey("CurrentWindowType"), 2);
    EXPECT_EQ(reread.arrayForKey("One"), QVariantList{"one"});
    EXPECT_EQ(reread.arrayForKey("Two").size(), 2);
    EXPECT_EQ(reread.stringForKey("NSWindow Frame Main"), "{{1, 2}, {3, 4}}");
    EXPECT_EQ(reread.objectForKey("QVCrashReporter.lastCrashSubmissionDate").toDateTime(), when);
    EXPECT_EQ(reread.dictionaryForKey("Dict").value("LastMatchedDate").toString(), "Never");
}

TEST(QVUserDefaults, ChangesAreAnnounced)
{
    QTemporaryDir dir;
    QVNotificationCenter center;
    QVUserDefaults defaults(dir.filePath("Quiv.conf"), &center);
    int changes = 0;
    center.addObserver(&changes, "QVUserDefaultsDidChangeNotification", [&](const QVNotification& n) {
        EXPECT_EQ(n.object, &defaults);
        ++changes;
    });
    defaults.setValue(1, "A");
    defaults.removeObjectForKey("A");
    EXPECT_EQ(changes, 2);
    EXPECT_FALSE(defaults.objectForKey("A").isValid());
}
