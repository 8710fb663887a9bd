#include "QVAlbumArtHandler.h"

#include "QVConstants.h"
#include "QVLog.h"
#include "QVNotificationCenter.h"
#include "QVServerConnection.h"
#include "QVServerError.h"
#include "QVServiceHTTPInterface.h"
#include "QVWebPlaybackService.h"

#include <QBuffer>
#include <QImageReader>
#include <QLinearGradient>
#include <QPainter>
#include <QTimer>

QVAlbumArtHandler::QVAlbumArtHandler(QVWebPlaybackService* playback)
    : QVAlbumArtHandler(playback, Services())
{
}

QVAlbumArtHandler::QVAlbumArtHandler(QVWebPlaybackService* playback, const Services& services)
    : _playback(playback)
    , _center(
          services.notificationCenter ? services.notificationCenter : QVNotificationCenter::defaultCenter())
    , _connection(services.serverConnection)
    , _currentImage(stubImage())
    , _cacheController(services.cacheDirectory)
{
    if (services.cleanupDelayMs >= 0)
        QTimer::singleShot(
            services.cleanupDelayMs, &_context, [this] { _cacheController.cleanupOldCache(); });
    _center->addObserver(this, QString::fromLatin1(QVUserDidSignOutNotification),
        [this](const QVNotification&) { _userDidSignOut(); });
}

QVAlbumArtHandler::~QVAlbumArtHandler()
{
    _center->removeObserver(this);
    if (_isListening)
        _playback->removeWebPlaybackListener(this);
    // Requests still running hold only a weak reference to this delegate.
}

// Listeners ---------------------------------------------------------------------

void QVAlbumArtHandler::addAlbumArtListener(QVAlbumArtListener* listener)
{
    if (!listener)
        return;
    _listeners.append(listener);
    if (!_isListening) {
        _playback->addWebPlaybackListener(this);
        _isListening = true;
    }
}

void QVAlbumArtHandler::removeAlbumArtListener(QVAlbumArtListener* listener)
{
    _listeners.removeAll(listener);
    if (_isListening && _listeners.isEmpty()) {
        _playback->removeWebPlaybackListener(this);
        _isListening = false;
    }
}

void QVAlbumArtHandler::_notifyListeners()
{
    // Over copies: a listener may leave during the walk, or change the art.
    const QImage image = _currentImage;
    const QList<QVAlbumArtListener*> listeners = _listeners;
    for (QVAlbumArtListener* listener : listeners)
        if (_listeners.contains(listener))
            listener->onAlbumArtAvailable(image);
}

void QVAlbumArtHandler::_notifyRequestListener(const RequestRecord& record, const QImage& image)
{
    const auto listener = record.listener.lock();
    if (!listener)
        return; // the requester has gone
    if (!image.isNull())
        (*listener)->albumArtRequestCompleted(image, record.baseIcon);
    else
        (*listener)->albumArtRequestFailedForBaseIcon(record.baseIcon);
}

// Images --------------------------------------------------------------------------

QImage QVAlbumArtHandler::stubImage()
{
    static const QImage stub = [] {
        const int side = QVServiceHTTPInterface::albumArtSize;
        QImage image(side, side, QImage::Format_RGB32);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        QLinearGradient background(0, 0, 0, side);
        background.setColorAt(0.0, QColor(0x4a, 0x4d, 0x52));
        background.setColorAt(1.0, QColor(0x2c, 0x2e, 0x31));
        painter.fillRect(image.rect(), background);
        // A record: a disc with its label and hole.
        const QPointF centre(side / 2.0, side / 2.0);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0x1e, 0x1f, 0x21));
        painter.drawEllipse(centre, side * 0.34, side * 0.34);
        painter.setBrush(QColor(0x6b, 0x6f, 0x75));
        painter.drawEllipse(centre, side * 0.12, side * 0.12);
        painter.setBrush(QColor(0x2c, 0x2e, 0x31));
        painter.drawEllipse(centre, side * 0.02, side * 0.02);
        return image;
    }();
    return stub;
}

QImage QVAlbumArtHandler::imageFromData(const QByteArray& data, QByteArray* format)
{
    if (data.isEmpty() || data.size() > QVAlbumArtCacheController::kMaximumImageDataLength)
        return {};
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    // Raster formats only, and a size checked before anything is decoded.
    static const QByteArrayList allowed { "png", "jpeg", "jpg", "gif", "webp", "bmp" };
    const QByteArray name = reader.format();
    if (!allowed.contains(name))
        return {};
    const QSize size = reader.size();
    if (!size.isValid() || size.isEmpty() || size.width() > kMaximumImageSide
        || size.height() > kMaximumImageSide)
        return {};
    const QImage image = reader.read();
    if (!image.isNull() && format)
        *format = name;
    return image;
}

