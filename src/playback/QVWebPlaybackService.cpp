#include "QVWebPlaybackService.h"

#include "QVAbstractWebView.h"
#include "QVAlbumArtHandler.h"
#include "QVAppleRemoteListener.h"
#include "QVAudioHardwareEventListener.h"
#include "QVConstants.h"
#include "QVEventQueue.h"
#include "QVLog.h"
#include "QVNotificationCenter.h"
#include "QVPlayStateSignal.h"
#include "QVRemoteButton.h"
#include "QVScriptValue.h"
#include "QVSystemVolume.h"
#include "QVTextValue.h"
#include "QVUserDefaults.h"
#include "QVUtils.h"
#include "QVWebNavigationService.h"
#include "QVWebPlaybackListener.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QObject>

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace {
const QString kPlayerScriptObjectName = QStringLiteral("PlayerScriptObject");

QString name(const char* constant)
{
    return QString::fromLatin1(constant);
}
} // namespace

QVWebPlaybackService::QVWebPlaybackService()
    : QVWebPlaybackService(Services())
{
    // The process's own service takes the remote; services built for tests do not.
    _remoteListener = std::make_unique<QVAppleRemoteListener>(this);
    _remoteListener->startListening();
}

QVWebPlaybackService::QVWebPlaybackService(const Services& services)
    : _playerScriptObject(this)
    , _center(
          services.notificationCenter ? services.notificationCenter : QVNotificationCenter::defaultCenter())
    , _defaults(services.userDefaults ? services.userDefaults : QVUserDefaults::standardUserDefaults())
    , _navigationService(
          services.navigationService ? services.navigationService : QVWebNavigationService::sharedInstance())
    , _playStateSignal(
          services.playStateSignal ? services.playStateSignal : QVPlayStateSignal::sharedInstance())
    , _volume(services.systemVolume)
{
    // The shared pool; the cache under $XDG_CACHE_HOME.
    QVAlbumArtHandler::Services art;
    art.notificationCenter = _center;
    _albumArtHandler = std::make_unique<QVAlbumArtHandler>(this, art);
    _audioHardwareListener
        = std::make_unique<QVAudioHardwareEventListener>(this, services.audioOutput, services.sleepMonitor);
    _navigationService->addWebNavigationListener(this);

    _center->addObserver(
        this, name(QVPlayButtonPressedNotification), [this](const QVNotification&) { playPause(); });
    _center->addObserver(
        this, name(QVRewindButtonPressedNotification), [this](const QVNotification&) { previousTrack(); });
    _center->addObserver(
        this, name(QVForwardButtonPressedNotification), [this](const QVNotification&) { nextTrack(); });
    _center->addObserver(
        this, name(QVUserDidSignOutNotification), [this](const QVNotification&) { _userDidSignOut(); });
    _center->addObserver(
        this, name(QVUserDidSignInNotification), [this](const QVNotification&) { _userDidSignIn(); });
    // The window service hands out the one web view this way: it sits below
    // playback and cannot call us.
    _center->addObserver(this, name(QVGlobalWebViewWillUpdateNotification),
        [this](const QVNotification& n) { _onGlobalWebViewWillUpdate(n.object); });
}

QVWebPlaybackService::~QVWebPlaybackService()
{
    // It leaves the listener list on its way out: the list must still be there.
    _albumArtHandler.reset();
    _center->removeObserver(this);
    _navigationService->removeWebNavigationListener(this);
    QObject::disconnect(_webViewDestroyed);
}

QVWebPlaybackService* QVWebPlaybackService::sharedInstance()
{
    static auto* service = new QVWebPlaybackService();
    return service;
}

void QVWebPlaybackService::_onGlobalWebViewWillUpdate(QObject* object)
{
    if (auto* webView = dynamic_cast<QVAbstractWebView*>(object))
        setWebView(webView);
}

