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

TEST_F(QVUIConstantsServiceTest, BaseURLAndItsChangeNotification)
{
    ScopedEnv host("QUIV_DEVELOPER_HOST", nullptr);
    QVUIConstantsService service(&center, &defaults, QStringLiteral("10.10"));
    EXPECT_EQ(service.quivURL(), QStringLiteral("http://www.quiv.example"));
    service.setShouldUseLocalhost(false);
    EXPECT_TRUE(posted.isEmpty());

    service.setShouldUseLocalhost(true);
    EXPECT_EQ(service.quivURL(), QStringLiteral("http://localhost:8000"));
    service.setShouldUseLocalhost(true);
    EXPECT_EQ(posted, QList<QObject*> { nullptr });

    service.setShouldUseLocalhost(false);
    EXPECT_EQ(service.quivURL(), QStringLiteral("http://www.quiv.example"));
    EXPECT_EQ(posted.size(), 2);
}

TEST_F(QVUIConstantsServiceTest, DeveloperHostIsReadAtConstruction)
{
    std::optional<ScopedEnv> host(std::in_place, "QUIV_DEVELOPER_HOST", "127.0.0.1:43127");
    QVUIConstantsService service(&center, &defaults, QStringLiteral("10.10"));
    host.reset();
    service.setShouldUseLocalhost(true);
    EXPECT_EQ(service.quivURL(), QStringLiteral("http://127.0.0.1:43127"));

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

TEST(QVUIConstantsServiceFonts, DesignFamiliesMapToTheDesktopSansSerifAtTheirWeight)
{
    struct Case {
        const char* family;
        qreal size;
        QFont::Weight weight;
        int pixels;
    };
    const Case cases[] = {
        { "Helvetica Neue", 11, QFont::Normal, 11 },
        { "Helvetica Neue Bold", 11, QFont::Bold, 11 },
        { "helvetica neue light", 10, QFont::Light, 10 },
        { "Lucida Grande", 13, QFont::Normal, 13 },
        { "Lucida Grande", 12.6, QFont::Normal, 13 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.family);
        const QFont font = QVUIConstantsService::fontNamed(QString::fromLatin1(c.family), c.size);
        EXPECT_EQ(font.families().value(0), "sans-serif");
        EXPECT_EQ(font.weight(), c.weight);
        EXPECT_EQ(font.pixelSize(), c.pixels);
        EXPECT_TRUE(font.styleStrategy() & QFont::NoSubpixelAntialias);
    }
    // A desktop family is asked for as it is, falling back to sans-serif.
    EXPECT_EQ(QVUIConstantsService::fontNamed("DejaVu Serif", 9).families(),
        (QStringList { "DejaVu Serif", "sans-serif" }));
}
