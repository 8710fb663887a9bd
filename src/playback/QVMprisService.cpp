#include "QVMprisService.h"

#include "QVAbstractWebView.h"
#include "QVAlbumArtHandler.h"
#include "QVLog.h"
#include "QVMprisPlayerAdaptor.h"
#include "QVMprisRootAdaptor.h"
#include "QVWebPlaybackService.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QUrl>

#include <algorithm>
#include <cmath>

namespace {
const QString kPlayerInterface = QStringLiteral("org.mpris.MediaPlayer2.Player");
constexpr int kMaxUriLength = 2048;
constexpr int kMaxTrackIdKeyLength = 256;
constexpr double kMicroseconds = 1e6;
} // namespace

QVMprisService::QVMprisService(QVWebPlaybackService* playback, QObject* parent)
    : QObject(parent)
    , _playback(playback)
    , _root(new QVMprisRootAdaptor(this))
    , _player(new QVMprisPlayerAdaptor(this))
    , _bus(QString())
{
    _positionClock.start();
    // The art first: the handler then has the new track's art before we announce the track.
    _playback->albumArtHandler()->addAlbumArtListener(this);
    _playback->addWebPlaybackListener(this);
}

QVMprisService::~QVMprisService()
{
    _playback->removeWebPlaybackListener(this);
    _playback->albumArtHandler()->removeAlbumArtListener(this);
    if (_bus.isConnected()) {
        _bus.unregisterObject(QString::fromLatin1(kObjectPath));
        if (!_serviceName.isEmpty())
            _bus.unregisterService(_serviceName);
    }
}

bool QVMprisService::registerOn(const QDBusConnection& bus)
{
    if (!bus.isConnected()) {
        QVLog("[WARNING] No session bus: the desktop will not see the player (MPRIS)");
        return false;
    }
    _bus = bus;
    if (!_bus.registerObject(QString::fromLatin1(kObjectPath), this, QDBusConnection::ExportAdaptors)) {
        QVLog("[WARNING] MPRIS object not exported: %s", qPrintable(_bus.lastError().message()));
        return false;
    }
    // A second copy of the program takes a name of its own, as MPRIS asks.
    _requestName({ QString::fromLatin1(kServiceName),
        QStringLiteral("%1.instance%2")
            .arg(QString::fromLatin1(kServiceName))
            .arg(QCoreApplication::applicationPid()) });
    return true;
}

void QVMprisService::_requestName(QStringList names)
{
    // Asked without waiting: a slow bus must not hold up the start.
    const QString name = names.takeFirst();
    constexpr uint kDoNotQueue = 0x4; // DBUS_NAME_FLAG_DO_NOT_QUEUE
    auto* watcher = new QDBusPendingCallWatcher(
        _bus.interface()->asyncCall(QStringLiteral("RequestName"), name, kDoNotQueue), this);
    connect(
        watcher, &QDBusPendingCallWatcher::finished, this, [this, name, names](QDBusPendingCallWatcher* w) {
            w->deleteLater();
            const QDBusPendingReply<uint> reply = *w;
            constexpr uint kPrimaryOwner = 1; // DBUS_REQUEST_NAME_REPLY_PRIMARY_OWNER
            if (!reply.isError() && reply.value() == kPrimaryOwner) {
                _serviceName = name;
                _sentProperties.clear();
            } else if (!names.isEmpty()) {
                _requestName(names);
            } else {
                QVLog("[WARNING] MPRIS name not taken: %s",
                    reply.isError() ? qPrintable(reply.error().message()) : "another program holds it");
            }
        });
}

// Properties ---------------------------------------------------------------------

bool QVMprisService::_isPlaying() const
{
    const QVPlayState state = _playback->playState();
    return state == QVPlayStatePlaying || state == QVPlayStateBuffering;
}

QString QVMprisService::playbackStatus() const
{
    if (_isPlaying())
        return QStringLiteral("Playing");
    return _playback->playState() == QVPlayStatePaused ? QStringLiteral("Paused") : QStringLiteral("Stopped");
}

QString QVMprisService::loopStatus() const
{
    switch (_playback->repeatState()) {
    case QVRepeatStateOne:
        return QStringLiteral("Track");
    case QVRepeatStateAll:
        return QStringLiteral("Playlist");
    default:
        return QStringLiteral("None");
    }
}

bool QVMprisService::shuffle() const
{
    return _playback->shuffle();
}