void QVWebPlaybackService::setWebView(QVAbstractWebView* webView)
{
    if (webView == _webView)
        return;
    QObject::disconnect(_webViewDestroyed);
    _webView = webView;
    _playerScriptObject.setWebView(webView);
    // Reports that change the mirror bring its values along: a play/pause key
    // reaches the listeners without a read after the page's report.
    if (webView) {
        QStringList calls;
        for (const QString& object : { kPlayerScriptObjectName, QStringLiteral("DesktopScriptObject") })
            for (const char* method : { "onPlayingTrackChanged", "onPlayStateChanged", "onRepeatChanged",
                     "onShuffleChanged", "onVolumeChanged" })
                calls.append(object + QLatin1Char('.') + QString::fromLatin1(method));
        webView->setReportSnapshot(QVWebPlayerScriptObject::refreshScripts(), calls);
    }
    // The window owns the view: forget it when it goes.
    if (auto* object = dynamic_cast<QObject*>(webView))
        _webViewDestroyed = QObject::connect(object, &QObject::destroyed, [this] {
            _webView = nullptr;
            _playerScriptObject.setWebView(nullptr);
            _isContentReady = false;
        });
}

QVSystemVolume* QVWebPlaybackService::_systemVolume() const
{
    return _volume ? _volume : QVSystemVolume::current();
}

void QVWebPlaybackService::addWebPlaybackListener(QVWebPlaybackListener* listener)
{
    if (listener)
        _playbackListeners.append(listener);
}

void QVWebPlaybackService::removeWebPlaybackListener(QVWebPlaybackListener* listener)
{
    _playbackListeners.removeAll(listener);
}

void QVWebPlaybackService::_notifyListeners(const std::function<void(QVWebPlaybackListener*)>& event)
{
    // Over a copy, in order: a listener that leaves (or goes away) during a
    // callback must not break the walk, and is not called once it has left.
    const QList<QVWebPlaybackListener*> listeners = _playbackListeners;
    for (QVWebPlaybackListener* listener : listeners)
        if (_playbackListeners.contains(listener))
            event(listener);
}

void QVWebPlaybackService::_forceRefresh()
{
    _playerScriptObject.forceRefreshProperties();
}

QVWebPlaybackService::RefreshScope::RefreshScope(QVWebPlaybackService* service, bool answered)
    : _service(service)
{
    if (answered && service->_webView)
        service->_refreshedPositionValues = service->_playerScriptObject.positionDisplayValues();
}

QVWebPlaybackService::RefreshScope::~RefreshScope()
{
    _service->_refreshedPositionValues.reset();
}

void QVWebPlaybackService::_postPlayStateChanged()
{
    _playStateSignal->post();
}

// State ---------------------------------------------------------------------

bool QVWebPlaybackService::isPlayingRadioStation()
{
    return _playerScriptObject.isPlayingRadioStation();
}

unsigned int QVWebPlaybackService::volumeLevel() const
{
    const float volume = _playerScriptObject.volume();
    if (!std::isfinite(volume))
        return 0;
    // Rounded: 0.29 held as a float is 28.999...
    return unsigned(std::lround(std::clamp(volume * 100.0f, 0.0f, 100.0f)));
}

bool QVWebPlaybackService::isTrackInUsersCollection(unsigned int trackID)
{
    if (!_isContentReady || !_webView)
        return false;
    return _webView->javascriptBoolValue(QStringLiteral("Q.Library.contains('t', [%1])").arg(trackID));
}

bool QVWebPlaybackService::isAlbumInUsersCollection(unsigned int albumID)
{
    if (!_isContentReady || !_webView)
        return false;
    return _webView->javascriptBoolValue(QStringLiteral("Q.Library.contains('a', [%1])").arg(albumID));
}

QVWebPlaybackService::CollectionMembership QVWebPlaybackService::areInUsersCollection(
    const QList<unsigned int>& trackIDs, const QList<unsigned int>& albumIDs)
{
    if (!_isContentReady || !_webView)
        return { QList<bool>(trackIDs.size(), false), QList<bool>(albumIDs.size(), false) };
    return readCollectionMembership(_webView, trackIDs, albumIDs);
}

