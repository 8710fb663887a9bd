#pragma once

#include <QByteArray>
#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <csignal>
#include <sys/prctl.h>

// A private Wayland compositor for a test program: a headless Weston with its
// own runtime folder and socket, up until the object goes.
class QVWeston
{
public:
    QVWeston()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("weston")).isEmpty() || !_runtime.isValid())
            return;
        QFile::setPermissions(_runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), _runtime.path());
        environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
        environment.remove(QStringLiteral("DISPLAY"));
        _server.setProcessEnvironment(environment);
        // Into a file: a pipe nobody reads would stall it once full.
        _server.setProcessChannelMode(QProcess::MergedChannels);
        _server.setStandardOutputFile(_runtime.filePath(QStringLiteral("weston.log")));
        // It goes with this process, however this process ends.
        _server.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
        _server.start(QStringLiteral("weston"),
            { QStringLiteral("--backend=headless-backend.so"), QStringLiteral("--socket=") + kSocket,
                QStringLiteral("--idle-time=0"), QStringLiteral("--width=1920"),
                QStringLiteral("--height=1080") });
        if (!_server.waitForStarted(5000))
            return;
        // It accepts clients once the socket is there.
        const QDeadlineTimer deadline(10000);
        while (!QFile::exists(_runtime.filePath(kSocket)) && !deadline.hasExpired()
            && _server.state() == QProcess::Running)
            QThread::msleep(20);
        _running = QFile::exists(_runtime.filePath(kSocket)) && _server.state() == QProcess::Running;
    }
    ~QVWeston()
    {
        _server.terminate();
        if (!_server.waitForFinished(3000))
            _server.kill();
    }
    QVWeston(const QVWeston&) = delete;
    QVWeston& operator=(const QVWeston&) = delete;

    bool isRunning() const { return _running; }
    // Points this process, and what it starts, at the compositor.
    void useForThisProcess() const
    {
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(_runtime.path()));
        qputenv("WAYLAND_DISPLAY", kSocket);
        qputenv("QT_QPA_PLATFORM", "wayland");
        // Qt 6.4's Wayland text input dereferences a missing seat when a
        // window hides, and a headless Weston has none: no input method.
        qputenv("QT_IM_MODULE", "none");
        qunsetenv("DISPLAY");
    }
    QByteArray log() const
    {
        QFile file(_runtime.filePath(QStringLiteral("weston.log")));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private:
    static constexpr char kSocket[] = "quiv-test-wayland";
    QTemporaryDir _runtime;
    QProcess _server;
    bool _running = false;
};
