#include "QVTestHttpServer.h"

#include <QHostAddress>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>

namespace {

constexpr qsizetype maximumHeaderBytes = 64 * 1024;
constexpr qsizetype maximumRequestBody = 4 * 1024 * 1024;
constexpr qsizetype maximumAnswerBody = 16 * 1024 * 1024;

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 206:
        return "Partial Content";
    case 302:
        return "Found";
    case 400:
        return "Bad Request";
    case 404:
        return "Not Found";
    case 416:
        return "Range Not Satisfiable";
    case 500:
        return "Internal Server Error";
    default:
        return "Status";
    }
}

} // namespace

struct QVTestHttpServer::Exchange {
    QTcpSocket* socket = nullptr;
    QTimer* timer = nullptr;
    QByteArray buffer;
    bool parsed = false;
    bool answering = false; // counted in _active until done
    bool done = false;
    QByteArray body;
    qsizetype sent = 0;
    qsizetype sendLimit = 0; // bytes of body to send before closing
    int chunk = 0;
    int interval = 0;
    qsizetype requestIndex = -1;
};

QVTestHttpServer::QVTestHttpServer(QObject* parent)
    : QObject(parent)
{
    QObject::connect(&_server, &QTcpServer::newConnection, this, [this] { _accept(); });
}

QVTestHttpServer::~QVTestHttpServer()
{
    const QList<Exchange*> exchanges = _exchanges;
    _exchanges.clear();
    for (Exchange* exchange : exchanges) {
        exchange->socket->disconnect(this);
        exchange->timer->stop();
        exchange->socket->abort();
        delete exchange->socket;
        delete exchange;
    }
}

bool QVTestHttpServer::listen()
{
    return _server.listen(QHostAddress::LocalHost, 0);
}

QString QVTestHttpServer::url(const QString& pathAndQuery) const
{
    return QStringLiteral("http://127.0.0.1:%1%2").arg(port()).arg(pathAndQuery);
}

int QVTestHttpServer::requestCountWithId(const QString& id) const
{
    return int(std::count_if(_requests.cbegin(), _requests.cend(),
        [&](const Request& request) { return request.query.queryItemValue(QStringLiteral("id")) == id; }));
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
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

void QVTestHttpServer::_accept()
{
    while (QTcpSocket* socket = _server.nextPendingConnection()) {
        auto* exchange = new Exchange;
        exchange->socket = socket;
        exchange->timer = new QTimer(socket);
        exchange->timer->setSingleShot(true);
        _exchanges.append(exchange);
        QObject::connect(socket, &QTcpSocket::readyRead, this, [this, exchange] { _read(exchange); });
        QObject::connect(socket, &QTcpSocket::disconnected, this, [this, exchange] { _dropped(exchange); });
    }
}

void QVTestHttpServer::_read(Exchange* exchange)
{
    exchange->buffer += exchange->socket->readAll();
    if (exchange->parsed)
        return;
    const qsizetype headerEnd = exchange->buffer.indexOf("\r\n\r\n");
    if (headerEnd < 0) {
        if (exchange->buffer.size() > maximumHeaderBytes)
            exchange->socket->abort();
        return;
    }
    Request request;
    const QList<QByteArray> lines = exchange->buffer.left(headerEnd).split('\n');
    const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
    request.method = requestLine.value(0);
    const QByteArray target = requestLine.value(1);
    const qsizetype question = target.indexOf('?');
    request.path = QString::fromLatin1(question < 0 ? target : target.left(question));
    if (question >= 0)
        request.query = QUrlQuery(QString::fromLatin1(target.mid(question + 1)));
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines[i].indexOf(':');
        if (colon > 0)
            request.headers.insert(
                lines[i].left(colon).trimmed().toLower(), lines[i].mid(colon + 1).trimmed());
    }
    const qsizetype bodyLength = request.headers.value("content-length", "0").toLongLong();
    if (bodyLength < 0 || bodyLength > maximumRequestBody) {
        exchange->socket->abort();
        return;
    }
    if (exchange->buffer.size() < headerEnd + 4 + bodyLength)
        return; // the rest of the body is still on its way
    request.body = exchange->buffer.mid(headerEnd + 4, bodyLength);
    exchange->parsed = true;
    _requests.append(request);
    exchange->requestIndex = _requests.size() - 1;
    exchange->answering = true;
    _peakActive = std::max(_peakActive, ++_active);

    const int hold = request.query.queryItemValue(QStringLiteral("hold")).toInt();
    if (hold > 0) {
        QObject::connect(
            exchange->timer, &QTimer::timeout, this, [this, exchange] { _answer(exchange); },
            Qt::SingleShotConnection);
        exchange->timer->start(hold);
    } else {
        _answer(exchange);
    }
}