QVWebPlaybackService::CollectionMembership QVWebPlaybackService::readCollectionMembership(
    QVAbstractWebView* webView, const QList<unsigned int>& trackIDs, const QList<unsigned int>& albumIDs)
{
    CollectionMembership membership { QList<bool>(trackIDs.size(), false),
        QList<bool>(albumIDs.size(), false) };
    if (!webView || (trackIDs.isEmpty() && albumIDs.isEmpty()))
        return membership;
    QStringList expressions;
    for (const unsigned int id : trackIDs)
        expressions.append(QStringLiteral("Q.Library.contains('t', [%1])").arg(id));
    for (const unsigned int id : albumIDs)
        expressions.append(QStringLiteral("Q.Library.contains('a', [%1])").arg(id));
    const QStringList results = webView->evaluateBatch(expressions);
    if (results.size() != expressions.size())
        return membership; // no answer: nothing is marked
    for (qsizetype i = 0; i < trackIDs.size(); ++i)
        membership.tracks[i] = results.at(i) == QLatin1String("true");
    for (qsizetype i = 0; i < albumIDs.size(); ++i)
        membership.albums[i] = results.at(trackIDs.size() + i) == QLatin1String("true");
    return membership;
}

QVariantList QVWebPlaybackService::availableRadioStations()
{
    if (!_webView)
        return {};
    const QString text = _webView->javascriptStringValue(QStringLiteral("JSON.stringify(Q.stationList)"));
    if (text.size() > kMaxStationListLength) {
        QVLog("[WARNING] Station list ignored: %lld characters", qlonglong(text.size()));
        return {};
    }
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(text.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !document.isArray()) {
        QVLog("[WARNING] Station list is not a JSON array: %s",
            qPrintable(error.error != QJsonParseError::NoError ? error.errorString()
                                                               : QStringLiteral("other value")));
        return {};
    }
    QVariantList stations;
    for (const QJsonValue& station : document.array()) {
        if (!station.isObject())
            continue;
        if (stations.size() == kMaxStations)
            break;
        stations.append(station.toObject().toVariantMap());
    }
    return stations;
}

QString QVWebPlaybackService::serverInfoIsAddress()
{
    if (!_webView)
        return {};
    return _webView
        ->javascriptStringValue(QStringLiteral("window.Q && Q.serverInfo && Q.serverInfo.get('is_address')"))
        .left(QVTrack::kMaxFieldLength);
}

bool QVWebPlaybackService::isMaster()
{
    return _webView
        && _webView->javascriptBoolValue(QStringLiteral("window.Q && Q.player && Q.player.isMaster()"));
}

bool QVWebPlaybackService::isNotMaster()
{
    return _webView
        && _webView->javascriptBoolValue(QStringLiteral("window.Q && Q.player && Q.player.isNotMaster()"));
}

bool QVWebPlaybackService::noKnownMaster()
{
    return _webView
        && _webView->javascriptBoolValue(QStringLiteral("window.Q && Q.player && Q.player.noKnownMaster()"));
}

// The playing track ------------------------------------------------------------

QString QVWebPlaybackService::_refreshedTrackField(QString (QVTrack::*field)() const)
{
    const QVTrack* track = _playerScriptObject.playingTrack();
    if (playState() == QVPlayStatePlaying && (track->*field)().isEmpty())
        _playerScriptObject.forceRefreshProperties();
    return (track->*field)();
}

QString QVWebPlaybackService::playingTrackName()
{
    return _refreshedTrackField(&QVTrack::trackName);
}

QString QVWebPlaybackService::playingTrackKey()
{
    return _refreshedTrackField(&QVTrack::trackKey);
}

QString QVWebPlaybackService::playingTrackArtist()
{
    return _refreshedTrackField(&QVTrack::artist);
}

QString QVWebPlaybackService::playingTrackAlbum()
{
    return _refreshedTrackField(&QVTrack::album);
}

QString QVWebPlaybackService::playingTrackBaseIcon() const
{
    return _playerScriptObject.playingTrack()->baseIcon();
}

QString QVWebPlaybackService::playingTrackURL() const
{
    return _playerScriptObject.playingTrack()->url();
}

QString QVWebPlaybackService::playingTrackArtistURL() const
{
    return _playerScriptObject.playingTrack()->artistURL();
}

QString QVWebPlaybackService::playingTrackAlbumURL() const
{
    return _playerScriptObject.playingTrack()->albumURL();
}

