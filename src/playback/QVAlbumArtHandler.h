#pragma once

#include "QVAlbumArtCacheController.h"
#include "QVAlbumArtListener.h"
#include "QVServerRequestDelegate.h"
#include "QVWebPlaybackListener.h"

#include <QHash>
#include <QImage>
#include <QList>
#include <QObject>
#include <QString>
#include <QUrl>

#include <memory>
#include <optional>

class QVNotificationCenter;
class QVServerConnection;
class QVWebPlaybackService;

// The playing track's artwork, fetched natively through the request pool from
// the image server the page names, and kept on disk for 30 days so that a base
// icon is fetched at most once in that time. Answers one-off requests for other
// base icons too. Until art arrives, and for a track without any, the current
// image is a stub. Main thread only.
class QVAlbumArtHandler : public QVWebPlaybackListener, public QVServerRequestDelegate
{
public:
    struct Services {
        QVNotificationCenter* notificationCenter = nullptr;
        QVServerConnection* serverConnection = nullptr;
        // Empty: $XDG_CACHE_HOME/Quiv/AlbumArtCache.
        QString cacheDirectory;
        // Old entries are swept this long after creation (negative: never).
        int cleanupDelayMs = 5000;
    };

    // Larger images (either side) are refused unread.
    static constexpr int kMaximumImageSide = 4096;

    // `playback` owns this handler and outlives it.
    explicit QVAlbumArtHandler(QVWebPlaybackService* playback);
    QVAlbumArtHandler(QVWebPlaybackService* playback, const Services& services);
    ~QVAlbumArtHandler() override;
    QVAlbumArtHandler(const QVAlbumArtHandler&) = delete;
    QVAlbumArtHandler& operator=(const QVAlbumArtHandler&) = delete;

    // The handler follows the playing track only while someone listens.
    void addAlbumArtListener(QVAlbumArtListener* listener);
    void removeAlbumArtListener(QVAlbumArtListener* listener);
    bool isListening() const { return _isListening; }

    QImage currentAlbumArtImage() const { return _currentImage; }
    // What the current image shows: a base icon, or "" for the stub of a
    // track without art (also before any track, and after a failed fetch).
    QString currentBaseIcon() const { return _currentBaseIcon.value_or(QString()); }
    // The current art as an image file for other programs; empty for the stub.
    QUrl currentAlbumArtFileURL() const { return _currentFileURL; }

    // Art for any base icon. A cached one is answered before this returns;
    // otherwise the answer comes when the fetch ends. The requester may go
    // away before that.
    void requestAlbumArt(const QString& baseIcon, QVAlbumArtListener* listener);
    // Withdraws every one-off request of `listener` still waiting in the pool;
    // it hears nothing more of them.
    void cancelAlbumArtRequests(const QVAlbumArtListener* listener);
    // One-off requests still running.
    int pendingAlbumArtRequestCount() const { return int(_requestListeners.size()); }

    QVAlbumArtCacheController* cacheController() { return &_cacheController; }

    // The picture shown while there is no art.
    static QImage stubImage();
    // The image in `data` when it is a raster image (PNG, JPEG, GIF, WebP,
    // BMP) within the size limits, else a null image. `format` gets the
    // reader's name for it.
    static QImage imageFromData(const QByteArray& data, QByteArray* format = nullptr);

    // QVWebPlaybackListener
    void onPlaybackLoaded() override;
    void playbackPlayingTrackChanged() override;
    void onPlaybackOffline() override;

    // QVServerRequestDelegate
    void onConnectionQueued(QVServerRequestIdentifier identifier) override;
    void onConnectionFinished(QVServerRequestIdentifier identifier, const QByteArray& data) override;
    void onConnectionFailed(QVServerRequestIdentifier identifier, const QVServerError& error) override;
    void onConnectionCanceled(QVServerRequestIdentifier identifier) override;

private:
    struct RequestRecord {
        std::weak_ptr<QVAlbumArtListener*> listener;
        QString baseIcon;
    };
    struct PendingRequest {
        bool isPlayingTrack = false;
        RequestRecord record;
    };

    void _startAlbumArtRequest();
    void _setCurrent(const QImage& image, const QString& baseIcon, const QByteArray& data = {},
        const QByteArray& format = {});
    void _notifyListeners();
    static void _notifyRequestListener(const RequestRecord& record, const QImage& image);
    void _requestEnded(QVServerRequestIdentifier identifier, bool canceled);
    void _userDidSignOut();
    QString _defaultBaseIconURL(const QString& baseIcon);
    QVServerConnection* _pool() const;
    static QImage _imageFromAnswer(const QByteArray& data, QByteArray* format);
    // Cached art as an image, or a null image (the entry is dropped when its
    // data is no image).
    QImage _cachedImage(const QString& baseIcon, QByteArray* data, QByteArray* format);

    QVWebPlaybackService* _playback;
    QVNotificationCenter* _center;
    QVServerConnection* _connection;
    QImage _currentImage;
    // Unknown before the first track and after a failed fetch: the next
    // track asks again, whatever its icon.
    std::optional<QString> _currentBaseIcon;
    QUrl _currentFileURL;
    QList<QVAlbumArtListener*> _listeners;
    QHash<QVServerRequestIdentifier, RequestRecord> _requestListeners;
    // Requests made for the playing track, with the base icon each was for:
    // a late answer is still cached under its own icon.
    QHash<QVServerRequestIdentifier, QString> _playingTrackRequests;
    QVAlbumArtCacheController _cacheController;
    // The request being pushed, until the pool names it.
    std::optional<PendingRequest> _pendingRequest;
    QVServerRequestIdentifier _runningRequestIdentifier = 0;
    bool _isListening = false;
    // Timers and queued calls die with the handler.
    QObject _context;
};
