#pragma once

#include "QVPlayState.h"
#include "QVWebNavigationListener.h"
#include "QVWebPlaybackListener.h"

#include <QObject>
#include <QPointer>

#include <functional>

class QAction;
class QActionGroup;
class QVNotificationCenter;
class QVWebNavigationService;
class QVWebPlaybackService;

// Keeps the playback items of the menu bar in step with the player: which
// are enabled, the titles of play/pause, shuffle and sign-in/out, and the
// check mark of the repeat submenu.
class QVMainMenuController : public QObject, public QVWebNavigationListener, public QVWebPlaybackListener
{
    Q_OBJECT
public:
    // What it works with; nullptr means the process-wide one.
    struct Services {
        QVWebPlaybackService* playbackService = nullptr;
        QVWebNavigationService* navigationService = nullptr;
        QVNotificationCenter* notificationCenter = nullptr;
    };

    explicit QVMainMenuController(QObject* parent = nullptr);
    explicit QVMainMenuController(Services services, QObject* parent = nullptr);
    ~QVMainMenuController() override;

    // Outlets, filled by the interface builder before awakeFromNib; not owned.
    QPointer<QAction> playPauseMenuItem;
    QPointer<QAction> nextMenuItem;
    QPointer<QAction> previousMenuItem;
    QPointer<QAction> increaseVolumeMenuItem;
    QPointer<QAction> decreaseVolumeMenuItem;
    QPointer<QAction> shuffleMenuItem;
    // Its menu holds one item per repeat state, the state as the item's data.
    QPointer<QAction> repeatMenuItem;
    QPointer<QAction> authMenuItem;
    bool isPlaybackLoaded = false;
    bool isTextFieldFirstResponder = false;

    // Joins the services and sets the items' first state; once.
    void awakeFromNib();

    // The repeat submenu's three items, exclusive, for the builder to fill.
    QActionGroup* repeatGroup() const { return _repeatGroup; }
    void repeatStateNone();
    void repeatStateOne();
    void repeatStateAll();

    // QVWebNavigationListener
    void onUserLoggedIn() override;
    void onUserLoggedOut() override;

    // QVWebPlaybackListener
    void onPlaybackLoaded() override;
    void onPlaybackUnloaded() override;
    void playbackPlayStateChanged(QVPlayState state) override;
    void playbackRepeatChanged(int repeatState) override;
    void playbackShuffleChanged(bool shuffle) override;

    void _textFieldDidBecomeFirstResponder();
    void _textFieldDidResignFirstResponder();
    void _updateMenuItemEnabledStates();

    // Runs a menu's command through the event queue.
    void _post(std::function<void()> work);

private:
    void _setAuthAction(const char* title, void (QVWebNavigationService::*action)());

    Services _services;
    QActionGroup* _repeatGroup;
    QMetaObject::Connection _shuffleConnection;
    QMetaObject::Connection _authConnection;
    bool _awake = false;
};
