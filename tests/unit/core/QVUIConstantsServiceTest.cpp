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

TEST(QVUIConstantsServiceVersion, ComparesMajorThenMinor)
{
    for (const char* modern : { "10.10", "10.10.5", "10.11.6", "11.0", "11.6.2", "11", "12", " 10.10\n" })
        EXPECT_TRUE(QVUIConstantsService::isYosemiteVersion(QString::fromLatin1(modern))) << modern;
    for (const char* old :
        { "10.9.5", "10.9", "10", "9.12", "", "garbage", "10.x", "x.10", "-11.0", "10..10" })
        EXPECT_FALSE(QVUIConstantsService::isYosemiteVersion(QString::fromLatin1(old))) << old;
    // The platform's version when none is given.
    QTemporaryDir dir;
    QVNotificationCenter center;
    QVUserDefaults defaults(dir.filePath(QStringLiteral("Quiv.conf")), &center);
    ScopedEnv version("QUIV_SYSTEM_VERSION", "10.9");
    EXPECT_FALSE(QVUIConstantsService(&center, &defaults).isYosemite());
}

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

TEST_F(QVUIConstantsServiceTest, SystemTintReadsTheColorVariant)
{
    QVUIConstantsService service(&center, &defaults, QStringLiteral("10.10"));
    const QString key = QString::fromLatin1(QVAppleAquaColorVariantKey);
    const QList<std::tuple<QVariant, bool, bool>> cases { { QVariant(), false, false }, { 6, false, true },
        { 3, false, false }, { 1, true, false } };
    for (const auto& [variant, blue, graphite] : cases) {
        if (variant.isValid())
            defaults.setValue(variant, key);
        EXPECT_EQ(service.isUsingBlueSystemAppearance(), blue) << variant.toInt();
        EXPECT_EQ(service.isUsingGraphiteSystemTint(), graphite) << variant.toInt();
    }
    // As the INI file gives it back after a restart: text.
    defaults.synchronize();
    QVUserDefaults reread(defaults.filePath(), &center);
    EXPECT_TRUE(
        QVUIConstantsService(&center, &reread, QStringLiteral("10.10")).isUsingBlueSystemAppearance());
}

TEST_F(QVUIConstantsServiceTest, TextShadowAlphaIsClamped)
{
    QVUIConstantsService service(&center, &defaults, QStringLiteral("10.10"));
    EXPECT_NEAR(service.defaultTextShadowWithAlpha(0.5f).color.alphaF(), 0.5, 0.002);
    EXPECT_EQ(service.defaultTextShadowWithAlpha(1.5f).color.alpha(), 255);
    EXPECT_EQ(service.defaultTextShadowWithAlpha(-1.0f).color.alpha(), 0);
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
