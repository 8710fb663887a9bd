#include "QVTestHttpServer.h"

#include <QTcpSocket>
#include <QTimer>

#include <algorithm>
#include <memory>

struct QVTestHttpServer::Exchange {
    QTimer timer;
    QByteArray buffer;
    qsizetype requestIndex = -1; // set once the request is whole
    bool answering = false; // counted in _active until written or dropped
    QByteArray body;
    qsizetype sent = 0;
    qsizetype sendLimit = 0; // bytes of body to send before closing
    int chunk = 0;
    int interval = 0;
};

QVTestHttpServer::QVTestHttpServer(QObject* parent)
    : QObject(parent)
{
    connect(&_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = _server.nextPendingConnection())
            _serve(socket);
    });
}

QVTestHttpServer::~QVTestHttpServer()
{
    // The sockets, children of the listening server, go with it, telling no one.
    for (QTcpSocket* socket : _server.findChildren<QTcpSocket*>())
        socket->disconnect(this);
}

QByteArray QVTestHttpServer::pattern(qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = char('a' + (i * 7 + i / 26) % 26);
    return bytes;
}

quint16 QVTestHttpServer::closedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort(); // released as it goes
}

void QVTestHttpServer::_serve(QTcpSocket* socket)
{
    // Freed with the socket's connections; the timer's slots only see it while it lives.
    const auto exchange = std::make_shared<Exchange>();
    exchange->timer.setSingleShot(true);
    connect(socket, &QTcpSocket::readyRead, this, [this, socket, exchange] {
        exchange->buffer += socket->readAll();
        if (exchange->requestIndex >= 0 || !_parse(*exchange))
            return;
        exchange->answering = true;
        _peakActive = std::max(_peakActive, ++_active);
        Exchange* raw = exchange.get();
        connect(
            &raw->timer, &QTimer::timeout, this, [this, socket, raw] { _answer(socket, *raw); },
            Qt::SingleShotConnection);
        raw->timer.start(_requests.last().query.queryItemValue(QStringLiteral("hold")).toInt());
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
bool QVTestHttpServer::_parse(Exchange& exchange)
{
    const qsizetype headerEnd = exchange.buffer.indexOf("\r\n\r\n");
    if (headerEnd < 0)
        return false;
    Request request;
    const QList<QByteArray> lines = exchange.buffer.left(headerEnd).split('\n');
    const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
    request.method = requestLine.value(0);
    const QByteArray target = requestLine.value(1);
    const qsizetype question = target.indexOf('?');
    request.path = QString::fromLatin1(question < 0 ? target : target.left(question));
    if (question >= 0)
        request.query = QUrlQuery(QString::fromLatin1(target.mid(question + 1)));
    for (const QByteArray& line : lines.mid(1)) {
        const qsizetype colon = line.indexOf(':');
        if (colon > 0)
            request.headers.insert(line.left(colon).trimmed().toLower(), line.mid(colon + 1).trimmed());
    }
    const qsizetype bodyLength
        = std::clamp<qsizetype>(request.headers.value("content-length").toLongLong(), 0, 1 << 22);
    if (exchange.buffer.size() < headerEnd + 4 + bodyLength)
        return false; // the rest of the body is still on its way
    request.body = exchange.buffer.mid(headerEnd + 4, bodyLength);
    _requests.append(request);
    exchange.requestIndex = _requests.size() - 1;
    return true;
}

void QVTestHttpServer::_answer(QTcpSocket* socket, Exchange& exchange)
{
    const Request& request = _requests.at(exchange.requestIndex);
    const auto option = [&](const char* name) { return request.query.queryItemValue(QLatin1String(name)); };
    int status = option("status").isEmpty() ? 200 : option("status").toInt();
    QByteArray head;
    if (request.path == "/redirect" || request.path == "/loop") {
        status = 302;
        const QString to
            = request.path == "/loop" ? request.path : request.query.queryItemValue("to", QUrl::FullyDecoded);
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
            head += "Content-Range: bytes " + QByteArray::number(first) + "-" + QByteArray::number(size - 1)
                + "/" + QByteArray::number(size) + "\r\n";
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

void QVTestHttpServer::_sendNextChunk(QTcpSocket* socket, Exchange& exchange)
{
    const qsizetype remaining = exchange.sendLimit - exchange.sent;
    const qsizetype piece = exchange.chunk > 0 ? std::min<qsizetype>(exchange.chunk, remaining) : remaining;
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