QImage QVAlbumArtHandler::_cachedImage(const QString& baseIcon, QByteArray* data, QByteArray* format)
{
    std::optional<QByteArray> cached = _cacheController.albumArtDataFromCache(baseIcon);
    if (!cached)
        return {};
    const QImage image = imageFromData(*cached, format);
    if (image.isNull()) {
        QVLog("[WARNING] Cached album art is not an image; fetching it again");
        _cacheController.removeAlbumArt(baseIcon);
        return {};
    }
    *data = std::move(*cached);
    return image;
}

void QVAlbumArtHandler::_setCurrent(
    const QImage& image, const QString& baseIcon, const QByteArray& data, const QByteArray& format)
{
    _currentImage = image;
    _currentBaseIcon = baseIcon;
    _currentFileURL = data.isEmpty() ? QUrl() : _cacheController.writeArtFile(data, format, baseIcon);
}

// The playing track ------------------------------------------------------------------

QString QVAlbumArtHandler::_defaultBaseIconURL(const QString& baseIcon)
{
    const QString address = _playback->serverInfoIsAddress();
    if (address.isEmpty()) {
        QVLog("WARNING: Could not get 'is_address' for album art");
        return {};
    }
    const QString url = QVServiceHTTPInterface::albumArtURL(address, baseIcon);
    if (url.isEmpty())
        QVLog("WARNING: The page's image server address or base icon was refused for album art");
    return url;
}

void QVAlbumArtHandler::_startAlbumArtRequest()
{
    if (!_playback->isPlaybackLoaded()) {
        QVLog("WARNING: Album Art was requested before playback was fully loaded!");
        return;
    }
    // Whatever was asked before no longer stands for the playing track.
    _runningRequestIdentifier = 0;
    const QString baseIcon = _playback->playingTrackBaseIcon();
    if (baseIcon.isEmpty()) {
        _setCurrent(stubImage(), QString());
        _notifyListeners();
        return;
    }
    QByteArray data;
    QByteArray format;
    const QImage cached = _cachedImage(baseIcon, &data, &format);
    if (!cached.isNull()) {
        _setCurrent(cached, baseIcon, data, format);
        _notifyListeners();
        return;
    }
    const QString url = _defaultBaseIconURL(baseIcon);
    if (url.isEmpty()) {
        // Nothing to fetch from: the stub, and the next track asks again.
        _setCurrent(stubImage(), QString());
        _currentBaseIcon.reset();
        _notifyListeners();
        return;
    }
    _pendingRequest = PendingRequest { true, RequestRecord { {}, baseIcon } };
    _pool()->addServerRequest(url, std::nullopt, true, this);
    _pendingRequest.reset();
}

void QVAlbumArtHandler::onPlaybackLoaded()
{
    _startAlbumArtRequest();
}

void QVAlbumArtHandler::playbackPlayingTrackChanged()
{
    const QString baseIcon = _playback->playingTrackBaseIcon();
    if (_currentBaseIcon && *_currentBaseIcon == baseIcon) {
        // Back to the art on show: a fetch still running is for another track.
        _runningRequestIdentifier = 0;
        return;
    }
    // Art for this icon already on its way (another track of the album, or
    // a track played again before its answer came) is waited for.
    for (auto it = _playingTrackRequests.cbegin(); it != _playingTrackRequests.cend(); ++it) {
        if (it.value() == baseIcon) {
            _runningRequestIdentifier = it.key();
            return;
        }
    }
    _startAlbumArtRequest();
}

void QVAlbumArtHandler::onPlaybackOffline()
{
    _setCurrent(stubImage(), QString());
    _currentBaseIcon.reset();
    _notifyListeners();
}

void QVAlbumArtHandler::_userDidSignOut()
{
    // A late answer must not bring back the last user's art.
    _runningRequestIdentifier = 0;
    _setCurrent(stubImage(), QString());
    _notifyListeners();
}

// One-off requests ------------------------------------------------------------------

