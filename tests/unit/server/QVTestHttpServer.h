#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QObject>
#include <QString>
#include <QTcpServer>
#include <QUrlQuery>

class QTcpSocket;
class QTimer;

// A small HTTP/1.1 server on 127.0.0.1 for the request pool's tests. It runs on
// the thread that made it (the test's main thread), answers one request per
// connection and closes it. Routes:
//
//   /echo                 200 with the request seen, as JSON
//   /redirect?to=URL      302 to URL (hold=MS delays it like any answer)
//   /loop                 302 to itself
//   /bytes?size=N         N bytes of pattern(N), Content-Length set, and options:
//       status=S          answer with status S
//       type=T            Content-Type T (default application/octet-stream)
//       hold=MS           wait before answering at all
//       chunk=C&interval=MS   send the body C bytes at a time, MS apart
//       nolength=1        no Content-Length; the end of the body is the close
//       cut=K             promise N bytes, send K and close
//       ranges=1          advertise Accept-Ranges and answer a Range with 206
//       badresume=1       advertise ranges but answer a Range with the whole body
//       ignorerange=1     advertise ranges but answer a Range with a plain 200
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

    bool listen();
    quint16 port() const { return _server.serverPort(); }
    QString url(const QString& pathAndQuery) const;

    const QList<Request>& requests() const { return _requests; }
    // Requests whose "id" query value is `id`.
    int requestCountWithId(const QString& id) const;
    // Answers begun and not yet fully written, now and at most.
    int activeAnswers() const { return _active; }
    int peakActiveAnswers() const { return _peakActive; }
    // Connections the client closed before the whole answer was written.
    int clientAborts() const { return _clientAborts; }

    // The bytes of a body of `size`: a repeating, position-dependent pattern.
    static QByteArray pattern(qsizetype size);
    // A loopback port nothing listens on (bound, then released).
    static quint16 closedPort();

private:
    struct Exchange;

    void _accept();
    void _read(Exchange* exchange);
    void _answer(Exchange* exchange);
    void _startBody(Exchange* exchange, int status, const QList<QByteArray>& headers, const QByteArray& body);
    void _sendNextChunk(Exchange* exchange);
    void _endAnswer(Exchange* exchange);
    void _dropped(Exchange* exchange);

    QTcpServer _server;
    QList<Request> _requests;
    QList<Exchange*> _exchanges;
    int _active = 0;
    int _peakActive = 0;
    int _clientAborts = 0;
};
