#pragma once

#include "QVServerRequest.h"
#include "QVServerRequestDelegate.h"

#include <QList>
#include <QMutex>
#include <QString>
#include <QVariantMap>
#include <QWaitCondition>

#include <memory>
#include <optional>
#include <thread>

// The request pool for the client's direct HTTP calls. Callers push a URL, an
// optional form and a delegate and get an identifier back at once; a pump
// thread starts queued requests, at most five running at a time, front of the
// pool first. The pump wakes when a request is pushed or ends, and makes a
// pass each second besides to sweep out requests whose threads have ended; it
// stops when the pool is empty and starts again with the next push.
//
// All operations are safe from any thread.
class QVServerConnection
{
public:
    static constexpr int maximumRunningRequests = 5;

    QVServerConnection();
    // Stops the pool as shutdown() does.
    ~QVServerConnection();
    QVServerConnection(const QVServerConnection&) = delete;
    QVServerConnection& operator=(const QVServerConnection&) = delete;

    // The process-wide pool, created on first use from any thread. It shuts
    // down when the application is about to quit.
    static QVServerConnection* sharedInstance();

    // Queues a GET, or a POST when `arguments` is given (even empty), at the
    // front of the pool when `processImmediately`. The delegate (may be null)
    // gets onConnectionQueued on this thread before this returns.
    QVServerRequestIdentifier addServerRequest(const QString& url,
        const std::optional<QVServerRequestParams>& arguments, bool processImmediately,
        QVServerRequestDelegate* delegate);
    // The same, continuing a transfer from the dictionary a pause handed out.
    QVServerRequestIdentifier addServerResumeRequest(const QString& url,
        const std::optional<QVServerRequestParams>& arguments, const QVariantMap& resumeDictionary,
        bool processImmediately, QVServerRequestDelegate* delegate);

    // Each acts on the first live (neither ended nor cancelled) request with
    // that identifier; an identifier that names none is ignored.
    void cancelServerRequest(QVServerRequestIdentifier identifier);
    void batchCancelServerRequests(const QList<QVServerRequestIdentifier>& identifiers);
    void pauseServerRequest(QVServerRequestIdentifier identifier);

    // Applies to requests pushed after the change.
    qint64 maximumBodyLength() const;
    void setMaximumBodyLength(qint64 length);

    // Requests held: queued, running, or ended and waiting to be swept out.
    int requestCount() const;
    bool isPumpRunning() const;

    // Stops the pump, cancels every live request (their delegates get
    // onConnectionCanceled on the main thread) and waits up to five seconds
    // in all for the request threads to end; a thread still running then is
    // left to end on its own. Requests pushed afterwards are cancelled at once.
    void shutdown();

private:
    using RequestList = QList<std::shared_ptr<QVServerRequest>>;

    QVServerRequestIdentifier _addRequest(const std::shared_ptr<QVServerRequest>& request,
        bool processImmediately, QVServerRequestDelegate* delegate);
    bool _safePushRequest(const std::shared_ptr<QVServerRequest>& request, bool processImmediately);
    void _processRequestPool();
    void _wakeRequestPump();
    RequestList _snapshot() const;
    static std::shared_ptr<QVServerRequest> _takeLiveRequest(
        RequestList& requests, QVServerRequestIdentifier identifier);

    // Guarded by _poolLock. The empty check that ends the pump and the push
    // that starts one take this one lock, so no request is left in a pool
    // whose pump is leaving.
    RequestList _serverRequestPool;
    bool _shouldRunThread = false;
    bool _isThreadRunning = false;
    bool _wakeRequested = false;
    bool _isShutDown = false;
    qint64 _maximumBodyLength = QVServerRequest::defaultMaximumBodyLength;
    std::thread _pumpThread;
    mutable QMutex _poolLock;
    QWaitCondition _pumpCondition;
};
