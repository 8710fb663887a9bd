#include "QVServerError.h"

const QString QVServerError::clientDomain = QStringLiteral("com.quiv.desktop");
const QString QVServerError::networkDomain = QStringLiteral("QNetworkReply");

QVServerError QVServerError::clientError(const QString& exception)
{
    QVServerError error;
    error.domain = clientDomain;
    error.code = 0;
    error.userInfo.insert(QStringLiteral("exception"), exception);
    return error;
}

QString QVServerError::description() const
{
    if (isClientError())
        return userInfo.value(QStringLiteral("exception")).toString();
    return userInfo.value(QStringLiteral("description")).toString();
}