QString QVWebPlaybackService::playingTrackElapsedTime()
{
    if (!_isContentReady || !_webView)
        return {};
    return _webView->javascriptStringValue(QStringLiteral("window.$ && $('.time').text()"))
        .left(kMaxElapsedTimeLength + 1);
}

unsigned int QVWebPlaybackService::secondsFromElapsedTime(const QString& text)
{
    // The page's own text: anything can be in it. Longer than any time is odd.
    if (text.isEmpty() || text.size() > kMaxElapsedTimeLength)
        return 0;
    const QStringList parts = text.split(QLatin1Char(':'));
    // At most 33 parts fit the length: 60^32 is far inside a double.
    double total = 0.0;
    double multiplier = 1.0;
    for (auto it = parts.crbegin(); it != parts.crend(); ++it) {
        total += double(QVTextValue::intValue(*it)) * multiplier;
        multiplier *= 60.0;
    }
    if (!(total > 0.0))
        return 0;
    if (total >= double(std::numeric_limits<unsigned int>::max()))
        return std::numeric_limits<unsigned int>::max();
    return unsigned(total);
}

unsigned int QVWebPlaybackService::playingTrackElapsedSeconds()
{
    if (!_isContentReady)
        return 0;
    return secondsFromElapsedTime(playingTrackElapsedTime());
}

unsigned int QVWebPlaybackService::playingTrackDurationSeconds() const
{
    return _playerScriptObject.playingTrack()->duration();
}

unsigned int QVWebPlaybackService::playingTrackRemainingSeconds()
{
    if (!_isContentReady)
        return 0;
    const unsigned int duration = playingTrackDurationSeconds();
    const unsigned int elapsed = playingTrackElapsedSeconds();
    // Past the end (a late duration, a long last second) is nothing left.
    return elapsed < duration ? duration - elapsed : 0;
}

QString QVWebPlaybackService::playingTrackDurationTime()
{
    if (!_isContentReady)
        return {};
    return QVUtils::stringWithSeconds(playingTrackDurationSeconds());
}

QString QVWebPlaybackService::playingTrackRemainingTime()
{
    if (!_isContentReady)
        return {};
    return _remainingTime(playingTrackRemainingSeconds());
}

QString QVWebPlaybackService::_remainingTime(unsigned int remainingSeconds)
{
    if (remainingSeconds == 0)
        return QStringLiteral("");
    return QStringLiteral("-") + QVUtils::stringWithSeconds(remainingSeconds);
}

QVWebPlaybackService::PositionReadout QVWebPlaybackService::readPositionDisplay()
{
    // While listeners hear of a refresh, its own reads answer: no second trip.
    QStringList values;
    if (_refreshedPositionValues)
        values = *_refreshedPositionValues;
    else if (_webView) {
        values = _webView->evaluateBatch(QVWebPlayerScriptObject::positionDisplayScripts());
        if (_sharesPositionReads && values.size() == QVWebPlayerScriptObject::positionDisplayScripts().size())
            _refreshedPositionValues = values;
    }
    // No page or no answer reads as the single reads would: all empty.
    values.resize(QVWebPlayerScriptObject::positionDisplayScripts().size());

    PositionReadout readout;
    readout.durationSeconds = playingTrackDurationSeconds();
    readout.isNotMaster = QVTextValue::boolValue(values[0]);
    readout.isPlayingRadioStation = QVTextValue::boolValue(values[1]);
    if (!_isContentReady)
        return readout;
    if (_webView)
        readout.elapsedTime = values[2].left(kMaxElapsedTimeLength + 1);
    readout.elapsedSeconds = secondsFromElapsedTime(readout.elapsedTime);
    const unsigned int duration = readout.durationSeconds;
    readout.remainingTime
        = _remainingTime(readout.elapsedSeconds < duration ? duration - readout.elapsedSeconds : 0);
    readout.durationTime = QVUtils::stringWithSeconds(duration);
    return readout;
}

QVWebPlaybackService::PositionReadout QVWebPlaybackService::readPositionDisplayOneAtATime()
{
    PositionReadout readout;
    readout.isNotMaster = isNotMaster();
    readout.elapsedSeconds = playingTrackElapsedSeconds();
    readout.durationSeconds = playingTrackDurationSeconds();
    readout.remainingTime = playingTrackRemainingTime();
    readout.durationTime = playingTrackDurationTime();
    readout.elapsedTime = playingTrackElapsedTime();
    readout.isPlayingRadioStation = isPlayingRadioStation();
    return readout;
}

