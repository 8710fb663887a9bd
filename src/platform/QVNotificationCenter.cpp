#include "QVNotificationCenter.h"

#include <algorithm>

QVNotificationCenter* QVNotificationCenter::defaultCenter()
{
    static QVNotificationCenter center;
    return &center;
}

void QVNotificationCenter::addObserver(const void* observer, const QString& name, Handler handler,
                                       QObject* sender)
{
    QMutexLocker locker(&_lock);
    _entries.push_back(Entry{_nextID++, observer, name, sender, std::move(handler)});
}

void QVNotificationCenter::removeObserver(const void* observer)
{
    QMutexLocker locker(&_lock);
    std::erase_if(_entries, [observer](const Entry& e) { return e.observer == observer; });
}

void QVNotificationCenter::removeObserver(const void* observer, const QString& name)
{
    QMutexLocker locker(&_lock);
    std::erase_if(_entries, [&](const Entry& e) { return e.observer == observer && e.name == name; });
}

void QVNotificationCenter::postNotificationName(const QString& name, QObject* object)
{
    // Snapshot the matching entries, then call them without the lock: a handler
    // may post, add or remove. Entries removed meanwhile are skipped.
    std::vector<quint64> ids;
    {
        QMutexLocker locker(&_lock);
        for (const Entry& e : _entries)
            if (e.name == name && (!e.sender || e.sender == object))
                ids.push_back(e.id);
    }
    const QVNotification notification{name, object};
    for (quint64 id : ids) {
        Handler handler;
        {
            QMutexLocker locker(&_lock);
            auto it = std::find_if(_entries.begin(), _entries.end(),
                                   [id](const Entry& e) { return e.id == id; });
            if (it == _entries.end())
                continue;
            handler = it->handler;
        }
        handler(notification);
    }
}

int QVNotificationCenter::observerCount() const
{
    QMutexLocker locker(&_lock);
    return int(_entries.size());
}
