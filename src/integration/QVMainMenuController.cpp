#include "QVMainMenuController.h"

#include "QVConstants.h"
#include "QVEventQueue.h"
#include "QVLocalizedString.h"
#include "QVNotificationCenter.h"
#include "QVWebNavigationService.h"
#include "QVWebPlaybackService.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>

QVMainMenuController::QVMainMenuController(QObject* parent)
    : QVMainMenuController(Services {}, parent)
{
}

QVMainMenuController::QVMainMenuController(Services services, QObject* parent)
    : QObject(parent)
    , _services(services)
    , _repeatGroup(new QActionGroup(this))
{
    if (!_services.playbackService)
        _services.playbackService = QVWebPlaybackService::sharedInstance();
    if (!_services.navigationService)
        _services.navigationService = QVWebNavigationService::sharedInstance();
    if (!_services.notificationCenter)
        _services.notificationCenter = QVNotificationCenter::defaultCenter();
    _repeatGroup->setExclusive(true);
    connect(_repeatGroup, &QActionGroup::triggered, this, [this](QAction* item) {
        const int state = item->data().toInt();
        _post([this, state] { _services.playbackService->setRepeatState(state); });
    });
}

QVMainMenuController::~QVMainMenuController()
{
    if (!_awake)
        return;
    _services.notificationCenter->removeObserver(this);
    _services.navigationService->removeWebNavigationListener(this);
    _services.playbackService->removeWebPlaybackListener(this);
}

void QVMainMenuController::awakeFromNib()
{
    if (_awake)
        return;
    _awake = true;
    isPlaybackLoaded = false;
    isTextFieldFirstResponder = false;
    _services.navigationService->addWebNavigationListener(this);
    _services.playbackService->addWebPlaybackListener(this);
    _updateMenuItemEnabledStates();

    if (shuffleMenuItem) {
        QVWebPlaybackService* playback = _services.playbackService;
        _shuffleConnection = connect(shuffleMenuItem, &QAction::triggered, this,
            [this, playback] { _post([playback] { playback->toggleShuffleState(); }); });
    }
    _services.notificationCenter->addObserver(this,
        QString::fromLatin1(QVTextFieldDidBecomeFirstResponderNotification),
        [this](const QVNotification&) { _textFieldDidBecomeFirstResponder(); });
    _services.notificationCenter->addObserver(this,
        QString::fromLatin1(QVTextFieldDidResignFirstResponderNotification),
        [this](const QVNotification&) { _textFieldDidResignFirstResponder(); });
}

void QVMainMenuController::_post(std::function<void()> work)
{
    // A global menu delivers clicks over D-Bus, possibly while a read waits.
    QVEventQueue::sharedInstance()->post(this, std::move(work));
}

void QVMainMenuController::repeatStateNone()
{
    _services.playbackService->setRepeatState(QVRepeatStateNone);
}

void QVMainMenuController::repeatStateOne()
{
    _services.playbackService->setRepeatState(QVRepeatStateOne);
}

void QVMainMenuController::repeatStateAll()
{
    _services.playbackService->setRepeatState(QVRepeatStateAll);
}

void QVMainMenuController::_updateMenuItemEnabledStates()
{
    // Play/pause works from a text field; next and previous keys would be
    // the field's own.
    const bool loaded = isPlaybackLoaded;
    for (QAction* item : { playPauseMenuItem.data(), increaseVolumeMenuItem.data(),
             decreaseVolumeMenuItem.data(), shuffleMenuItem.data(), repeatMenuItem.data() })
        if (item)
            item->setEnabled(loaded);
    for (QAction* item : { nextMenuItem.data(), previousMenuItem.data() })
        if (item)
            item->setEnabled(loaded && !isTextFieldFirstResponder);
}

void QVMainMenuController::onPlaybackLoaded()
{
    isPlaybackLoaded = true;
    _updateMenuItemEnabledStates();
}

void QVMainMenuController::onPlaybackUnloaded()
{
    isPlaybackLoaded = false;
    _updateMenuItemEnabledStates();
}

void QVMainMenuController::_textFieldDidBecomeFirstResponder()
{
    isTextFieldFirstResponder = true;
    _updateMenuItemEnabledStates();
}

void QVMainMenuController::_textFieldDidResignFirstResponder()
{
    isTextFieldFirstResponder = false;
    _updateMenuItemEnabledStates();
}

void QVMainMenuController::playbackPlayStateChanged(QVPlayState state)
{
    if (!playPauseMenuItem)
        return;
    if (state == QVPlayStatePlaying)
        playPauseMenuItem->setText(QVLocalizedString("Pause"));
    else if (state == QVPlayStatePaused)
        playPauseMenuItem->setText(QVLocalizedString("Play"));
}

void QVMainMenuController::playbackRepeatChanged(int repeatState)
{
    for (QAction* item : _repeatGroup->actions())
        item->setChecked(false);
    for (QAction* item : _repeatGroup->actions())
        if (item->data().toInt() == repeatState)
            item->setChecked(true);
}

void QVMainMenuController::playbackShuffleChanged(bool shuffle)
{
    if (shuffleMenuItem)
        shuffleMenuItem->setText(
            shuffle ? QVLocalizedString("Turn Off Shuffle") : QVLocalizedString("Turn On Shuffle"));
}

void QVMainMenuController::_setAuthAction(const char* title, void (QVWebNavigationService::*action)())
{
    if (!authMenuItem)
        return;
    authMenuItem->setText(QVLocalizedString(title));
    disconnect(_authConnection);
    QVWebNavigationService* navigation = _services.navigationService;
    _authConnection = connect(authMenuItem, &QAction::triggered, this,
        [this, navigation, action] { _post([navigation, action] { (navigation->*action)(); }); });
}

void QVMainMenuController::onUserLoggedIn()
{
    _setAuthAction("Sign Out", &QVWebNavigationService::gotoSignOut);
}

void QVMainMenuController::onUserLoggedOut()
{
    _setAuthAction("Sign In", &QVWebNavigationService::gotoSignIn);
}
