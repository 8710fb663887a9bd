#include "QVLogindSleepMonitor.h"

#include "QVLog.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>

namespace {
const QString kService = QStringLiteral("org.freedesktop.login1");
const QString kPath = QStringLiteral("/org/freedesktop/login1");
const QString kInterface = QStringLiteral("org.freedesktop.login1.Manager");
} // namespace

QVLogindSleepMonitor::QVLogindSleepMonitor(QObject* parent)
    : QVLogindSleepMonitor(QDBusConnection::systemBus(), parent)
{
}

QVLogindSleepMonitor::QVLogindSleepMonitor(const QDBusConnection& bus, QObject* parent)
    : QVSleepMonitor(parent)
    , _bus(bus)
{
}

bool QVLogindSleepMonitor::start()
{
    if (_started)
        return true;
    if (!_bus.isConnected()) {
        _logUnavailable(QStringLiteral("no system bus"));
        return false;
    }
    // Matched without logind's name, which would make Qt look up its owner
    // and wait for the answer; the slot takes logind's signals only.
    if (!_bus.connect(QString(), kPath, kInterface, QStringLiteral("PrepareForSleep"), this,
            SLOT(_onPrepareForSleep(bool, QDBusMessage)))) {
        _logUnavailable(_bus.lastError().message());
        return false;
    }
    auto* owners = new QDBusServiceWatcher(kService, _bus, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(owners, &QDBusServiceWatcher::serviceOwnerChanged, this,
        [this](const QString&, const QString&, const QString& owner) {
            _logindOwner = owner;
            ++_ownerChanges;
        });
    const quint64 changes = _ownerChanges;
    auto* watcher = new QDBusPendingCallWatcher(
        _bus.interface()->asyncCall(QStringLiteral("GetNameOwner"), kService), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
        [this, changes](QDBusPendingCallWatcher* finished) {
            finished->deleteLater();
            const QDBusPendingReply<QString> reply = *finished;
            if (!reply.isError() && changes == _ownerChanges)
                _logindOwner = reply.value();
        });
    _started = true;
    _takeInhibitor();
    return true;
}

void QVLogindSleepMonitor::_takeInhibitor()
{
    if (_inhibitor.isValid())
        return;
    QDBusMessage call
        = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Inhibit"));
    call << QStringLiteral("sleep") << QStringLiteral("Quiv")
         << QStringLiteral("Pause playback before sleeping") << QStringLiteral("delay");
    auto* watcher = new QDBusPendingCallWatcher(_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* finished) {
        finished->deleteLater();
        QDBusPendingReply<QDBusUnixFileDescriptor> reply = *finished;
        if (reply.isError() || !reply.value().isValid()) {
            _logUnavailable(reply.isError() ? reply.error().message() : QStringLiteral("no lock was given"));
            emit inhibitorChanged(false);
            return;
        }
        _inhibitor = reply.value();
        emit inhibitorChanged(true);
    });
}

void QVLogindSleepMonitor::_onPrepareForSleep(bool starting, const QDBusMessage& message)
{
    if (_logindOwner.isEmpty() || message.service() != _logindOwner)
        return; // another program's
    if (starting)
        emit systemWillSleep();
    else
        _takeInhibitor(); // awake again: hold the next sleep for our pause too
}

void QVLogindSleepMonitor::acknowledgeSleep()
{
    if (!_inhibitor.isValid())
        return;
    // Closing our copy of the descriptor releases the lock.
    _inhibitor = QDBusUnixFileDescriptor();
    emit inhibitorChanged(false);
}

void QVLogindSleepMonitor::_logUnavailable(const QString& why)
{
    if (_loggedFailure)
        return;
    _loggedFailure = true;
    QVLog("[WARNING] logind is not available (%s): playback will not pause before sleep", qPrintable(why));
}
