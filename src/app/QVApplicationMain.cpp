#include "QVApplicationMain.h"

#include "QVDesktopAppDelegate.h"
#include "QVDesktopApplication.h"
#include "QVInterfaceBuilder.h"
#include "QVUIConstantsService.h"
#include "QVWebNavigationService.h"
#include "QVWebPlaybackService.h"

#include <QByteArray>

namespace {
// The engine must not register a media player of its own on the session bus:
// ours is the one desktops should list. Set before the engine starts.
void setEngineFlags()
{
    QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    const QByteArray feature = "HardwareMediaKeyHandling";
    const QByteArray key = "--disable-features=";
    const qsizetype at = flags.indexOf(key);
    if (at >= 0)
        flags.insert(at + key.size(), feature + ',');
    else
        flags += (flags.isEmpty() ? "" : " ") + key + feature;
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags);
}
} // namespace

int QVApplicationMain(int argc, char** argv)
{
    setEngineFlags();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QVDesktopApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Quiv"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUIV_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("com.quiv.desktop"));

    QVUIConstantsService::sharedInstance()->applyEnvironment();

    // The page's player reports reach the playback service through the bridge.
    QVWebNavigationService::sharedInstance()->desktopScriptObject()->setPlaybackDelegate(
        QVWebPlaybackService::sharedInstance());

    QVDesktopAppDelegate delegate;
    application.setDelegate(&delegate);
    QVInterfaceBuilder builder(&application, &delegate);
    builder.build();
    application.watchTerminationSignals();
    application.finishLaunching();
    return application.exec();
}
