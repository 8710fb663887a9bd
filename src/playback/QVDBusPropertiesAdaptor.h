#pragma once

#include <QDBusAbstractAdaptor>
#include <QDBusError>
#include <QDBusVariant>
#include <QVariantMap>

#include <utility>

class QDBusContext;

// org.freedesktop.DBus.Properties for an object exported with its adaptors.
// Qt answers a property write itself, outside the call context, so a setter
// cannot refuse a value: the caller gets a plain reply or "Internal error".
// Routed through this adaptor, a write is an ordinary call: the object's
// setter may answer with an error (QDBusContext::sendErrorReply), and a value
// of the wrong type gets InvalidArgs before any setter runs. The parent must
// derive from QDBusContext.
class QVDBusPropertiesAdaptor : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.DBus.Properties")
    // The bus already describes this interface for every object.
    Q_CLASSINFO("D-Bus Introspection", "")
public:
    explicit QVDBusPropertiesAdaptor(QObject* parent);

public slots:
    QDBusVariant Get(const QString& interface, const QString& name);
    QVariantMap GetAll(const QString& interface);
    void Set(const QString& interface, const QString& name, const QDBusVariant& value);

private:
    // The parent's adaptors for `interface`; all of them when it is empty.
    QList<QObject*> _adaptorsFor(const QString& interface) const;
    // The adaptor and index of a property, or an error sent and {nullptr, -1}.
    std::pair<QObject*, int> _find(const QString& interface, const QString& name) const;
    void _fail(QDBusError::ErrorType type, const QString& text) const;

    const QDBusContext* _context;
};
