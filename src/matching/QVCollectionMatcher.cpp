#include "QVCollectionMatcher.h"

#include "QVConstants.h"
#include "QVEventQueue.h"
#include "QVLocalizedString.h"
#include "QVLog.h"
#include "QVServerConnection.h"
#include "QVServerError.h"
#include "QVUIConstantsService.h"
#include "QVUserDefaults.h"
#include "QVUtils.h"

#include <QMutexLocker>
#include <QRegularExpression>

QVCollectionMatcher::QVCollectionMatcher(QVCollectionMatchingListener* listener, QObject* parent)
    : QObject(parent)
    , _listener(listener)
{
}

QVCollectionMatcher::~QVCollectionMatcher()
{
    if (_run) {
        _run->cancel.store(true);
        if (_run->thread.joinable())
            _run->thread.join();
        // Our delegates go with us: the pool stops calling them.
        _cancelPending();
    }
    if (_finishedRun && _finishedRun->thread.joinable())
        _finishedRun->thread.join();
}

QVServerConnection* QVCollectionMatcher::_pool() const
{
    return _connection ? _connection : QVServerConnection::sharedInstance();
}

QVUserDefaults* QVCollectionMatcher::_settings() const
{
    return _defaults ? _defaults : QVUserDefaults::standardUserDefaults();
}

QList<QVCollectionMatcher::Batch> QVCollectionMatcher::batchesFromTracks(const QList<QVITunesTrack>& tracks)
{
    struct Artist {
        QString name;
        QMap<QString, QStringList> albums;
        int trackCount = 0;
    };
    QList<Artist> artists;
    QHash<QString, qsizetype> indexOfArtist;
    for (const QVITunesTrack& track : tracks) {
        if (!track.artist || !track.album || !track.name)
            continue;
        // Cut as uploaded, so names alike after the cut share one entry
        // instead of overwriting each other.
        const QString artistName = QVServiceHTTPInterface::uploadedName(*track.artist);
        auto known = indexOfArtist.constFind(artistName);
        qsizetype index;
        if (known == indexOfArtist.constEnd()) {
            index = artists.size();
            indexOfArtist.insert(artistName, index);
            artists.append({ artistName, {}, 0 });
        } else {
            index = *known;
        }
        Artist& artist = artists[index];
        artist.albums[QVServiceHTTPInterface::uploadedName(*track.album)].append(
            QVServiceHTTPInterface::uploadedName(*track.name));
        ++artist.trackCount;
    }

    QList<Batch> batches;
    Batch batch;
    for (Artist& artist : artists) {
        if (batch.trackCount > 0 && batch.trackCount + artist.trackCount > maximumBatchTrackCount) {
            batches.append(std::move(batch));
            batch = Batch();
        }
        batch.tracks.insert(artist.name, std::move(artist.albums));
        batch.trackCount += artist.trackCount;
    }
    batches.append(std::move(batch)); // empty only when nothing was usable
    return batches;
}

QString QVCollectionMatcher::mediumDateText(const QDate& date, const QLocale& locale)
{
    QString format = locale.dateFormat(QLocale::LongFormat);
    // The weekday and what joins it to the rest, wherever it stands.
    static const QRegularExpression weekday(QStringLiteral("d{4}[,.]?\\s*|[,.]?\\s*d{4}"));
    format.remove(weekday);
    format.replace(QStringLiteral("MMMM"), QStringLiteral("MMM"));
    return locale.toString(date, format.trimmed());
}

bool QVCollectionMatcher::uploadITunesLibraryTracks(const QList<QVITunesTrack>& tracks)
{
    if (_run) {
        QVLog("[WARNING] Tried to match the collection while a match is running!");
        return false;
    }
    _finishRunThread();
    _run = std::make_unique<Run>();
    _run->id = ++_runCount;
    _allQueued = false;
    _isMatching = false;
    _completed = 0;
    _matchedTracks = 0;
    _addedTracks = 0;
    _addedTrackIdentifiers.clear();
    _addedAlbumIdentifiers.clear();
    _summary = RunSummary();

    _listener->onCollectionMatchingStarted();
    const QString baseURL = _baseURL.isEmpty() ? QVUIConstantsService::sharedInstance()->quivURL() : _baseURL;
    Run* run = _run.get();
    run->thread = std::thread([this, run, tracks, baseURL] { _queueBatches(run, tracks, baseURL); });
    return true;
}

