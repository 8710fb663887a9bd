#include "QVDemoService.h"

#include <QDeadlineTimer>
#include <QRegularExpression>

QVDemoService::QVDemoService() = default;

QVDemoService::~QVDemoService()
{
    stop();
}

bool QVDemoService::_fail(const QString& error)
{
    _error = error;
    qWarning("QVDemoService: %s", qPrintable(error));
    stop();
    return false;
}

bool QVDemoService::start(int timeoutMs, int port)
{
    stop();
    const QString program = qEnvironmentVariable("QUIV_DEMO_SERVICE");
    const QString root = qEnvironmentVariable("QUIV_DEMO_ROOT");
    if (program.isEmpty() || root.isEmpty())
        return _fail(
            QStringLiteral("QUIV_DEMO_SERVICE and QUIV_DEMO_ROOT must name the service and its web root"));

    _process = std::make_unique<QProcess>();
    // The service's complaints belong in the test log.
    _process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    _process->start(
        program, { QStringLiteral("--port"), QString::number(port), QStringLiteral("--root"), root });

    const QDeadlineTimer deadline(timeoutMs);
    if (!_process->waitForStarted(int(deadline.remainingTime())))
        return _fail(QStringLiteral("cannot start %1: %2").arg(program, _process->errorString()));
    while (!_process->canReadLine()) {
        if (_process->state() != QProcess::Running)
            return _fail(QStringLiteral("%1 exited before it was listening").arg(program));
        if (deadline.hasExpired() || !_process->waitForReadyRead(int(deadline.remainingTime()))) {
            if (_process->canReadLine())
                break;
            return _fail(
                QStringLiteral("%1 did not report its port within %2 ms").arg(program).arg(timeoutMs));
        }
    }
    const QString line = QString::fromUtf8(_process->readLine()).trimmed();
    static const QRegularExpression listening(QStringLiteral("^listening on 127\\.0\\.0\\.1:(\\d{1,5})$"));
    const auto match = listening.match(line);
    const int bound = match.hasMatch() ? match.captured(1).toInt() : 0;
    if (bound <= 0 || bound > 65535)
        return _fail(QStringLiteral("unexpected first line from %1: %2").arg(program, line.left(200)));
    _port = bound;
    _error.clear();
    return true;
}

void QVDemoService::stop()
{
    _port = 0;
    if (!_process)
        return;
    if (_process->state() != QProcess::NotRunning) {
        _process->terminate();
        if (!_process->waitForFinished(3000)) {
            _process->kill();
            _process->waitForFinished(1000);
        }
    }
    _process.reset();
}

QString QVDemoService::baseUrl() const
{
    return QStringLiteral("http://") + hostAndPort();
}

QString QVDemoService::hostAndPort() const
{
    return QStringLiteral("127.0.0.1:%1").arg(_port);
}