// Commands ---------------------------------------------------------------------

void QVWebPlaybackService::_sendCommand(const QString& script)
{
    if (!_isContentReady || !_webView)
        return;
    _webView->executeJavascript(script);
}

void QVWebPlaybackService::playPause()
{
    _sendCommand(QStringLiteral("Q.player.togglePause();"));
}

void QVWebPlaybackService::pause()
{
    // The mirror may be stale: a toggle could start the music as the lid
    // closes. The page's own state decides, and only a playing player stops.
    _sendCommand(QStringLiteral("if (Q.player.pause) Q.player.pause(); "
                                "else if (Q.player.playState() == 1 || Q.player.playState() == 3) "
                                "Q.player.togglePause();"));
}

void QVWebPlaybackService::play()
{
    _sendCommand(QStringLiteral(
        "if (Q.player.playState() != 1 && Q.player.playState() != 3) Q.player.togglePause();"));
}

void QVWebPlaybackService::playSource(const QString& sourceKey)
{
    if (!_isContentReady || !_webView)
        return;
    if (sourceKey.size() > kMaxSourceKeyLength) {
        QVLog("[WARNING] Source key ignored: %lld characters", qlonglong(sourceKey.size()));
        return;
    }
    // The key may come from another program: a literal, never raw text.
    _webView->javascriptStringValue(
        QStringLiteral("Q.player.play({'source':%1});").arg(QVScriptValue::literal(sourceKey)));
}

void QVWebPlaybackService::previousTrack()
{
    _sendCommand(QStringLiteral("Q.player.previous();"));
}

void QVWebPlaybackService::nextTrack()
{
    _sendCommand(QStringLiteral("Q.player.next();"));
}

void QVWebPlaybackService::seek(unsigned int seconds)
{
    _sendCommand(QStringLiteral("Q.player.position(%1)").arg(seconds));
}

void QVWebPlaybackService::toggleShuffleState()
{
    _sendCommand(QStringLiteral("Q.player.shuffle(!Q.player.shuffle());"));
}

void QVWebPlaybackService::setShuffleState(bool shuffle)
{
    _sendCommand(QStringLiteral("Q.player.shuffle(%1)")
                     .arg(shuffle ? QStringLiteral("true") : QStringLiteral("false")));
}

void QVWebPlaybackService::toggleRepeatState()
{
    _sendCommand(QStringLiteral("window.$ && $('.repeat').click();"));
}

void QVWebPlaybackService::setRepeatState(int repeatState)
{
    _sendCommand(QStringLiteral("Q.player.repeat(%1)").arg(repeatState));
}

void QVWebPlaybackService::showQuickNowPlayingWebView()
{
    if (_isUserSignedIn)
        _sendCommand(QStringLiteral("window.$ && $('.queue').click();"));
}

void QVWebPlaybackService::setVolumeLevel(unsigned int level)
{
    // Above 100 the page would be asked for more than its full volume.
    const float volume = float(std::min(level, 100u)) / 100.0f;
    _sendCommand(QString::asprintf("Q.player.volume(%f)", double(volume)));
}

void QVWebPlaybackService::incrementVolumeLevel()
{
    setVolumeLevel(std::min(volumeLevel() + 5, 100u));
}

void QVWebPlaybackService::decrementVolumeLevel()
{
    const unsigned int level = volumeLevel();
    setVolumeLevel(level > 5 ? level - 5 : 0);
}

void QVWebPlaybackService::switchRadioStation(const QVariantMap& station)
{
    if (!_webView)
        return;
    const QByteArray json
        = QJsonDocument(QJsonObject::fromVariantMap(station)).toJson(QJsonDocument::Compact);
    _webView->executeJavascript(QStringLiteral("setStation(%1)").arg(QString::fromUtf8(json)));
}

void QVWebPlaybackService::turnRadioStationOff()
{
    if (_webView && isPlayingRadioStation())
        _webView->executeJavascript(QStringLiteral("setStation(null)"));
}

