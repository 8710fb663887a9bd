#include "QVServerRequest.h"

#include "QVEventQueue.h"

#include "QVLog.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QThread>
#include <QUrl>

#include <algorithm>
#include <atomic>
#include <utility>

namespace {

std::atomic<quint32> lastIdentifier { 0 };
std::atomic<int> runningNow { 0 };
std::atomic<int> runningPeak { 0 };
std::atomic<int> liveRequests { 0 };

QMutex threadStartHookLock;
std::function<void()> threadStartHook;

// What the platform's URL loading used when a request set none: a transfer
// that stalls this long fails instead of holding one of the pool's slots.
constexpr int transferTimeoutMs = 60000;

QVServerRequestIdentifier nextIdentifier()
{
    QVServerRequestIdentifier identifier = ++lastIdentifier;
    while (identifier == 0) // 0 never names a request, even after wrapping
        identifier = ++lastIdentifier;
    return identifier;
}

QVServerError networkError(QNetworkReply* reply)
{
    QVServerError error;
    error.domain = QVServerError::networkDomain;
    error.code = int(reply->error());
    error.userInfo.insert(QStringLiteral("description"), reply->errorString());
    error.userInfo.insert(QStringLiteral("url"), reply->url().toString());
    return error;
}

// Qt reports an HTTP error status as a reply error, but the answer itself
// arrived whole: such a body goes to the delegate like any other.
bool isCompleteHttpAnswer(QNetworkReply* reply)
{
    const QNetworkReply::NetworkError error = reply->error();
    if (error == QNetworkReply::NoError)
        return true;
    if (!reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid())
        return false;
    const int code = int(error);
    return (code >= 201 && code <= 299) || (code >= 401 && code <= 499)
        || error == QNetworkReply::ProtocolInvalidOperationError;
}

// "bytes 400-999/1000": the first byte and the whole length (-1 when "*").
// False when the header is there but does not read as a byte range.
bool parseContentRange(const QByteArray& header, qint64* first, qint64* total)
{
    const QByteArray value = header.trimmed();
    if (!value.startsWith("bytes "))
        return false;
    const qsizetype dash = value.indexOf('-');
    const qsizetype slash = value.indexOf('/');
    if (dash < 0 || slash < dash)
        return false;
    bool ok = false;
    *first = value.mid(6, dash - 6).trimmed().toLongLong(&ok);
    if (!ok)
        return false;
    const QByteArray whole = value.mid(slash + 1).trimmed();
    *total = whole == "*" ? -1 : whole.toLongLong(&ok);
    return ok;
}

} // namespace

QVServerRequest::QVServerRequest(const QString& requestURL,
    const std::optional<QVServerRequestParams>& requestParams, QVServerRequestDelegate* delegate)
    : _requestURL(requestURL)
    , _requestParams(requestParams)
    , _identifier(nextIdentifier())
    , _maximumBodyLength(defaultMaximumBodyLength)
{
    if (delegate)
        _delegate = delegate->weakReference();
    ++liveRequests;
}

QVServerRequest::~QVServerRequest()
{
    {
        // Only a request never handed to a pool can still run here.
        QMutexLocker lock(&_lock);
        if (_requestState == Queued || _requestState == Running) {
            _setStateLocked(Cancelled);
            _stopThreadLocked();
        }
    }
    if (_thread)
        _thread->wait();
    --liveRequests;
}

void QVServerRequest::setupResumeFromDictionary(const QVariantMap& resumeDictionary)
{
    QMutexLocker lock(&_lock);
    _requestData = resumeDictionary.value(QStringLiteral("requestData")).toByteArray();
    _expectedLength = resumeDictionary.value(QStringLiteral("expectedLength")).toLongLong();
    _receivedLength = _requestData.size();
}

int QVServerRequest::requestState() const
{
    QMutexLocker lock(&_lock);
    return _requestState;
}

qint64 QVServerRequest::maximumBodyLength() const
{
    QMutexLocker lock(&_lock);
    return _maximumBodyLength;
}

void QVServerRequest::setMaximumBodyLength(qint64 length)
{
    QMutexLocker lock(&_lock);
    _maximumBodyLength = std::max<qint64>(0, length);
}

