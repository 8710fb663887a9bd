#include "QVUserDefaults.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QTemporaryDir>

// What is set comes back from the file with its type (a one-item list stays a
// list, a stored NO is not an absent key).
TEST(QVUserDefaults, StoredValuesSurviveTheFileWithTheirTypes)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("Quiv.conf");
    const QDateTime when = QDateTime::fromString("2026-05-01T10:00:00Z", Qt::ISODate);
    {
        QVUserDefaults defaults(path);
        defaults.registerDefaults({ { "Flag", true } });
        defaults.setValue(false, "Flag");
        EXPECT_FALSE(defaults.boolForKey("Flag")) << "a stored value wins";
        defaults.setValue(QStringList { "one" }, "One");
        defaults.setValue(when, "Date");
        defaults.synchronize();
    }
    QVUserDefaults reread(path);
    EXPECT_TRUE(reread.objectForKey("Flag").isValid());
    EXPECT_FALSE(reread.boolForKey("Flag"));
    EXPECT_EQ(reread.arrayForKey("One"), QVariantList { "one" });
    EXPECT_EQ(reread.objectForKey("Date").toDateTime(), when);
}
