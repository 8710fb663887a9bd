#include "QVNoticeService.h"

#include "QVAbstractWebView.h"
#include "QVAlbumArtHandler.h"
#include "QVConstants.h"
#include "QVEventQueue.h"
#include "QVLocalizedString.h"
#include "QVLog.h"
#include "QVWebNavigationService.h"
#include "QVWebPlaybackService.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>

#include <utility>

namespace {
const QString kNoticeScriptObjectName = QStringLiteral("NoticeScriptObject");

QString latin1(const char* text)
{
    return QString::fromLatin1(text);
}
} // namespace

QVNoticeService::QVNoticeService()
    : QVNoticeService(QVWebPlaybackService::sharedInstance(), QVWebNavigationService::sharedInstance(),
        QDBusConnection::sessionBus())
{
}

QVNoticeService::QVNoticeService(QVWebPlaybackService* playback, QVWebNavigationService* navigation,
    const QDBusConnection& bus, QObject* parent)
    : QObject(parent)
    , _playback(playback)
    , _navigation(navigation)
    , _bus(bus)
    , _noticeScriptObject(this)
{
    _playback->addWebPlaybackListener(this);
    _playback->albumArtHandler()->addAlbumArtListener(this);
    _navigation->addWebNavigationListener(this);
    _noticeInterval.setSingleShot(true);
    _noticeInterval.setInterval(kNoticeIntervalMs);
    connect(&_noticeInterval, &QTimer::timeout, this, &QVNoticeService::_noticeIntervalEnded);

    if (!_bus.isConnected()) {
        QVLog("[WARNING] No session bus: desktop notices are off");
        return;
    }
    _watcher
        = new QDBusServiceWatcher(latin1(kServiceName), _bus, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(
        _watcher, &QDBusServiceWatcher::serviceOwnerChanged, this, &QVNoticeService::_onServiceOwnerChanged);
    // Matched without the server's name, which would make Qt look up its
    // owner and wait for the answer; the slots take the server's signals only.
    _bus.connect(QString(), latin1(kObjectPath), latin1(kInterface), QStringLiteral("ActionInvoked"), this,
        SLOT(_onActionInvoked(uint, QString, QDBusMessage)));
    _bus.connect(QString(), latin1(kObjectPath), latin1(kInterface), QStringLiteral("NotificationClosed"),
        this, SLOT(_onNotificationClosed(uint, uint, QDBusMessage)));

    _probeServer();
}

QVNoticeService::~QVNoticeService()
{
    _navigation->removeWebNavigationListener(this);
    _playback->albumArtHandler()->removeAlbumArtListener(this);
    _playback->removeWebPlaybackListener(this);
}

QVNoticeService* QVNoticeService::sharedInstance()
{
    static auto* service = new QVNoticeService();
    return service;
}

// The playing track ----------------------------------------------------------------

bool QVNoticeService::_isPlaying() const
{
    return _playback->playState() == QVPlayStatePlaying;
}

void QVNoticeService::playbackPlayingTrackChanged()
{
    const QString name = _playback->playingTrackName();
    // A track without a name is nothing to announce.
    if (!name.isEmpty() && name != _lastTrackName) {
        _lastTrackName = name;
        _shouldNotify = true;
    }
    const QString icon = _playback->playingTrackBaseIcon();
    // Still waiting when the album's art is still on its way for an earlier
    // track of it: the notice comes with the art, not with the last album's.
    if (icon != _lastTrackBaseIcon) {
        _isWaitingOnAlbumArt = true;
        _lastTrackBaseIcon = icon;
    }
    if (_shouldNotify && !_isWaitingOnAlbumArt && _isPlaying())
        _sendPlaybackNotice();
}

void QVNoticeService::onAlbumArtAvailable(const QImage&)
{
    if (_shouldNotify && _isWaitingOnAlbumArt && _playback->isPlaybackLoaded() && _isPlaying()
        && !_playback->playingTrackName().isEmpty())
        _sendPlaybackNotice();
    _lastTrackBaseIcon = _playback->playingTrackBaseIcon();
    _isWaitingOnAlbumArt = false;
}

void QVNoticeService::playbackPlayStateChanged(QVPlayState state)
{
    if (state == QVPlayStatePlaying && _shouldNotify && !_isWaitingOnAlbumArt
        && !_playback->playingTrackName().isEmpty())
        _sendPlaybackNotice();
}

void QVNoticeService::_sendPlaybackNotice()
{
    Message message;
    message.isNowPlaying = true;
    message.summary = _playback->playingTrackName();
    const QString artist = _playback->playingTrackArtist();
    const QString album = _playback->playingTrackAlbum();
    // "Artist, Album"; a missing part leaves no dangling comma.
    message.body
        = artist.isEmpty() || album.isEmpty() ? artist + album : QStringLiteral("%1, %2").arg(artist, album);
    message.image = _playback->albumArtHandler()->currentAlbumArtImage();
    _post(message);
    _shouldNotify = false;
}

// Page notices ---------------------------------------------------------------------

void QVNoticeService::showNotice(const QString& title, const QString& message)
{
    // A page cannot flood the desktop: only the latest of a burst is shown.
    const Message notice { title, message, QImage(), false };
    if (_noticeInterval.isActive()) {
        _waitingNotice = notice;
        return;
    }
    _post(notice);
    _noticeInterval.start();
}

void QVNoticeService::_noticeIntervalEnded()
{
    if (!_waitingNotice)
        return;
    const Message notice = *std::exchange(_waitingNotice, std::nullopt);
    _post(notice);
    _noticeInterval.start();
}

void QVNoticeService::onWindowScriptObjectReady(QVAbstractWebView* webView)
{
    if (webView)
        webView->setScriptObject(kNoticeScriptObjectName, &_noticeScriptObject);
}

void QVNoticeService::onWindowScriptObjectShouldRemove(QVAbstractWebView* webView)
{
    if (webView)
        webView->setScriptObject(kNoticeScriptObjectName, nullptr);
}

// The notification server --------------------------------------------------------------

void QVNoticeService::_probeServer()
{
    // Asked without waiting: a bus that is slow to answer must not hold up
    // the start. Notices wait for the answers.
    _server = Server::Probing;
    const quint64 generation = ++_generation;
    auto* activatable = new QDBusPendingCallWatcher(
        _bus.interface()->asyncCall(QStringLiteral("ListActivatableNames")), this);
    connect(activatable, &QDBusPendingCallWatcher::finished, this,
        [this, generation](QDBusPendingCallWatcher* w) {
            w->deleteLater();
            const QDBusPendingReply<QStringList> names = *w;
            _isServerActivatable = !names.isError() && names.value().contains(latin1(kServiceName));
            if (generation != _generation)
                return; // a server came meanwhile, and is being asked
            auto* owner = new QDBusPendingCallWatcher(
                _bus.interface()->asyncCall(QStringLiteral("GetNameOwner"), latin1(kServiceName)), this);
            connect(owner, &QDBusPendingCallWatcher::finished, this,
                [this, generation](QDBusPendingCallWatcher* w) {
                    w->deleteLater();
                    if (generation != _generation)
                        return;
                    const QDBusPendingReply<QString> reply = *w;
                    if (!reply.isError())
                        _serverOwner = reply.value();
                    if (!reply.isError() || _isServerActivatable) {
                        _askCapabilities();
                        return;
                    }
                    QVLog("[WARNING] No notification server on the session bus: "
                          "desktop notices are off until one starts");
                    _serverUnavailable(QString());
                });
        });
}

bool QVNoticeService::_meansNoServer(const QDBusError& error)
{
    // Nobody owns the name, or the bus could not start the program that would.
    return error.type() == QDBusError::ServiceUnknown || error.type() == QDBusError::NoServer
        || error.type() == QDBusError::Disconnected
        || error.name().startsWith(QLatin1String("org.freedesktop.DBus.Error.Spawn."));
}

void QVNoticeService::_askCapabilities()
{
    _server = Server::Starting;
    const quint64 generation = ++_generation;
    const QDBusMessage call = QDBusMessage::createMethodCall(
        latin1(kServiceName), latin1(kObjectPath), latin1(kInterface), QStringLiteral("GetCapabilities"));
    auto* watcher = new QDBusPendingCallWatcher(_bus.asyncCall(call), this);
    connect(
        watcher, &QDBusPendingCallWatcher::finished, this, [this, generation](QDBusPendingCallWatcher* w) {
            w->deleteLater();
            if (generation != _generation)
                return;
            const QDBusPendingReply<QStringList> reply = *w;
            if (reply.isError() && _meansNoServer(reply.error())) {
                _serverUnavailable(reply.error().message());
                return;
            }
            // A server that cannot say what it supports gets plain notices.
            _capabilities = reply.isError() ? QStringList() : reply.value();
            _server = Server::Ready;
            _flush();
        });
}

void QVNoticeService::_serverUnavailable(const QString& why)
{
    // A probe that found none has said so already.
    if (_server != Server::Absent && _server != Server::Probing)
        QVLog("[WARNING] No notification server (%s): desktop notices are off until one starts",
            qPrintable(why));
    _server = Server::Absent;
    ++_generation;
    _capabilities.clear();
    _nowPlayingId = 0;
    _isNowPlayingPending = false;
    _hasLoggedSendFailure = false;
    _queuedNowPlaying.reset();
    _queuedNotices.clear();
}

void QVNoticeService::_onServiceOwnerChanged(const QString&, const QString& oldOwner, const QString& newOwner)
{
    _serverOwner = newOwner;
    if (newOwner.isEmpty()) {
        // A server the bus starts on demand comes back with the next notice;
        // whichever comes knows nothing of our last one.
        _nowPlayingId = 0;
        if (_server != Server::Absent && _server != Server::Probing && !_isServerActivatable)
            _serverUnavailable(QStringLiteral("it went away"));
        return;
    }
    // A server that comes while we probe may be missing from the answer: ask it.
    if (_server == Server::Absent || _server == Server::Probing || !oldOwner.isEmpty()) {
        // A new server, or another one in place of the old: ask it afresh.
        _nowPlayingId = 0;
        _isNowPlayingPending = false;
        _askCapabilities();
    }
}

bool QVNoticeService::_isFromServer(const QDBusMessage& message) const
{
    // Any program may send these signals; only the server's count.
    return !_serverOwner.isEmpty() && message.service() == _serverOwner;
}

void QVNoticeService::_onActionInvoked(uint id, const QString& actionKey, const QDBusMessage& message)
{
    if (!_isFromServer(message))
        return;
    if (id != 0 && id == _nowPlayingId && actionKey == latin1(kNextAction))
        QVEventQueue::sharedInstance()->post(this, [this] { _playback->nextTrack(); });
}

void QVNoticeService::_onNotificationClosed(uint id, uint, const QDBusMessage& message)
{
    if (!_isFromServer(message))
        return;
    // Closed by the user or expired: the next track gets a new one.
    if (id != 0 && id == _nowPlayingId)
        _nowPlayingId = 0;
}

// Sending ----------------------------------------------------------------------------------

void QVNoticeService::_post(const Message& message)
{
    if (!_bus.isConnected() || _server == Server::Absent)
        return;
    if (message.isNowPlaying && (_server != Server::Ready || _isNowPlayingPending)) {
        // Only the latest track matters; it goes once the server has answered.
        _queuedNowPlaying = message;
        return;
    }
    if (!message.isNowPlaying && _server != Server::Ready) {
        _queuedNotices.append(message);
        while (_queuedNotices.size() > kMaxQueuedNotices)
            _queuedNotices.removeFirst();
        return;
    }
    _sendNotice(message);
}

void QVNoticeService::_flush()
{
    if (_server != Server::Ready)
        return;
    const QList<Message> notices = std::exchange(_queuedNotices, {});
    for (const Message& notice : notices)
        _sendNotice(notice);
    if (_queuedNowPlaying && !_isNowPlayingPending) {
        const Message nowPlaying = *_queuedNowPlaying;
        _queuedNowPlaying.reset();
        _sendNotice(nowPlaying);
    }
}

QVariant QVNoticeService::imageDataHint(const QImage& image)
{
    QImage scaled = image;
    if (image.width() > kMaxImageSide || image.height() > kMaxImageSide)
        scaled = image.scaled(kMaxImageSide, kMaxImageSide, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    const bool hasAlpha = scaled.hasAlphaChannel();
    const QImage pixels = scaled.convertToFormat(hasAlpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888);
    QDBusArgument argument;
    argument.beginStructure();
    argument << pixels.width() << pixels.height() << int(pixels.bytesPerLine()) << hasAlpha << 8
             << (hasAlpha ? 4 : 3)
             << QByteArray(reinterpret_cast<const char*>(pixels.constBits()), pixels.sizeInBytes());
    argument.endStructure();
    return QVariant::fromValue(argument);
}

void QVNoticeService::_sendNotice(const Message& message)
{
    const QString summary = message.summary.left(kMaxSummaryLength);
    QString body = message.body.left(kMaxBodyLength);
    // Where the server reads markup, text from the page or a track is only text.
    if (_capabilities.contains(QStringLiteral("body-markup")))
        body = body.toHtmlEscaped();
    QStringList actions;
    if (message.isNowPlaying && _capabilities.contains(QStringLiteral("actions")))
        actions << latin1(kNextAction) << QVLocalizedString("Next");
    QVariantMap hints {
        { QStringLiteral("desktop-entry"), latin1(kDesktopEntry) },
        { QStringLiteral("category"), latin1(message.isNowPlaying ? kNowPlayingCategory : kNoticeCategory) },
    };
    if (message.isNowPlaying)
        hints.insert(QStringLiteral("suppress-sound"), true); // the music is playing
    if (!message.image.isNull())
        hints.insert(QStringLiteral("image-data"), imageDataHint(message.image));

    QDBusMessage call = QDBusMessage::createMethodCall(
        latin1(kServiceName), latin1(kObjectPath), latin1(kInterface), QStringLiteral("Notify"));
    call << latin1(QVProductName) << uint(message.isNowPlaying ? _nowPlayingId : 0) << QString() << summary
         << body << actions << hints << int(-1);
    if (message.isNowPlaying)
        _isNowPlayingPending = true;
    const quint64 generation = _generation;
    const bool isNowPlaying = message.isNowPlaying;
    auto* watcher = new QDBusPendingCallWatcher(_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
        [this, generation, isNowPlaying](QDBusPendingCallWatcher* w) {
            w->deleteLater();
            if (generation != _generation)
                return;
            if (isNowPlaying)
                _isNowPlayingPending = false;
            const QDBusPendingReply<uint> reply = *w;
            if (reply.isError()) {
                if (_meansNoServer(reply.error())) {
                    _serverUnavailable(reply.error().message());
                    return;
                }
                if (!_hasLoggedSendFailure)
                    QVLog("[WARNING] Desktop notice not shown: %s", qPrintable(reply.error().message()));
                _hasLoggedSendFailure = true;
            } else if (isNowPlaying) {
                _nowPlayingId = reply.value();
            }
            _flush();
        });
}