void QVAlbumArtHandler::requestAlbumArt(const QString& baseIcon, QVAlbumArtListener* listener)
{
    if (baseIcon.isEmpty() || !listener)
        return;
    const RequestRecord record { listener->weakReference(), baseIcon };
    QByteArray data;
    QByteArray format;
    const QImage cached = _cachedImage(baseIcon, &data, &format);
    if (!cached.isNull()) {
        _notifyRequestListener(record, cached);
        return;
    }
    const QString url = _defaultBaseIconURL(baseIcon);
    if (url.isEmpty()) {
        _notifyRequestListener(record, QImage());
        return;
    }
    _pendingRequest = PendingRequest { false, record };
    _pool()->addServerRequest(url, std::nullopt, false, this);
    _pendingRequest.reset();
}

void QVAlbumArtHandler::cancelAlbumArtRequests(const QVAlbumArtListener* listener)
{
    if (!listener)
        return;
    QList<QVServerRequestIdentifier> identifiers;
    for (auto it = _requestListeners.begin(); it != _requestListeners.end();) {
        const auto requester = it.value().listener.lock();
        if (requester && *requester == listener) {
            identifiers.append(it.key());
            it = _requestListeners.erase(it);
        } else {
            ++it;
        }
    }
    // The records are gone first: the pool's cancel notices find nothing to tell.
    if (!identifiers.isEmpty())
        _pool()->batchCancelServerRequests(identifiers);
}

// The request pool -------------------------------------------------------------------

QVServerConnection* QVAlbumArtHandler::_pool() const
{
    return _connection ? _connection : QVServerConnection::sharedInstance();
}

void QVAlbumArtHandler::onConnectionQueued(QVServerRequestIdentifier identifier)
{
    // Recorded here, before the push returns: a pool that has shut down
    // cancels the request at once.
    if (!_pendingRequest)
        return;
    if (_pendingRequest->isPlayingTrack) {
        _playingTrackRequests.insert(identifier, _pendingRequest->record.baseIcon);
        _runningRequestIdentifier = identifier;
    } else {
        _requestListeners.insert(identifier, _pendingRequest->record);
    }
    _pendingRequest.reset();
}

QImage QVAlbumArtHandler::_imageFromAnswer(const QByteArray& data, QByteArray* format)
{
    const QImage image = imageFromData(data, format);
    if (image.isNull())
        QVLog("[WARNING] Album art answer of %lld bytes is not an image", qlonglong(data.size()));
    return image;
}

void QVAlbumArtHandler::onConnectionFinished(QVServerRequestIdentifier identifier, const QByteArray& data)
{
    if (const auto it = _playingTrackRequests.constFind(identifier); it != _playingTrackRequests.cend()) {
        const QString baseIcon = it.value();
        _playingTrackRequests.erase(it);
        QByteArray format;
        const QImage image = _imageFromAnswer(data, &format);
        if (!image.isNull())
            _cacheController.cacheAlbumArt(data, baseIcon);
        // An answer for a track that has gone is kept on disk only.
        if (identifier != _runningRequestIdentifier || baseIcon != _playback->playingTrackBaseIcon())
            return;
        _runningRequestIdentifier = 0;
        _setCurrent(image, baseIcon, image.isNull() ? QByteArray() : data, format);
        _notifyListeners();
        return;
    }
    const auto it = _requestListeners.constFind(identifier);
    if (it == _requestListeners.cend())
        return;
    const RequestRecord record = it.value();
    _requestListeners.erase(it);
    const QImage image = _imageFromAnswer(data, nullptr);
    if (!image.isNull())
        _cacheController.cacheAlbumArt(data, record.baseIcon);
    _notifyRequestListener(record, image);
}

void QVAlbumArtHandler::onConnectionFailed(QVServerRequestIdentifier identifier, const QVServerError& error)
{
    QVLog("[WARNING] Album art request failed: %s", qPrintable(error.description()));
    _requestEnded(identifier, false);
}

void QVAlbumArtHandler::onConnectionCanceled(QVServerRequestIdentifier identifier)
{
    _requestEnded(identifier, true);
}

void QVAlbumArtHandler::_requestEnded(QVServerRequestIdentifier identifier, bool canceled)
{
    if (_playingTrackRequests.remove(identifier)) {
        if (identifier != _runningRequestIdentifier)
            return;
        _runningRequestIdentifier = 0;
        // The stub stands in, and the next track change asks again. Listeners
        // hear of a failure, or they would go on showing the last track's art.
        _setCurrent(stubImage(), QString());
        _currentBaseIcon.reset();
        if (!canceled)
            _notifyListeners();
        return;
    }
    const auto it = _requestListeners.constFind(identifier);
    if (it == _requestListeners.cend())
        return;
    const RequestRecord record = it.value();
    _requestListeners.erase(it);
    _notifyRequestListener(record, QImage());
}
