#include "QVServerConnection.h"

#include "QVLog.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

#include <algorithm>

namespace {

// For every request thread together to see its cancel (they stop within
// milliseconds); quitting never waits longer than this.
constexpr int shutdownWaitMs = 5000;
// The pump's pass for sweeping, when nothing wakes it sooner.
constexpr int pumpPassMs = 1000;

void shutDownSharedInstance()
{
    QVServerConnection::sharedInstance()->shutdown();
}

} // namespace

QVServerConnection::QVServerConnection() = default;

QVServerConnection::~QVServerConnection()
{
    shutdown();
}

QVServerConnection* QVServerConnection::sharedInstance()
{
    // Static initialisation is safe under concurrent first use.
    static QVServerConnection* const instance = [] {
        static QVServerConnection connection;
        if (QCoreApplication* application = QCoreApplication::instance()) {
            // Threads must be gone before the application object is.
            QObject::connect(
                application, &QCoreApplication::aboutToQuit, application, [] { shutDownSharedInstance(); },
                Qt::DirectConnection);
            qAddPostRoutine(shutDownSharedInstance);
        }
        return &connection;
    }();
    return instance;
}

QVServerRequestIdentifier QVServerConnection::addServerRequest(const QString& url,
    const std::optional<QVServerRequestParams>& arguments, bool processImmediately,
    QVServerRequestDelegate* delegate)
{
    return _addRequest(
        std::make_shared<QVServerRequest>(url, arguments, delegate), processImmediately, delegate);
}

QVServerRequestIdentifier QVServerConnection::addServerResumeRequest(const QString& url,
    const std::optional<QVServerRequestParams>& arguments, const QVariantMap& resumeDictionary,
    bool processImmediately, QVServerRequestDelegate* delegate)
{
    const auto request = std::make_shared<QVServerRequest>(url, arguments, delegate);
    request->setupResumeFromDictionary(resumeDictionary);
    return _addRequest(request, processImmediately, delegate);
}

QVServerRequestIdentifier QVServerConnection::_addRequest(const std::shared_ptr<QVServerRequest>& request,
    bool processImmediately, QVServerRequestDelegate* delegate)
{
    request->setMaximumBodyLength(maximumBodyLength());
    const bool accepted = _safePushRequest(request, processImmediately);
    const QVServerRequestIdentifier identifier = request->identifier();
    if (delegate)
        delegate->onConnectionQueued(identifier);
    if (!accepted) {
        QVLog("[WARNING] The request pool has shut down; cancelling the request for '%s'",
            qPrintable(request->_loggableURL()));
        request->cancelRequest();
    }
    return identifier;
}

bool QVServerConnection::_safePushRequest(
    const std::shared_ptr<QVServerRequest>& request, bool processImmediately)
{
    std::thread finishedPump;
    {
        QMutexLocker lock(&_poolLock);
        if (_isShutDown)
            return false;
        request->_setEndedHandler([this] { _wakeRequestPump(); });
        if (processImmediately)
            _serverRequestPool.prepend(request);
        else
            _serverRequestPool.append(request);
        _shouldRunThread = true;
        _wakeRequested = true;
        if (_isThreadRunning) {
            _pumpCondition.wakeAll();
        } else {
            // A pump that cleared the flag has left its loop for good; it is
            // joined below, outside the lock.
            _isThreadRunning = true;
            finishedPump = std::move(_pumpThread);
            _pumpThread = std::thread([this] { _processRequestPool(); });
        }
    }
    if (finishedPump.joinable())
        finishedPump.join();
    return true;
}

void QVServerConnection::_wakeRequestPump()
{
    QMutexLocker lock(&_poolLock);
    _wakeRequested = true;
    _pumpCondition.wakeAll();
}

