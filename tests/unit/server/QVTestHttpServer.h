#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QMap>
#include <QObject>
#include <QString>
#include <QTcpServer>
#include <QUrlQuery>

class QTcpSocket;

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

    explicit QVTestHttpServer(QObject* parent = nullptr);
    ~QVTestHttpServer() override;

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
    static QByteArray pattern(qsizetype size);
    // A loopback port nothing listens on (bound, then released).
    static quint16 closedPort();

private:
    struct Exchange;

    void _serve(QTcpSocket* socket);
    bool _parse(Exchange& exchange);
    void _answer(QTcpSocket* socket, Exchange& exchange);
    void _sendNextChunk(QTcpSocket* socket, Exchange& exchange);

    QTcpServer _server;
    QList<Request> _requests;
    int _active = 0;
    int _peakActive = 0;
    int _clientAborts = 0;
};
