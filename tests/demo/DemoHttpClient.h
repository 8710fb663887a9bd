#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

// A plain HTTP/1.1 client over a socket, so tests control the exact request
// line (dot segments, odd methods, Range headers) and see every header sent
// back. Keeps the demo service's session cookie like a browser would.
struct DemoHttpResponse {
    int status = 0; // 0: no answer
    QList<QPair<QByteArray, QByteArray>> headers;
    QByteArray body;

    // The first header of that name (case-insensitive), or empty.
    QByteArray header(const QByteArray& name) const;
};

class DemoHttpClient
{
public:
    using Headers = QList<QPair<QByteArray, QByteArray>>;

    explicit DemoHttpClient(int port)
        : _port(port)
    {
    }

    DemoHttpResponse request(const QByteArray& method, const QByteArray& target, const Headers& headers = {},
        const QByteArray& body = {});
    DemoHttpResponse get(const QByteArray& target, const Headers& headers = {})
    {
        return request("GET", target, headers);
    }
    // An application/x-www-form-urlencoded POST; names and values are percent-encoded.
    DemoHttpResponse postForm(const QByteArray& target, const QList<QPair<QString, QString>>& fields);

    QByteArray sessionCookie() const { return _cookie; }
    void setSessionCookie(const QByteArray& cookie) { _cookie = cookie; }

private:
    int _port;
    QByteArray _cookie; // "name=value", sent back on every request
};
