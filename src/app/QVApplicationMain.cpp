#include "QVApplicationMain.h"

#include "QVApplicationLauncher.h"
#include "QVDesktopApplication.h"

int QVApplicationMain(int argc, char** argv)
{
    QVApplicationLauncher::setEngineFlags();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QVDesktopApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Quiv"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUIV_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("com.quiv.desktop"));

    QVApplicationLauncher launcher(&application);
    launcher.launch();
    return application.exec();
}
