#pragma once

#include <QByteArray>
#include <QProcess>
#include <QStandardPaths>

// A private X server for one test: Xvfb on a display number it picks itself,
// kept up when its last client leaves (a reset would refuse a reconnection).
class QVXvfb
{
public:
    QVXvfb()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty())
            return;
        _server.start(QStringLiteral("Xvfb"),
            { QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-nolisten"),
                QStringLiteral("tcp"), QStringLiteral("-noreset"), QStringLiteral("-screen"),
                QStringLiteral("0"), QStringLiteral("320x240x24") });
        // It writes the display number once it accepts connections.
        if (!_server.waitForStarted(5000))
            return;
        QByteArray number;
        while (!number.endsWith('\n') && _server.waitForReadyRead(10000))
            number += _server.readAllStandardOutput();
        if (number.trimmed().isEmpty())
            return;
        _display = ':' + number.trimmed();
    }
    ~QVXvfb()
    {
        _server.terminate();
        if (!_server.waitForFinished(3000))
            _server.kill();
    }
    QVXvfb(const QVXvfb&) = delete;
    QVXvfb& operator=(const QVXvfb&) = delete;

    bool isRunning() const { return !_display.isEmpty(); }
    QByteArray display() const { return _display; }

    // Runs an X client on this display; true when it exits cleanly.
    bool run(const QString& program, const QStringList& arguments, int timeout = 10000) const
    {
        QProcess client;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DISPLAY"), QString::fromLatin1(_display));
        client.setProcessEnvironment(environment);
        client.start(program, arguments);
        return client.waitForFinished(timeout) && client.exitStatus() == QProcess::NormalExit
            && client.exitCode() == 0;
    }

private:
    QProcess _server;
    QByteArray _display;
};
