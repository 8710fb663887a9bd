#include "QVUIConstantsService.h"
#include "QVConstants.h"
#include "QVNotificationCenter.h"
#include "QVUserDefaults.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <optional>

// Readable failure messages.
[[maybe_unused]] static void PrintTo(const QString& string, std::ostream* out)
{
    *out << '"' << string.toStdString() << '"';
}

namespace {

// Sets or clears an environment variable for one scope.
class ScopedEnv
{
public:
    ScopedEnv(const char* name, std::optional<QByteArray> value)
        : _name(name)
        , _saved(qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt)
    {
        apply(value);
    }
    ~ScopedEnv() { apply(_saved); }

private:
    void apply(const std::optional<QByteArray>& value)
    {
        if (value)
            qputenv(_name, *value);
        else
            qunsetenv(_name);
    }
    const char* _name;
    std::optional<QByteArray> _saved;
};

class QVUIConstantsServiceTest : public ::testing::Test
{
protected:
    QVUIConstantsServiceTest()
        : defaults(dir.filePath(QStringLiteral("Quiv.conf")), &center)
    {
        center.addObserver(
            this, QString::fromLatin1(QVQuivUrlChangedNotification), [this](const QVNotification& n) {
                ++urlChanges;
                lastObject = n.object;
            });
    }
    ~QVUIConstantsServiceTest() override { center.removeObserver(this); }

