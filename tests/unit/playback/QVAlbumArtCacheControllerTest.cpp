#include "QVAlbumArtCacheController.h"
#include "QVUtils.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

namespace {

class QVAlbumArtCacheControllerTest : public ::testing::Test
{
protected:
    QString pathFor(const QString& baseIcon) const
    {
        return folder.path() + "/cache/" + QVUtils::SHA1String(baseIcon);
    }
    void writeFile(const QString& baseIcon, const QByteArray& bytes) const
    {
        QDir().mkpath(folder.path() + "/cache");
        QFile file(pathFor(baseIcon));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    QByteArray readFile(const QString& baseIcon) const
    {
        QFile file(pathFor(baseIcon));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    QStringList entries(const QString& sub = "/cache") const
    {
        return QDir(folder.path() + sub).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
    }

    QTemporaryDir folder;
    QVAlbumArtCacheController cache { folder.path() + "/cache" };
    const QByteArray image = QByteArray("\x89PNG\r\n\x1a\n", 8) + QByteArray(3000, 'x');
};

TEST_F(QVAlbumArtCacheControllerTest, EntriesAreBinaryPropertyListsNamedByTheBaseIcon)
{
    const QDateTime before = QDateTime::currentDateTimeUtc().addSecs(-1);
    ASSERT_TRUE(cache.cacheAlbumArt(image, "al/3.png"));
    // The folder is made on first use, with its missing parents.
    EXPECT_EQ(entries(), QStringList { QVUtils::SHA1String(QStringLiteral("al/3.png")) });
    EXPECT_TRUE(cache.isBaseIconInCache("al/3.png"));
    EXPECT_FALSE(cache.isBaseIconInCache("al/4.png"));

    const QByteArray file = readFile("al/3.png");
    EXPECT_TRUE(file.startsWith("bplist00"));
    const auto entry = QVAlbumArtCacheController::entryFromPropertyListData(file);
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->imageData, image);
    EXPECT_EQ(entry->imageDataHash, QVUtils::SHA1String(image));
    EXPECT_GE(entry->cacheDate, before);
    EXPECT_LE(entry->cacheDate, QDateTime::currentDateTimeUtc().addSecs(1));
    EXPECT_EQ(cache.albumArtDataFromCache("al/3.png"), image);

    // Written again over the old one: still one file, no temporary left behind.
    const QByteArray other = image + "more";
    ASSERT_TRUE(cache.cacheAlbumArt(other, "al/3.png"));
    EXPECT_EQ(entries().size(), 1);
    EXPECT_EQ(cache.albumArtDataFromCache("al/3.png"), other);

    // Sizes are bounded; nothing to store or no name is no entry.
    const qsizetype largest = QVAlbumArtCacheController::kMaximumImageDataLength;
    EXPECT_FALSE(cache.cacheAlbumArt(QByteArray(largest + 1, 'x'), "big"));
    EXPECT_FALSE(cache.isBaseIconInCache("big"));
    ASSERT_TRUE(cache.cacheAlbumArt(QByteArray(largest, 'x'), "largest"));
    EXPECT_EQ(cache.albumArtDataFromCache("largest")->size(), largest);
    EXPECT_FALSE(cache.cacheAlbumArt(QByteArray(), "empty"));
    EXPECT_FALSE(cache.cacheAlbumArt(image, QString()));

    // Dates keep their meaning across the format's 2001 epoch.
    const QDateTime old = QDateTime(QDate(1999, 12, 31), QTime(23, 59, 30), Qt::UTC);
    const auto oldEntry = QVAlbumArtCacheController::entryFromPropertyListData(
        QVAlbumArtCacheController::propertyListData(image, old));
    ASSERT_TRUE(oldEntry);
    EXPECT_EQ(oldEntry->cacheDate, old);
}

TEST_F(QVAlbumArtCacheControllerTest, DamagedFilesAreMissesAndRemoved)
{
    ASSERT_TRUE(cache.cacheAlbumArt(image, "good"));
    const QByteArray valid = readFile("good");
    QByteArray flipped = valid;
    flipped[valid.indexOf("xxxx") + 100] = 'y'; // inside the image data: the hash no longer matches

    const auto dictionaryWith = [](const char* key, const char* value) {
        // A binary list of ours in every other way, but with a string in place of the data.
        QByteArray data = QVAlbumArtCacheController::propertyListData("abc", QDateTime::currentDateTimeUtc());
        const qsizetype at = data.indexOf(key);
        return at < 0 ? QByteArray() : data.replace(at, qsizetype(strlen(key)), value);
    };
    const QList<QPair<QString, QByteArray>> damaged {
        { "empty", QByteArray() },
        { "cut in half", valid.left(valid.size() / 2) },
        { "cut before the trailer", valid.left(valid.size() - 8) },
        { "not a property list", QByteArray("GIF89a not a plist at all") },
        { "an XML property list",
            QByteArray("<?xml version=\"1.0\"?><plist version=\"1.0\"><dict>"
                       "<key>ImageData</key><data>YWJj</data></dict></plist>") },
        { "data that does not match its hash", flipped },
        { "a renamed key", dictionaryWith("ImageData", "ImageDatb") },
        { "too large",
            QByteArray("bplist00") + QByteArray(QVAlbumArtCacheController::kMaximumFileLength, 0) },
    };
    for (const auto& [what, bytes] : damaged) {
        SCOPED_TRACE(what.toStdString());
        writeFile("icon", bytes);
        EXPECT_EQ(cache.albumArtDataFromCache("icon"), std::nullopt);
        EXPECT_FALSE(QFile::exists(pathFor("icon")));
    }
    // Other entries are untouched, and the icon can be cached again.
    EXPECT_EQ(cache.albumArtDataFromCache("good"), image);
    ASSERT_TRUE(cache.cacheAlbumArt(image, "icon"));
    EXPECT_EQ(cache.albumArtDataFromCache("icon"), image);
}

TEST_F(QVAlbumArtCacheControllerTest, MangledBytesNeverCrashTheReader)
{
    const QByteArray valid
        = QVAlbumArtCacheController::propertyListData(image, QDateTime::currentDateTimeUtc());
    QRandomGenerator random(7);
    int accepted = 0;
    for (int round = 0; round < 3000; ++round) {
        QByteArray bytes = valid;
        // Mostly the structure at the end (offset table and trailer), where the parser trusts numbers.
        const int changes = 1 + random.bounded(4);
        for (int i = 0; i < changes; ++i) {
            const qsizetype at = random.bounded(2)
                ? bytes.size() - 1 - random.bounded(qMin<qsizetype>(96, bytes.size()))
                : random.bounded(bytes.size());
            bytes[at] = char(random.bounded(256));
        }
        if (random.bounded(4) == 0)
            bytes.truncate(random.bounded(bytes.size()));
        const auto entry = QVAlbumArtCacheController::entryFromPropertyListData(bytes);
        if (entry) {
            ++accepted;
            // Whatever is accepted is whole: its data matches its hash.
            EXPECT_EQ(QVUtils::SHA1String(entry->imageData), entry->imageDataHash);
            EXPECT_LE(entry->imageData.size(), QVAlbumArtCacheController::kMaximumImageDataLength);
        }
    }
    // Bytes in the middle of the image data are caught by the hash, not let through.
    EXPECT_LT(accepted, 3000);
}

TEST_F(QVAlbumArtCacheControllerTest, CleanupRemovesEntriesOlderThanThirtyDays)
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    ASSERT_TRUE(cache.cacheAlbumArt(image, "31 days", now.addDays(-31)));
    ASSERT_TRUE(cache.cacheAlbumArt(image, "29 days", now.addDays(-29)));
    ASSERT_TRUE(cache.cacheAlbumArt(image, "today"));
    writeFile("unreadable", "not a property list");
    writeFile("hidden write in progress", "x");
    QFile::rename(pathFor("hidden write in progress"), folder.path() + "/cache/.partial.abc123");
    const QUrl art = cache.writeArtFile(image, "png", "31 days");
    ASSERT_TRUE(art.isLocalFile());

