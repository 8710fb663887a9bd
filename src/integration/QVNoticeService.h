#pragma once

#include "QVAlbumArtListener.h"
#include "QVNoticeScriptObject.h"
#include "QVWebNavigationListener.h"
#include "QVWebPlaybackListener.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QImage>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QVariantMap>

#include <optional>

class QDBusError;
class QDBusServiceWatcher;
class QVWebNavigationService;
class QVWebPlaybackService;

// Desktop notifications through the desktop's notification server
// (org.freedesktop.Notifications): "Now Playing" once for each new track, with
// its art, replacing the previous track's notification in place; and the
// notices the page asks for through "NoticeScriptObject".
//
// A track is announced once it plays, its art has arrived (or its album did
// not change) and the page is loaded. Without a session bus or a notification
// server the service logs one line and sends nothing; it follows the server
// going away and coming back (a restart of the desktop's shell). Nothing ever
// waits for the server: every call is asynchronous. Main thread only.
class QVNoticeService : public QObject,
                        public QVWebPlaybackListener,
                        public QVAlbumArtListener,
                        public QVWebNavigationListener
{
    Q_OBJECT
public:
    static constexpr char kServiceName[] = "org.freedesktop.Notifications";
    static constexpr char kObjectPath[] = "/org/freedesktop/Notifications";
    static constexpr char kInterface[] = "org.freedesktop.Notifications";
    static constexpr char kDesktopEntry[] = "com.quiv.desktop";
    static constexpr char kNowPlayingCategory[] = "x-gnome.music";
    static constexpr char kNoticeCategory[] = "x-quiv.notice";
    static constexpr char kNextAction[] = "next";
    static constexpr int kMaxSummaryLength = 256;
    static constexpr int kMaxBodyLength = 1024;
    // Art is sent at most this large (either side), scaled down if needed.
    static constexpr int kMaxImageSide = 256;
    // Page notices waiting for the server's capabilities; older ones beyond go.
    static constexpr int kMaxQueuedNotices = 8;

    // The shared playback and navigation services, on the session bus.
    QVNoticeService();
    QVNoticeService(QVWebPlaybackService* playback, QVWebNavigationService* navigation,
        const QDBusConnection& bus, QObject* parent = nullptr);
    ~QVNoticeService() override;

    static QVNoticeService* sharedInstance();

    // A "Notice": the text as given, no icon. At most one a second: one that
    // comes sooner waits, in place of any other waiting, until the second is over.
    void showNotice(const QString& title, const QString& message);
    static constexpr int kNoticeIntervalMs = 1000;

    // What the server offers, once it answered; false/empty until then.
    bool isServerReady() const { return _server == Server::Ready; }
    QStringList serverCapabilities() const { return _capabilities; }
    // The server's identifier of the "Now Playing" notification (0: none).
    uint nowPlayingNotificationId() const { return _nowPlayingId; }
    QVNoticeScriptObject* noticeScriptObject() { return &_noticeScriptObject; }

    // The art as the image-data hint: (iiibiiay), RGB or RGBA bytes, 8 bits.
    static QVariant imageDataHint(const QImage& image);

    // QVWebPlaybackListener
    void playbackPlayingTrackChanged() override;
    void playbackPlayStateChanged(QVPlayState state) override;
    // QVAlbumArtListener
    void onAlbumArtAvailable(const QImage& image) override;
    // QVWebNavigationListener: installs only, no reads.
    void onWindowScriptObjectReady(QVAbstractWebView* webView) override;
    void onWindowScriptObjectShouldRemove(QVAbstractWebView* webView) override;

private slots:
    void _onServiceOwnerChanged(const QString& service, const QString& oldOwner, const QString& newOwner);
    void _onActionInvoked(uint id, const QString& actionKey, const QDBusMessage& message);
    void _onNotificationClosed(uint id, uint reason, const QDBusMessage& message);

private:
    // Probing: asking the bus whether a server is there or can be started.
    // Starting: asking the server what it supports. Notices wait in both.
    enum class Server { Absent, Probing, Starting, Ready };
    struct Message {
        QString summary;
        QString body;
        QImage image;
        bool isNowPlaying = false;
    };

    void _sendPlaybackNotice();
    void _noticeIntervalEnded();
    void _sendNotice(const Message& message);
    void _flush();
    void _post(const Message& message);
    void _probeServer();
    void _askCapabilities();
    void _serverUnavailable(const QString& why);
    bool _isFromServer(const QDBusMessage& message) const;
    static bool _meansNoServer(const QDBusError& error);
    bool _isPlaying() const;

    QVWebPlaybackService* _playback;
    QVWebNavigationService* _navigation;
    QDBusConnection _bus;
    QDBusServiceWatcher* _watcher = nullptr;
    QVNoticeScriptObject _noticeScriptObject;

    QString _lastTrackName;
    QString _lastTrackBaseIcon;
    bool _shouldNotify = false;
    bool _isWaitingOnAlbumArt = false;

    Server _server = Server::Absent;
    // Answers from a server that has since gone are ignored.
    quint64 _generation = 0;
    // The server's unique bus name; empty while there is none.
    QString _serverOwner;
    // Whether the bus starts a server on demand: asked once, at start.
    bool _isServerActivatable = false;
    QStringList _capabilities;
    uint _nowPlayingId = 0;
    bool _isNowPlayingPending = false;
    bool _hasLoggedSendFailure = false;
    std::optional<Message> _queuedNowPlaying;
    QList<Message> _queuedNotices;
    // Runs for a second after each page notice goes out.
    QTimer _noticeInterval;
    std::optional<Message> _waitingNotice;
};
