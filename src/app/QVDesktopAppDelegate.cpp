#include "QVDesktopAppDelegate.h"

#include "QVAboutWindow.h"
#include "QVConstants.h"
#include "QVDockMenu.h"
#include "QVLocalizedString.h"
#include "QVLog.h"
#include "QVMainPlayerWindow2.h"
#include "QVMiniPlayerWindow.h"
#include "QVNoticeService.h"
#include "QVNotificationCenter.h"
#include "QVPaths.h"
#include "QVUserDefaults.h"
#include "QVUtils.h"
#include "QVWebNavigationService.h"
#include "QVWebPlaybackService.h"
#include "QVWindow.h"
#include "QVWindowService.h"

#include <QAction>
#include <QDir>

namespace {
constexpr int kShutdownPollInterval = 500;

// Media-key codes, from data1's top half.
constexpr int kKeyPlay = 16;
constexpr int kKeyNext = 17;
constexpr int kKeyPrevious = 18;
constexpr int kKeyFast = 19;
constexpr int kKeyRewind = 20;

QString name(const char* constant)
{
    return QString::fromLatin1(constant);
}
} // namespace

QVDesktopAppDelegate::QVDesktopAppDelegate(QObject* parent)
    : QVDesktopAppDelegate(Services { nullptr, nullptr, nullptr, nullptr, nullptr }, parent)
{
}

QVDesktopAppDelegate::QVDesktopAppDelegate(Services services, QObject* parent)
    : QObject(parent)
    , _services(services)
{
    if (!_services.windowService)
        _services.windowService = QVWindowService::sharedInstance();
    if (!_services.navigationService)
        _services.navigationService = QVWebNavigationService::sharedInstance();
    if (!_services.playbackService)
        _services.playbackService = QVWebPlaybackService::sharedInstance();
    if (!_services.notificationCenter)
        _services.notificationCenter = QVNotificationCenter::defaultCenter();
    if (!_services.userDefaults)
        _services.userDefaults = QVUserDefaults::standardUserDefaults();

    _shutdownPollTimer.setInterval(kShutdownPollInterval);
    connect(&_shutdownPollTimer, &QTimer::timeout, this, &QVDesktopAppDelegate::_pollWebShutdown);
}

QVDesktopAppDelegate::~QVDesktopAppDelegate()
{
    _services.notificationCenter->removeObserver(this);
    _services.navigationService->removeWebNavigationListener(this);
}

void QVDesktopAppDelegate::applicationWillFinishLaunching()
{
    _services.userDefaults->registerDefaults(
        { { name(QVShouldShowWelcomeWindowKey), true }, { name(QVPauseOnDeviceUnplugKey), true } });
    // Updates come from the package manager: there is nothing to check.
    if (checkForUpdatesMenuItem)
        checkForUpdatesMenuItem->setVisible(false);
    shouldShutdown = false;
}

void QVDesktopAppDelegate::applicationDidFinishLaunching()
{
    // Local storage and the album-art cache live here; a failure is not fatal.
    QDir().mkpath(QVPaths::supportDirectory());

    for (QAction* item : { appMenuItem.data(), aboutMenuItem.data(), hideMenuItem.data(), quitMenuItem.data(),
             mainWindowMenuItem.data(), supportMenuItem.data(), welcomeMenuItem.data() })
        _ensureMenuItemBundleName(item);

    QVNoticeService::sharedInstance();

    QVNotificationCenter* center = _services.notificationCenter;
    center->addObserver(this, name(QVWindowServiceWindowChangedNotification),
        [this](const QVNotification&) { _onWindowTypeChanged(); });
    center->addObserver(
        this, name(QVUserDidSignInNotification), [this](const QVNotification&) { _onUserDidSignIn(); });
    center->addObserver(
        this, name(QVUserDidSignOutNotification), [this](const QVNotification&) { _onUserDidSignOut(); });

    itunesPollTickCount = 0;

    _services.windowService->setMainPlayerWindow(mainPlayerWindow2.data(), miniPlayerWindow.data());
    _services.windowService->showCurrentWindow();

    shouldShowMiniPlayerAfterFlyout = false;

    // Only the sign-in handlers decide whether matching is available.
    if (matchCollectionMenuItem)
        matchCollectionMenuItem->setEnabled(false);

    mediaKeyTap = std::make_unique<SPMediaKeyTap>(this);
    if (SPMediaKeyTap::usesGlobalMediaKeyTap()) {
        _services.userDefaults->registerDefaults({ { name(QVApplicationsNeedingMediaKeysKey),
            SPMediaKeyTap::defaultMediaKeyUserBundleIdentifiers() } });
        mediaKeyTap->startWatchingMediaKeys();
    }
}

QVTerminateReply QVDesktopAppDelegate::applicationShouldTerminate()
{
    if (_services.windowService->currentWindowType() != QVMainPlayerWindowType)
        return QVTerminateReply::TerminateNow;
    if (_shutdownPollTimer.isActive())
        return QVTerminateReply::TerminateLater; // already waiting

    _services.navigationService->addWebNavigationListener(this);
    _services.windowService->shutdown();
    _shutdownClock.start();
    _shutdownPollTimer.start();
    return QVTerminateReply::TerminateLater;
}

void QVDesktopAppDelegate::applicationWillTerminate()
{
    // The settings daemon keeps the keys for us until told otherwise.
    if (mediaKeyTap)
        mediaKeyTap->stopWatchingMediaKeys();
    const QRectF frame = miniPlayerWindow ? QRectF(miniPlayerWindow->geometry()) : QRectF();
    _services.userDefaults->setValue(QVStringFromRect(frame), name(QVMiniPlayerFrameKey));
    _services.userDefaults->synchronize();
}

