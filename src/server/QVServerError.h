#pragma once

#include <QString>
#include <QVariantMap>

// A failed request as its delegate sees it. Transfer errors of the network
// layer keep their own domain and code; errors the client makes itself use the
// domain "com.quiv.desktop", code 0, and carry their cause under "exception".
struct QVServerError {
    QString domain;
    int code = 0;
    QVariantMap userInfo;

    static const QString clientDomain; // "com.quiv.desktop"
    static const QString networkDomain; // "QNetworkReply": code is a QNetworkReply::NetworkError

    static QVServerError clientError(const QString& exception);

    bool isClientError() const { return domain == clientDomain; }
    // The cause for a client error, else the network layer's description.
    QString description() const;
};
