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
    setDefault("QT_QPA_PLATFORM", "offscreen");
    setDefault("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu --disable-background-networking");
    setDefault("QT_LOGGING_RULES", "qt.webenginecontext.info=false");
    setDefault("QUIV_DEMO_SERVICE", QUIV_DEMO_SERVICE_PATH);
    setDefault("QUIV_DEMO_ROOT", QUIV_DEMO_ROOT_PATH);

    static QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path() + QStringLiteral("/config")));
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.path() + QStringLiteral("/data")));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(home.path() + QStringLiteral("/cache")));
    qputenv("XDG_STATE_HOME", QFile::encodeName(home.path() + QStringLiteral("/state")));
}
