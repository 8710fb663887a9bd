#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QStringList>

// A GNOME-family settings daemon on its own connection to the (private)
// session bus: records grabs and releases, refuses when told to, and sends
// keys. The interface is named after the object path, as the daemons do.
class QVFakeSettingsDaemon : public QDBusVirtualObject
{
public:
    QVFakeSettingsDaemon(
        const QString& service, const QString& path, const QString& connectionName, bool refuses = false)
        : bus(QDBusConnection::connectToBus(QDBusConnection::SessionBus, connectionName))
        , service(service)
        , path(path)
        , interface(QString(path).mid(1).replace(QLatin1Char('/'), QLatin1Char('.')))
        , name(connectionName)
        , refuses(refuses)
    {
        bus.registerVirtualObject(path, this);
        bus.registerService(service);
    }
    ~QVFakeSettingsDaemon() override
    {
        bus.unregisterService(service);
        bus.unregisterObject(path);
        QDBusConnection::disconnectFromBus(name);
    }
    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override
    {
        if (message.interface() != interface)
            return false;
        calls.append(
            message.member() + QLatin1Char('(') + message.arguments().value(0).toString() + QLatin1Char(')'));
        connection.send(refuses
                ? message.createErrorReply(
                    QStringLiteral("org.freedesktop.DBus.Error.AccessDenied"), QStringLiteral("not now"))
                : message.createReply());
        return true;
    }
    void press(const QString& application, const QString& key)
    {
        QDBusMessage signal
            = QDBusMessage::createSignal(path, interface, QStringLiteral("MediaPlayerKeyPressed"));
        signal << application << key;
        bus.send(signal);
    }

    QDBusConnection bus;
    QString service;
    QString path;
    QString interface;
    QString name;
    bool refuses;
    QStringList calls;
};
