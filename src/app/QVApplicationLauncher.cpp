#include "QVApplicationLauncher.h"

#include "QVDesktopAppDelegate.h"
#include "QVDesktopApplication.h"
#include "QVInterfaceBuilder.h"
#include "QVMprisService.h"
#include "QVNavigationController.h"
#include "QVPulseAudioOutput.h"
#include "QVPulseAudioSystemVolume.h"
#include "QVScriptingService.h"
#include "QVUIConstantsService.h"
#include "QVWebNavigationService.h"
#include "QVWebPlaybackService.h"
#include "QVWindowService.h"

#include <QByteArray>
#include <QDBusConnection>

QVApplicationLauncher::QVApplicationLauncher(QVDesktopApplication* application)
    : _application(application)
{
}

QVApplicationLauncher::~QVApplicationLauncher()
{
    QVSystemVolume::setCurrent(nullptr);
    if (_application->delegate() == _delegate.get())
        _application->setDelegate(nullptr);
}

void QVApplicationLauncher::setEngineFlags()
{
    // The engine must not register a media player of its own on the session
    // bus: ours is the one desktops should list.
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

void QVApplicationLauncher::launch()
{
    QVUIConstantsService::sharedInstance()->applyEnvironment();

    // The remote's volume buttons step the default output's volume.
    _systemVolume = std::make_unique<QVPulseAudioSystemVolume>(QVPulseAudioOutput::sharedInstance());
    QVSystemVolume::setCurrent(_systemVolume.get());

    // The page's player reports reach the playback service through the bridge.
    QVWebPlaybackService* playback = QVWebPlaybackService::sharedInstance();
    QVWebNavigationService::sharedInstance()->desktopScriptObject()->setPlaybackDelegate(playback);
    // The window service sits below playback: it reaches the flyout through these.
    QVWindowService::sharedInstance()->setFlyoutHooks([playback] { return playback->isQuickNowPlayingViewVisible(); },
                                                      [playback] { playback->showQuickNowPlayingWebView(); });

    _delegate = std::make_unique<QVDesktopAppDelegate>();
    _application->setDelegate(_delegate.get());

    // Desktops, sound menus and playerctl drive the player over MPRIS.
    _mpris = std::make_unique<QVMprisService>(playback);
    QObject::connect(_mpris.get(), &QVMprisService::raiseRequested, _delegate.get(),
                     &QVDesktopAppDelegate::showQuivWindow);
    QObject::connect(_mpris.get(), &QVMprisService::quitRequested, _application, &QVDesktopApplication::terminate);
    _mpris->registerOn(QDBusConnection::sessionBus());

    // Links from other programs: MPRIS OpenUri, and our own service's Open
    // (desktops and a second start), both routed by the navigation controller.
    QVNavigationController* navigation = QVNavigationController::sharedInstance();
    QObject::connect(
        _mpris.get(), &QVMprisService::openUriRequested, navigation, &QVNavigationController::handleURLLoad);
    _scripting = std::make_unique<QVScriptingService>(playback);
    QObject::connect(_scripting.get(), &QVScriptingService::openURLRequested, navigation,
                     &QVNavigationController::handleURLLoad);
    QObject::connect(_scripting.get(), &QVScriptingService::activateRequested, _delegate.get(),
                     [] { QVWindowService::sharedInstance()->showCurrentWindow(); });
    _scripting->registerOn(QDBusConnection::sessionBus());

    _builder = std::make_unique<QVInterfaceBuilder>(_application, _delegate.get());
    _builder->build();
    _application->watchTerminationSignals();
    _application->finishLaunching();
}

void QVApplicationLauncher::openURLs(const QStringList& urls)
{
    for (const QString& url : urls)
        QVNavigationController::sharedInstance()->postURLLoad(url);
}