bool QVDesktopAppDelegate::applicationShouldHandleReopen(bool hasVisibleWindows)
{
    if (!hasVisibleWindows)
        _services.windowService->showCurrentWindow();
    return true;
}

QVDockMenu* QVDesktopAppDelegate::applicationDockMenu()
{
    return new QVDockMenu(QString(), nullptr, _services.playbackService);
}

void QVDesktopAppDelegate::mediaKeyTapReceivedMediaKeyEvent(SPMediaKeyTap*, const SPMediaKeyEvent& event)
{
    // Both callers filter first; anything else is a programming error, but
    // never a reason to stop the player.
    if (event.type != SPMediaKeyEvent::kSystemDefinedType
        || event.subtype != SPMediaKeyEvent::kMediaKeySubtype) {
        QVLog("[ERROR] Unexpected event in mediaKeyTap:receivedMediaKeyEvent: (type %d, subtype %d)",
            event.type, int(event.subtype));
        Q_ASSERT_X(false, "QVDesktopAppDelegate::mediaKeyTap", "Unexpected event");
        return;
    }
    const int keyCode = int((event.data1 & 0xFFFF0000u) >> 16);
    if ((event.data1 & 0xFF00u) != 0x0A00u)
        return; // only key-down
    const bool isRepeat = (event.data1 & 0x1u) != 0;

    const char* notification = nullptr;
    switch (keyCode) {
    case kKeyPlay:
        // Held down, a toggle would flip many times a second; the skips repeat.
        if (isRepeat)
            return;
        notification = QVPlayButtonPressedNotification;
        break;
    case kKeyNext:
    case kKeyFast:
        notification = QVForwardButtonPressedNotification;
        break;
    case kKeyPrevious:
    case kKeyRewind:
        notification = QVRewindButtonPressedNotification;
        break;
    default:
        return;
    }
    _services.notificationCenter->postNotificationName(name(notification), this);
}

void QVDesktopAppDelegate::webViewFinishedLoading()
{
    shouldShutdown = true;
}

void QVDesktopAppDelegate::showAboutDialog()
{
    if (!aboutWindow)
        return;
    aboutWindow->show();
    aboutWindow->raise();
    aboutWindow->activateWindow();
}

void QVDesktopAppDelegate::switchWindowMode()
{
    if (_services.windowService->currentWindowType() == QVMiniPlayerWindowType)
        _services.windowService->showMainPlayerWindow();
    else
        _services.windowService->showMiniPlayerWindow();
}

void QVDesktopAppDelegate::showQuivWindow()
{
    _services.windowService->showMainPlayerWindow();
}

void QVDesktopAppDelegate::focusSearchField()
{
    if (_services.windowService->currentWindowType() == QVMainPlayerWindowType && mainPlayerWindow2)
        mainPlayerWindow2->focusSearchField();
}

void QVDesktopAppDelegate::showNowPlayingWebView()
{
    QVWebPlaybackService* playback = _services.playbackService;
    if (_services.windowService->currentWindowType() == QVMiniPlayerWindowType) {
        _showMainPlayer();
        shouldShowMiniPlayerAfterFlyout = true;
        playback->showQuickNowPlayingWebView();
        return;
    }
    if (shouldShowMiniPlayerAfterFlyout && playback->isQuickNowPlayingViewVisible()) {
        _showMiniPlayer();
        shouldShowMiniPlayerAfterFlyout = false;
        return;
    }
    shouldShowMiniPlayerAfterFlyout = false;
    playback->showQuickNowPlayingWebView();
}

void QVDesktopAppDelegate::_showMainPlayer()
{
    _services.windowService->showMainPlayerWindow();
}

void QVDesktopAppDelegate::_showMiniPlayer()
{
    _services.windowService->showMiniPlayerWindow();
}

void QVDesktopAppDelegate::_ensureMenuItemBundleName(QAction* item)
{
    if (item)
        item->setText(QVStringWithBundleName(item->text()));
}

void QVDesktopAppDelegate::_onWindowTypeChanged()
{
    if (!windowSwitchMenuItem)
        return;
    windowSwitchMenuItem->setText(_services.windowService->currentWindowType() == QVMiniPlayerWindowType
            ? QVLocalizedString("Switch from Mini Player")
            : QVLocalizedString("Switch to Mini Player"));
}

void QVDesktopAppDelegate::_onUserDidSignIn()
{
    if (matchCollectionMenuItem)
        matchCollectionMenuItem->setEnabled(true);
}

void QVDesktopAppDelegate::_onUserDidSignOut()
{
    if (matchCollectionMenuItem)
        matchCollectionMenuItem->setEnabled(false);
    if (matchCollectionWindow)
        matchCollectionWindow->hide();
}

void QVDesktopAppDelegate::_pollWebShutdown()
{
    if (!shouldShutdown) {
        // A page whose blank load never finishes must not keep us from quitting.
        if (_shutdownClock.elapsed() < _shutdownTimeLimit)
            return;
        QVLog("[WARNING] The page did not unload within %d ms; quitting anyway", _shutdownTimeLimit);
    }
    _shutdownPollTimer.stop();
    _services.navigationService->removeWebNavigationListener(this);
    emit replyToApplicationShouldTerminate(true);
}
