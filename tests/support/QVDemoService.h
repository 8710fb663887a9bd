#pragma once

#include <QProcess>
#include <QString>

#include <memory>

// Runs quiv-demo-service for a test: the program named by QUIV_DEMO_SERVICE
// serving the web root in QUIV_DEMO_ROOT on a free loopback port. The process
// is stopped when this object goes away.
class QVDemoService
{
public:
    QVDemoService();
    ~QVDemoService();
    QVDemoService(const QVDemoService&) = delete;
    QVDemoService& operator=(const QVDemoService&) = delete;

    // Starts the service and waits for its "listening on 127.0.0.1:N" line.
    // False, with errorString() set, when it does not come up in time.
    // `port` 0 takes a free one; another brings a stopped service back where it was.
    bool start(int timeoutMs = 5000, int port = 0);
    void stop();

    int port() const { return _port; }
    QString baseUrl() const; // "http://127.0.0.1:N"
    QString hostAndPort() const; // "127.0.0.1:N"
    QString errorString() const { return _error; }

    // Fills and submits the page's sign-in form with the demo account.
    static QString signInScript()
    {
        return QStringLiteral("$('.Login_Form [name=username]').val('demo');"
                              "$('.Login_Form [name=password]').val('demo');"
                              "$('.Login_Form').trigger('submit');");
    }

private:
    bool _fail(const QString& error);

    std::unique_ptr<QProcess> _process;
    int _port = 0;
    QString _error;
};
