#include "QVApplicationMain.h"

#include "QVApplicationLauncher.h"
#include "QVDesktopApplication.h"
#include "QVSingleInstance.h"

#include <QDBusConnection>

#include <QIcon>

int QVApplicationMain(int argc, char** argv)
{
    QVApplicationLauncher::setEngineFlags();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QVDesktopApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Quiv"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUIV_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("com.quiv.desktop"));
    QGuiApplication::setWindowIcon(
        QIcon::fromTheme(QStringLiteral("com.quiv.desktop"), QIcon(QStringLiteral(":/icons/com.quiv.desktop.svg"))));

    // A second start hands its links to the running copy and ends.
    const QStringList urls = QVSingleInstance::urlsFromArguments(QCoreApplication::arguments());
    QVSingleInstance instance(QDBusConnection::sessionBus());
    if (instance.claim() == QVSingleInstance::Claim::Secondary)
        return instance.handOver(urls) ? 0 : 1;

    QVApplicationLauncher launcher(&application);
    launcher.launch();
    launcher.openURLs(urls);
    return application.exec();
}
