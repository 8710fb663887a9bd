#include "QVScriptingService.h"

#include "QVAddCurrentSongToCollectionScriptCommand.h"
#include "QVApplescriptTrack.h"
#include "QVConstants.h"
#include "QVDBusPropertiesAdaptor.h"
#include "QVDesktopScriptingAdaptor.h"
#include "QVEventQueue.h"
#include "QVLog.h"
#include "QVNextTrackScriptCommand.h"
#include "QVOpenApplicationAdaptor.h"
#include "QVPauseScriptCommand.h"
#include "QVPlayPauseScriptCommand.h"
#include "QVPlayScriptCommand.h"
#include "QVPreviousTrackScriptCommand.h"
#include "QVRemoveCurrentSongFromCollectionScriptCommand.h"
#include "QVRemoveCurrentSongFromMobileScriptCommand.h"
#include "QVSyncCurrentSongToMobileScriptCommand.h"
#include "QVWebPlaybackService.h"

#include <QDBusMessage>

#include <algorithm>
#include <cmath>

namespace {
constexpr int kMaxURLLength = 32 * 1024;
} // namespace

QVScriptingService::QVScriptingService(QVWebPlaybackService* playback, QObject* parent)
    : QObject(parent)
    , _playback(playback)
    , _track(new QVApplescriptTrack(playback, this))
    , _bus(QString())
{
    new QVDesktopScriptingAdaptor(this);
    new QVOpenApplicationAdaptor(this);
    // Property writes as calls, so a setter can refuse a value with an error.
    new QVDBusPropertiesAdaptor(this);
}

QVScriptingService::~QVScriptingService()
{
    if (_bus.isConnected()) {
        _bus.unregisterObject(QString::fromLatin1(QVApplescriptTrack::kObjectPath));
        _bus.unregisterObject(QString::fromLatin1(QVDBusObjectPath));
    }
}

bool QVScriptingService::registerOn(const QDBusConnection& bus)
{
    if (!bus.isConnected())
        return false; // said once at start, where the program looks for another copy
    _bus = bus;
    if (!_bus.registerObject(QString::fromLatin1(QVDBusObjectPath), this, QDBusConnection::ExportAdaptors)
        || !_bus.registerObject(
            QString::fromLatin1(QVApplescriptTrack::kObjectPath), _track, QDBusConnection::ExportAdaptors)) {
        QVLog("[WARNING] Scripting service not exported: %s", qPrintable(_bus.lastError().message()));
        return false;
    }
    return true;
}

// Answers and refusals -----------------------------------------------------------

bool QVScriptingService::_refuse(const QString& message)
{
    QVLog("[WARNING] Scripting call refused: %s", qPrintable(message));
    if (calledFromDBus())
        sendErrorReply(QDBusError::InvalidArgs, message);
    return false;
}

void QVScriptingService::_runAndReply(std::function<void()> work)
{
    if (!calledFromDBus()) {
        QVEventQueue::sharedInstance()->post(this, std::move(work));
        return;
    }
    // Answered once the work has run, outside any read of the page.
    setDelayedReply(true);
    const QDBusMessage reply = message().createReply();
    QDBusConnection bus = connection();
    QVEventQueue::sharedInstance()->post(this, [work = std::move(work), reply, bus]() mutable {
        work();
        bus.send(reply);
    });
}

void QVScriptingService::_perform(std::unique_ptr<QVScriptCommand> command)
{
    std::shared_ptr<QVScriptCommand> shared(std::move(command));
    _runAndReply([shared] { shared->performDefaultImplementation(); });
}

// Properties ----------------------------------------------------------------------

uint QVScriptingService::soundVolume() const
{
    return _playback->volumeLevel();
}

void QVScriptingService::setSoundVolume(uint level)
{
    // Above 100 counts as 100 (the playback service caps it).
    QVWebPlaybackService* playback = _playback;
    QVEventQueue::sharedInstance()->post(this, [playback, level] { playback->setVolumeLevel(level); });
}

uint QVScriptingService::playerState() const
{
    return uint(_playback->playState());
}

int QVScriptingService::playbackPosition() const
{
    // From the mirror, never the page: the fraction the page last reported,
    // else the seconds the last refresh read.
    if (!_playback->isPlaybackLoaded())
        return 0;
    const QVWebPlayerScriptObject* player = _playback->playerScriptObject();
    const double seconds = player->position() > 0.0f
        ? double(player->position()) * _playback->playingTrackDurationSeconds()
        : double(player->sourcePosition());
    return std::isfinite(seconds) && seconds > 0 ? int(std::lround(std::min(seconds, 1e9))) : 0;
}

