#include "SPSettingsDaemonKeys.h"

#include "QVLog.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QGuiApplication>

namespace {
constexpr int kMaxKeyNameLength = 64;
} // namespace

const QList<SPSettingsDaemonKeys::Daemon>& SPSettingsDaemonKeys::knownDaemons()
{
    static const QList<Daemon> daemons {
        { QStringLiteral("org.gnome.SettingsDaemon.MediaKeys"),
            QStringLiteral("/org/gnome/SettingsDaemon/MediaKeys"),
            QStringLiteral("org.gnome.SettingsDaemon.MediaKeys") },
        // Older GNOME and Cinnamon.
        { QStringLiteral("org.gnome.SettingsDaemon"), QStringLiteral("/org/gnome/SettingsDaemon/MediaKeys"),
            QStringLiteral("org.gnome.SettingsDaemon.MediaKeys") },
        { QStringLiteral("org.mate.SettingsDaemon"), QStringLiteral("/org/mate/SettingsDaemon/MediaKeys"),
            QStringLiteral("org.mate.SettingsDaemon.MediaKeys") },
    };
    return daemons;
}

int SPSettingsDaemonKeys::keyCodeForName(const QString& key)
{
    if (key == QLatin1String("Play") || key == QLatin1String("Pause"))
        return 16;
    if (key == QLatin1String("Next"))
        return 17;
    if (key == QLatin1String("Previous"))
        return 18;
    if (key == QLatin1String("FastForward"))
        return 19;
    if (key == QLatin1String("Rewind"))
        return 20;
    return -1;
}

SPSettingsDaemonKeys::SPSettingsDaemonKeys(
    const QDBusConnection& bus, const Daemon& daemon, const QString& application, QObject* parent)
    : QObject(parent)
    , _bus(bus)
    , _daemon(daemon)
    , _application(application)
{
    // Matched without the daemon's name (Qt would look its owner up and
    // wait); the slot checks the sender against the owner that took our grab.
    _connected
        = _bus.connect(QString(), _daemon.path, _daemon.interface, QStringLiteral("MediaPlayerKeyPressed"),
            this, SLOT(_onMediaPlayerKeyPressed(QString, QString, QDBusMessage)));
    _watcher = new QDBusServiceWatcher(_daemon.service, _bus, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(_watcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
        [this](const QString&, const QString&, const QString& newOwner) { _onOwnerChanged(newOwner); });
    // The daemon keeps its most recently active application first.
    if (auto* application = qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        connect(
            application, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
                if (state == Qt::ApplicationActive && isGrabbed())
                    grab();
            });
}

SPSettingsDaemonKeys::~SPSettingsDaemonKeys()
{
    release();
    if (_connected)
        _bus.disconnect(QString(), _daemon.path, _daemon.interface, QStringLiteral("MediaPlayerKeyPressed"),
            this, SLOT(_onMediaPlayerKeyPressed(QString, QString, QDBusMessage)));
}

void SPSettingsDaemonKeys::grab()
{
    if (!_connected) {
        emit grabAnswered(false, QStringLiteral("could not listen for the daemon's keys"));
        return;
    }
    _released = false;
    QDBusMessage call = QDBusMessage::createMethodCall(
        _daemon.service, _daemon.path, _daemon.interface, QStringLiteral("GrabMediaPlayerKeys"));
    call << _application << quint32(0);
    auto* watcher = new QDBusPendingCallWatcher(_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* finished) {
        finished->deleteLater();
        const QDBusPendingReply<> reply = *finished;
        if (reply.isError()) {
            emit grabAnswered(false, reply.error().message());
            return;
        }
        if (_released)
            return; // we let go while the grab travelled
        _owner = reply.reply().service();
        emit grabAnswered(true, QString());
    });
}

void SPSettingsDaemonKeys::release()
{
    if (_owner.isEmpty() || _released)
        return;
    _released = true;
    QDBusMessage call = QDBusMessage::createMethodCall(
        _daemon.service, _daemon.path, _daemon.interface, QStringLiteral("ReleaseMediaPlayerKeys"));
    call << _application;
    // Not waited for: we may be on our way out, and the daemon forgets us
    // anyway once our name leaves the bus.
    if (!_bus.send(call))
        QVLog("[WARNING] Could not release the media keys from %s: %s", qPrintable(_daemon.service),
            qPrintable(_bus.lastError().message()));
    _owner.clear();
}

void SPSettingsDaemonKeys::_onOwnerChanged(const QString& newOwner)
{
    _owner.clear();
    if (newOwner.isEmpty() || _released)
        return;
    // A restarted daemon has forgotten us.
    grab();
}

void SPSettingsDaemonKeys::_onMediaPlayerKeyPressed(
    const QString& application, const QString& key, const QDBusMessage& message)
{
    if (_owner.isEmpty() || message.service() != _owner || application != _application)
        return; // another program's key, or not from the daemon we grabbed
    if (key.size() > kMaxKeyNameLength)
        return;
    const int keyCode = keyCodeForName(key);
    if (keyCode >= 0)
        emit keyPressed(keyCode);
}
