#include "QVAlbumArtCacheController.h"

#include "QVLog.h"
#include "QVPaths.h"
#include "QVUtils.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <plist/plist.h>

#include <algorithm>
#include <cstdio>
#include <memory>

namespace {

const char kImageDataKey[] = "ImageData";
const char kImageDataHashKey[] = "ImageDataHash";
const char kCacheDateKey[] = "CacheDate";
const char kCurrentArtFolder[] = "Current";
// Property-list dates count from 2001-01-01 00:00:00 UTC.
constexpr qint64 kPropertyListEpoch = 978307200;
const QByteArray kBinaryMagic = QByteArrayLiteral("bplist00");

struct PlistDeleter {
    void operator()(void* node) const { plist_free(static_cast<plist_t>(node)); }
};
using Plist = std::unique_ptr<void, PlistDeleter>;

// The root dictionary of a binary property list, or null.
Plist parseDictionary(const QByteArray& data)
{
    // Only the format we write: the binary parser alone sees outside bytes.
    if (data.size() < kBinaryMagic.size() || data.size() > QVAlbumArtCacheController::kMaximumFileLength
        || !data.startsWith(kBinaryMagic))
        return nullptr;
    plist_t root = nullptr;
    plist_from_bin(data.constData(), uint32_t(data.size()), &root);
    Plist owned(root);
    if (!root || plist_get_node_type(root) != PLIST_DICT)
        return nullptr;
    return owned;
}

std::optional<QDateTime> dateOf(plist_t dictionary)
{
    plist_t node = plist_dict_get_item(dictionary, kCacheDateKey);
    if (!node || plist_get_node_type(node) != PLIST_DATE)
        return std::nullopt;
    int32_t seconds = 0;
    int32_t microseconds = 0;
    plist_get_date_val(node, &seconds, &microseconds);
    if (microseconds < 0 || microseconds >= 1000000)
        return std::nullopt;
    return QDateTime::fromMSecsSinceEpoch(
        (qint64(seconds) + kPropertyListEpoch) * 1000 + microseconds / 1000, Qt::UTC);
}

} // namespace

QVAlbumArtCacheController::QVAlbumArtCacheController(const QString& cacheDirectory)
    : _cacheDirectory(cacheDirectory.isEmpty() ? defaultCacheDirectory() : cacheDirectory)
{
}

QVAlbumArtCacheController::~QVAlbumArtCacheController()
{
    _stopCleanup = true;
    waitForCleanup();
}

QString QVAlbumArtCacheController::defaultCacheDirectory()
{
    return QVPaths::cacheDirectory() + QStringLiteral("/AlbumArtCache");
}

QString QVAlbumArtCacheController::_baseIconCachFilePath(const QString& baseIcon) const
{
    // The parents too: unlike the data folder, nothing else makes the cache folder.
    if (!QDir().mkpath(_cacheDirectory))
        QVLog("[WARNING] Could not create the album art cache folder %s", qPrintable(_cacheDirectory));
    return _cacheDirectory + QLatin1Char('/') + QVUtils::SHA1String(baseIcon);
}

bool QVAlbumArtCacheController::isBaseIconInCache(const QString& baseIcon) const
{
    return QFileInfo::exists(_cacheDirectory + QLatin1Char('/') + QVUtils::SHA1String(baseIcon));
}

std::optional<QByteArray> QVAlbumArtCacheController::_readBounded(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    // One byte more than allowed tells a file that is too large.
    QByteArray data = file.read(kMaximumFileLength + 1);
    if (data.size() > kMaximumFileLength)
        return std::nullopt;
    return data;
}

std::optional<QByteArray> QVAlbumArtCacheController::albumArtDataFromCache(const QString& baseIcon)
{
    const QString path = _cacheDirectory + QLatin1Char('/') + QVUtils::SHA1String(baseIcon);
    QFile file(path);
    if (!file.exists())
        return std::nullopt;
    const std::optional<QByteArray> data = _readBounded(path);
    std::optional<Entry> entry = data ? entryFromPropertyListData(*data) : std::nullopt;
    if (!entry) {
        // Cut short by a crash, written by something else, or damaged: fetch again.
        QVLog("[WARNING] Album art cache file %s is not readable; removing it",
            qPrintable(QFileInfo(path).fileName()));
        QFile::remove(path);
        return std::nullopt;
    }
    return std::move(entry->imageData);
}

