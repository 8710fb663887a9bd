#pragma once

#include <QSettings>
#include <QString>
#include <QVariant>

#include <memory>

class QVNotificationCenter;

// The user's stored settings. Registered defaults live in memory only and are
// never written; reads fall back to them when a key was never stored.
class QVUserDefaults : public QObject
{
    Q_OBJECT
public:
    static QVUserDefaults* standardUserDefaults();

    // An INI store at `filePath`; tests point this at a scratch file.
    explicit QVUserDefaults(const QString& filePath, QVNotificationCenter* center = nullptr);
    ~QVUserDefaults() override;

    void registerDefaults(const QVariantMap& defaults);

    // The stored value, else the registered one, else an invalid QVariant.
    QVariant objectForKey(const QString& key) const;
    QVariant valueForKey(const QString& key) const { return objectForKey(key); }
    bool boolForKey(const QString& key) const;
    qint64 integerForKey(const QString& key) const;
    QString stringForKey(const QString& key) const;
    QVariantList arrayForKey(const QString& key) const;
    QVariantMap dictionaryForKey(const QString& key) const;

    // Posts QVUserDefaultsDidChangeNotification with this object.
    void setValue(const QVariant& value, const QString& key);
    void removeObjectForKey(const QString& key);
    void synchronize();

    QString filePath() const;

private:
    std::unique_ptr<QSettings> _settings;
    QVariantMap _registered;
    QVNotificationCenter* _center;
};
