#include "QVApplicationMain.h"

#include "QVApplicationLauncher.h"
#include "QVDesktopApplication.h"

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

    QVApplicationLauncher launcher(&application);
    launcher.launch();
    return application.exec();
}
