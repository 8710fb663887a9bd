#include "QVUserDefaults.h"

#include "QVNotificationCenter.h"
#include "QVTextValue.h"

#include <QStandardPaths>

namespace {
const char* const kDidChange = "QVUserDefaultsDidChangeNotification";

} // namespace

QVUserDefaults* QVUserDefaults::standardUserDefaults()
{
    static QVUserDefaults* defaults = [] {
        const QString dir = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
        return new QVUserDefaults(dir + QStringLiteral("/Quiv/Quiv.conf"));
    }();
    return defaults;
}

QVUserDefaults::QVUserDefaults(const QString& filePath, QVNotificationCenter* center)
    : _settings(std::make_unique<QSettings>(filePath, QSettings::IniFormat))
    , _center(center ? center : QVNotificationCenter::defaultCenter())
{
}

QVUserDefaults::~QVUserDefaults() = default;

void QVUserDefaults::registerDefaults(const QVariantMap& defaults)
{
    for (auto it = defaults.begin(); it != defaults.end(); ++it)
        _registered.insert(it.key(), it.value());
}

QVariant QVUserDefaults::objectForKey(const QString& key) const
{
    const QVariant stored = _settings->value(key);
    if (stored.isValid())
        return stored;
    return _registered.value(key);
}

bool QVUserDefaults::boolForKey(const QString& key) const
{
    const QVariant v = objectForKey(key);
    switch (v.typeId()) {
    case QMetaType::UnknownType:
        return false;
    case QMetaType::Bool:
        return v.toBool();
    case QMetaType::QString:
    case QMetaType::QByteArray:
        return QVTextValue::boolValue(v.toString());
    default:
        return v.toDouble() != 0.0;
    }
}

qint64 QVUserDefaults::integerForKey(const QString& key) const
{
    const QVariant v = objectForKey(key);
    if (v.typeId() == QMetaType::QString) {
        bool ok = false;
        const qint64 n = v.toString().trimmed().toLongLong(&ok);
        if (ok)
            return n;
        return qint64(v.toString().trimmed().toDouble());
    }
    if (v.typeId() == QMetaType::Bool)
        return v.toBool() ? 1 : 0;
    return v.toLongLong();
}

QString QVUserDefaults::stringForKey(const QString& key) const
{
    const QVariant v = objectForKey(key);
    return v.canConvert<QString>() ? v.toString() : QString();
}

QVariantList QVUserDefaults::arrayForKey(const QString& key) const
{
    const QVariant v = objectForKey(key);
    if (v.typeId() == QMetaType::QStringList || v.typeId() == QMetaType::QVariantList)
        return v.toList();
    // A one-element list comes back from an INI file as a bare string.
    if (v.typeId() == QMetaType::QString)
        return QVariantList{v};
    return {};
}

QVariantMap QVUserDefaults::dictionaryForKey(const QString& key) const
{
    return objectForKey(key).toMap();
}

void QVUserDefaults::setValue(const QVariant& value, const QString& key)
{
    if (value.isValid())
        _settings->setValue(key, value);
    else
        _settings->remove(key);
    _center->postNotificationName(QString::fromLatin1(kDidChange), this);
}

void QVUserDefaults::removeObjectForKey(const QString& key)
{
    setValue(QVariant(), key);
}

void QVUserDefaults::synchronize()
{
    _settings->sync();
}

QString QVUserDefaults::filePath() const
{
    return _settings->fileName();
}
