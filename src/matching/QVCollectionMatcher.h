#pragma once

#include "QVCollectionMatchRequest.h"
#include "QVCollectionMatchingListener.h"
#include "QVITunesTrack.h"
#include "QVServiceHTTPInterface.h"

#include <QDate>
#include <QHash>
#include <QLocale>
#include <QMutex>
#include <QObject>
#include <QVariantList>
#include <QVariantMap>

#include <atomic>
#include <memory>
#include <thread>
#include <unordered_map>
#include <vector>

class QVServerConnection;
struct QVServerError;
class QVUserDefaults;

// Uploads the library's tracks in batches of whole artists to the service's
// matching call, adds up what the service found and added, tells it when the
// run is over and keeps the last run's history in the settings.
//
// Grouping and queuing run on a thread of the run's own; everything else on
// the main thread. A run ends once, after every batch is queued and each has
// ended once: stray or repeated callbacks are ignored.
class QVCollectionMatcher : public QObject, public QVServerRequestDelegate
{
    Q_OBJECT

public:
    // A batch holds whole artists and at most this many tracks, except an
    // artist with more, who travels alone.
    static constexpr int maximumBatchTrackCount = 49;

    struct Batch {
        QVServiceHTTPInterface::GroupedTracks tracks;
        int trackCount = 0;
    };

    // How the last run went, for the window to explain it.
    struct RunSummary {
        quint32 batches = 0;
        quint32 answered = 0;
        quint32 failed = 0;
        quint32 canceled = 0;
        quint32 unsentTracks = 0; // in failed batches
        bool wasCanceled = false;
        // No batch was answered and at least one failed.
        bool serviceUnreachable() const { return answered == 0 && failed > 0; }
    };

    explicit QVCollectionMatcher(QVCollectionMatchingListener* listener, QObject* parent = nullptr);
    // Stops the queuing and cancels what is still pending; calls no one.
    ~QVCollectionMatcher() override;

    // Tests point the matcher elsewhere; by default the shared pool and
    // settings and the configured service.
    void setServerConnection(QVServerConnection* connection) { _connection = connection; }
    void setUserDefaults(QVUserDefaults* defaults) { _defaults = defaults; }
    void setBaseURL(const QString& baseURL) { _baseURL = baseURL; }

    // False, with a warning, while a run is under way.
    bool uploadITunesLibraryTracks(const QList<QVITunesTrack>& tracks);
    void cancelCollectionMatch();
    // "LastMatchedDate", "MatchedTrackCount", "AddedTrackCount"; stored with
    // "Never", "--", "--" when there is none.
    QVariantMap matchedCollectionHistoryDictionary();

    bool isRunning() const { return _run != nullptr; }
    // Every batch is queued and the run has not ended.
    bool isMatching() const { return _isMatching; }
    RunSummary lastRun() const { return _lastRun; }
    // The batches of this run still waiting for their end.
    QList<QVServerRequestIdentifier> pendingBatchIdentifiers() const;

    // Artists in first-seen order; tracks lacking any field are left out.
    // Nothing usable gives one empty batch.
    static QList<Batch> batchesFromTracks(const QList<QVITunesTrack>& tracks);
    // The locale's medium date: its long format without the weekday and with
    // the month abbreviated ("Dec 5, 2026").
    static QString mediumDateText(const QDate& date, const QLocale& locale = QLocale());

    // As the pool's delegate: the batch's answer counts as a 200.
    void onConnectionFinished(QVServerRequestIdentifier identifier, const QByteArray& data) override;
    void onConnectionFailed(QVServerRequestIdentifier identifier, const QVServerError& error) override;
    void onConnectionCanceled(QVServerRequestIdentifier identifier) override;

private:
    friend class QVCollectionMatchRequest;
    enum class Outcome { Answered, Failed, Canceled };

    struct Pending {
        int trackCount = 0;
        std::unique_ptr<QVCollectionMatchRequest> delegate;
    };
    // Shared with the queuing thread: the lock guards `pending` and `total`.
    struct Run {
        quint64 id = 0;
        QMutex lock;
        std::unordered_map<QVServerRequestIdentifier, Pending> pending;
        quint32 total = 0;
        std::atomic<bool> cancel { false };
        std::thread thread;
        // Delegates of ended batches; freed with the run, on the main thread.
        std::vector<std::unique_ptr<QVCollectionMatchRequest>> ended;
    };

    QVServerConnection* _pool() const;
    QVUserDefaults* _settings() const;
    void _queueBatches(Run* run, QList<QVITunesTrack> tracks, QString baseURL);
    void _onAllQueued(quint64 run);
    void _cancelPending();
    void _batchEnded(
        quint64 run, QVServerRequestIdentifier identifier, Outcome outcome, const QByteArray& data);
    void _endRun(bool canceled);
    static QList<QVServerRequestIdentifier> _keys(const Run& run);
    void _finishRunThread();

    QVCollectionMatchingListener* _listener;
    QVServerConnection* _connection = nullptr;
    QVUserDefaults* _defaults = nullptr;
    QString _baseURL;

    std::unique_ptr<Run> _run;
    std::unique_ptr<Run> _finishedRun; // its thread has ended or is ending
    quint64 _runCount = 0;
    bool _allQueued = false;
    bool _isMatching = false;
    quint32 _completed = 0;
    quint64 _matchedTracks = 0;
    quint64 _addedTracks = 0;
    QVariantList _addedTrackIdentifiers;
    QVariantList _addedAlbumIdentifiers;
    RunSummary _summary;
    RunSummary _lastRun;
};
