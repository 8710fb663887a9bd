#include "QVDBusPropertiesAdaptor.h"

#include <QDBusContext>
#include <QDBusMetaType>
#include <QMetaProperty>

namespace {

QString interfaceOf(const QObject* adaptor)
{
    const QMetaObject* meta = adaptor->metaObject();
    const int index = meta->indexOfClassInfo("D-Bus Interface");
    return index < 0 ? QString() : QString::fromLatin1(meta->classInfo(index).value());
}

bool isNumber(QMetaType type)
{
    switch (type.id()) {
    case QMetaType::UChar:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
        return true;
    default:
        return false;
    }
}

} // namespace

QVDBusPropertiesAdaptor::QVDBusPropertiesAdaptor(QObject* parent)
    : QDBusAbstractAdaptor(parent)
    , _context(static_cast<const QDBusContext*>(parent->qt_metacast("QDBusContext")))
{
    Q_ASSERT(_context);
}

QList<QObject*> QVDBusPropertiesAdaptor::_adaptorsFor(const QString& interface) const
{
    QList<QObject*> found;
    for (QObject* child : parent()->children()) {
        if (child != this && qobject_cast<QDBusAbstractAdaptor*>(child)
            && (interface.isEmpty() || interfaceOf(child) == interface))
            found.append(child);
    }
    return found;
}

std::pair<QObject*, int> QVDBusPropertiesAdaptor::_find(const QString& interface, const QString& name) const
{
    const QList<QObject*> adaptors = _adaptorsFor(interface);
    if (adaptors.isEmpty()) {
        _fail(QDBusError::UnknownInterface, QStringLiteral("No interface %1").arg(interface.left(256)));
        return { nullptr, -1 };
    }
    const QByteArray key = name.toUtf8();
    for (QObject* adaptor : adaptors) {
        const int index = adaptor->metaObject()->indexOfProperty(key.constData());
        if (index >= QDBusAbstractAdaptor::staticMetaObject.propertyCount())
            return { adaptor, index };
    }
    _fail(QDBusError::UnknownProperty, QStringLiteral("No property %1").arg(name.left(256)));
    return { nullptr, -1 };
}

void QVDBusPropertiesAdaptor::_fail(QDBusError::ErrorType type, const QString& text) const
{
    if (_context && _context->calledFromDBus())
        _context->sendErrorReply(type, text);
}

QDBusVariant QVDBusPropertiesAdaptor::Get(const QString& interface, const QString& name)
{
    const auto [adaptor, index] = _find(interface, name);
    if (!adaptor)
        return {};
    return QDBusVariant(adaptor->metaObject()->property(index).read(adaptor));
}

QVariantMap QVDBusPropertiesAdaptor::GetAll(const QString& interface)
{
    QVariantMap all;
    const QList<QObject*> adaptors = _adaptorsFor(interface);
    if (adaptors.isEmpty() && !interface.isEmpty()) {
        _fail(QDBusError::UnknownInterface, QStringLiteral("No interface %1").arg(interface.left(256)));
        return all;
    }
    for (QObject* adaptor : adaptors) {
        const QMetaObject* meta = adaptor->metaObject();
        for (int i = QDBusAbstractAdaptor::staticMetaObject.propertyCount(); i < meta->propertyCount(); ++i) {
            if (meta->property(i).isReadable())
                all.insert(QString::fromLatin1(meta->property(i).name()), meta->property(i).read(adaptor));
        }
    }
    return all;
}

void QVDBusPropertiesAdaptor::Set(const QString& interface, const QString& name, const QDBusVariant& value)
{
    const auto [adaptor, index] = _find(interface, name);
    if (!adaptor)
        return;
    const QMetaProperty property = adaptor->metaObject()->property(index);
    if (!property.isWritable()) {
        _fail(QDBusError::PropertyReadOnly, QStringLiteral("%1 is read-only").arg(name));
        return;
    }
    // Numbers convert among themselves when no value is lost, as a caller
    // may send "i" for a "u"; anything else must come as the property's type.
    const QMetaType type = property.metaType();
    QVariant written = value.variant();
    const bool fits = written.metaType() == type
        || (isNumber(written.metaType()) && isNumber(type) && written.convert(type)
            && written.toDouble() == value.variant().toDouble());
    if (!fits) {
        _fail(QDBusError::InvalidArgs,
            QStringLiteral("%1 takes a value of type \"%2\"")
                .arg(name, QLatin1String(QDBusMetaType::typeToSignature(type))));
        return;
    }
    // The setter may still refuse the value, with its own error reply.
    property.write(adaptor, written);
}
