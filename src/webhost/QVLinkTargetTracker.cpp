#include "QVLinkTargetTracker.h"

#include "QVLog.h"
#include "QVNavigationController.h"
#include "QVUtils.h"

#include <chrono>

QVLinkTargetTracker::QVLinkTargetTracker(Clock clock)
    : _clock(std::move(clock))
{
    if (!_clock)
        _clock = [] {
            using namespace std::chrono;
            return qint64(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
        };
}

void QVLinkTargetTracker::report(const QVariantList& arguments)
{
    const auto isText = [&](int i) { return arguments.value(i).typeId() == QMetaType::QString; };
    if (arguments.size() != 2 || !isText(0) || !isText(1)) {
        QVLog("[WARNING] Dropped a link target report: %d arguments, not a name and an address",
            int(arguments.size()));
        return;
    }
    const QString name = arguments.at(0).toString();
    const QString href = arguments.at(1).toString();
    if (name.isEmpty() || name.size() > kMaxNameLength) {
        QVLog("[WARNING] Dropped a link target report: a name of %d characters", int(name.size()));
        return;
    }
    const QUrl url(href, QUrl::StrictMode);
    if (href.size() > QVNavigationController::kMaxURLLength || !url.isValid() || url.isRelative()) {
        QVLog("[WARNING] Dropped a link target report: not an address: %s",
            qPrintable(QVUtils::stringForLog(href, 200)));
        return;
    }
    _url = url;
    _name = name;
    _reportedAt = _clock();
}

QString QVLinkTargetTracker::targetFor(const QUrl& url) const
{
    const qint64 age = _clock() - _reportedAt;
    if (_name.isEmpty() || age < 0 || age > kLifetime || url != _url
        || _name.compare(QLatin1String("_blank"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("_blank");
    return _name;
}
