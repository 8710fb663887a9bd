#include "QVApplicationMain.h"

#include "QVDesktopAppDelegate.h"
#include "QVDesktopApplication.h"
#include "QVInterfaceBuilder.h"
#include "QVMprisService.h"
#include "QVPulseAudioOutput.h"
#include "QVPulseAudioSystemVolume.h"
#include "QVUIConstantsService.h"
#include "QVWebNavigationService.h"
#include "QVWebPlaybackService.h"
#include "QVWindowService.h"

#include <QByteArray>
#include <QDBusConnection>

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

    // The remote's volume buttons step the default output's volume.
    QVPulseAudioSystemVolume systemVolume(QVPulseAudioOutput::sharedInstance());
    QVSystemVolume::setCurrent(&systemVolume);

    // The page's player reports reach the playback service through the bridge.
    QVWebPlaybackService* playback = QVWebPlaybackService::sharedInstance();
    QVWebNavigationService::sharedInstance()->desktopScriptObject()->setPlaybackDelegate(playback);
    // The window service sits below playback: it reaches the flyout through these.
    QVWindowService::sharedInstance()->setFlyoutHooks([playback] { return playback->isQuickNowPlayingViewVisible(); },
                                                      [playback] { playback->showQuickNowPlayingWebView(); });

    QVDesktopAppDelegate delegate;
    application.setDelegate(&delegate);

    // Desktops, sound menus and playerctl drive the player over MPRIS.
    QVMprisService mpris(playback);
    QObject::connect(&mpris, &QVMprisService::raiseRequested, &delegate, &QVDesktopAppDelegate::showQuivWindow);
    QObject::connect(&mpris, &QVMprisService::quitRequested, &application, &QVDesktopApplication::terminate);
    mpris.registerOn(QDBusConnection::sessionBus());

    QVInterfaceBuilder builder(&application, &delegate);
    builder.build();
    application.watchTerminationSignals();
    application.finishLaunching();
    const int status = application.exec();
    QVSystemVolume::setCurrent(nullptr);
    return status;
}
