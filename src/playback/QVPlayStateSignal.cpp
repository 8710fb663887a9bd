#include "QVPlayStateSignal.h"

#include "QVConstants.h"
#include "QVLog.h"

#include <QDBusMessage>

QVPlayStateSignal::QVPlayStateSignal(const QDBusConnection& bus)
    : _bus(bus)
{
}

QVPlayStateSignal* QVPlayStateSignal::sharedInstance()
{
    static auto* signal = new QVPlayStateSignal();
    return signal;
}

void QVPlayStateSignal::post()
{
    if (!_bus)
        _bus = QDBusConnection::sessionBus();
    if (!_bus->isConnected()) {
        if (!_loggedFailure)
            QVLog("[WARNING] No session bus: other programs will not hear of play-state changes");
        _loggedFailure = true;
        return;
    }
    _bus->send(QDBusMessage::createSignal(QString::fromLatin1(QVDBusObjectPath),
        QString::fromLatin1(QVDBusInterface), QStringLiteral("playStateChanged")));
}
