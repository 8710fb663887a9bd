#include "QVURLRedirectSniffer.h"

#include "QVEventQueue.h"
#include "QVLog.h"
#include "QVUtils.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

namespace {

bool isWebURL(const QUrl& url)
{
    return url.isValid() && !url.host().isEmpty()
        && (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https"));
}

QString forLog(const QString& url)
{
    return QVUtils::stringForLog(url, 200);
}

} // namespace

QVURLRedirectSniffer::QVURLRedirectSniffer(
    QVNetworkListener* networkListener, QVURLLoadHandler* owner, int timeoutMs)
    : _networkListener(networkListener)
    , _owner(owner)
{
    _timeout.setSingleShot(true);
    _timeout.setInterval(timeoutMs);
    connect(&_timeout, &QTimer::timeout, this, [this] {
        QVLog("[WARNING] Short link had no answer in time: %s", qPrintable(forLog(_currentURL)));
        _end();
    });
}

QVURLRedirectSniffer::~QVURLRedirectSniffer()
{
    _end();
}

void QVURLRedirectSniffer::followRedirect(const QString& url)
{
    _lastRequestedURL = url;
    _end();
    const QUrl target(url, QUrl::StrictMode);
    if (url.size() > kMaximumURLLength || !isWebURL(target)) {
        QVLog("[WARNING] Short link not followed: %s", qPrintable(forLog(url)));
        return;
    }
    if (!_manager)
        _manager = new QNetworkAccessManager(this);
    _currentURL = url;
    QNetworkRequest request(target);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(kMaximumRedirects);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    QNetworkReply* reply = _manager->get(request);
    _reply = reply;
    reply->setReadBufferSize(4096);
    connect(reply, &QNetworkReply::metaDataChanged, this, &QVURLRedirectSniffer::_onMetaData);
    connect(reply, &QNetworkReply::finished, this, &QVURLRedirectSniffer::_onFinished);
    _timeout.start();
}

void QVURLRedirectSniffer::_onMetaData()
{
    QNetworkReply* reply = _reply;
    if (!reply || sender() != reply)
        return;
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    // Headers of a redirect Qt is about to follow: wait for the final ones.
    if (!status.isValid() || (status.toInt() >= 300 && status.toInt() < 400))
        return;
    const QUrl answered = reply->url();
    if (isWebURL(answered) && answered != QUrl(_currentURL) && _owner) {
        const QString location = answered.toString(QUrl::FullyEncoded);
        // The owner may read the page: through the queue, never from inside a wait.
        QVEventQueue::sharedInstance()->post(_owner, [owner = _owner, location] {
            if (owner)
                owner->handleURLLoad(location);
        });
    }
    _end();
}

void QVURLRedirectSniffer::_onFinished()
{
    QNetworkReply* reply = _reply;
    if (!reply || sender() != reply)
        return;
    if (reply->error() != QNetworkReply::NoError)
        QVLog("[WARNING] Short link not followed: %s: %s", qPrintable(forLog(_currentURL)),
            qPrintable(forLog(reply->errorString())));
    else
        _onMetaData();
    _end();
}

void QVURLRedirectSniffer::_end()
{
    _timeout.stop();
    _currentURL.clear();
    if (QNetworkReply* reply = _reply) {
        _reply = nullptr;
        reply->disconnect(this);
        // Not from inside the reply's own signal: Qt would report the end twice.
        QMetaObject::invokeMethod(reply, &QNetworkReply::abort, Qt::QueuedConnection);
        reply->deleteLater();
    }
}