bool QVServerRequest::isThreadFinished() const
{
    QMutexLocker lock(&_lock);
    return !_thread || _thread->isFinished();
}

bool QVServerRequest::waitForThread(QDeadlineTimer deadline)
{
    QThread* thread = nullptr;
    {
        QMutexLocker lock(&_lock);
        thread = _thread.get();
    }
    return !thread || thread->wait(deadline);
}

void QVServerRequest::setThreadStartHook(std::function<void()> hook)
{
    QMutexLocker lock(&threadStartHookLock);
    threadStartHook = std::move(hook);
}

int QVServerRequest::runningCount()
{
    return runningNow.load();
}

int QVServerRequest::peakRunningCount()
{
    return runningPeak.load();
}

void QVServerRequest::resetPeakRunningCount()
{
    runningPeak.store(runningNow.load());
}

int QVServerRequest::liveCount()
{
    return liveRequests.load();
}

void QVServerRequest::runRequest()
{
    QMutexLocker lock(&_lock);
    if (_requestState != Queued)
        return;
    _setStateLocked(Running);
    _thread.reset(QThread::create([this] { _runRequest(); }));
    _thread->setObjectName(QStringLiteral("QVServerRequest"));
    _thread->start();
}

void QVServerRequest::cancelRequest()
{
    std::weak_ptr<QVServerRequestDelegate*> delegate;
    {
        QMutexLocker lock(&_lock);
        if (_requestState != Queued && _requestState != Running)
            return; // ended requests already had their one final callback
        _setStateLocked(Cancelled);
        _stopThreadLocked();
        // Callbacks already on their way find no delegate: the cancel is the last.
        delegate = std::exchange(_delegate, {});
    }
    const QVServerRequestIdentifier identifier = _identifier;
    _postFinal(
        delegate, [identifier](QVServerRequestDelegate& target) { target.onConnectionCanceled(identifier); });
    _callEndedHandler();
}

void QVServerRequest::pauseRequest()
{
    std::weak_ptr<QVServerRequestDelegate*> delegate;
    QVariantMap resumeDictionary;
    {
        QMutexLocker lock(&_lock);
        if (_requestState != Queued && _requestState != Running)
            return;
        if (_supportsResume) {
            _setStateLocked(Cancelled);
            _stopThreadLocked();
            resumeDictionary.insert(QStringLiteral("requestData"), _requestData);
            resumeDictionary.insert(QStringLiteral("expectedLength"), _expectedLength);
            delegate = std::exchange(_delegate, {});
        }
    }
    if (resumeDictionary.isEmpty()) {
        QVLog("[WARNING] Tried to suspend a request for '%s' that doesn't support pause/resume!",
            qPrintable(_loggableURL()));
        cancelRequest();
        return;
    }
    const QVServerRequestIdentifier identifier = _identifier;
    _postFinal(delegate, [identifier, resumeDictionary](QVServerRequestDelegate& target) {
        target.onConnectionPaused(identifier, resumeDictionary);
    });
    _callEndedHandler();
}

void QVServerRequest::_setEndedHandler(std::function<void()> handler)
{
    QMutexLocker lock(&_lock);
    _endedHandler = std::move(handler);
}

void QVServerRequest::_callEndedHandler()
{
    std::function<void()> handler;
    {
        QMutexLocker lock(&_lock);
        handler = _endedHandler;
    }
    if (handler)
        handler();
}

void QVServerRequest::_setStateLocked(int state)
{
    if (_requestState == Running && state != Running)
        --runningNow;
    if (state == Running && _requestState != Running) {
        const int now = ++runningNow;
        int peak = runningPeak.load();
        while (now > peak && !runningPeak.compare_exchange_weak(peak, now)) { }
    }
    _requestState = state;
}

void QVServerRequest::_stopThreadLocked()
{
    // Queued to the request's own thread: the reply and the loop are only
    // touched there. Should the loop have ended already, the event dies with
    // its receiver.
    if (_threadContext)
        QMetaObject::invokeMethod(
            _threadContext, [this] { _stopTransfer(); }, Qt::QueuedConnection);
}

