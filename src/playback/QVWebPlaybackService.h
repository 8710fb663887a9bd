#pragma once

#include "QVAppleRemoteListenerDelegate.h"
#include "QVAudioHardwareEventListenerDelegate.h"
#include "QVDesktopPlaybackDelegate.h"
#include "QVWebNavigationListener.h"
#include "QVWebPlayerScriptObject.h"

#include <QList>
#include <QMetaObject>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <optional>

class QVAbstractWebView;
class QVAlbumArtHandler;
class QVAppleRemoteListener;
class QVAudioHardwareEventListener;
class QVAudioOutputMonitor;
class QVNotificationCenter;
class QVPlayStateSignal;
class QVSleepMonitor;
class QVSystemVolume;
class QVUserDefaults;
class QVWebNavigationService;
class QVWebPlaybackListener;

// The one native entry point to playback. Every native command (buttons,
// menus, media keys, the remote, D-Bus) becomes a script call on the page's
// player; state is answered from the mirror kept by the player bridge or read
// from the page; every change reaches the listeners in the order they were
// added. Main thread only.
class QVWebPlaybackService : public QVDesktopPlaybackDelegate,
                             public QVWebNavigationListener,
                             public QVAudioHardwareEventListenerDelegate,
                             public QVAppleRemoteListenerDelegate
{
public:
    // What the service works with; nullptr means the process-wide one (the
    // system volume is looked up at each use).
    struct Services {
        QVNotificationCenter* notificationCenter = nullptr;
        QVUserDefaults* userDefaults = nullptr;
        QVWebNavigationService* navigationService = nullptr;
        QVPlayStateSignal* playStateSignal = nullptr;
        QVSystemVolume* systemVolume = nullptr;
        QVAudioOutputMonitor* audioOutput = nullptr;
        QVSleepMonitor* sleepMonitor = nullptr;
    };

    QVWebPlaybackService();
    explicit QVWebPlaybackService(const Services& services);
    ~QVWebPlaybackService() override;
    QVWebPlaybackService(const QVWebPlaybackService&) = delete;
    QVWebPlaybackService& operator=(const QVWebPlaybackService&) = delete;

    static QVWebPlaybackService* sharedInstance();

    QVAbstractWebView* webView() const { return _webView; }
    void setWebView(QVAbstractWebView* webView);

    // Adding twice lists a listener twice; removing takes every entry out.
    void addWebPlaybackListener(QVWebPlaybackListener* listener);
    void removeWebPlaybackListener(QVWebPlaybackListener* listener);

    QVWebPlayerScriptObject* playerScriptObject() { return &_playerScriptObject; }
    QVAudioHardwareEventListener* audioHardwareListener() const { return _audioHardwareListener.get(); }
    QVAlbumArtHandler* albumArtHandler() const { return _albumArtHandler.get(); }

    // State.
    QVPlayState playState() const { return _playerScriptObject.playState(); }
    int repeatState() const { return _playerScriptObject.repeatState(); }
    bool shuffle() const { return _playerScriptObject.isShuffle(); }
    bool isMuted() const { return _playerScriptObject.isMuted(); }
    bool isPlayingRadioStation();
    bool isPlaybackLoaded() const { return _isContentReady; }
    bool isAuthenticated() const { return _isUserSignedIn; }
    // 0 to 100.
    unsigned int volumeLevel() const;
    bool isTrackInUsersCollection(unsigned int trackID);
    bool isAlbumInUsersCollection(unsigned int albumID);
    // Both reads for many songs and albums in one round trip: one flag per
    // identifier, in order. All false while the page is not ready or does not answer.
    struct CollectionMembership {
        QList<bool> tracks;
        QList<bool> albums;
    };
    CollectionMembership areInUsersCollection(
        const QList<unsigned int>& trackIDs, const QList<unsigned int>& albumIDs);
    // The same read on any page, ready or not.
    static CollectionMembership readCollectionMembership(
        QVAbstractWebView* webView, const QList<unsigned int>& trackIDs, const QList<unsigned int>& albumIDs);
    // The page's station objects; empty when the page has none or sends
    // something that is not a list of them.
    QVariantList availableRadioStations();
    QString serverInfoIsAddress();
    bool isMaster();
    bool isNotMaster();
    bool noKnownMaster();
    bool isQuickNowPlayingViewVisible() const { return false; }

    // The playing track. Name, key, artist and album refresh the mirror first
    // when it is playing and the field is still empty.
    QString playingTrackName();
    QString playingTrackKey();
    QString playingTrackArtist();
    QString playingTrackAlbum();
    QString playingTrackBaseIcon() const;
    QString playingTrackURL() const;
    QString playingTrackArtistURL() const;
    QString playingTrackAlbumURL() const;
    QString playingTrackElapsedTime();
    unsigned int playingTrackElapsedSeconds();
    unsigned int playingTrackDurationSeconds() const;
    unsigned int playingTrackRemainingSeconds();
    QString playingTrackDurationTime();
    QString playingTrackRemainingTime();

    // Seconds in the page's elapsed-time text ("3:07", "1:02:03"); odd text
    // gives 0, huge values stop at the unsigned limit.
    static unsigned int secondsFromElapsedTime(const QString& text);

    // What the transport controls show of the position and the station, read
    // with the same conversions as the single reads above.
    struct PositionReadout {
        bool isNotMaster = false;
        bool isPlayingRadioStation = false;
        QString elapsedTime;
        unsigned int elapsedSeconds = 0;
        unsigned int durationSeconds = 0;
        QString remainingTime;
        QString durationTime;
        bool operator==(const PositionReadout&) const = default;
    };
    // In one round trip to the page.
    PositionReadout readPositionDisplay();
    // One read per value, the elapsed text once for each value made from it.
    PositionReadout readPositionDisplayOneAtATime();

    // Commands: dropped while the page is not ready.
    void playPause();
    void playSource(const QString& sourceKey);
    void previousTrack();
    void nextTrack();
    void superSkip() { }
    void seek(unsigned int seconds);
    void toggleShuffleState();
    void setShuffleState(bool shuffle);
    void toggleRepeatState();
    void setRepeatState(int repeatState);
    void showQuickNowPlayingWebView();
    void setVolumeLevel(unsigned int level);
    void incrementVolumeLevel();
    void decrementVolumeLevel();
    void toggleMute() { }

    // Commands sent whether or not the page is ready.
    void switchRadioStation(const QVariantMap& station);
    void turnRadioStationOff();
    void addCurrentSongToCollection();
    void removeCurrentSongFromCollection();
    void syncCurrentSongToMobile();
    void removeCurrentSongFromMobile();

    // Reports from the two page bridges. Both report the same events: the
    // reports of one turn of the event queue make one refresh, and listeners
    // hear of each real change once.
    void playbackPlayingTrackChanged() override;
    void playbackPlayStateChanged(QVPlayState state) override;
    void playbackPositionChanged(float position) override;
    void playbackMuteChanged(bool muted);
    void playbackRepeatChanged(int repeatState) override;
    void playbackShuffleChanged(bool shuffle) override;
    // 0.0 to 1.0 as the page holds it.
    void playbackVolumeChanged(float volume) override;
    void onPlayerFlyoutToggled();
    void onRadioStationChanged(const QVariant& station);

    // QVWebNavigationListener
    void webViewFinishedLoading() override;
    void webViewDidStartLoading() override;
    void onWindowScriptObjectReady(QVAbstractWebView* webView) override;
    void onWindowScriptObjectShouldRemove(QVAbstractWebView* webView) override;
    void onNetworkConnectionAvailable() override;
    void onNetworkConnectionNotAvailable() override;
    void onDesktopScriptObjectInitialized() override;

    // QVAudioHardwareEventListenerDelegate
    void onDefaultAudioOutputChanged() override;
    void onSystemWillSleep() override;

    // A button of a remote (a QVRemoteButton); a hold acts like a press.
    void onButtonPressed(int button, bool isHold) override;

    static constexpr float kSystemVolumeStep = 0.0625f;
    static constexpr int kMaxSourceKeyLength = 256;
    static constexpr int kMaxElapsedTimeLength = 64;
    static constexpr int kMaxStationListLength = 1024 * 1024;
    static constexpr int kMaxStations = 1000;

    // Pauses without ever starting playback (unplugged headphones, sleep).
    void pause();
    // Starts or resumes without ever pausing (MPRIS Play): the page's own
    // state decides, not the mirror's.
    void play();

private:
    // What listeners were last told, to announce real changes only.
    struct Announced {
        QVTrack track;
        QVPlayState playState = QVPlayStateUnknown;
        int repeatState = -1;
        bool shuffle = false;
        float volume = -1.0f;
    };
    enum Report { TrackReport = 1, StateReport = 2, RepeatReport = 4, ShuffleReport = 8, VolumeReport = 16 };
    void _report(int report);
    void _flushReports();
    void _adoptAnnounced();
    void _notifyListeners(const std::function<void(QVWebPlaybackListener*)>& event);
    void _forceRefresh();
    void _postPlayStateChanged();
    void _sendCommand(const QString& script);
    void _sendCollectionCommand(const char* operation);
    QString _refreshedTrackField(QString (QVTrack::*field)() const);
    static QString _remainingTime(unsigned int remainingSeconds);
    void _userDidSignIn() { _isUserSignedIn = true; }
    void _userDidSignOut() { _isUserSignedIn = false; }
    void _onGlobalWebViewWillUpdate(QObject* object);
    QVSystemVolume* _systemVolume() const;

    QVAbstractWebView* _webView = nullptr;
    QMetaObject::Connection _webViewDestroyed;
    QVWebPlayerScriptObject _playerScriptObject;
    std::unique_ptr<QVAlbumArtHandler> _albumArtHandler;
    std::unique_ptr<QVAudioHardwareEventListener> _audioHardwareListener;
    std::unique_ptr<QVAppleRemoteListener> _remoteListener; // the shared service's only
    QList<QVWebPlaybackListener*> _playbackListeners;
    bool _isContentReady = false;
    bool _isUserSignedIn = false;
    int _pendingReports = 0;
    bool _flushQueued = false;
    // The page's values sent with the last report, and the mirror's refresh
    // count then: they stand for a refresh if none came since.
    QStringList _reportSnapshot;
    int _reportSnapshotAt = 0;
    Announced _announced;
    // The refresh's own position values, while listeners hear of it: their
    // updates then cost no second round trip.
    std::optional<QStringList> _refreshedPositionValues;
    // While listeners hear of a position: the first read is kept for the rest.
    bool _sharesPositionReads = false;
    class RefreshScope
    {
    public:
        RefreshScope(QVWebPlaybackService* service, bool answered);
        ~RefreshScope();
        RefreshScope(const RefreshScope&) = delete;
        RefreshScope& operator=(const RefreshScope&) = delete;

    private:
        QVWebPlaybackService* _service;
    };
    // Ties queued work to this service's life.
    QObject _context;

    QVNotificationCenter* _center;
    QVUserDefaults* _defaults;
    QVWebNavigationService* _navigationService;
    QVPlayStateSignal* _playStateSignal;
    QVSystemVolume* _volume;
};