void QVServerConnection::_processRequestPool()
{
    QMutexLocker lock(&_poolLock);
    for (;;) {
        // Sweep out what has ended once its thread is gone (a request thread
        // still calls back into the pool while it winds down).
        RequestList swept;
        int pending = 0;
        int running = 0;
        for (auto it = _serverRequestPool.begin(); it != _serverRequestPool.end();) {
            const int state = (*it)->requestState();
            if (state != QVServerRequest::Queued && state != QVServerRequest::Running
                && (*it)->isThreadFinished()) {
                (*it)->_setEndedHandler({});
                swept.append(std::move(*it));
                it = _serverRequestPool.erase(it);
                continue;
            }
            if (state == QVServerRequest::Queued)
                ++pending;
            else if (state == QVServerRequest::Running)
                ++running;
            ++it;
        }

        // Fill the free slots from the front; never more than five running.
        int quota = std::min(pending, maximumRunningRequests - running);
        for (auto it = _serverRequestPool.begin(); quota > 0 && it != _serverRequestPool.end(); ++it) {
            if ((*it)->requestState() == QVServerRequest::Queued) {
                (*it)->runRequest();
                --quota;
            }
        }

        if (!swept.isEmpty()) {
            // Released outside the lock: a request's destructor may wait on its thread.
            lock.unlock();
            swept.clear();
            lock.relock();
        }
        if (!_shouldRunThread || _serverRequestPool.isEmpty()) {
            // Under the lock a push takes: that push starts a new pump.
            _isThreadRunning = false;
            return;
        }
        if (!_wakeRequested)
            _pumpCondition.wait(&_poolLock, QDeadlineTimer(pumpPassMs));
        _wakeRequested = false;
    }
}

QVServerConnection::RequestList QVServerConnection::_snapshot() const
{
    QMutexLocker lock(&_poolLock);
    return _serverRequestPool;
}

std::shared_ptr<QVServerRequest> QVServerConnection::_takeLiveRequest(
    RequestList& requests, QVServerRequestIdentifier identifier)
{
    for (auto it = requests.begin(); it != requests.end(); ++it) {
        const int state = (*it)->requestState();
        if ((*it)->identifier() == identifier && state != QVServerRequest::Ended
            && state != QVServerRequest::Cancelled) {
            std::shared_ptr<QVServerRequest> request = std::move(*it);
            requests.erase(it);
            return request;
        }
    }
    return nullptr;
}

void QVServerConnection::cancelServerRequest(QVServerRequestIdentifier identifier)
{
    RequestList requests = _snapshot();
    if (const auto request = _takeLiveRequest(requests, identifier))
        request->cancelRequest();
}

void QVServerConnection::batchCancelServerRequests(const QList<QVServerRequestIdentifier>& identifiers)
{
    RequestList requests = _snapshot();
    for (const QVServerRequestIdentifier identifier : identifiers) {
        if (const auto request = _takeLiveRequest(requests, identifier))
            request->cancelRequest();
    }
}

void QVServerConnection::pauseServerRequest(QVServerRequestIdentifier identifier)
{
    RequestList requests = _snapshot();
    if (const auto request = _takeLiveRequest(requests, identifier))
        request->pauseRequest();
}

qint64 QVServerConnection::maximumBodyLength() const
{
    QMutexLocker lock(&_poolLock);
    return _maximumBodyLength;
}

void QVServerConnection::setMaximumBodyLength(qint64 length)
{
    QMutexLocker lock(&_poolLock);
    _maximumBodyLength = std::max<qint64>(0, length);
}

int QVServerConnection::requestCount() const
{
    QMutexLocker lock(&_poolLock);
    return int(_serverRequestPool.size());
}

bool QVServerConnection::isPumpRunning() const
{
    QMutexLocker lock(&_poolLock);
    return _isThreadRunning;
}

void QVServerConnection::shutdown()
{
    std::thread pump;
    {
        QMutexLocker lock(&_poolLock);
        _isShutDown = true;
        _shouldRunThread = false;
        _wakeRequested = true;
        _pumpCondition.wakeAll();
        pump = std::move(_pumpThread);
    }
    // No request starts once the pump is gone.
    if (pump.joinable())
        pump.join();

    const RequestList requests = _snapshot();
    for (const auto& request : requests)
        request->cancelRequest();
    const QDeadlineTimer deadline(shutdownWaitMs);
    RequestList stragglers;
    for (const auto& request : requests) {
        if (!request->waitForThread(deadline)) {
            QVLog("[WARNING] The request thread for '%s' did not stop in time; it is left running",
                qPrintable(request->_loggableURL()));
            stragglers.append(request);
        }
    }
    if (!stragglers.isEmpty()) {
        // Kept for the life of the process: freeing a request waits for its
        // thread, which still uses it, and must never happen on that thread.
        static QMutex leakedLock;
        static auto* const leaked = new RequestList;
        QMutexLocker lock(&leakedLock);
        leaked->append(stragglers);
    }
    RequestList released;
    {
        QMutexLocker lock(&_poolLock);
        for (const auto& request : std::as_const(_serverRequestPool))
            request->_setEndedHandler({});
        released.swap(_serverRequestPool);
    }
}
