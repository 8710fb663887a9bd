#pragma once

#include "QVSleepMonitor.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>

// logind's PrepareForSleep, under a delay inhibitor lock: the lock is taken at
// start, released once the listener has acknowledged (after its pause), and
// taken again on wake, so the pause really runs before the machine sleeps.
// Without the system bus or logind it logs one line and stays inert.
class QVLogindSleepMonitor : public QVSleepMonitor
{
    Q_OBJECT
public:
    // Tests pass a private bus with a stand-in for logind.
    explicit QVLogindSleepMonitor(QObject* parent = nullptr);
    explicit QVLogindSleepMonitor(const QDBusConnection& bus, QObject* parent = nullptr);

    bool start();
    void acknowledgeSleep() override;
    bool holdsInhibitor() const { return _inhibitor.isValid(); }

signals:
    // The inhibitor call answered (taken or not); for tests and diagnostics.
    void inhibitorChanged(bool held);

private slots:
    void _onPrepareForSleep(bool starting, const QDBusMessage& message);

private:
    void _takeInhibitor();
    void _logUnavailable(const QString& why);

    QDBusConnection _bus;
    QDBusUnixFileDescriptor _inhibitor;
    // logind's unique bus name, and how often it has changed hands.
    QString _logindOwner;
    quint64 _ownerChanges = 0;
    bool _started = false;
    bool _loggedFailure = false;
};
