#pragma once

#include "QVITunesLibraryLoaderListener.h"
#include "QVITunesLibraryReader.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

// Loads the user's iTunes library on a thread of its own and tells one
// listener how it went. Only the main thread touches the loader: the read
// hands its result over, and a later load stops an earlier read, whose result
// is then dropped. Destroying the loader stops any read and calls no one.
class QVITunesLibraryLoader : public QObject
{
    Q_OBJECT

public:
    explicit QVITunesLibraryLoader(QVITunesLibraryLoaderListener* listener, QObject* parent = nullptr);
    ~QVITunesLibraryLoader() override;

    void loadLibraryAtPath(const QString& path);

    bool isLibraryLoaded() const { return _isLibraryLoaded; }
    // The loaded library's path; null while nothing is loaded.
    QString loadedLibraryPath() const { return _isLibraryLoaded ? _libraryPath : QString(); }
    // Implicitly shared; absent while nothing is loaded or without "Tracks".
    std::optional<QList<QVITunesTrack>> libraryTracks() const;
    std::optional<QList<QVITunesPlaylist>> libraryPlaylists() const;

private:
    struct Read {
        std::atomic<bool> stop { false };
        std::atomic<bool> done { false };
        std::thread thread;
    };

    void _onReadEnded(quint64 generation, QVITunesLibraryReader::Result result);
    void _stopReads(bool wait);

    QVITunesLibraryLoaderListener* _listener;
    QString _libraryPath;
    QVITunesLibraryReader::Result _library;
    bool _isLibraryLoaded = false;
    quint64 _generation = 0;
    std::vector<std::unique_ptr<Read>> _reads;
};