QByteArray QVServerRequest::_requestParamsString() const
{
    // Keys and values are percent-encoded whole: "=", "+", "%" and non-ASCII
    // text would otherwise be read back wrongly by the server's form parser.
    QByteArray body;
    if (!_requestParams)
        return body;
    for (auto it = _requestParams->cbegin(); it != _requestParams->cend(); ++it) {
        body += QUrl::toPercentEncoding(it.key());
        body += '=';
        body += QUrl::toPercentEncoding(it.value());
        body += '&';
    }
    body.chop(1);
    return body;
}

QString QVServerRequest::_loggableURL() const
{
    // URLs can come from the page: keep log lines short and on one line.
    QString text = _requestURL.left(256);
    for (QChar& c : text) {
        if (c.category() == QChar::Other_Control)
            c = u'?';
    }
    return text;
}

void QVServerRequest::_runRequest()
{
    std::function<void()> hook;
    {
        QMutexLocker lock(&threadStartHookLock);
        hook = threadStartHook;
    }
    if (hook)
        hook();
    if (requestState() != Running)
        return; // cancelled before the thread began

    const QVServerRequestIdentifier identifier = _identifier;
    _post([identifier](QVServerRequestDelegate& delegate) { delegate.onConnectionStarted(identifier); });

    const QUrl url(_requestURL, QUrl::StrictMode);
    QString problem;
    if (!url.isValid() || url.isEmpty())
        problem = url.errorString().isEmpty() ? QStringLiteral("Invalid URL") : url.errorString();
    else if (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https"))
        problem = QStringLiteral("Unsupported URL scheme \"%1\"").arg(url.scheme().left(32));
    else if (url.host().isEmpty())
        problem = QStringLiteral("The URL has no host");
    if (!problem.isEmpty()) {
        QVLog("Caught exception : %s while trying to create a URL for %s", qPrintable(problem),
            qPrintable(_loggableURL()));
        bool failed = false;
        {
            QMutexLocker lock(&_lock);
            if (_requestState == Running) {
                _setStateLocked(FailedToStart);
                failed = true;
            }
        }
        if (failed) {
            const QVServerError error = QVServerError::clientError(problem);
            _post([identifier, error](
                      QVServerRequestDelegate& delegate) { delegate.onConnectionFailed(identifier, error); });
            _callEndedHandler();
        }
        return;
    }

    QNetworkRequest request(url);
    request.setTransferTimeout(transferTimeoutMs);
    // Lengths, progress and byte ranges count the bytes as the server keeps them.
    request.setRawHeader("Accept-Encoding", "identity");
    QByteArray body;
    {
        QMutexLocker lock(&_lock);
        if (_requestParams) {
            body = _requestParamsString();
            request.setHeader(
                QNetworkRequest::ContentTypeHeader, QByteArray("application/x-www-form-urlencoded"));
            request.setRawHeader("Content-Length", QByteArray::number(body.size()));
        }
        if (!_requestData.isEmpty()) {
            // The end is the whole length; servers clamp it to the last byte.
            const QByteArray end = _expectedLength > 0 ? QByteArray::number(_expectedLength) : QByteArray();
            request.setRawHeader("Range", "bytes=" + QByteArray::number(_requestData.size()) + "-" + end);
        }
    }

    QNetworkAccessManager manager;
    QEventLoop loop;
    QNetworkReply* reply = _requestParams ? manager.post(request, body) : manager.get(request);
    QObject::connect(reply, &QNetworkReply::metaDataChanged, &manager,
        [this, reply, &loop] { _handleResponse(reply, &loop, false); });
    QObject::connect(
        reply, &QNetworkReply::readyRead, &manager, [this, reply, &loop] { _handleData(reply, &loop); });
    QObject::connect(
        reply, &QNetworkReply::finished, &manager, [this, reply, &loop] { _handleFinished(reply, &loop); });

    bool shouldRun = false;
    {
        QMutexLocker lock(&_lock);
        shouldRun = _requestState == Running;
        if (shouldRun) {
            _connection = reply;
            _threadRunLoop = &loop;
            _threadContext = &manager;
        }
    }
    if (shouldRun)
        loop.exec();
    {
        QMutexLocker lock(&_lock);
        _threadContext = nullptr;
    }
    _connection = nullptr;
    _threadRunLoop = nullptr;
    reply->disconnect();
    if (reply->isRunning())
        reply->abort();
    delete reply;
}

void QVServerRequest::_handleResponse(QNetworkReply* reply, QEventLoop* loop, bool isFinal)
{
    if (_responseHandled)
        return;
    const QVariant statusAttribute = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!statusAttribute.isValid())
        return;
    const int statusCode = statusAttribute.toInt();
    if (!isFinal && statusCode >= 300 && statusCode < 400)
        return; // a redirect Qt follows; answer the response at its end
    _responseHandled = true;

    const QVariant lengthHeader = reply->header(QNetworkRequest::ContentLengthHeader);
    const qint64 length = lengthHeader.isValid() ? lengthHeader.toLongLong() : -1;
    const QString mimeType = QString::fromLatin1(reply->rawHeader("Content-Type").split(';').first())
                                 .trimmed()
                                 .toLower()
                                 .left(255);
    // "none" is the server saying it takes no ranges.
    const bool acceptsRanges = reply->hasRawHeader("Accept-Ranges")
        && reply->rawHeader("Accept-Ranges").trimmed().compare("none", Qt::CaseInsensitive) != 0;

    std::optional<QVServerError> failure;
    qint64 expectedLength = 0;
    {
        QMutexLocker lock(&_lock);
        if (_requestState != Running)
            return;
        if (_expectedLength != 0 || _receivedLength != 0) {
            // A resume: only the rest of the same resource may be appended.
            // A plain 200 or a range starting elsewhere would corrupt the body.
            bool same = statusCode == 206 && length == _expectedLength - _receivedLength;
            if (same && reply->hasRawHeader("Content-Range")) {
                qint64 first = -1;
                qint64 total = -1;
                same = parseContentRange(reply->rawHeader("Content-Range"), &first, &total)
                    && first == _receivedLength && (total == -1 || total == _expectedLength);
            }
            if (!same)
                failure = QVServerError::clientError(
                    QStringLiteral("Attempting to resume content that is not the same!"));
        } else {
            _expectedLength = length;
            _receivedLength = 0;
        }
        if (!failure && _expectedLength > _maximumBodyLength)
            failure = QVServerError::clientError(
                QStringLiteral("The response of %1 bytes is larger than the limit of %2 bytes")
                    .arg(_expectedLength)
                    .arg(_maximumBodyLength));
        if (!failure) {
            _statusCode = statusCode;
            _mimeType = mimeType;
            _supportsResume = acceptsRanges;
            expectedLength = _expectedLength;
        }
    }
    if (failure) {
        _finishRunning(failure, reply, loop);
        return;
    }
    _post([statusCode, expectedLength, mimeType](QVServerRequestDelegate& delegate) {
        delegate.onConnectionReceivedResponse(statusCode, expectedLength, mimeType);
    });
}

