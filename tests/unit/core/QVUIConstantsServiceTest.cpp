#include "QVUIConstantsService.h"
#include "QVConstants.h"
#include "QVNotificationCenter.h"
#include "QVUserDefaults.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

namespace {

// Sets an environment variable (nullptr: clears it) for one scope.
struct ScopedEnv {
    ScopedEnv(const char* name, const char* value)
        : name(name)
        , wasSet(qEnvironmentVariableIsSet(name))
        , saved(qgetenv(name))
    {
        value ? qputenv(name, value) : qunsetenv(name);
    }
    ~ScopedEnv() { wasSet ? qputenv(name, saved) : qunsetenv(name); }
    const char* name;
    bool wasSet;
    QByteArray saved;
};

class QVUIConstantsServiceTest : public ::testing::Test
{
protected:
    QVUIConstantsServiceTest()
    {
        center.addObserver(this, QString::fromLatin1(QVQuivUrlChangedNotification),
            [this](const QVNotification& n) { posted.append(n.object); });
    }
    ~QVUIConstantsServiceTest() override { center.removeObserver(this); }

    QTemporaryDir dir;
    QVNotificationCenter center;
    QVUserDefaults defaults { dir.filePath(QStringLiteral("Quiv.conf")), &center };
    QList<QObject*> posted;
};

TEST_F(QVUIConstantsServiceTest, BaseURLFollowsTheDeveloperSwitchAndAnnouncesEachChange)
{
    std::optional<ScopedEnv> host(std::in_place, "QUIV_DEVELOPER_HOST", "127.0.0.1:43127");
    QVUIConstantsService service(&center, &defaults, QStringLiteral("10.10"));
    host.reset(); // read once, at construction
    EXPECT_EQ(service.quivURL(), QStringLiteral("http://www.quiv.example"));
    service.setShouldUseLocalhost(false);
    EXPECT_TRUE(posted.isEmpty());
    service.setShouldUseLocalhost(true);
    service.setShouldUseLocalhost(true);
    EXPECT_EQ(service.quivURL(), QStringLiteral("http://127.0.0.1:43127"));
    EXPECT_EQ(posted, QList<QObject*> { nullptr });
    service.setShouldUseLocalhost(false);
    EXPECT_EQ(service.quivURL(), QStringLiteral("http://www.quiv.example"));
    EXPECT_EQ(posted.size(), 2);

    ScopedEnv empty("QUIV_DEVELOPER_HOST", "");
    QVUIConstantsService fallback(&center, &defaults, QStringLiteral("10.10"));
    fallback.setShouldUseLocalhost(true);
    EXPECT_EQ(fallback.quivURL(), QStringLiteral("http://localhost:8000"));
}

TEST_F(QVUIConstantsServiceTest, EnvironmentSwitchesToLocalhostOnlyForOne)
{
    for (const char* value : { "0", "yes", static_cast<const char*>(nullptr) }) {
        ScopedEnv use("QUIV_USE_LOCALHOST", value);
        QVUIConstantsService service(&center, &defaults, QStringLiteral("10.10"));
        service.applyEnvironment();
        EXPECT_FALSE(service.shouldUseLocalhost());
    }
    EXPECT_TRUE(posted.isEmpty());
    ScopedEnv use("QUIV_USE_LOCALHOST", "1");
    QVUIConstantsService service(&center, &defaults, QStringLiteral("10.10"));
    service.applyEnvironment();
    EXPECT_TRUE(service.shouldUseLocalhost());
    EXPECT_EQ(posted.size(), 1);
}

} // namespace

TEST(QVUIConstantsServiceFonts, DesignFamiliesBecomeTheDesktopSansSerif)
{
    // Any case; a fractional size rounds.
    const QFont light = QVUIConstantsService::fontNamed("helvetica neue light", 12.6);
    EXPECT_EQ(light.families(), QStringList { "sans-serif" });
    EXPECT_EQ(light.weight(), QFont::Light);
    EXPECT_EQ(light.pixelSize(), 13);
    // A desktop family is asked for as it is, falling back to sans-serif.
    EXPECT_EQ(QVUIConstantsService::fontNamed("DejaVu Serif", 9).families(),
        (QStringList { "DejaVu Serif", "sans-serif" }));
}