double QVMprisService::volume() const
{
    return _playback->volumeLevel() / 100.0;
}

QDBusObjectPath QVMprisService::trackIdForKey(const QString& key)
{
    if (key.isEmpty())
        return QDBusObjectPath(QString::fromLatin1(kNoTrack));
    // Object paths allow [A-Za-z0-9_] only: everything else is written as _XX.
    QString element;
    for (char byte : key.left(kMaxTrackIdKeyLength).toUtf8()) {
        const auto c = static_cast<unsigned char>(byte);
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
            element.append(QLatin1Char(char(c)));
        else
            element.append(QStringLiteral("_%1").arg(c, 2, 16, QLatin1Char('0')));
    }
    return QDBusObjectPath(QStringLiteral("/com/quiv/desktop/track/") + element);
}

QDBusObjectPath QVMprisService::trackId() const
{
    return trackIdForKey(_playback->playerScriptObject()->playingTrack()->trackKey());
}

QVariantMap QVMprisService::metadata() const
{
    // The mirror's fields as they are: no refresh while a client reads.
    const QVTrack* track = _playback->playerScriptObject()->playingTrack();
    QVariantMap map { { QStringLiteral("mpris:trackid"), QVariant::fromValue(trackId()) } };
    if (track->trackKey().isEmpty())
        return map;
    map.insert(QStringLiteral("mpris:length"), qlonglong(track->duration()) * qlonglong(kMicroseconds));
    if (!track->trackName().isEmpty())
        map.insert(QStringLiteral("xesam:title"), track->trackName());
    if (!track->artist().isEmpty())
        map.insert(QStringLiteral("xesam:artist"), QStringList { track->artist() });
    if (!track->album().isEmpty())
        map.insert(QStringLiteral("xesam:album"), track->album());
    if (!track->url().isEmpty()) {
        // The page gives the track's address relative to its own.
        const QVAbstractWebView* webView = _playback->webView();
        const QUrl url = webView ? webView->mainFrameURL().resolved(QUrl(track->url())) : QUrl(track->url());
        if (url.isValid() && !url.isRelative())
            map.insert(QStringLiteral("xesam:url"), url.toString());
    }
    // The cached art as a file of its own, only while it is the playing track's.
    const QVAlbumArtHandler* art = _playback->albumArtHandler();
    if (!art->currentAlbumArtFileURL().isEmpty() && art->currentBaseIcon() == track->baseIcon())
        map.insert(QStringLiteral("mpris:artUrl"), art->currentAlbumArtFileURL().toString());
    return map;
}

double QVMprisService::_estimatedPosition() const
{
    double seconds = _positionBase;
    if (_positionAdvances)
        seconds += _positionClock.elapsed() / 1000.0;
    const unsigned int duration = _playback->playingTrackDurationSeconds();
    if (duration > 0)
        seconds = std::min(seconds, double(duration));
    return std::max(0.0, seconds);
}

void QVMprisService::_rebasePosition(double seconds)
{
    _positionBase = std::isfinite(seconds) ? std::max(0.0, seconds) : 0.0;
    _positionClock.restart();
}

qlonglong QVMprisService::position() const
{
    return qlonglong(std::llround(_estimatedPosition() * kMicroseconds));
}

bool QVMprisService::canGoNext() const
{
    return _playback->isPlaybackLoaded()
        && !_playback->playerScriptObject()->playingTrack()->trackKey().isEmpty();
}

bool QVMprisService::canSeek() const
{
    return canGoNext() && _playback->playingTrackDurationSeconds() > 0;
}

// Commands -----------------------------------------------------------------------

void QVMprisService::next()
{
    _playback->nextTrack();
}

void QVMprisService::previous()
{
    _playback->previousTrack();
}

void QVMprisService::pause()
{
    // Never a toggle: a pause must not start playback.
    _playback->pause();
}

void QVMprisService::playPause()
{
    _playback->playPause();
}

void QVMprisService::stop()
{
    // The page has no stop of its own; stopped and paused look alike here.
    pause();
}

void QVMprisService::play()
{
    // Never a toggle on what the mirror last heard: it may be stale.
    _playback->play();
}

void QVMprisService::seek(qlonglong offset)
{
    if (!canSeek())
        return;
    const double target = _estimatedPosition() + double(offset) / kMicroseconds;
    if (target > double(_playback->playingTrackDurationSeconds())) {
        _playback->nextTrack();
        return;
    }
    _playback->seek(unsigned(std::max(0.0, target)));
}