void QVServerRequest::_handleData(QNetworkReply* reply, QEventLoop* loop)
{
    _handleResponse(reply, loop, true);
    const QByteArray piece = reply->readAll();
    if (piece.isEmpty())
        return;
    std::optional<QVServerError> failure;
    qint64 expectedLength = 0;
    qint64 receivedLength = 0;
    {
        QMutexLocker lock(&_lock);
        if (_requestState != Running)
            return;
        if (_receivedLength + piece.size() > _maximumBodyLength) {
            failure = QVServerError::clientError(
                QStringLiteral("The response is larger than the limit of %1 bytes").arg(_maximumBodyLength));
        } else {
            _requestData.append(piece);
            _receivedLength += piece.size();
            expectedLength = _expectedLength;
            receivedLength = _receivedLength;
        }
    }
    if (failure) {
        _finishRunning(failure, reply, loop);
        return;
    }
    QVServerRequest* self = this;
    _post([self, expectedLength, receivedLength](QVServerRequestDelegate& delegate) {
        self->_notifyProgress(delegate, expectedLength, receivedLength);
    });
}

void QVServerRequest::_handleFinished(QNetworkReply* reply, QEventLoop* loop)
{
    _handleResponse(reply, loop, true);
    if (reply->bytesAvailable() > 0)
        _handleData(reply, loop);
    std::optional<QVServerError> failure;
    if (!isCompleteHttpAnswer(reply)) {
        failure = networkError(reply);
    } else {
        QMutexLocker lock(&_lock);
        // Never hand a short body over as a whole one.
        if (_expectedLength >= 0 && _receivedLength != _expectedLength)
            failure = QVServerError::clientError(QStringLiteral("The response ended after %1 of %2 bytes")
                                                     .arg(_receivedLength)
                                                     .arg(_expectedLength));
    }
    _finishRunning(failure, reply, loop);
}

