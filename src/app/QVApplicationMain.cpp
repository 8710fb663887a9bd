#include "QVApplicationMain.h"

#include "QVApplicationLauncher.h"
#include "QVCrashSignalHandler.h"
#include "QVDesktopApplication.h"
#include "QVLog.h"
#include "QVPaths.h"
#include "QVSingleInstance.h"

#include <QDBusConnection>
#include <QFile>
#include <QFileInfo>

#include <QIcon>

namespace {

// Before anything else, so a crash during start is caught too.
void installCrashSignalHandler()
{
    const QByteArray directory = QFile::encodeName(QVPaths::crashLogDirectory());
    // The reporter finds the logs by the executable's name.
    const QByteArray prefix = QFile::encodeName(
        QFileInfo(QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget()).fileName());
    if (!QVCrashSignalHandler::install(
            directory.constData(), prefix.isEmpty() ? "quiv" : prefix.constData(), QUIV_VERSION))
        QVLog("[WARNING] Crash logs cannot be written to %s", directory.constData());
}

} // namespace

int QVApplicationMain(int argc, char** argv)
{
    installCrashSignalHandler();
    QVApplicationLauncher::setEngineFlags();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QVDesktopApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Quiv"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUIV_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("com.quiv.desktop"));
    QGuiApplication::setWindowIcon(QIcon::fromTheme(
        QStringLiteral("com.quiv.desktop"), QIcon(QStringLiteral(":/icons/com.quiv.desktop.svg"))));

    // A second start hands its links to the running copy and ends.
    const QStringList urls = QVSingleInstance::urlsFromArguments(QCoreApplication::arguments());
    QVSingleInstance instance(QDBusConnection::sessionBus());
    if (instance.claim() == QVSingleInstance::Claim::Secondary)
        return instance.handOver(urls) ? 0 : 1;

    QVApplicationLauncher launcher(&application);
    launcher.launch();
    // The web engine is up now and may have taken the fatal signals for itself.
    if (const int replaced = QVCrashSignalHandler::reinstallIfReplaced())
        QVLog("[WARNING] The crash handler was replaced on %d signals; put back", replaced);
    launcher.openURLs(urls);
    return application.exec();
}
