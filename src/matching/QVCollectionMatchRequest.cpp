#include "QVCollectionMatchRequest.h"

#include "QVCollectionMatcher.h"
#include "QVLog.h"
#include "QVServerError.h"

void QVCollectionMatchRequest::onConnectionFinished(
    QVServerRequestIdentifier identifier, const QByteArray& data)
{
    // An error page is no answer: its songs were not matched.
    const bool answered = _statusCode >= 200 && _statusCode < 300;
    if (!answered)
        QVLog("[WARNING] Connection failed trying to match collection! : HTTP status %d", _statusCode);
    _matcher->_batchEnded(_run, identifier,
        answered ? QVCollectionMatcher::Outcome::Answered : QVCollectionMatcher::Outcome::Failed, data);
}

void QVCollectionMatchRequest::onConnectionFailed(
    QVServerRequestIdentifier identifier, const QVServerError& error)
{
    QVLog("[WARNING] Connection failed trying to match collection! : %s", qPrintable(error.description()));
    _matcher->_batchEnded(_run, identifier, QVCollectionMatcher::Outcome::Failed, {});
}

void QVCollectionMatchRequest::onConnectionCanceled(QVServerRequestIdentifier identifier)
{
    _matcher->_batchEnded(_run, identifier, QVCollectionMatcher::Outcome::Canceled, {});
}
