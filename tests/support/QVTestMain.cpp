#include <gtest/gtest.h>

#include <QApplication>

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
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("XDG_CONFIG_HOME", QByteArray("/tmp/quiv-test-config-") + QByteArray::number(getpid()));
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Quiv"));
    return RUN_ALL_TESTS();
}