void QVScriptingService::setPlaybackPosition(int seconds)
{
    if (seconds < 0) {
        _refuse(QStringLiteral("PlaybackPosition must not be negative"));
        return;
    }
    QVWebPlaybackService* playback = _playback;
    QVEventQueue::sharedInstance()->post(this, [playback, seconds] { playback->seek(unsigned(seconds)); });
}

bool QVScriptingService::shuffle() const
{
    return _playback->shuffle();
}

void QVScriptingService::setShuffle(bool shuffle)
{
    QVWebPlaybackService* playback = _playback;
    QVEventQueue::sharedInstance()->post(this, [playback, shuffle] { playback->setShuffleState(shuffle); });
}

int QVScriptingService::repeatState() const
{
    return _playback->repeatState();
}

void QVScriptingService::setRepeatState(int repeatState)
{
    if (repeatState < 0 || repeatState > 2) {
        _refuse(QStringLiteral("RepeatState must be 0 (none), 1 (one) or 2 (all)"));
        return;
    }
    QVWebPlaybackService* playback = _playback;
    QVEventQueue::sharedInstance()->post(
        this, [playback, repeatState] { playback->setRepeatState(repeatState); });
}

QDBusObjectPath QVScriptingService::currentTrack() const
{
    return QDBusObjectPath(QString::fromLatin1(QVApplescriptTrack::kObjectPath));
}

// Commands ------------------------------------------------------------------------

void QVScriptingService::PlayPause()
{
    _perform(std::make_unique<QVPlayPauseScriptCommand>(_playback));
}

void QVScriptingService::Play()
{
    _perform(std::make_unique<QVPlayScriptCommand>(_playback));
}

void QVScriptingService::PlaySource(const QString& source)
{
    if (source.isEmpty() || source.size() > QVWebPlaybackService::kMaxSourceKeyLength) {
        _refuse(QStringLiteral("PlaySource takes a source key of 1 to %1 characters")
                    .arg(QVWebPlaybackService::kMaxSourceKeyLength));
        return;
    }
    _perform(std::make_unique<QVPlayScriptCommand>(
        _playback, QVariantMap { { QStringLiteral("source"), source } }));
}

void QVScriptingService::Pause()
{
    _perform(std::make_unique<QVPauseScriptCommand>(_playback));
}

void QVScriptingService::NextTrack()
{
    _perform(std::make_unique<QVNextTrackScriptCommand>(_playback));
}

void QVScriptingService::PreviousTrack()
{
    _perform(std::make_unique<QVPreviousTrackScriptCommand>(_playback));
}

void QVScriptingService::AddCurrentSongToCollection()
{
    _perform(std::make_unique<QVAddCurrentSongToCollectionScriptCommand>(_playback));
}

void QVScriptingService::RemoveCurrentSongFromCollection()
{
    _perform(std::make_unique<QVRemoveCurrentSongFromCollectionScriptCommand>(_playback));
}

void QVScriptingService::SyncCurrentSongToMobile()
{
    _perform(std::make_unique<QVSyncCurrentSongToMobileScriptCommand>(_playback));
}

void QVScriptingService::RemoveCurrentSongFromMobile()
{
    _perform(std::make_unique<QVRemoveCurrentSongFromMobileScriptCommand>(_playback));
}

// org.freedesktop.Application ---------------------------------------------------

void QVScriptingService::Activate(const QVariantMap&)
{
    _runAndReply([this] { emit activateRequested(); });
}

void QVScriptingService::Open(const QStringList& uris, const QVariantMap&)
{
    if (uris.size() > kMaxURLs)
        return (void)_refuse(QStringLiteral("Open takes at most %1 addresses").arg(kMaxURLs));
    for (const QString& uri : uris)
        if (uri.size() > kMaxURLLength || !uri.startsWith(QLatin1String("quiv://"), Qt::CaseInsensitive))
            return (void)_refuse(QStringLiteral("Open takes only quiv:// addresses"));
    _runAndReply([this, uris] {
        for (const QString& uri : uris)
            emit openURLRequested(uri);
    });
}

void QVScriptingService::ActivateAction(const QString&, const QVariantList&, const QVariantMap&)
{
    if (calledFromDBus())
        sendErrorReply(QDBusError::NotSupported, QStringLiteral("This program has no actions"));
}