void QVMprisService::setPosition(const QDBusObjectPath& track, qlonglong position)
{
    // Only for the track that plays, and only within it.
    if (!canSeek() || track != trackId() || position < 0
        || position > qlonglong(_playback->playingTrackDurationSeconds()) * qlonglong(kMicroseconds))
        return;
    _playback->seek(unsigned(position / qlonglong(kMicroseconds)));
}

void QVMprisService::openUri(const QString& uri)
{
    const QUrl url(uri.left(kMaxUriLength + 1), QUrl::StrictMode);
    if (uri.size() > kMaxUriLength || !url.isValid() || url.scheme() != u"quiv") {
        QVLog("[WARNING] MPRIS OpenUri ignored: not a quiv address");
        return;
    }
    emit openUriRequested(url.toString());
}

void QVMprisService::setLoopStatus(const QString& status)
{
    if (status == u"None")
        _playback->setRepeatState(QVRepeatStateNone);
    else if (status == u"Track")
        _playback->setRepeatState(QVRepeatStateOne);
    else if (status == u"Playlist")
        _playback->setRepeatState(QVRepeatStateAll);
    else
        QVLog("[WARNING] MPRIS LoopStatus ignored: unknown value");
}

void QVMprisService::setShuffle(bool shuffle)
{
    _playback->setShuffleState(shuffle);
}

void QVMprisService::setVolume(double volume)
{
    if (!std::isfinite(volume))
        return;
    _playback->setVolumeLevel(unsigned(std::lround(std::clamp(volume, 0.0, 1.0) * 100.0)));
}

// Changes ------------------------------------------------------------------------

void QVMprisService::_emitPlayerChanges()
{
    if (_serviceName.isEmpty())
        return;
    const QVariantMap now {
        { QStringLiteral("PlaybackStatus"), playbackStatus() },
        { QStringLiteral("LoopStatus"), loopStatus() },
        { QStringLiteral("Shuffle"), shuffle() },
        { QStringLiteral("Volume"), volume() },
        { QStringLiteral("Metadata"), metadata() },
        { QStringLiteral("CanGoNext"), canGoNext() },
        { QStringLiteral("CanGoPrevious"), canGoPrevious() },
        { QStringLiteral("CanPlay"), canPlay() },
        { QStringLiteral("CanPause"), canPause() },
        { QStringLiteral("CanSeek"), canSeek() },
    };
    QVariantMap changed;
    for (auto it = now.begin(); it != now.end(); ++it)
        if (!_sentProperties.contains(it.key()) || _sentProperties.value(it.key()) != it.value())
            changed.insert(it.key(), it.value());
    _sentProperties = now;
    if (changed.isEmpty())
        return;
    QDBusMessage signal = QDBusMessage::createSignal(QString::fromLatin1(kObjectPath),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("PropertiesChanged"));
    signal << kPlayerInterface << changed << QStringList();
    _bus.send(signal);
}

void QVMprisService::playbackPlayingTrackChanged()
{
    // A new track starts from its own beginning: no Seeked for that.
    _rebasePosition(_playback->playerScriptObject()->sourcePosition());
    _emitPlayerChanges();
}

void QVMprisService::playbackPlayStateChanged(QVPlayState)
{
    _rebasePosition(_estimatedPosition());
    _positionAdvances = _isPlaying();
    _emitPlayerChanges();
}

void QVMprisService::playbackRepeatChanged(int)
{
    _emitPlayerChanges();
}

void QVMprisService::playbackShuffleChanged(bool)
{
    _emitPlayerChanges();
}

void QVMprisService::playbackVolumeChanged(float)
{
    _emitPlayerChanges();
}

void QVMprisService::playbackPositionChanged(float fraction)
{
    const double reported = double(fraction) * _playback->playingTrackDurationSeconds();
    const bool jumped = std::abs(reported - _estimatedPosition()) > kSeekTolerance;
    _rebasePosition(reported);
    if (jumped && !_serviceName.isEmpty())
        emit _player->Seeked(position());
}

void QVMprisService::onPlaybackLoaded()
{
    _emitPlayerChanges();
}

void QVMprisService::onPlaybackUnloaded()
{
    // Inside the engine's load callback: no page reads here.
    _emitPlayerChanges();
}

void QVMprisService::onPlaybackOffline()
{
    _emitPlayerChanges();
}

void QVMprisService::onAlbumArtAvailable(const QImage&)
{
    _emitPlayerChanges();
}