void QVServerRequest::_finishRunning(
    const std::optional<QVServerError>& failure, QNetworkReply* reply, QEventLoop* loop)
{
    QByteArray data;
    {
        QMutexLocker lock(&_lock);
        if (_requestState != Running)
            return;
        _setStateLocked(Ended);
        data = _requestData;
    }
    reply->disconnect();
    if (reply->isRunning())
        reply->abort();
    loop->quit();

    const QVServerRequestIdentifier identifier = _identifier;
    if (failure) {
        const QVServerError error = *failure;
        if (error.isClientError())
            QVLog("[WARNING] Request for '%s' failed: %s", qPrintable(_loggableURL()),
                qPrintable(error.description()));
        _post([identifier, error](
                  QVServerRequestDelegate& delegate) { delegate.onConnectionFailed(identifier, error); });
    } else {
        _post([identifier, data](
                  QVServerRequestDelegate& delegate) { delegate.onConnectionFinished(identifier, data); });
    }
    _callEndedHandler();
}

void QVServerRequest::_stopTransfer()
{
    if (_connection) {
        _connection->disconnect();
        _connection->abort();
    }
    if (_threadRunLoop)
        _threadRunLoop->quit();
}

void QVServerRequest::_post(std::function<void(QVServerRequestDelegate&)> callback)
{
    QCoreApplication* application = QCoreApplication::instance();
    // The request is being destroyed when no one holds it: nothing to report.
    std::shared_ptr<QVServerRequest> self = weak_from_this().lock();
    if (!application || !self)
        return;
    // On the main thread through the event queue: a delegate may read the
    // page, and a reply arriving while a read waits must not run inside it.
    // The posted call holds the request until it is delivered; this thread
    // keeps no reference, so the request is never released here.
    QVEventQueue::sharedInstance()->post(nullptr, [self = std::move(self), callback = std::move(callback)] {
        if (QVServerRequestDelegate* delegate = self->_currentDelegate())
            callback(*delegate);
    });
}

void QVServerRequest::_postFinal(const std::weak_ptr<QVServerRequestDelegate*>& delegate,
    std::function<void(QVServerRequestDelegate&)> callback)
{
    QCoreApplication* application = QCoreApplication::instance();
    if (!application || delegate.expired())
        return;
    // The main thread through the event queue, as for every other callback,
    // and always later, never inside the caller; the request itself is not
    // needed there.
    QVEventQueue::sharedInstance()->enqueue(nullptr, [delegate, callback = std::move(callback)] {
        if (const std::shared_ptr<QVServerRequestDelegate*> target = delegate.lock())
            callback(**target);
    });
}

void QVServerRequest::_notifyProgress(
    QVServerRequestDelegate& delegate, qint64 expectedLength, qint64 receivedLength)
{
    if (expectedLength > 0 && receivedLength > 0) {
        const float fraction = float(receivedLength) / float(expectedLength);
        const quint32 percentage = std::min<quint32>(100, quint32(fraction * 100.0f));
        if (percentage < _lastProgress + 5)
            return;
        _lastProgress = percentage;
        delegate.onConnectionProgress(percentage);
    } else if (expectedLength == -1 && receivedLength > 0) {
        delegate.onConnectionRawProgress(receivedLength);
    }
}

QVServerRequestDelegate* QVServerRequest::_currentDelegate() const
{
    QMutexLocker lock(&_lock);
    const std::shared_ptr<QVServerRequestDelegate*> delegate = _delegate.lock();
    return delegate ? *delegate : nullptr;
}
