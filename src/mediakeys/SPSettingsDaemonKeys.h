#pragma once

#include <QDBusConnection>
#include <QList>
#include <QObject>
#include <QString>

class QDBusMessage;
class QDBusServiceWatcher;

// The media keys as a GNOME-family settings daemon hands them out: the
// application that grabbed last gets them. We grab at start, again whenever
// our window becomes active and whenever the daemon comes back, and release
// when we stop. Main thread only.
class SPSettingsDaemonKeys : public QObject
{
    Q_OBJECT
public:
    struct Daemon {
        QString service;
        QString path;
        QString interface;
    };
    // In the order they are tried.
    static const QList<Daemon>& knownDaemons();
    // The key code a daemon's key name stands for, or -1.
    static int keyCodeForName(const QString& key);

    SPSettingsDaemonKeys(const QDBusConnection& bus, const Daemon& daemon, const QString& application,
        QObject* parent = nullptr);
    ~SPSettingsDaemonKeys() override;

    const Daemon& daemon() const { return _daemon; }
    bool isGrabbed() const { return !_owner.isEmpty(); }

    // Asynchronous: the answer comes as grabAnswered.
    void grab();
    // Tells the daemon we no longer want the keys.
    void release();

signals:
    void grabAnswered(bool ok, const QString& error);
    // One per key press the daemon sends us.
    void keyPressed(int keyCode);

private slots:
    void _onMediaPlayerKeyPressed(
        const QString& application, const QString& key, const QDBusMessage& message);

private:
    void _onOwnerChanged(const QString& newOwner);

    QDBusConnection _bus;
    Daemon _daemon;
    QString _application;
    QString _owner; // the daemon's unique name once it has taken our grab
    QDBusServiceWatcher* _watcher = nullptr;
    bool _connected = false;
    bool _released = false;
};
