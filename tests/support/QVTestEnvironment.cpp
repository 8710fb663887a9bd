#include "QVTestEnvironment.h"

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>

#include <unistd.h>

void QVPrepareTestEnvironment()
{
    // The engine refuses to start its sandbox as root; only tests turn it off.
    if (geteuid() == 0)
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    const auto setDefault = [](const char* name, const QByteArray& value) {
        if (qEnvironmentVariableIsEmpty(name))
            qputenv(name, value);
    };
    setDefault("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu --disable-background-networking");
    setDefault("QT_LOGGING_RULES", "qt.webenginecontext.info=false");
    setDefault("QUIV_DEMO_SERVICE", QUIV_DEMO_SERVICE_PATH);
    setDefault("QUIV_DEMO_ROOT", QUIV_DEMO_ROOT_PATH);

    static QTemporaryDir home;
    // Offscreen, on a screen the size of a laptop's rather than the default
    // 800 by 800, so windows keep the sizes they ask for.
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (platform.isEmpty() || platform == "offscreen") {
        QFile config(home.filePath(QStringLiteral("offscreen.json")));
        if (config.open(QIODevice::WriteOnly)) {
            config.write(R"({"screens": [{"name": "Screen", "x": 0, "y": 0, "width": 1920, "height": 1080,)"
                         R"( "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
            config.close();
            qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(config.fileName()));
        } else {
            qputenv("QT_QPA_PLATFORM", "offscreen");
        }
    }
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path() + QStringLiteral("/config")));
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.path() + QStringLiteral("/data")));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(home.path() + QStringLiteral("/cache")));
    qputenv("XDG_STATE_HOME", QFile::encodeName(home.path() + QStringLiteral("/state")));
}