    QTemporaryDir dir;
    QVNotificationCenter center;
    QVUserDefaults defaults;
    int urlChanges = 0;
    QObject* lastObject = reinterpret_cast<QObject*>(1);
};

TEST(QVUIConstantsServiceVersion, ComparesMajorThenMinor)
{
    struct Case {
        const char* version;
        bool modern;
    };
    const Case cases[] = {
        { "10.9.5", false },
        { "10.9", false },
        { "10.10", true },
        { "10.10.5", true },
        { "10.11.6", true },
        { "11.0", true },
        { "11.6.2", true },
        { "12", true },
        { "11", true },
        { "10", false },
        { "9.12", false },
        { "9", false },
        { " 10.10\n", true },
        { "", false },
        { "garbage", false },
        { "10.x", false },
        { "x.10", false },
        { "-11.0", false },
        { "10.-10", false },
        { "10..10", false },
    };
    for (const Case& c : cases) {
        EXPECT_EQ(QVUIConstantsService::isYosemiteVersion(QString::fromLatin1(c.version)), c.modern)
            << "version '" << c.version << "'";
    }
}

TEST_F(QVUIConstantsServiceTest, VersionIsFixedAtConstruction)
{
    EXPECT_TRUE(QVUIConstantsService(&center, &defaults, QStringLiteral("11.0")).isYosemite());
    EXPECT_FALSE(QVUIConstantsService(&center, &defaults, QStringLiteral("10.9.5")).isYosemite());
}

TEST_F(QVUIConstantsServiceTest, PlatformVersionComesFromTheEnvironment)
{
    ScopedEnv version("QUIV_SYSTEM_VERSION", QByteArray("10.9"));
    EXPECT_FALSE(QVUIConstantsService(&center, &defaults).isYosemite());
    ScopedEnv modern("QUIV_SYSTEM_VERSION", std::nullopt);
    EXPECT_TRUE(QVUIConstantsService(&center, &defaults).isYosemite());
}

TEST_F(QVUIConstantsServiceTest, BaseURLFollowsTheLocalhostSwitch)
{
    ScopedEnv host("QUIV_DEVELOPER_HOST", std::nullopt);
    QVUIConstantsService service(&center, &defaults, QStringLiteral("10.10"));
    EXPECT_FALSE(service.shouldUseLocalhost());
    EXPECT_EQ(service.quivURL(), QStringLiteral("http://www.quiv.example"));
    service.setShouldUseLocalhost(true);
    EXPECT_EQ(service.quivURL(), QStringLiteral("http://localhost:8000"));
    service.setShouldUseLocalhost(false);
    EXPECT_EQ(service.quivURL(), QStringLiteral("http://www.quiv.example"));
}

TEST_F(QVUIConstantsServiceTest, DeveloperHostIsReadAtConstruction)
{
    std::optional<QVUIConstantsService> service;
    {
        ScopedEnv host("QUIV_DEVELOPER_HOST", QByteArray("127.0.0.1:43127"));
        service.emplace(&center, &defaults, QStringLiteral("10.10"));
    }
    service->setShouldUseLocalhost(true);
    EXPECT_EQ(service->quivURL(), QStringLiteral("http://127.0.0.1:43127"));

    ScopedEnv empty("QUIV_DEVELOPER_HOST", QByteArray(""));
    QVUIConstantsService fallback(&center, &defaults, QStringLiteral("10.10"));
    fallback.setShouldUseLocalhost(true);
    EXPECT_EQ(fallback.quivURL(), QStringLiteral("http://localhost:8000"));
}

TEST_F(QVUIConstantsServiceTest, URLChangeIsPostedOncePerChange)
{
    QVUIConstantsService service(&center, &defaults, QStringLiteral("10.10"));
    service.setShouldUseLocalhost(false);
    EXPECT_EQ(urlChanges, 0);
    service.setShouldUseLocalhost(true);
    EXPECT_EQ(urlChanges, 1);
    EXPECT_EQ(lastObject, nullptr);
    service.setShouldUseLocalhost(true);
    EXPECT_EQ(urlChanges, 1);
    service.setShouldUseLocalhost(false);
    EXPECT_EQ(urlChanges, 2);
}

TEST_F(QVUIConstantsServiceTest, EnvironmentSwitchesToLocalhostOnlyForOne)
{
    {
        ScopedEnv use("QUIV_USE_LOCALHOST", QByteArray("0"));
        QVUIConstantsService service(&center, &defaults, QStringLiteral("10.10"));
        service.applyEnvironment();
        EXPECT_FALSE(service.shouldUseLocalhost());
        EXPECT_EQ(urlChanges, 0);
    }
    {
        ScopedEnv use("QUIV_USE_LOCALHOST", std::nullopt);
        QVUIConstantsService service(&center, &defaults, QStringLiteral("10.10"));
        service.applyEnvironment();
        EXPECT_FALSE(service.shouldUseLocalhost());
    }
    ScopedEnv use("QUIV_USE_LOCALHOST", QByteArray("1"));
    QVUIConstantsService service(&center, &defaults, QStringLiteral("10.10"));
    service.applyEnvironment();
    EXPECT_TRUE(service.shouldUseLocalhost());
    EXPECT_EQ(urlChanges, 1);
}

TEST_F(QVUIConstantsServiceTest, SystemTintReadsTheColorVariant)
{
    QVUIConstantsService service(&center, &defaults, QStringLiteral("10.10"));
    const QString key = QString::fromLatin1(QVAppleAquaColorVariantKey);

    EXPECT_FALSE(service.isUsingBlueSystemAppearance());
    EXPECT_FALSE(service.isUsingGraphiteSystemTint());

    defaults.setValue(6, key);
    EXPECT_TRUE(service.isUsingGraphiteSystemTint());
    EXPECT_FALSE(service.isUsingBlueSystemAppearance());

    defaults.setValue(1, key);
    EXPECT_TRUE(service.isUsingBlueSystemAppearance());
    EXPECT_FALSE(service.isUsingGraphiteSystemTint());

    // As an INI file gives it back after a restart.
    defaults.synchronize();
    QVUserDefaults reread(defaults.filePath(), &center);
    EXPECT_TRUE(
        QVUIConstantsService(&center, &reread, QStringLiteral("10.10")).isUsingBlueSystemAppearance());

    defaults.setValue(3, key);
    EXPECT_FALSE(service.isUsingBlueSystemAppearance());
    EXPECT_FALSE(service.isUsingGraphiteSystemTint());
}

TEST_F(QVUIConstantsServiceTest, TextShadows)
{
    QVUIConstantsService service(&center, &defaults, QStringLiteral("10.10"));
    const QVShadow base = service.defaultTextShadow();
    EXPECT_NEAR(base.color.redF(), 0.15, 0.002);
    EXPECT_NEAR(base.color.greenF(), 0.15, 0.002);
    EXPECT_NEAR(base.color.blueF(), 0.15, 0.002);
    EXPECT_DOUBLE_EQ(base.color.alphaF(), 1.0);
    // 1.5 above the text in y-down coordinates, sharp.
    EXPECT_EQ(base.offset, QSizeF(0.0, -1.5));
    EXPECT_EQ(base.blurRadius, 0.0);

    QVShadow half = service.defaultTextShadowWithAlpha(0.5f);
    EXPECT_NEAR(half.color.alphaF(), 0.5, 0.002);
    EXPECT_EQ(half.color.rgb(), base.color.rgb());
    EXPECT_EQ(half.offset, base.offset);
    EXPECT_EQ(half.blurRadius, base.blurRadius);

    // Each call hands out its own value: changing one leaves the next alone.
    half.color.setAlphaF(0.9f);
    EXPECT_NEAR(service.defaultTextShadowWithAlpha(0.5f).color.alphaF(), 0.5, 0.002);

    EXPECT_NEAR(service.defaultNowPlayingViewTextShadow().color.alphaF(), 0.25, 0.002);
    EXPECT_EQ(service.defaultTextShadowWithAlpha(1.5f).color.alphaF(), 1.0);
    EXPECT_EQ(service.defaultTextShadowWithAlpha(-1.0f).color.alphaF(), 0.0);
}

TEST_F(QVUIConstantsServiceTest, ShadowedWhiteTextColors)
{
    QVUIConstantsService service(&center, &defaults, QStringLiteral("10.10"));
    EXPECT_EQ(service.defaultShadowedWhiteTextColor(), QColor(255, 255, 255, 255));
    const QColor inactive = service.defaultInactiveShadowedWhiteTextColor();
    EXPECT_EQ(inactive.rgb(), QColor(Qt::white).rgb());
    EXPECT_NEAR(inactive.alphaF(), 0.7, 0.003);
}

} // namespace
