#pragma once

#include <QByteArray>
#include <QString>
#include <QVariantMap>
#include <QtGlobal>

#include <memory>

struct QVServerError;

// Names one request of the pool to its caller; unique among live requests.
using QVServerRequestIdentifier = quint32;

// What a request tells its delegate. Every callback has an empty default: a
// delegate overrides only what it cares about.
//
// Threads: onConnectionQueued arrives synchronously on the thread that pushed
// the request; everything else on the main thread, in the order the request
// posted it, whichever thread cancelled or paused it. After a cancel or a
// pause nothing else arrives.
//
// A delegate may go away while its requests still run: the requests hold only
// a weak reference to it and stop calling it. Destroy a delegate on the thread
// its callbacks arrive on.
class QVServerRequestDelegate
{
public:
    QVServerRequestDelegate()
        : _anchor(std::make_shared<QVServerRequestDelegate*>(this))
    {
    }
    // A copy is another delegate: it gets its own reference.
    QVServerRequestDelegate(const QVServerRequestDelegate&)
        : QVServerRequestDelegate()
    {
    }
    QVServerRequestDelegate& operator=(const QVServerRequestDelegate&) { return *this; }
    virtual ~QVServerRequestDelegate() = default;

    virtual void onConnectionQueued(QVServerRequestIdentifier) { }
    virtual void onConnectionStarted(QVServerRequestIdentifier) { }
    virtual void onConnectionReceivedResponse(
        int /*statusCode*/, qint64 /*expectedLength*/, const QString& /*mimeType*/)
    {
    }
    // 0 to 100, sent in steps of at least 5 when the length is known.
    virtual void onConnectionProgress(quint32 /*percentage*/) { }
    // Bytes held so far, when the server gave no length.
    virtual void onConnectionRawProgress(qint64 /*bytesReceived*/) { }
    // The whole body, whatever the HTTP status was.
    virtual void onConnectionFinished(QVServerRequestIdentifier, const QByteArray& /*data*/) { }
    virtual void onConnectionFailed(QVServerRequestIdentifier, const QVServerError& /*error*/) { }
    virtual void onConnectionCanceled(QVServerRequestIdentifier) { }
    // "requestData" (the bytes so far) and "expectedLength" (the whole length),
    // to be handed back to QVServerConnection::addServerResumeRequest.
    virtual void onConnectionPaused(QVServerRequestIdentifier, const QVariantMap& /*resumeDictionary*/) { }

    std::weak_ptr<QVServerRequestDelegate*> weakReference() const { return _anchor; }

private:
    std::shared_ptr<QVServerRequestDelegate*> _anchor;
};
