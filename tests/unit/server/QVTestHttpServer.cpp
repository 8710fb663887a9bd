#include "QVTestHttpServer.h"

#include <QTcpSocket>
#include <QTimer>

#include <algorithm>
#include <utility>

namespace {

constexpr qsizetype maximumRequestBody = 4 * 1024 * 1024;
constexpr qsizetype maximumAnswerBody = 16 * 1024 * 1024;

} // namespace

struct QVTestHttpServer::Exchange {
    QTcpSocket* socket = nullptr;
    QTimer* timer = nullptr;
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
        while (QTcpSocket* socket = _server.nextPendingConnection()) {
            auto* exchange = new Exchange;
            exchange->socket = socket;
            exchange->timer = new QTimer(socket);
            exchange->timer->setSingleShot(true);
            _exchanges.append(exchange);
            connect(socket, &QTcpSocket::readyRead, this, [this, exchange] { _read(exchange); });
            connect(socket, &QTcpSocket::disconnected, this, [this, exchange] { _dropped(exchange); });
        }
    });
}

QVTestHttpServer::~QVTestHttpServer()
{
    for (Exchange* exchange : std::exchange(_exchanges, {})) {
        exchange->socket->disconnect(this);
        exchange->socket->abort();
        delete exchange->socket; // and its timer
        delete exchange;
    }
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

void QVTestHttpServer::_read(Exchange* exchange)
{
    exchange->buffer += exchange->socket->readAll();
    const qsizetype headerEnd = exchange->buffer.indexOf("\r\n\r\n");
    if (exchange->requestIndex >= 0 || headerEnd < 0)
        return;
    Request request;
    const QList<QByteArray> lines = exchange->buffer.left(headerEnd).split('\n');
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
    const qsizetype bodyLength = request.headers.value("content-length", "0").toLongLong();
    if (bodyLength < 0 || bodyLength > maximumRequestBody) {
        exchange->socket->abort();
        return;
    }
    if (exchange->buffer.size() < headerEnd + 4 + bodyLength)
        return; // the rest of the body is still on its way
    request.body = exchange->buffer.mid(headerEnd + 4, bodyLength);
    _requests.append(request);
    exchange->requestIndex = _requests.size() - 1;
    exchange->answering = true;
    _peakActive = std::max(_peakActive, ++_active);
    connect(
        exchange->timer, &QTimer::timeout, this, [this, exchange] { _answer(exchange); },
        Qt::SingleShotConnection);
    exchange->timer->start(request.query.queryItemValue(QStringLiteral("hold")).toInt());
}

void QVTestHttpServer::_answer(Exchange* exchange)
{
    const Request& request = _requests.at(exchange->requestIndex);
    const auto option = [&](const char* name) { return request.query.queryItemValue(QLatin1String(name)); };
    if (request.path == "/echo")
        return _send(exchange, 200, {}, request.body);
    if (request.path == "/redirect" || request.path == "/loop") {
        const QString to = request.path == "/loop"
            ? request.path
            : request.query.queryItemValue(QStringLiteral("to"), QUrl::FullyDecoded);
        return _send(exchange, 302, { "Location: " + to.toUtf8() }, "moved");
    }
    if (request.path != "/bytes")
        return _send(exchange, 404, {}, "no such route");

    const qsizetype size = std::clamp<qsizetype>(option("size").toLongLong(), 0, maximumAnswerBody);
    const QByteArray all = pattern(size);
    exchange->chunk = option("chunk").toInt();
    exchange->interval = option("interval").toInt();
    const bool badResume = option("badresume") == "1";
    const bool ranges = badResume || option("ranges") == "1";
    QList<QByteArray> headers { "Content-Type: application/octet-stream" };
    if (ranges || option("ignorerange") == "1")
        headers << "Accept-Ranges: bytes";
    const QByteArray range = request.headers.value("range");
    if (ranges && range.startsWith("bytes=")) {
        const QList<QByteArray> bounds = range.mid(6).split('-');
        const qsizetype first = badResume ? 0 : bounds.value(0).toLongLong();
        const qsizetype last = badResume || bounds.value(1).isEmpty()
            ? size - 1
            : std::min(bounds.value(1).toLongLong(), size - 1);
        if (first < 0 || first > last)
            return _send(exchange, 416, {}, {});
        headers << "Content-Length: " + QByteArray::number(last - first + 1)
                << "Content-Range: bytes " + QByteArray::number(first) + "-" + QByteArray::number(last) + "/"
                + QByteArray::number(size);
        return _send(exchange, 206, headers, all.mid(first, last - first + 1));
    }
    if (option("nolength") != "1")
        headers << "Content-Length: " + QByteArray::number(size);
    _send(exchange, option("status").isEmpty() ? 200 : option("status").toInt(), headers, all);
    if (!option("cut").isEmpty())
        exchange->sendLimit = std::min<qsizetype>(option("cut").toLongLong(), size);
}

void QVTestHttpServer::_send(
    Exchange* exchange, int status, const QList<QByteArray>& headers, const QByteArray& body)
{
    QByteArray head = "HTTP/1.1 " + QByteArray::number(status) + " Status\r\n";
    for (const QByteArray& header : headers)
        head += header + "\r\n";
    exchange->socket->write(head + "Connection: close\r\n\r\n");
    exchange->body = body;
    exchange->sendLimit = body.size();
    // The body goes out from the event loop, after the caller has had its say
    // about the limit.
    connect(exchange->timer, &QTimer::timeout, this, [this, exchange] { _sendNextChunk(exchange); });
    exchange->timer->start(0);
}

void QVTestHttpServer::_sendNextChunk(Exchange* exchange)
{
    const qsizetype remaining = exchange->sendLimit - exchange->sent;
    const qsizetype piece = exchange->chunk > 0 ? std::min<qsizetype>(exchange->chunk, remaining) : remaining;
    exchange->socket->write(exchange->body.mid(exchange->sent, piece));
    exchange->socket->flush();
    exchange->sent += piece;
    if (exchange->sent < exchange->sendLimit) {
        exchange->timer->start(exchange->interval);
        return;
    }
    exchange->answering = false;
    --_active;
    exchange->socket->disconnectFromHost(); // sends what is buffered; "disconnected" may come at once
}

void QVTestHttpServer::_dropped(Exchange* exchange)
{
    if (!_exchanges.removeOne(exchange))
        return;
    if (exchange->answering) {
        --_active;
        ++_clientAborts;
    }
    exchange->timer->stop();
    exchange->socket->disconnect(this);
    exchange->socket->deleteLater();
    delete exchange;
}
