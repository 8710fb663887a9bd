#pragma once

#include <QMutex>
#include <QObject>
#include <QString>

#include <functional>
#include <vector>

struct QVNotification {
    QString name;
    QObject* object = nullptr;
};

// In-process notifications: a name and an object, no payload. Delivery is
// synchronous on the posting thread, to observers in registration order.
class QVNotificationCenter
{
public:
    using Handler = std::function<void(const QVNotification&)>;

    QVNotificationCenter() = default;
    QVNotificationCenter(const QVNotificationCenter&) = delete;
    QVNotificationCenter& operator=(const QVNotificationCenter&) = delete;

    static QVNotificationCenter* defaultCenter();

    // `sender` filters on the posting object; nullptr means from anyone.
    void addObserver(const void* observer, const QString& name, Handler handler,
                     QObject* sender = nullptr);
    void removeObserver(const void* observer);
    void removeObserver(const void* observer, const QString& name);
    void postNotificationName(const QString& name, QObject* object = nullptr);

    int observerCount() const;

private:
    struct Entry {
        quint64 id;
        const void* observer;
        QString name;
        QObject* sender;
        Handler handler;
    };

    mutable QMutex _lock;
    std::vector<Entry> _entries;
    quint64 _nextID = 1;
};
