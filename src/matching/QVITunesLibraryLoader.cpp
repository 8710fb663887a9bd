#include "QVITunesLibraryLoader.h"

#include "QVEventQueue.h"
#include "QVLog.h"

#include <QFileInfo>

QVITunesLibraryLoader::QVITunesLibraryLoader(QVITunesLibraryLoaderListener* listener, QObject* parent)
    : QObject(parent)
    , _listener(listener)
{
}

QVITunesLibraryLoader::~QVITunesLibraryLoader()
{
    // Reads see the stop within one chunk; results they post die with us.
    _stopReads(true);
}

void QVITunesLibraryLoader::loadLibraryAtPath(const QString& path)
{
    if (path.isEmpty() || !QFileInfo::exists(path)) {
        _listener->onLibraryLoadFailed(1);
        return;
    }
    _stopReads(false);
    _library = QVITunesLibraryReader::Result();
    _libraryPath = path;
    _isLibraryLoaded = false;
    const quint64 generation = ++_generation;
    _listener->onLibraryLoadStarted();

    auto read = std::make_unique<Read>();
    Read* state = read.get();
    state->thread = std::thread([this, state, path, generation] {
        QVITunesLibraryReader::Result result = QVITunesLibraryReader::read(path, &state->stop);
        if (result.status != QVITunesLibraryReader::Status::Stopped && !state->stop.load()) {
            // Queued to the loader: if it is destroyed first, the call goes with it.
            QMetaObject::invokeMethod(
                this,
                [this, generation, result = std::move(result)]() mutable {
                    QVEventQueue::sharedInstance()->post(this,
                        [this, generation, result = std::move(result)] { _onReadEnded(generation, result); });
                },
                Qt::QueuedConnection);
        }
        state->done.store(true);
    });
    _reads.push_back(std::move(read));
}

void QVITunesLibraryLoader::_stopReads(bool wait)
{
    for (auto it = _reads.begin(); it != _reads.end();) {
        Read* read = it->get();
        read->stop.store(true);
        if (wait || read->done.load()) {
            read->thread.join();
            it = _reads.erase(it);
        } else {
            ++it;
        }
    }
}

void QVITunesLibraryLoader::_onReadEnded(quint64 generation, QVITunesLibraryReader::Result result)
{
    _stopReads(false); // sweep reads that have ended
    if (generation != _generation)
        return; // a later load took over
    if (result.oversizedStrings > 0)
        QVLog("[WARNING] iTunes library %s: %d strings longer than %lld characters left out",
            qPrintable(_libraryPath), result.oversizedStrings,
            static_cast<long long>(QVITunesLibraryReader::maximumStringLength));
    if (result.status != QVITunesLibraryReader::Status::Loaded) {
        QVLog("[WARNING] Could not read the iTunes library %s: %s", qPrintable(_libraryPath),
            qPrintable(result.error));
        _library = QVITunesLibraryReader::Result();
        _isLibraryLoaded = false;
        _listener->onLibraryLoadFailed(2);
        return;
    }
    _library = std::move(result);
    _isLibraryLoaded = true;
    _listener->onLibraryLoadFinished();
}

std::optional<QList<QVITunesTrack>> QVITunesLibraryLoader::libraryTracks() const
{
    return _isLibraryLoaded ? _library.tracks : std::nullopt;
}

std::optional<QList<QVITunesPlaylist>> QVITunesLibraryLoader::libraryPlaylists() const
{
    return _isLibraryLoaded ? _library.playlists : std::nullopt;
}