void QVCollectionMatcher::_queueBatches(Run* run, QList<QVITunesTrack> tracks, QString baseURL)
{
    const QVServiceHTTPInterface api(baseURL);
    const QList<Batch> batches = batchesFromTracks(tracks);
    tracks.clear();
    QVServerConnection* pool = _pool();
    for (const Batch& batch : batches) {
        if (run->cancel.load())
            break;
        const QVServiceHTTPInterface::FormCall call = api.bulkAddToLibraryCall(batch.tracks);
        auto delegate = std::make_unique<QVCollectionMatchRequest>(this, run->id);
        // Held across the push so an answer cannot look for its batch before it is listed.
        QMutexLocker locker(&run->lock);
        const QVServerRequestIdentifier identifier
            = pool->addServerRequest(call.url, call.parameters, false, delegate.get());
        run->pending.insert_or_assign(identifier, Pending { batch.trackCount, std::move(delegate) });
        ++run->total;
    }
    const quint64 id = run->id;
    QMetaObject::invokeMethod(
        this, [this, id] { QVEventQueue::sharedInstance()->post(this, [this, id] { _onAllQueued(id); }); },
        Qt::QueuedConnection);
}

void QVCollectionMatcher::_onAllQueued(quint64 run)
{
    if (!_run || _run->id != run)
        return;
    _allQueued = true;
    quint32 total;
    {
        QMutexLocker locker(&_run->lock);
        total = _run->total;
    }
    _summary.batches = total;
    if (_run->cancel.load()) {
        // Batches queued after the cancel was asked for.
        _cancelPending();
    } else {
        _isMatching = true;
    }
    if (_completed == total)
        _endRun(_run->cancel.load());
}

void QVCollectionMatcher::cancelCollectionMatch()
{
    if (!_run || _run->cancel.load()) {
        QVLog("[WARNING] Tried to cancel collection matching when matcher isn't running!");
        return;
    }
    _run->cancel.store(true);
    _cancelPending();
}

void QVCollectionMatcher::_cancelPending()
{
    QList<QVServerRequestIdentifier> identifiers;
    {
        QMutexLocker locker(&_run->lock);
        identifiers = _keys(*_run);
    }
    if (!identifiers.isEmpty())
        _pool()->batchCancelServerRequests(identifiers);
}

QList<QVServerRequestIdentifier> QVCollectionMatcher::_keys(const Run& run)
{
    QList<QVServerRequestIdentifier> keys;
    for (const auto& [identifier, pending] : run.pending)
        keys.append(identifier);
    std::sort(keys.begin(), keys.end());
    return keys;
}

QList<QVServerRequestIdentifier> QVCollectionMatcher::pendingBatchIdentifiers() const
{
    if (!_run)
        return {};
    QMutexLocker locker(&_run->lock);
    return _keys(*_run);
}

void QVCollectionMatcher::onConnectionFinished(QVServerRequestIdentifier identifier, const QByteArray& data)
{
    if (_run)
        _batchEnded(_run->id, identifier, Outcome::Answered, data);
}

void QVCollectionMatcher::onConnectionFailed(QVServerRequestIdentifier identifier, const QVServerError& error)
{
    QVLog("[WARNING] Connection failed trying to match collection! : %s", qPrintable(error.description()));
    if (_run)
        _batchEnded(_run->id, identifier, Outcome::Failed, {});
}

void QVCollectionMatcher::onConnectionCanceled(QVServerRequestIdentifier identifier)
{
    if (_run)
        _batchEnded(_run->id, identifier, Outcome::Canceled, {});
}