void QVWebPlaybackService::_sendCollectionCommand(const char* operation)
{
    if (!_webView)
        return;
    const QString key = playingTrackKey();
    if (key.isEmpty())
        return;
    // One key, as a string literal, in a one-element array.
    _webView->executeJavascript(QStringLiteral("Q.currentUser.collection.%1([%2]);")
                                    .arg(QString::fromLatin1(operation), QVScriptValue::literal(key)));
}

void QVWebPlaybackService::addCurrentSongToCollection()
{
    _sendCollectionCommand("add");
}

void QVWebPlaybackService::removeCurrentSongFromCollection()
{
    _sendCollectionCommand("remove");
}

void QVWebPlaybackService::syncCurrentSongToMobile()
{
    _sendCollectionCommand("offlineAdd");
}

void QVWebPlaybackService::removeCurrentSongFromMobile()
{
    _sendCollectionCommand("offlineRemove");
}

// Reports from the page ----------------------------------------------------------

void QVWebPlaybackService::playbackPlayingTrackChanged()
{
    _report(TrackReport);
}

void QVWebPlaybackService::playbackPlayStateChanged(QVPlayState)
{
    _report(StateReport);
}

void QVWebPlaybackService::_report(int report)
{
    _pendingReports |= report;
    // The last report of the turn decides: one without the page's values
    // (or a refresh since) means the flush reads them.
    _reportSnapshot = _webView ? _webView->reportSnapshot() : QStringList();
    _reportSnapshotAt = _playerScriptObject.refreshCount();
    if (_flushQueued)
        return;
    _flushQueued = true;
    // Behind whatever the page sent in the same turn: the other bridge's
    // report of the same change joins this one.
    QVEventQueue::sharedInstance()->enqueue(&_context, [this] { _flushReports(); });
}

void QVWebPlaybackService::_flushReports()
{
    _flushQueued = false;
    if (std::exchange(_pendingReports, 0) == 0)
        return;
    const QStringList snapshot = std::exchange(_reportSnapshot, {});
    const bool fresh = !snapshot.isEmpty() && _reportSnapshotAt == _playerScriptObject.refreshCount();
    const RefreshScope scope(this,
        fresh ? _playerScriptObject.adoptSnapshot(snapshot) : _playerScriptObject.forceRefreshProperties());

    const QVTrack& track = *_playerScriptObject.playingTrack();
    const bool trackChanged = !(track == _announced.track);
    const bool stateChanged = playState() != _announced.playState;
    const bool repeatChanged = repeatState() != _announced.repeatState;
    const bool shuffleChanged = shuffle() != _announced.shuffle;
    const bool volumeChanged = _playerScriptObject.volume() != _announced.volume;
    _adoptAnnounced();

    if (trackChanged)
        _notifyListeners([](QVWebPlaybackListener* l) { l->playbackPlayingTrackChanged(); });
    if (stateChanged) {
        const QVPlayState state = playState();
        _notifyListeners([state](QVWebPlaybackListener* l) { l->playbackPlayStateChanged(state); });
    }
    if (repeatChanged) {
        const int repeat = repeatState();
        _notifyListeners([repeat](QVWebPlaybackListener* l) { l->playbackRepeatChanged(repeat); });
    }
    if (shuffleChanged) {
        const bool value = shuffle();
        _notifyListeners([value](QVWebPlaybackListener* l) { l->playbackShuffleChanged(value); });
    }
    if (volumeChanged) {
        const float level = _playerScriptObject.volume() * 100.0f;
        _notifyListeners([level](QVWebPlaybackListener* l) { l->playbackVolumeChanged(level); });
    }
    if (trackChanged || stateChanged)
        _postPlayStateChanged();
}

void QVWebPlaybackService::_adoptAnnounced()
{
    _announced.track = *_playerScriptObject.playingTrack();
    _announced.playState = playState();
    _announced.repeatState = repeatState();
    _announced.shuffle = shuffle();
    _announced.volume = _playerScriptObject.volume();
}

void QVWebPlaybackService::playbackPositionChanged(float position)
{
    // Every listener that shows the position reads it from one batch.
    _sharesPositionReads = true;
    _notifyListeners([position](QVWebPlaybackListener* l) { l->playbackPositionChanged(position); });
    _sharesPositionReads = false;
    _refreshedPositionValues.reset();
}

