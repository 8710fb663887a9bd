#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

#include <unistd.h>

// One main for every test program: listing runs without an application (ctest
// discovers tests that way); a run gets a QApplication the web engine can use.
int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (GTEST_FLAG_GET(list_tests))
        return RUN_ALL_TESTS();

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
    // Settings, data and caches of a test run never touch the user's own.
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path() + QStringLiteral("/config")));
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.path() + QStringLiteral("/data")));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(home.path() + QStringLiteral("/cache")));
    qputenv("XDG_STATE_HOME", QFile::encodeName(home.path() + QStringLiteral("/state")));
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Quiv"));
    return RUN_ALL_TESTS();
}
