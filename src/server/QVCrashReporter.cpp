#include "QVCrashReporter.h"

#include "QVConstants.h"
#include "QVLog.h"
#include "QVPaths.h"
#include "QVServerConnection.h"
#include "QVServerError.h"
#include "QVServiceHTTPInterface.h"
#include "QVUserDefaults.h"

#include <QCoreApplication>
#include <QDirIterator>
#include <QFileInfo>

#include <algorithm>
#include <exception>
#include <optional>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

static_assert(QVCrashReporter::kMaximumLogLength <= QVServiceHTTPInterface::maximumLogLength,
    "the request must not cut a log the reporter has cut already");

namespace {

// Opens only a regular file: a symlink could point anywhere, a FIFO would
// block the start. -1 otherwise.
int openRegularFile(const QString& path)
{
    const int fd
        = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return -1;
    struct stat info {
    };
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

void QVCrashReporter::findAndSubmitLogs()
{
    auto* reporter = new QVCrashReporter();
    QObject::connect(reporter, &QVCrashReporter::passEnded, reporter, &QObject::deleteLater);
    reporter->run();
}

QVCrashReporter::QVCrashReporter()
    : QVCrashReporter(Setup {})
{
}

QVCrashReporter::QVCrashReporter(const Setup& setup, QObject* parent)
    : QObject(parent)
    , _directory(setup.directory.isEmpty() ? QVPaths::crashLogDirectory() : setup.directory)
    , _executableName(setup.executableName.isEmpty()
              ? QFileInfo(QCoreApplication::applicationFilePath()).fileName()
              : setup.executableName)
    , _defaults(setup.defaults ? setup.defaults : QVUserDefaults::standardUserDefaults())
    , _pool(setup.pool ? setup.pool : QVServerConnection::sharedInstance())
    , _baseURL(setup.baseURL)
{
}

QVCrashReporter::~QVCrashReporter()
{
    if (!_running)
        return;
    if (_current != 0)
        _pool->cancelServerRequest(_current);
    if (_passed.isValid())
        saveLastSubmissionDate(_passed);
}

void QVCrashReporter::run()
{
    if (_running)
        return;
    _running = true;
    _sent = 0;
    _passed = {};
    try {
        _pending = findCrashLogsSinceDate(getLastSubmissionDate());
    } catch (const std::exception& exception) {
        // Nothing that goes wrong here may disturb the start.
        QVLog("QVCrashReporter caught exception %s", exception.what());
        _pending.clear();
    }
    _submitNext();
}

QDateTime QVCrashReporter::getLastSubmissionDate() const
{
    const QDateTime stored
        = _defaults->objectForKey(QString::fromLatin1(QVLastCrashSubmissionDateKey)).toDateTime();
    // A date ahead of the clock (a clock set back since) would hide every new log.
    if (!stored.isValid() || stored > QDateTime::currentDateTimeUtc())
        return QDateTime(QDate(1, 1, 1), QTime(0, 0), Qt::UTC);
    return stored;
}

void QVCrashReporter::saveLastSubmissionDate(const QDateTime& date)
{
    _defaults->setValue(date, QString::fromLatin1(QVLastCrashSubmissionDateKey));
    _defaults->synchronize();
}

QList<QVCrashReporter::CrashLog> QVCrashReporter::findCrashLogsSinceDate(const QDateTime& date) const
{
    QList<CrashLog> logs;
    if (_executableName.isEmpty())
        return logs;
    // A folder that cannot be listed yields nothing. Symlinks and anything
    // but files are left out here and checked again when read.
    QDirIterator entries(_directory, { _executableName + QLatin1Char('*') },
        QDir::Files | QDir::NoSymLinks | QDir::Hidden | QDir::NoDotAndDotDot);
    while (entries.hasNext()) {
        entries.next();
        const QFileInfo info = entries.fileInfo();
        if (!info.fileName().startsWith(_executableName) || info.isSymLink() || !info.isFile())
            continue;
        const QDateTime modified = info.lastModified().toUTC();
        if (modified > date)
            logs.append({ info.filePath(), modified });
    }
    const auto older = [](const CrashLog& a, const CrashLog& b) {
        return a.modified < b.modified || (a.modified == b.modified && a.path < b.path);
    };
    // The newest few; older ones are passed over.
    if (logs.size() > kMaximumLogsPerPass) {
        std::nth_element(logs.begin(), logs.end() - kMaximumLogsPerPass, logs.end(), older);
        logs.erase(logs.begin(), logs.end() - kMaximumLogsPerPass);
    }
    std::sort(logs.begin(), logs.end(), older);
    for (const CrashLog& log : std::as_const(logs))
        QVLog("Found crash log %s", qPrintable(log.path));
    return logs;
}

std::optional<QString> QVCrashReporter::readLog(const QString& path)
{
    const int fd = openRegularFile(path);
    if (fd < 0)
        return std::nullopt;
    // One byte past the bound tells a cut log from one that just fits.
    QByteArray bytes(kMaximumLogLength + 1, Qt::Uninitialized);
    qint64 length = 0;
    while (length < bytes.size()) {
        const ssize_t count = ::read(fd, bytes.data() + length, size_t(bytes.size() - length));
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            break;
        length += count;
    }
    struct stat info {
    };
    const qint64 fileLength = ::fstat(fd, &info) == 0 ? qint64(info.st_size) : length;
    ::close(fd);
    bytes.truncate(length);
    if (length <= kMaximumLogLength)
        return QString::fromUtf8(bytes);
    const QByteArray note
        = QStringLiteral("\n[Quiv: this log of %1 bytes was cut here]\n").arg(fileLength).toUtf8();
    return QString::fromUtf8(QVServiceHTTPInterface::cutUtf8(bytes, kMaximumLogLength - note.size()) + note);
}

void QVCrashReporter::_submitNext()
{
    while (!_pending.isEmpty()) {
        const std::optional<QString> text = readLog(_pending.first().path);
        if (!text) {
            // Unreadable or no longer a file: nothing to send, nothing to wait for.
            _passed = _pending.takeFirst().modified;
            continue;
        }
        const QVServiceHTTPInterface service
            = _baseURL.isEmpty() ? QVServiceHTTPInterface() : QVServiceHTTPInterface(_baseURL);
        const QVServiceHTTPInterface::FormCall call = service.submitAppLogCall(*text);
        _statusCode = 0;
        _current = _pool->addServerRequest(call.url, call.parameters, false, this);
        return;
    }
    _end(true);
}

void QVCrashReporter::_end(bool complete)
{
    // Once a pass: writing the settings file per log would cost the start
    // more than the logs themselves. A pass cut short by a kill sends its
    // logs again, which loses none.
    if (_passed.isValid())
        saveLastSubmissionDate(_passed);
    _current = 0;
    _pending.clear();
    _running = false;
    emit passEnded(_sent, complete);
}

void QVCrashReporter::onConnectionReceivedResponse(int statusCode, qint64, const QString&)
{
    _statusCode = statusCode;
}

void QVCrashReporter::onConnectionFinished(QVServerRequestIdentifier identifier, const QByteArray&)
{
    if (identifier != _current || _pending.isEmpty())
        return;
    if (_statusCode >= 500 || _statusCode == 0) {
        QVLog("[WARNING] The service could not take crash log %s (HTTP %d); it is sent at the next start",
            qPrintable(_pending.first().path), _statusCode);
        _end(false);
        return;
    }
    if (_statusCode >= 400)
        QVLog("[WARNING] The service refused crash log %s (HTTP %d)", qPrintable(_pending.first().path),
            _statusCode);
    else
        ++_sent;
    _passed = _pending.takeFirst().modified;
    _submitNext();
}

void QVCrashReporter::onConnectionFailed(QVServerRequestIdentifier identifier, const QVServerError& error)
{
    if (identifier != _current || _pending.isEmpty())
        return;
    QVLog("[WARNING] Crash log %s not sent: %s; it is sent at the next start",
        qPrintable(_pending.first().path), qPrintable(error.description()));
    _end(false);
}

void QVCrashReporter::onConnectionCanceled(QVServerRequestIdentifier identifier)
{
    if (identifier == _current && _running)
        _end(false);
}
