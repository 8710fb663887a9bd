#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>
#include <QUrlQuery>

#include <functional>

// A loopback HTTP server for the search field: suggestions from `answer`
// after `delayMs`, and a small picture for any album-art request.
class QVSearchTestServer : public QObject
{
public:
    QVSearchTestServer()
    {
        _server.listen(QHostAddress::LocalHost, 0);
        connect(&_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = _server.nextPendingConnection())
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { _read(socket); });
        });
    }

    QString baseURL() const { return QStringLiteral("http://127.0.0.1:%1").arg(_server.serverPort()); }

    std::function<QByteArray(const QString& query)> answer = [](const QString&) { return QByteArray("{}"); };
    int delayMs = 0;
    QByteArray picture;
    // Queries and raw request targets of the suggestion calls, and art requests.
    QStringList queries;
    QList<QByteArray> targets;
    int artRequests = 0;

private:
    void _read(QTcpSocket* socket)
    {
        QByteArray& buffer = _buffers[socket];
        buffer += socket->readAll();
        if (!buffer.contains("\r\n\r\n"))
            return;
        const QByteArray target = buffer.split(' ').value(1);
        _buffers.remove(socket);
        const QUrl url(QString::fromLatin1(target));
        QByteArray body;
        QByteArray type = "application/json";
        if (url.path().startsWith(QLatin1String("/images/art"))) {
            ++artRequests;
            body = picture;
            type = "image/png";
        } else {
            targets.append(target);
            queries.append(QUrlQuery(url).queryItemValue(QStringLiteral("query"), QUrl::FullyDecoded));
            body = answer(queries.last());
        }
        QPointer<QTcpSocket> alive(socket);
        QTimer::singleShot(
            url.path().startsWith(QLatin1String("/images")) ? 0 : delayMs, this, [alive, body, type] {
                if (!alive || alive->state() != QAbstractSocket::ConnectedState)
                    return;
                alive->write("HTTP/1.1 200 OK\r\nContent-Type: " + type + "\r\nContent-Length: "
                    + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n");
                alive->write(body);
                alive->disconnectFromHost();
            });
    }

    QTcpServer _server;
    QHash<QTcpSocket*, QByteArray> _buffers;
};
