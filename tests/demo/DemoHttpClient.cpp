#include "DemoHttpClient.h"

#include <QDeadlineTimer>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QUrl>

QByteArray DemoHttpResponse::header(const QByteArray& name) const
{
    for (const auto& [key, value] : headers)
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    return {};
}

DemoHttpResponse DemoHttpClient::request(
    const QByteArray& method, const QByteArray& target, const Headers& headers, const QByteArray& body)
{
    DemoHttpResponse response;
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), quint16(_port));
    if (!socket.waitForConnected(3000))
        return response;

    QByteArray head = method + ' ' + target + " HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(_port)
        + "\r\nConnection: close\r\n";
    if (!_cookie.isEmpty())
        head += "Cookie: " + _cookie + "\r\n";
    for (const auto& [name, value] : headers)
        head += name + ": " + value + "\r\n";
    if (!body.isEmpty() || method == "POST")
        head += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    socket.write(head + "\r\n" + body);

    // Read until the announced body is complete or the server closes.
    QByteArray raw;
    const QDeadlineTimer deadline(10000);
    const auto complete = [&] {
        const qsizetype headEnd = raw.indexOf("\r\n\r\n");
        if (headEnd < 0)
            return false;
        if (method == "HEAD")
            return true;
        static const QRegularExpression length(
            QStringLiteral("\r\ncontent-length:\\s*(\\d+)"), QRegularExpression::CaseInsensitiveOption);
        const auto match = length.match(QString::fromLatin1(raw.left(headEnd + 2)));
        return match.hasMatch() && raw.size() - headEnd - 4 >= match.captured(1).toLongLong();
    };
    while (!deadline.hasExpired() && !complete()) {
        if (socket.bytesAvailable() == 0 && !socket.waitForReadyRead(int(deadline.remainingTime()))) {
            raw += socket.readAll();
            break;
        }
        raw += socket.readAll();
    }

    const qsizetype headEnd = raw.indexOf("\r\n\r\n");
    if (headEnd < 0)
        return response;
    const QList<QByteArray> lines = raw.left(headEnd).split('\n');
    response.status = lines.value(0).trimmed().split(' ').value(1).toInt();
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines[i].trimmed();
        const qsizetype colon = line.indexOf(':');
        if (colon > 0)
            response.headers.append({ line.left(colon).trimmed(), line.mid(colon + 1).trimmed() });
    }
    response.body = raw.mid(headEnd + 4);

    // Follow the session cookie as a browser would.
    for (const auto& [name, value] : response.headers) {
        if (name.compare("Set-Cookie", Qt::CaseInsensitive) != 0)
            continue;
        const QByteArray pair = value.split(';').value(0).trimmed();
        if (value.contains("Max-Age=0") || pair.endsWith('='))
            _cookie.clear();
        else
            _cookie = pair;
    }
    return response;
}

DemoHttpResponse DemoHttpClient::postForm(
    const QByteArray& target, const QList<QPair<QString, QString>>& fields)
{
    QByteArray body;
    for (const auto& [name, value] : fields) {
        if (!body.isEmpty())
            body += '&';
        body += QUrl::toPercentEncoding(name) + '=' + QUrl::toPercentEncoding(value);
    }
    return request("POST", target, { { "Content-Type", "application/x-www-form-urlencoded" } }, body);
}
