#pragma once

#include "QVServerRequestDelegate.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>

#include <optional>

class QVServerConnection;
class QVUserDefaults;

// Sends the crash logs our fatal-signal handler wrote since the last pass to
// the service, once per start. Logs go one at a time, oldest first; when the
// pass ends the stored date moves to the modification time of the last log
// the service answered (a 4xx answer is final too). A log lost to the network or to
// a 5xx stops the pass and is sent again at the next start. Only regular
// files of this program, the newest few, each cut to a bound: a stray file
// can neither stall the start nor send something it should not.
class QVCrashReporter : public QObject, public QVServerRequestDelegate
{
    Q_OBJECT
public:
    static constexpr int kMaximumLogsPerPass = 20;
    // The whole text sent, a closing note on a cut log included.
    static constexpr qint64 kMaximumLogLength = 1024 * 1024;

    struct Setup {
        QString directory; // empty: QVPaths::crashLogDirectory()
        QString executableName; // empty: this program's
        QVUserDefaults* defaults = nullptr; // null: the standard ones
        QVServerConnection* pool = nullptr; // null: the shared pool
        QString baseURL; // empty: the current base URL
    };

    struct CrashLog {
        QString path;
        QDateTime modified;
    };

    // One pass, for the launch: the reporter frees itself when it ends.
    static void findAndSubmitLogs();

    // The program's folder, name, settings, pool and service.
    QVCrashReporter();
    explicit QVCrashReporter(const Setup& setup, QObject* parent = nullptr);
    ~QVCrashReporter() override;

    // Starts the pass; passEnded follows, at once when there is nothing to send.
    void run();
    bool isRunning() const { return _running; }

    // The stored date; a missing one or one in the future is the distant past.
    QDateTime getLastSubmissionDate() const;
    void saveLastSubmissionDate(const QDateTime& date);
    // This program's logs later than `date`, the newest kMaximumLogsPerPass,
    // oldest first.
    QList<CrashLog> findCrashLogsSinceDate(const QDateTime& date) const;
    // The text to send: at most kMaximumLogLength bytes of UTF-8, a cut one
    // ending with a note line. Nothing for anything but a regular file.
    static std::optional<QString> readLog(const QString& path);

    // QVServerRequestDelegate
    void onConnectionReceivedResponse(
        int statusCode, qint64 expectedLength, const QString& mimeType) override;
    void onConnectionFinished(QVServerRequestIdentifier identifier, const QByteArray& data) override;
    void onConnectionFailed(QVServerRequestIdentifier identifier, const QVServerError& error) override;
    void onConnectionCanceled(QVServerRequestIdentifier identifier) override;

signals:
    // `sent` logs were answered; `complete` is false when one was lost.
    void passEnded(int sent, bool complete);

private:
    void _submitNext();
    void _end(bool complete);

    QString _directory;
    QString _executableName;
    QVUserDefaults* _defaults;
    QVServerConnection* _pool;
    QString _baseURL;
    QList<CrashLog> _pending;
    QDateTime _passed; // the last log passed this pass, stored when it ends
    QVServerRequestIdentifier _current = 0;
    int _statusCode = 0;
    int _sent = 0;
    bool _running = false;
};
