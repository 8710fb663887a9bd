#pragma once

#include "QVServerError.h"
#include "QVServerRequestDelegate.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QMap>
#include <QMutex>
#include <QString>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <optional>

class QEventLoop;
class QNetworkReply;
class QObject;
class QThread;

// Form fields of a POST, sent in key order.
using QVServerRequestParams = QMap<QString, QString>;

// One HTTP transfer of the request pool. It runs on a thread of its own with
// its own event loop and QNetworkAccessManager, and reports to its delegate on
// the main thread. Requests are made and run by QVServerConnection; they are
// shared (the pool, and callbacks on their way to the main thread, hold them).
class QVServerRequest final : public std::enable_shared_from_this<QVServerRequest>
{
public:
    enum State : int {
        Queued = 0,
        Running = 1,
        Ended = 2, // finished or failed
        Cancelled = 3, // also paused: a paused request lives on only in its resume dictionary
        FailedToStart = 4, // the URL could not be used
    };

    // A request with parameters (even none) is a POST with a form body; without, a GET.
    QVServerRequest(const QString& requestURL, const std::optional<QVServerRequestParams>& requestParams,
        QVServerRequestDelegate* delegate);
    ~QVServerRequest();
    QVServerRequest(const QVServerRequest&) = delete;
    QVServerRequest& operator=(const QVServerRequest&) = delete;

    // Continue a paused transfer: takes "requestData" and "expectedLength".
    void setupResumeFromDictionary(const QVariantMap& resumeDictionary);

    QVServerRequestIdentifier identifier() const { return _identifier; }
    QString requestURL() const { return _requestURL; }
    int requestState() const;

    // Starts the request's thread; only a queued request starts.
    void runRequest();
    // Any thread. Only a queued or running request is cancelled; the delegate
    // gets onConnectionCanceled on the main thread, like every other
    // callback, and nothing after it.
    void cancelRequest();
    // Cancels and hands the delegate a resume dictionary when the server takes
    // range requests; otherwise a plain cancel with a warning.
    void pauseRequest();

    // A body longer than this fails the request instead of filling memory.
    static constexpr qint64 defaultMaximumBodyLength = qint64(32) * 1024 * 1024;
    qint64 maximumBodyLength() const;
    void setMaximumBodyLength(qint64 length);

    // True when the request's thread has ended or there never was one.
    bool isThreadFinished() const;
    bool waitForThread(QDeadlineTimer deadline);

    // For tests: runs first on every request thread, to stand for a thread
    // that is slow to stop. Empty: none.
    static void setThreadStartHook(std::function<void()> hook);

    // Process-wide diagnostics for tests and benchmarks: requests in the
    // running state now and at most since the last reset, and objects alive.
    static int runningCount();
    static int peakRunningCount();
    static void resetPeakRunningCount();
    static int liveCount();

private:
    friend class QVServerConnection;

    // Called with no lock held whenever the request stops being queued or
    // running, so the pool can fill the slot at once.
    void _setEndedHandler(std::function<void()> handler);
    void _setStateLocked(int state);
    void _stopThreadLocked();
    QByteArray _requestParamsString() const;
    QString _loggableURL() const;

    // On the request's thread.
    void _runRequest();
    void _handleResponse(QNetworkReply* reply, QEventLoop* loop, bool isFinal);
    void _handleData(QNetworkReply* reply, QEventLoop* loop);
    void _handleFinished(QNetworkReply* reply, QEventLoop* loop);
    void _finishRunning(const std::optional<QVServerError>& failure, QNetworkReply* reply, QEventLoop* loop);
    void _stopTransfer();
    void _callEndedHandler();

    // Posts a callback to the main thread; it is sent only if the request
    // still has a delegate when it arrives.
    void _post(std::function<void(QVServerRequestDelegate&)> callback);
    // Posts the last callback (cancel or pause) to the main thread, for the
    // delegate the request had: the request has let go of it already.
    static void _postFinal(const std::weak_ptr<QVServerRequestDelegate*>& delegate,
        std::function<void(QVServerRequestDelegate&)> callback);
    // On the main thread.
    void _notifyProgress(QVServerRequestDelegate& delegate, qint64 expectedLength, qint64 receivedLength);
    QVServerRequestDelegate* _currentDelegate() const;

    std::weak_ptr<QVServerRequestDelegate*> _delegate;
    const QString _requestURL;
    const std::optional<QVServerRequestParams> _requestParams;
    QByteArray _requestData;
    QNetworkReply* _connection = nullptr; // request thread only
    qint64 _expectedLength = 0;
    qint64 _receivedLength = 0;
    quint32 _lastProgress = 0; // main thread only
    int _statusCode = 0;
    QString _mimeType;
    int _requestState = Queued;
    QEventLoop* _threadRunLoop = nullptr; // request thread only
    QObject* _threadContext = nullptr; // lives on the request thread while the transfer runs
    bool _supportsResume = false;

    const QVServerRequestIdentifier _identifier;
    qint64 _maximumBodyLength;
    bool _responseHandled = false; // request thread only
    std::unique_ptr<QThread> _thread;
    std::function<void()> _endedHandler;
    mutable QMutex _lock; // every field the request thread shares with other threads
};