bool QVAlbumArtCacheController::cacheAlbumArt(const QByteArray& imageData, const QString& baseIcon)
{
    return cacheAlbumArt(imageData, baseIcon, QDateTime::currentDateTimeUtc());
}

bool QVAlbumArtCacheController::cacheAlbumArt(
    const QByteArray& imageData, const QString& baseIcon, const QDateTime& cacheDate)
{
    if (imageData.isEmpty() || baseIcon.isEmpty())
        return false;
    if (imageData.size() > kMaximumImageDataLength) {
        QVLog("[WARNING] Album art of %lld bytes not cached", qlonglong(imageData.size()));
        return false;
    }
    const QString path = _baseIconCachFilePath(baseIcon);
    if (!_writeAtomically(path, propertyListData(imageData, cacheDate))) {
        QVLog("[WARNING] Could not write the album art cache file %s", qPrintable(path));
        return false;
    }
    return true;
}

void QVAlbumArtCacheController::removeAlbumArt(const QString& baseIcon)
{
    QFile::remove(_cacheDirectory + QLatin1Char('/') + QVUtils::SHA1String(baseIcon));
}

bool QVAlbumArtCacheController::_writeAtomically(const QString& path, const QByteArray& data)
{
    // A hidden temporary beside the target, renamed over it: readers (and the
    // cleanup, which skips hidden files) see the old file or the new one. No
    // fsync: a cache entry lost in a power cut is only fetched again.
    const QFileInfo target(path);
    QTemporaryFile file(
        target.absolutePath() + QStringLiteral("/.") + target.fileName() + QStringLiteral(".XXXXXX"));
    if (!file.open() || file.write(data) != data.size() || !file.flush())
        return false;
    if (std::rename(QFile::encodeName(file.fileName()).constData(), QFile::encodeName(path).constData()) != 0)
        return false;
    file.setAutoRemove(false);
    return true;
}

QUrl QVAlbumArtCacheController::writeArtFile(
    const QByteArray& imageData, const QByteArray& format, const QString& baseIcon)
{
    if (imageData.isEmpty() || baseIcon.isEmpty())
        return {};
    const QString folder = _cacheDirectory + QLatin1Char('/') + QLatin1String(kCurrentArtFolder);
    QDir dir(folder);
    if (!dir.mkpath(QStringLiteral(".")))
        return {};
    // The format is one the image reader named; anything else gets no suffix.
    QString suffix;
    static const QByteArrayList known { "png", "jpeg", "jpg", "gif", "webp", "bmp" };
    if (known.contains(format.toLower()))
        suffix = QLatin1Char('.') + QString::fromLatin1(format.toLower());
    const QString name = QVUtils::SHA1String(baseIcon) + suffix;
    const QString path = dir.filePath(name);
    if (!_writeAtomically(path, imageData)) {
        QVLog("[WARNING] Could not write the album art file %s", qPrintable(path));
        return {};
    }
    // A fresh date even when the same art comes round again, so it counts as the newest.
    QFile(path).setFileTime(QDateTime::currentDateTimeUtc(), QFileDevice::FileModificationTime);
    const QFileInfoList files = dir.entryInfoList(QDir::Files, QDir::Time);
    for (qsizetype i = kKeptArtFiles; i < files.size(); ++i)
        if (files[i].fileName() != name)
            QFile::remove(files[i].absoluteFilePath());
    return QUrl::fromLocalFile(path);
}

