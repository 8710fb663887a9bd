#include "QVAlbumArtCacheController.h"
#include "QVUtils.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

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
        QFile file(pathFor(baseIcon));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    QStringList entries(const QString& sub = "/cache") const
    {
        return QDir(folder.path() + sub).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
    }

    QTemporaryDir folder;
    QVAlbumArtCacheController cache { folder.path() + "/cache" };
    const QByteArray image = QByteArray("\x89PNG\r\n\x1a\n", 8) + QByteArray(3000, 'x');
};

TEST_F(QVAlbumArtCacheControllerTest, EntriesAreReplacedWholeAndBounded)
{
    ASSERT_TRUE(cache.cacheAlbumArt(image, "al/3.png"));
    EXPECT_EQ(cache.albumArtDataFromCache("al/3.png"), image);
    EXPECT_FALSE(cache.isBaseIconInCache("al/4.png"));
    // Written again over the old one: still one file, no temporary left behind.
    ASSERT_TRUE(cache.cacheAlbumArt(image + "more", "al/3.png"));
    EXPECT_EQ(entries().size(), 1);
    EXPECT_EQ(cache.albumArtDataFromCache("al/3.png"), image + "more");

    const qsizetype largest = QVAlbumArtCacheController::kMaximumImageDataLength;
    EXPECT_FALSE(cache.cacheAlbumArt(QByteArray(largest + 1, 'x'), "big"));
    ASSERT_TRUE(cache.cacheAlbumArt(QByteArray(largest, 'x'), "largest"));
    EXPECT_FALSE(cache.cacheAlbumArt(image, QString()));
}

TEST_F(QVAlbumArtCacheControllerTest, DamagedFilesAreMissesAndRemoved)
{
    ASSERT_TRUE(cache.cacheAlbumArt(image, "good"));
    QFile good(pathFor("good"));
    ASSERT_TRUE(good.open(QIODevice::ReadOnly));
    const QByteArray valid = good.readAll();
    QByteArray flipped = valid;
    flipped[valid.indexOf("xxxx") + 100] = 'y'; // inside the image data: the hash no longer matches

    const QList<QPair<QString, QByteArray>> damaged {
        { "empty", QByteArray() },
        { "cut in half", valid.left(valid.size() / 2) },
        { "cut before the trailer", valid.left(valid.size() - 8) },
        { "an XML property list",
            QByteArray("<?xml version=\"1.0\"?><plist version=\"1.0\"><dict>"
                       "<key>ImageData</key><data>YWJj</data></dict></plist>") },
        { "data that does not match its hash", flipped },
        { "too large",
            QByteArray("bplist00") + QByteArray(QVAlbumArtCacheController::kMaximumFileLength, 0) },
    };
    for (const auto& [what, bytes] : damaged) {
        SCOPED_TRACE(what.toStdString());
        writeFile("icon", bytes);
        EXPECT_EQ(cache.albumArtDataFromCache("icon"), std::nullopt);
        EXPECT_FALSE(QFile::exists(pathFor("icon")));
    }
    EXPECT_EQ(cache.albumArtDataFromCache("good"), image);

    // Mangled structure (the offset table and trailer, where the parser trusts numbers) never
    // crashes, and whatever is accepted is whole.
    QRandomGenerator random(7);
    for (int round = 0; round < 3000; ++round) {
        QByteArray bytes = valid;
        for (int i = 1 + random.bounded(4); i > 0; --i) {
            const qsizetype at = random.bounded(2)
                ? bytes.size() - 1 - random.bounded(qMin<qsizetype>(96, bytes.size()))
                : random.bounded(bytes.size());
            bytes[at] = char(random.bounded(256));
        }
        if (random.bounded(4) == 0)
            bytes.truncate(random.bounded(bytes.size()));
        if (const auto entry = QVAlbumArtCacheController::entryFromPropertyListData(bytes)) {
            EXPECT_EQ(QVUtils::SHA1String(entry->imageData), entry->imageDataHash);
        }
    }
}

} // namespace
