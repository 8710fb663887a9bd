#pragma once

#include <QString>
#include <QUrl>
#include <QVariantList>

#include <functional>

// The target name of the link the page's user just followed. The engine asks
// for a new window without saying which named window a link wants; the
// bridge script reports the link's name and address on the click, just
// before, and the request for the same address finds it here.
class QVLinkTargetTracker
{
public:
    // Milliseconds on a monotonic clock; tests pass their own.
    using Clock = std::function<qint64()>;
    explicit QVLinkTargetTracker(Clock clock = {});

    // The page's [name, address]; anything else is dropped with one log line.
    void report(const QVariantList& arguments);
    // The name last reported for `url` if it is recent, else "_blank".
    QString targetFor(const QUrl& url) const;

    // Longer names are no window's: dropped.
    static constexpr int kMaxNameLength = 256;
    // A report counts this long: the request follows the click in the same turn.
    static constexpr qint64 kLifetime = 500;

private:
    Clock _clock;
    QUrl _url;
    QString _name;
    qint64 _reportedAt = 0;
};