QByteArray QVAlbumArtCacheController::propertyListData(
    const QByteArray& imageData, const QDateTime& cacheDate)
{
    Plist dictionary(plist_new_dict());
    plist_dict_set_item(
        dictionary.get(), kImageDataKey, plist_new_data(imageData.constData(), uint64_t(imageData.size())));
    plist_dict_set_item(dictionary.get(), kImageDataHashKey,
        plist_new_string(QVUtils::SHA1String(imageData).toLatin1().constData()));
    // Whole milliseconds; the format's seconds are 32 bits from 2001 on.
    const qint64 msecs = cacheDate.toMSecsSinceEpoch() - kPropertyListEpoch * 1000;
    const qint64 seconds
        = std::clamp<qint64>(msecs / 1000 - (msecs % 1000 < 0 ? 1 : 0), INT32_MIN, INT32_MAX);
    const qint64 micros = (msecs - seconds * 1000) * 1000;
    plist_dict_set_item(dictionary.get(), kCacheDateKey,
        plist_new_date(int32_t(seconds), int32_t(std::clamp<qint64>(micros, 0, 999999))));
    char* buffer = nullptr;
    uint32_t length = 0;
    plist_to_bin(dictionary.get(), &buffer, &length);
    QByteArray data(buffer, qsizetype(length));
    plist_to_bin_free(buffer);
    return data;
}

std::optional<QVAlbumArtCacheController::Entry> QVAlbumArtCacheController::entryFromPropertyListData(
    const QByteArray& data)
{
    const Plist dictionary = parseDictionary(data);
    if (!dictionary)
        return std::nullopt;
    plist_t imageNode = plist_dict_get_item(dictionary.get(), kImageDataKey);
    plist_t hashNode = plist_dict_get_item(dictionary.get(), kImageDataHashKey);
    if (!imageNode || plist_get_node_type(imageNode) != PLIST_DATA || !hashNode
        || plist_get_node_type(hashNode) != PLIST_STRING)
        return std::nullopt;
    uint64_t imageLength = 0;
    const char* image = plist_get_data_ptr(imageNode, &imageLength);
    uint64_t hashLength = 0;
    const char* hash = plist_get_string_ptr(hashNode, &hashLength);
    if (!image || imageLength == 0 || imageLength > uint64_t(kMaximumImageDataLength) || !hash
        || hashLength != 40)
        return std::nullopt;
    const std::optional<QDateTime> date = dateOf(dictionary.get());
    if (!date)
        return std::nullopt;
    Entry entry { QByteArray(image, qsizetype(imageLength)), QString::fromLatin1(hash, qsizetype(hashLength)),
        *date };
    // A flipped or lost byte inside the data shows here.
    if (QVUtils::SHA1String(entry.imageData) != entry.imageDataHash)
        return std::nullopt;
    return entry;
}

std::optional<QDateTime> QVAlbumArtCacheController::cacheDateFromPropertyListData(const QByteArray& data)
{
    const Plist dictionary = parseDictionary(data);
    return dictionary ? dateOf(dictionary.get()) : std::nullopt;
}

void QVAlbumArtCacheController::cleanupOldCache()
{
    if (_cleanupRunning.exchange(true))
        return;
    if (_cleanupThread.joinable())
        _cleanupThread.join();
    _stopCleanup = false;
    _cleanupThread = std::thread([this, directory = _cacheDirectory] {
        _cleanup(directory, _stopCleanup);
        _cleanupRunning = false;
    });
}

void QVAlbumArtCacheController::waitForCleanup()
{
    if (_cleanupThread.joinable())
        _cleanupThread.join();
}

void QVAlbumArtCacheController::_cleanup(const QString& directory, const std::atomic<bool>& stop)
{
    QDir dir(directory);
    if (!dir.exists())
        return;
    // Hidden files are writes in progress; Current/ is a folder.
    const QStringList names = dir.entryList(QDir::Files | QDir::NoDotAndDotDot);
    const QDateTime now = QDateTime::currentDateTimeUtc();
    for (const QString& name : names) {
        if (stop)
            return;
        const QString path = dir.filePath(name);
        const std::optional<QByteArray> data = _readBounded(path);
        const std::optional<QDateTime> date = data ? cacheDateFromPropertyListData(*data) : std::nullopt;
        if (date && date->secsTo(now) > kExpirySeconds)
            QFile::remove(path);
    }
}
