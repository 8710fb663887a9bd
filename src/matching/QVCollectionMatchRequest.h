#pragma once

#include "QVServerRequestDelegate.h"

class QVCollectionMatcher;

// The delegate of one batch of a matching run: it keeps the HTTP status, which
// the pool reports without an identifier, and tells the matcher how the batch
// ended. The matcher owns it and outlives it.
class QVCollectionMatchRequest : public QVServerRequestDelegate
{
public:
    QVCollectionMatchRequest(QVCollectionMatcher* matcher, quint64 run)
        : _matcher(matcher)
        , _run(run)
    {
    }

    void onConnectionReceivedResponse(int statusCode, qint64, const QString&) override
    {
        _statusCode = statusCode;
    }
    void onConnectionFinished(QVServerRequestIdentifier identifier, const QByteArray& data) override;
    void onConnectionFailed(QVServerRequestIdentifier identifier, const QVServerError& error) override;
    void onConnectionCanceled(QVServerRequestIdentifier identifier) override;

private:
    QVCollectionMatcher* _matcher;
    quint64 _run;
    int _statusCode = 0;
};
