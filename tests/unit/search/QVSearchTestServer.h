#pragma once

#include <QHash>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
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
        const bool art = url.path().startsWith(QLatin1String("/images/art"));
        if (art) {
            ++artRequests;
        } else {
            targets.append(target);
            queries.append(QUrlQuery(url).queryItemValue(QStringLiteral("query"), QUrl::FullyDecoded));
        }
        const QByteArray body = art ? picture : answer(queries.last());
        QPointer<QTcpSocket> alive(socket);
        QTimer::singleShot(art ? 0 : delayMs, this, [alive, body] {
            if (!alive || alive->state() != QAbstractSocket::ConnectedState)
                return;
            alive->write("HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(body.size())
                + "\r\nConnection: close\r\n\r\n" + body);
            alive->disconnectFromHost();
        });
    }

    QTcpServer _server;
    QHash<QTcpSocket*, QByteArray> _buffers;
};
