#include "QVUIConstantsService.h"
#include "QVConstants.h"
#include "QVNotificationCenter.h"
#include "QVUserDefaults.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

TEST(QVUIConstantsServiceTest, BaseURLFollowsTheDeveloperSwitchAndAnnouncesEachChange)
{
    QTemporaryDir dir;
    QVNotificationCenter center;
    QVUserDefaults defaults { dir.filePath(QStringLiteral("Quiv.conf")), &center };
    int posted = 0;
    center.addObserver(
        &center, QString::fromLatin1(QVQuivUrlChangedNotification), [&](const QVNotification&) { ++posted; });

    qputenv("QUIV_DEVELOPER_HOST", "127.0.0.1:43127");
    QVUIConstantsService service(&center, &defaults, QStringLiteral("10.10"));
    qunsetenv("QUIV_DEVELOPER_HOST"); // read once, at construction
    EXPECT_EQ(service.quivURL(), QStringLiteral("http://www.quiv.example"));
    service.setShouldUseLocalhost(false);
    EXPECT_EQ(posted, 0);
    service.setShouldUseLocalhost(true);
    service.setShouldUseLocalhost(true);
    EXPECT_EQ(service.quivURL(), QStringLiteral("http://127.0.0.1:43127"));
    EXPECT_EQ(posted, 1);
    service.setShouldUseLocalhost(false);
    EXPECT_EQ(service.quivURL(), QStringLiteral("http://www.quiv.example"));
    EXPECT_EQ(posted, 2);

    // Only "1" in the environment switches at start.
    for (const char* value : { "0", "yes", "1" }) {
        qputenv("QUIV_USE_LOCALHOST", value);
        QVUIConstantsService started(&center, &defaults, QStringLiteral("10.10"));
        started.applyEnvironment();
        EXPECT_EQ(started.shouldUseLocalhost(), QByteArray(value) == "1") << value;
    }
    qunsetenv("QUIV_USE_LOCALHOST");
}