void QVTestHttpServer::_answer(Exchange* exchange)
{
    const Request request = _requests.at(exchange->requestIndex);
    const auto option = [&](const char* name) { return request.query.queryItemValue(QLatin1String(name)); };

    if (request.path == QLatin1String("/echo")) {
        _startBody(exchange, 200, { "Content-Type: text/plain" }, request.body);
        return;
    }
    if (request.path == QLatin1String("/redirect")) {
        _startBody(exchange, 302, { "Content-Type: text/plain", "Location: " + request.query.queryItemValue(QStringLiteral("to"), QUrl::FullyDecoded).toUtf8() }, "moved");
        return;
    }
    if (request.path == QLatin1String("/loop")) {
        _startBody(exchange, 302, { "Content-Type: text/plain", "Location: /loop" }, "moved");
        return;
    }
    if (request.path != QLatin1String("/bytes")) {
        _startBody(exchange, 404, { "Content-Type: text/plain" }, "no such route");
        return;
    }

    const qsizetype size = std::clamp<qsizetype>(option("size").toLongLong(), 0, maximumAnswerBody);
    const QByteArray all = pattern(size);
    const int status = option("status").isEmpty() ? 200 : option("status").toInt();
    const QByteArray type
        = option("type").isEmpty() ? QByteArray("application/octet-stream") : option("type").toLatin1();
    const bool ranges = option("ranges") == QLatin1String("1") || option("badresume") == QLatin1String("1")
        || option("ignorerange") == QLatin1String("1");
    exchange->chunk = option("chunk").toInt();
    exchange->interval = option("interval").toInt();

    QList<QByteArray> headers { "Content-Type: " + type };
    if (ranges)
        headers << "Accept-Ranges: bytes";

    const QByteArray range = request.headers.value("range");
    if (ranges && range.startsWith("bytes=") && option("ignorerange") != QLatin1String("1")) {
        if (option("badresume") == QLatin1String("1")) {
            headers << "Content-Length: " + QByteArray::number(size)
                    << "Content-Range: bytes 0-" + QByteArray::number(size - 1) + "/"
                    + QByteArray::number(size);
            _startBody(exchange, 206, headers, all);
            return;
        }
        const QList<QByteArray> bounds = range.mid(6).split('-');
        bool ok = false;
        const qsizetype first = bounds.value(0).toLongLong(&ok);
        qsizetype last = bounds.value(1).isEmpty() ? size - 1 : bounds.value(1).toLongLong();
        last = std::min(last, size - 1);
        if (!ok || first < 0 || first > last) {
            _startBody(exchange, 416, { "Content-Range: bytes */" + QByteArray::number(size) }, QByteArray());
            return;
        }
        headers << "Content-Length: " + QByteArray::number(last - first + 1)
                << "Content-Range: bytes " + QByteArray::number(first) + "-" + QByteArray::number(last) + "/"
                + QByteArray::number(size);
        _startBody(exchange, 206, headers, all.mid(first, last - first + 1));
        return;
    }

    if (option("nolength") != QLatin1String("1"))
        headers << "Content-Length: " + QByteArray::number(size);
    _startBody(exchange, status, headers, all);
    if (!option("cut").isEmpty())
        exchange->sendLimit = std::min<qsizetype>(option("cut").toLongLong(), size);
}

void QVTestHttpServer::_startBody(
    Exchange* exchange, int status, const QList<QByteArray>& headers, const QByteArray& body)
{
    QByteArray head = "HTTP/1.1 " + QByteArray::number(status) + " " + reasonPhrase(status) + "\r\n";
    for (const QByteArray& header : headers)
        head += header + "\r\n";
    head += "Connection: close\r\n\r\n";
    exchange->socket->write(head);
    exchange->body = body;
    exchange->sendLimit = body.size();
    exchange->sent = 0;
    // The first piece goes out from the event loop, after the caller has had
    // its say about the limit.
    exchange->timer->disconnect(this);
    QObject::connect(exchange->timer, &QTimer::timeout, this, [this, exchange] { _sendNextChunk(exchange); });
    exchange->timer->start(0);
}

void QVTestHttpServer::_sendNextChunk(Exchange* exchange)
{
    const qsizetype remaining = exchange->sendLimit - exchange->sent;
    const qsizetype piece = exchange->chunk > 0 ? std::min<qsizetype>(exchange->chunk, remaining) : remaining;
    if (piece > 0) {
        exchange->socket->write(exchange->body.mid(exchange->sent, piece));
        exchange->socket->flush();
        exchange->sent += piece;
    }
    if (exchange->sent < exchange->sendLimit) {
        exchange->timer->start(exchange->interval);
        return;
    }
    _endAnswer(exchange);
}

void QVTestHttpServer::_endAnswer(Exchange* exchange)
{
    exchange->done = true;
    if (exchange->answering) {
        exchange->answering = false;
        --_active;
    }
    // Sends what is buffered, then closes; "disconnected" may come at once.
    exchange->socket->disconnectFromHost();
}

void QVTestHttpServer::_dropped(Exchange* exchange)
{
    if (!_exchanges.removeOne(exchange))
        return;
    if (exchange->answering) {
        exchange->answering = false;
        --_active;
        ++_clientAborts;
    }
    exchange->timer->stop();
    exchange->socket->disconnect(this);
    exchange->socket->deleteLater();
    delete exchange;
}