void QVWebPlaybackService::playbackMuteChanged(bool muted)
{
    _notifyListeners([muted](QVWebPlaybackListener* l) { l->playbackMuteChanged(muted); });
}

void QVWebPlaybackService::playbackRepeatChanged(int)
{
    _report(RepeatReport);
}

void QVWebPlaybackService::playbackShuffleChanged(bool)
{
    _report(ShuffleReport);
}

void QVWebPlaybackService::playbackVolumeChanged(float)
{
    _report(VolumeReport);
}

void QVWebPlaybackService::onPlayerFlyoutToggled()
{
    _notifyListeners([](QVWebPlaybackListener* l) { l->onPlayerFlyoutToggled(); });
}

void QVWebPlaybackService::onRadioStationChanged(const QVariant& station)
{
    _notifyListeners([&station](QVWebPlaybackListener* l) { l->onRadioStationChanged(station); });
}

// Page lifecycle -------------------------------------------------------------------

void QVWebPlaybackService::webViewFinishedLoading()
{
    _isContentReady = true;
    // The page as loaded is the starting point: a first report that finds
    // the same track announces nothing, one that finds another does.
    const RefreshScope scope(this, _playerScriptObject.forceRefreshProperties());
    _adoptAnnounced();
    _notifyListeners([](QVWebPlaybackListener* l) { l->onPlaybackLoaded(); });
}

void QVWebPlaybackService::webViewDidStartLoading()
{
    _isContentReady = false;
    _notifyListeners([](QVWebPlaybackListener* l) { l->onPlaybackUnloaded(); });
}

void QVWebPlaybackService::onDesktopScriptObjectInitialized()
{
    _isContentReady = true;
    _forceRefresh();
    _adoptAnnounced();
}

void QVWebPlaybackService::onNetworkConnectionNotAvailable()
{
    _isContentReady = false;
    _notifyListeners([](QVWebPlaybackListener* l) { l->onPlaybackOffline(); });
}

void QVWebPlaybackService::onNetworkConnectionAvailable()
{
    _isContentReady = true;
    _notifyListeners([](QVWebPlaybackListener* l) { l->onPlaybackLoaded(); });
}

void QVWebPlaybackService::onWindowScriptObjectReady(QVAbstractWebView* webView)
{
    // Inside the engine's load callback: install only, no reads.
    if (webView && webView == _webView)
        webView->setScriptObject(kPlayerScriptObjectName, &_playerScriptObject);
}

void QVWebPlaybackService::onWindowScriptObjectShouldRemove(QVAbstractWebView* webView)
{
    if (webView)
        webView->setScriptObject(kPlayerScriptObjectName, nullptr);
}

// Automatic pauses and the remote ------------------------------------------------------

void QVWebPlaybackService::onDefaultAudioOutputChanged()
{
    // Each test in turn; the first that fails ends it.
    if (!_defaults->boolForKey(name(QVPauseOnDeviceUnplugKey)))
        return;
    if (_audioHardwareListener->isAudioOutputHeadphoneJack())
        return;
    if (playState() != QVPlayStatePlaying && playState() != QVPlayStateBuffering)
        return;
    if (!isMaster())
        return;
    pause();
}

void QVWebPlaybackService::onSystemWillSleep()
{
    if (isMaster() && (playState() == QVPlayStatePlaying || playState() == QVPlayStateBuffering))
        pause();
}

void QVWebPlaybackService::onButtonPressed(int button, bool isHold)
{
    (void)isHold; // a held button acts once, like a press
    switch (button) {
    case QVRemoteButtonVolumeUp:
        _systemVolume()->setSystemVolume(_systemVolume()->systemVolume() + kSystemVolumeStep);
        break;
    case QVRemoteButtonVolumeDown:
        _systemVolume()->setSystemVolume(_systemVolume()->systemVolume() - kSystemVolumeStep);
        break;
    case QVRemoteButtonPlay:
        playPause();
        break;
    case QVRemoteButtonNext:
        nextTrack();
        break;
    case QVRemoteButtonPrevious:
        previousTrack();
        break;
    default:
        break;
    }
}