void QVCollectionMatcher::_batchEnded(
    quint64 run, QVServerRequestIdentifier identifier, Outcome outcome, const QByteArray& data)
{
    if (!_run || _run->id != run)
        return;
    int trackCount = 0;
    {
        QMutexLocker locker(&_run->lock);
        auto pending = _run->pending.find(identifier);
        if (pending == _run->pending.end()) {
            QVLog("[WARNING] Ignored an answer for request %u, which is no batch of this match", identifier);
            return;
        }
        trackCount = pending->second.trackCount;
        // The delegate may be the caller: it is freed with the run.
        _run->ended.push_back(std::move(pending->second.delegate));
        _run->pending.erase(pending);
    }
    ++_completed;
    switch (outcome) {
    case Outcome::Answered: {
        ++_summary.answered;
        const auto answer = QVServiceHTTPInterface::parseBulkAddToLibrary(data);
        _matchedTracks += quint64(answer.found);
        _addedTracks += quint64(answer.added);
        _addedTrackIdentifiers.append(answer.tracks);
        _addedAlbumIdentifiers.append(answer.albums);
        break;
    }
    case Outcome::Failed:
        ++_summary.failed;
        _summary.unsentTracks += quint32(trackCount);
        break;
    case Outcome::Canceled:
        ++_summary.canceled;
        break;
    }
    if (!_allQueued)
        return; // progress and the end wait until every batch is queued
    quint32 total;
    {
        QMutexLocker locker(&_run->lock);
        total = _run->total;
    }
    if (outcome == Outcome::Answered)
        _listener->onCollectionMatchingProgress(quint32(float(_completed) / float(total) * 100.0f));
    if (_completed == total)
        _endRun(_run->cancel.load() || outcome == Outcome::Canceled);
}

void QVCollectionMatcher::_endRun(bool canceled)
{
    _isMatching = false;
    _summary.wasCanceled = canceled;
    _lastRun = _summary;
    // Only what the service answered is worth telling it and remembering: a
    // run that never reached it keeps the last history.
    if (_summary.answered > 0) {
        const QVServiceHTTPInterface api(
            _baseURL.isEmpty() ? QVUIConstantsService::sharedInstance()->quivURL() : _baseURL);
        const auto call = api.addToLibraryCompletedCall(_addedAlbumIdentifiers, _addedTrackIdentifiers);
        _pool()->addServerRequest(call.url, call.parameters, false, nullptr);

        QVariantMap history = matchedCollectionHistoryDictionary();
        history.insert(QLatin1String(QVLastMatchedDateKey), mediumDateText(QDate::currentDate()));
        history.insert(
            QLatin1String(QVMatchedTrackCountKey), QVUtils::stringWithDecimalStyle(_matchedTracks));
        history.insert(QLatin1String(QVAddedTrackCountKey), QVUtils::stringWithDecimalStyle(_addedTracks));
        _settings()->setValue(history, QLatin1String(QVLastCollectionMatchedDictionaryKey));
    }
    _addedTrackIdentifiers.clear();
    _addedAlbumIdentifiers.clear();
    // The run's thread has posted its last word; it is joined at the next run.
    _finishedRun = std::move(_run);
    if (canceled)
        _listener->onCollectionMatchingCanceled();
    else
        _listener->onCollectionMatchingFinished();
}

void QVCollectionMatcher::_finishRunThread()
{
    if (_finishedRun && _finishedRun->thread.joinable())
        _finishedRun->thread.join();
    _finishedRun.reset();
}

QVariantMap QVCollectionMatcher::matchedCollectionHistoryDictionary()
{
    const QString key = QLatin1String(QVLastCollectionMatchedDictionaryKey);
    QVariantMap history = _settings()->dictionaryForKey(key);
    if (history.isEmpty()) {
        history = {
            { QLatin1String(QVLastMatchedDateKey), QVLocalizedString("Never") },
            { QLatin1String(QVMatchedTrackCountKey), QStringLiteral("--") },
            { QLatin1String(QVAddedTrackCountKey), QStringLiteral("--") },
        };
        _settings()->setValue(history, key);
    }
    return history;
}
