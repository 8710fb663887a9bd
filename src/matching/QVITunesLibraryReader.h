#pragma once

#include "QVITunesTrack.h"

#include <QIODevice>
#include <QList>
#include <QString>

#include <atomic>
#include <optional>

// Reads what the client needs of an iTunes library file: each track's artist,
// album and name, and the playlists. XML is streamed, never held whole: every
// other key is skipped unstored, and nothing recurses, so a hostile file
// costs neither memory nor stack. Binary property lists go through libplist.
class QVITunesLibraryReader
{
public:
    // Strings longer than this count as absent.
    static constexpr qsizetype maximumStringLength = 16 * 1024;
    // Elements nested deeper than this make the file unreadable.
    static constexpr int maximumDepth = 64;
    // Binary files are read whole; larger ones are refused.
    static constexpr qint64 maximumBinaryFileSize = 512LL * 1024 * 1024;
    static constexpr qint64 chunkSize = 64 * 1024;

    enum class Status { Loaded, Unreadable, Stopped };

    struct Result {
        Status status = Status::Unreadable;
        // Absent when the library has no "Tracks" dictionary or no "Playlists" array.
        std::optional<QList<QVITunesTrack>> tracks;
        std::optional<QList<QVITunesPlaylist>> playlists;
        int oversizedStrings = 0;
        QString error; // why it is unreadable
    };

    // `stop`, when given, is checked between chunks: once set, the read ends
    // with Stopped and nothing else.
    static Result read(const QString& path, const std::atomic<bool>* stop = nullptr);
    static Result readXml(QIODevice* device, const std::atomic<bool>* stop = nullptr);
    static Result readBinary(const QByteArray& data);
};
