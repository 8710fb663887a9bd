#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QMap>
#include <QObject>
#include <QString>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUrlQuery>

#include <algorithm>
#include <memory>

// A small HTTP/1.1 server on 127.0.0.1 for the request pool's tests, on the
// thread that made it; one request per connection. Routes: /redirect?to=URL,
// /loop (a redirect to itself), and /bytes?size=N (N bytes of pattern(N)) with
// the options status=S, hold=MS (wait before answering; any route),
// chunk=C&interval=MS, nolength=1, cut=K (promise N, send K), ranges=1 (206
// for a Range) and badresume=1 (a 206 of the whole).
class QVTestHttpServer : public QObject
{
public:
    struct Request {
        QByteArray method;
        QString path;
        QUrlQuery query;
        QMap<QByteArray, QByteArray> headers; // names in lower case
        QByteArray body;
    };

    QVTestHttpServer()
    {
        connect(&_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = _server.nextPendingConnection())
                _serve(socket);
        });
    }
    ~QVTestHttpServer() override
    {
        // The sockets, children of the listening server, go with it, telling no one.
        for (QTcpSocket* socket : _server.findChildren<QTcpSocket*>())
            socket->disconnect(this);
    }

    bool listen() { return _server.listen(QHostAddress::LocalHost, 0); }
    QString url(const QString& pathAndQuery) const
    {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(_server.serverPort()).arg(pathAndQuery);
    }

    const QList<Request>& requests() const { return _requests; }
    // The most answers ever begun and not yet fully written at once.
    int peakActiveAnswers() const { return _peakActive; }
    // Connections the client closed before the whole answer was written.
    int clientAborts() const { return _clientAborts; }

    // The bytes of a body of `size`: a repeating, position-dependent pattern.
    static QByteArray pattern(qsizetype size)
    {
        QByteArray bytes(size, Qt::Uninitialized);
        for (qsizetype i = 0; i < size; ++i)
            bytes[i] = char('a' + (i * 7 + i / 26) % 26);
        return bytes;
    }
    // A loopback port nothing listens on (bound, then released).
    static quint16 closedPort()
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        return probe.serverPort();
    }

private:
    struct Exchange {
        QTimer timer;
        QByteArray buffer;
        bool received = false; // the whole request
        bool answering = false; // counted in _active until written or dropped
        QByteArray body;
        qsizetype sent = 0;
        qsizetype sendLimit = 0; // bytes of body to send before closing
        int chunk = 0;
        int interval = 0;
    };

    void _serve(QTcpSocket* socket)
    {
        // Freed with the socket's connections; the timer's slots only see it while it lives.
        const auto exchange = std::make_shared<Exchange>();
        exchange->timer.setSingleShot(true);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket, exchange] {
            exchange->buffer += socket->readAll();
            if (exchange->received || !(exchange->received = _parse(exchange->buffer)))
                return;
            exchange->answering = true;
            _peakActive = std::max(_peakActive, ++_active);
            Exchange* raw = exchange.get();
            const Request request = _requests.last();
            connect(
                &raw->timer, &QTimer::timeout, this, [=, this] { _answer(socket, *raw, request); },
                Qt::SingleShotConnection);
            raw->timer.start(request.query.queryItemValue(QStringLiteral("hold")).toInt());
        });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket, exchange] {
            if (std::exchange(exchange->answering, false)) {
                --_active;
                ++_clientAborts;
            }
            exchange->timer.stop();
            socket->deleteLater();
        });
    }

    // True once the request is whole, and recorded.
    bool _parse(const QByteArray& buffer)
    {
        const qsizetype headerEnd = buffer.indexOf("\r\n\r\n");
        if (headerEnd < 0)
            return false;
        Request request;
        const QList<QByteArray> lines = buffer.left(headerEnd).split('\n');
        const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
        request.method = requestLine.value(0);
        const QUrl target(QString::fromLatin1(requestLine.value(1)));
        request.path = target.path();
        request.query = QUrlQuery(target);
        for (const QByteArray& line : lines.mid(1)) {
            const qsizetype colon = line.indexOf(':');
            if (colon > 0)
                request.headers.insert(line.left(colon).trimmed().toLower(), line.mid(colon + 1).trimmed());
        }
        const qsizetype length
            = std::clamp<qsizetype>(request.headers.value("content-length").toLongLong(), 0, 1 << 22);
        if (buffer.size() < headerEnd + 4 + length)
            return false; // the rest of the body is still on its way
        request.body = buffer.mid(headerEnd + 4, length);
        _requests.append(request);
        return true;
    }

    void _answer(QTcpSocket* socket, Exchange& exchange, const Request& request)
    {
        const auto option
            = [&](const char* name) { return request.query.queryItemValue(QLatin1String(name)); };
        int status = option("status").isEmpty() ? 200 : option("status").toInt();
        QByteArray head;
        if (request.path == "/redirect" || request.path == "/loop") {
            status = 302;
            const QString to = request.path == "/loop"
                ? request.path
                : request.query.queryItemValue("to", QUrl::FullyDecoded);
            head = "Location: " + to.toUtf8() + "\r\n";
        } else if (request.path != "/bytes") {
            status = 404;
        } else {
            const qsizetype size = std::clamp<qsizetype>(option("size").toLongLong(), 0, 1 << 24);
            exchange.body = pattern(size);
            exchange.chunk = option("chunk").toInt();
            exchange.interval = option("interval").toInt();
            head = "Content-Type: application/octet-stream\r\nAccept-Ranges: bytes\r\n";
            const QByteArray range = request.headers.value("range");
            const bool badResume = option("badresume") == "1";
            if ((badResume || option("ranges") == "1") && range.startsWith("bytes=")) {
                // From the first byte asked for to the end; a bad resume sends the whole.
                const qsizetype first = badResume
                    ? 0
                    : std::clamp<qsizetype>(range.mid(6).split('-').value(0).toLongLong(), 0, size);
                head += "Content-Range: bytes " + QByteArray::number(first) + "-"
                    + QByteArray::number(size - 1) + "/" + QByteArray::number(size) + "\r\n";
                exchange.body = exchange.body.mid(first);
                status = 206;
            }
            if (option("nolength") != "1")
                head += "Content-Length: " + QByteArray::number(exchange.body.size()) + "\r\n";
        }
        socket->write(
            "HTTP/1.1 " + QByteArray::number(status) + " Status\r\n" + head + "Connection: close\r\n\r\n");
        exchange.sendLimit = exchange.body.size();
        if (!option("cut").isEmpty())
            exchange.sendLimit = std::min<qsizetype>(option("cut").toLongLong(), exchange.sendLimit);
        connect(&exchange.timer, &QTimer::timeout, this,
            [this, socket, &exchange] { _sendNextChunk(socket, exchange); });
        exchange.timer.start(0);
    }

    void _sendNextChunk(QTcpSocket* socket, Exchange& exchange)
    {
        const qsizetype remaining = exchange.sendLimit - exchange.sent;
        const qsizetype piece
            = exchange.chunk > 0 ? std::min<qsizetype>(exchange.chunk, remaining) : remaining;
        socket->write(exchange.body.mid(exchange.sent, piece));
        socket->flush();
        exchange.sent += piece;
        if (exchange.sent < exchange.sendLimit) {
            exchange.timer.start(exchange.interval);
            return;
        }
        exchange.answering = false;
        --_active;
        socket->disconnectFromHost(); // sends what is buffered; "disconnected" may come at once
    }

    QTcpServer _server;
    QList<Request> _requests;
    int _active = 0;
    int _peakActive = 0;
    int _clientAborts = 0;
};
