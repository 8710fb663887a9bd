#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QUrl>

#include <atomic>
#include <optional>
#include <thread>

// Fetched album art on disk, one file per base icon, kept 30 days from the
// day it was fetched. Each file, named by the SHA-1 of the base icon, is a
// binary property list holding a dictionary: "ImageData" (the image file as
// the image server sent it), "ImageDataHash" (SHA-1 hex of that data) and
// "CacheDate" (when it was written). A file that does not read back as such a
// dictionary is a miss: it is removed and the art is fetched again.
//
// Main thread, except the cleanup, which runs on a thread of its own and only
// lists, reads and removes files.
class QVAlbumArtCacheController
{
public:
    // Entries older than this go at the next cleanup.
    static constexpr qint64 kExpirySeconds = 30 * 24 * 60 * 60;
    // Larger images are refused, and larger files are never read.
    static constexpr qsizetype kMaximumImageDataLength = 4 * 1024 * 1024;
    static constexpr qsizetype kMaximumFileLength = kMaximumImageDataLength + 64 * 1024;
    // Art files handed to the desktop: the current one and the one before it
    // (a reader may still be opening it).
    static constexpr int kKeptArtFiles = 2;

    struct Entry {
        QByteArray imageData;
        QString imageDataHash;
        QDateTime cacheDate;
    };

    // `cacheDirectory` empty: $XDG_CACHE_HOME/Quiv/AlbumArtCache.
    explicit QVAlbumArtCacheController(const QString& cacheDirectory = QString());
    // Waits for a running cleanup, which stops after the file it is on.
    ~QVAlbumArtCacheController();
    QVAlbumArtCacheController(const QVAlbumArtCacheController&) = delete;
    QVAlbumArtCacheController& operator=(const QVAlbumArtCacheController&) = delete;

    static QString defaultCacheDirectory();
    QString cacheDirectory() const { return _cacheDirectory; }

    // A file for the base icon exists, valid or not.
    bool isBaseIconInCache(const QString& baseIcon) const;
    // The stored image data of a valid entry. A file that is truncated, too
    // large, not a property list or whose data does not match its hash is
    // removed, and the answer is a miss.
    std::optional<QByteArray> albumArtDataFromCache(const QString& baseIcon);
    // Written to a temporary file and renamed over the entry, so a reader
    // never sees half a file. False (with a log line) when not written.
    bool cacheAlbumArt(const QByteArray& imageData, const QString& baseIcon);
    bool cacheAlbumArt(const QByteArray& imageData, const QString& baseIcon, const QDateTime& cacheDate);
    void removeAlbumArt(const QString& baseIcon);

    // The image as a file of its own for other programs (the desktop's media
    // controls) under Current/ in the cache folder, named by the base icon's
    // SHA-1 and the image format; older ones beyond kKeptArtFiles are removed.
    // An empty URL when it cannot be written.
    QUrl writeArtFile(const QByteArray& imageData, const QByteArray& format, const QString& baseIcon);

    // Removes expired entries on a thread of its own. Files that do not read
    // as entries, or carry no date, are left alone. Does nothing while a
    // cleanup runs.
    void cleanupOldCache();
    bool isCleanupRunning() const { return _cleanupRunning; }
    // Waits for a running cleanup to end.
    void waitForCleanup();

    // "<cache folder>/<SHA-1 of the base icon>", creating the folder.
    QString _baseIconCachFilePath(const QString& baseIcon) const;

    // The file format, for tests and the cleanup.
    static QByteArray propertyListData(const QByteArray& imageData, const QDateTime& cacheDate);
    // Only binary property lists of at most kMaximumFileLength bytes are
    // parsed; anything else, and a dictionary without valid fields, is nullopt.
    static std::optional<Entry> entryFromPropertyListData(const QByteArray& data);
    // The date alone, for the cleanup: a dictionary with a "CacheDate".
    static std::optional<QDateTime> cacheDateFromPropertyListData(const QByteArray& data);

private:
    static std::optional<QByteArray> _readBounded(const QString& path);
    static bool _writeAtomically(const QString& path, const QByteArray& data);
    static void _cleanup(const QString& directory, const std::atomic<bool>& stop);

    QString _cacheDirectory;
    std::thread _cleanupThread;
    std::atomic<bool> _cleanupRunning { false };
    std::atomic<bool> _stopCleanup { false };
};
