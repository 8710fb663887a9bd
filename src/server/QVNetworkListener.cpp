#include "QVNetworkListener.h"

#include "QVEventQueue.h"
#include "QVLog.h"
#include "QVNetworkListenerDelegate.h"
#include "QVServiceHTTPInterface.h"
#include "QVSystemNetworkChangeSource.h"
#include "QVUtils.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

namespace {

// An answer with an HTTP status, whatever the status, means the host is there.
// Transport errors (refused, reset, cut short, time-out) mean it is not.
bool hostAnswered(QNetworkReply* reply)
{
    if (!reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid())
        return false;
    const QNetworkReply::NetworkError error = reply->error();
    return error == QNetworkReply::NoError
        || (error >= QNetworkReply::ContentAccessDenied && error <= QNetworkReply::UnknownContentError)
        || (error >= QNetworkReply::InternalServerError && error <= QNetworkReply::UnknownServerError);
}

} // namespace

QVNetworkListener::QVNetworkListener()
    : QVNetworkListener(nullptr, Intervals())
{
}

QVNetworkListener::QVNetworkListener(std::unique_ptr<QVNetworkChangeSource> source, Intervals intervals)
    : _source(source ? std::move(source) : std::make_unique<QVSystemNetworkChangeSource>())
    , _intervals(intervals)
{
    // One restartable timer each: retries never add a second chain of probes.
    for (QTimer* timer : { &_retryTimer, &_pollTimer, &_probeTimer })
        timer->setSingleShot(true);
    _retryTimer.setInterval(_intervals.retryMs);
    _pollTimer.setInterval(_intervals.pollMs);
    _probeTimer.setInterval(_intervals.probeTimeoutMs);
    connect(&_retryTimer, &QTimer::timeout, this, &QVNetworkListener::_attemptHostReachableCheck);
    connect(&_pollTimer, &QTimer::timeout, this, &QVNetworkListener::_attemptHostReachableCheck);
    connect(&_probeTimer, &QTimer::timeout, this, [this] {
        QVLog("[WARNING] The reachability probe had no answer within %d ms", _intervals.probeTimeoutMs);
        _abortProbe();
        _probeEnded(false);
    });
    connect(_source.get(), &QVNetworkChangeSource::changed, this,
        &QVNetworkListener::_handleNetworkPropertyChanged);
}

QVNetworkListener::~QVNetworkListener()
{
    // Mid-probe: the reply goes without a word to the delegate.
    _abortProbe();
}

void QVNetworkListener::setHostName(const QString& hostName)
{
    if (hostName == _hostName)
        return;
    _hostName = hostName;
    if (!_isListening)
        return;
    // An answer from the old host says nothing about the new one.
    _abortProbe();
    _attemptHostReachableCheck();
}

void QVNetworkListener::startListening()
{
    ++_startCount;
    if (_isListening)
        return;
    _isListening = true;
    _hasChangeSource = _source->start();
    if (!_hasChangeSource)
        QVLog(" --- ERROR: Could not set store notification keys!");
    _state = _source->state();
    checkIsHostReachable();
}

void QVNetworkListener::checkIsHostReachable()
{
    // Offline with the next probe already on its way: asking again adds none.
    if (!_isHostReachable && _retryTimer.isActive())
        return;
    _attemptHostReachableCheck();
}

void QVNetworkListener::_handleNetworkPropertyChanged()
{
    _state = _source->state();
    _attemptHostReachableCheck();
}

QString QVNetworkListener::_probeURL() const
{
    const QVServiceHTTPInterface service
        = _hostName.isEmpty() ? QVServiceHTTPInterface() : QVServiceHTTPInterface(_hostName);
    return service.reachabilityProbeURL();
}

void QVNetworkListener::_attemptHostReachableCheck()
{
    if (_reply)
        return;
    _retryTimer.stop();
    _pollTimer.stop();
    if (!_manager) {
        _manager = new QNetworkAccessManager(this);
        // Nothing of the probe may come from a cache.
        _manager->setCache(nullptr);
    }
    QNetworkRequest request { QUrl(_probeURL()) };
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    ++_probeCount;
    QNetworkReply* reply = _manager->get(request);
    _reply = reply;
    // The body is a pixel; anything more is not read.
    reply->setReadBufferSize(4096);
    connect(reply, &QNetworkReply::finished, this, [this, reply] {
        if (reply != _reply)
            return;
        const bool reachable = hostAnswered(reply);
        if (!reachable)
            QVLog("[WARNING] The service host did not answer the probe: %s",
                qPrintable(QVUtils::stringForLog(reply->errorString(), 200)));
        _reply = nullptr;
        _probeTimer.stop();
        reply->deleteLater();
        _probeEnded(reachable);
    });
    _probeTimer.start();
}

void QVNetworkListener::_abortProbe()
{
    _probeTimer.stop();
    if (QNetworkReply* reply = _reply) {
        _reply = nullptr;
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
}

void QVNetworkListener::_probeEnded(bool reachable)
{
    const bool wasReachable = _isHostReachable;
    _isHostReachable = reachable;
    _scheduleNextProbe();
    if (wasReachable == reachable || !_delegate)
        return;
    // The delegate tells the page: never from inside a read's wait.
    QVEventQueue::sharedInstance()->post(this, [this, reachable] {
        if (!_delegate)
            return;
        if (reachable)
            _delegate->onHostnameReachable();
        else
            _delegate->onHostnameNotReachable();
    });
}

void QVNetworkListener::_scheduleNextProbe()
{
    if (!_isHostReachable)
        _retryTimer.start();
    else if (_isListening && !_hasChangeSource)
        _pollTimer.start();
}