    cache.cleanupOldCache();
    cache.waitForCleanup();

    EXPECT_FALSE(QFile::exists(pathFor("31 days")));
    EXPECT_TRUE(QFile::exists(pathFor("29 days")));
    EXPECT_TRUE(QFile::exists(pathFor("today")));
    EXPECT_TRUE(QFile::exists(pathFor("unreadable")));
    EXPECT_TRUE(QFile::exists(folder.path() + "/cache/.partial.abc123"));
    EXPECT_TRUE(QFile::exists(art.toLocalFile()));

    // A missing folder is no error, and is not made.
    QVAlbumArtCacheController missing(folder.path() + "/nowhere");
    missing.cleanupOldCache();
    missing.waitForCleanup();
    EXPECT_FALSE(QDir(folder.path() + "/nowhere").exists());
}

TEST_F(QVAlbumArtCacheControllerTest, ArtFilesForTheDesktopKeepOnlyTheLatestTwo)
{
    const QUrl first = cache.writeArtFile(image, "png", "a11");
    QTest::qWait(20); // distinct modification times
    const QUrl second = cache.writeArtFile(image + "2", "jpeg", "a12");
    QTest::qWait(20);
    const QUrl third = cache.writeArtFile(image + "3", "", "a13");
    EXPECT_FALSE(QFile::exists(first.toLocalFile()));
    EXPECT_TRUE(QFile::exists(second.toLocalFile()));
    QFile file(third.toLocalFile());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), image + "3");

    // The same art again becomes the newest instead of being swept out.
    QTest::qWait(20);
    EXPECT_EQ(cache.writeArtFile(image + "2", "jpeg", "a12"), second);
    QTest::qWait(20);
    cache.writeArtFile(image, "png", "a14");
    EXPECT_TRUE(QFile::exists(second.toLocalFile()));
    EXPECT_FALSE(QFile::exists(third.toLocalFile()));
    EXPECT_EQ(entries("/cache/Current").size(), 2);
}

} // namespace
