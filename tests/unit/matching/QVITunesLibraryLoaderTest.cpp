#include "QVITunesLibraryLoader.h"
#include "QVITunesLibraryFixture.h"
#include "QVTestWait.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <plist/plist.h>

#include <cstdlib>
#include <memory>
#include <tuple>
#include <utility>

namespace {

struct RecordingLoaderListener : QVITunesLibraryLoaderListener {
    QStringList events;
    QVITunesLibraryLoader* loader = nullptr;
    bool tracksReadableWhenFinished = false;

    void onLibraryLoadStarted() override { events.append(QStringLiteral("started")); }
    void onLibraryLoadFailed(qint32 code) override { events.append(QStringLiteral("failed %1").arg(code)); }
    void onLibraryLoadFinished() override
    {
        events.append(QStringLiteral("finished"));
        tracksReadableWhenFinished = loader->libraryTracks().has_value();
    }
    bool ended() const { return !events.isEmpty() && events.last() != QLatin1String("started"); }
};

QByteArray plist(const QByteArray& root)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">" + root + "</plist>\n";
}

// The same property list in the binary form.
QByteArray binary(const QByteArray& xml)
{
    plist_t root = nullptr;
    plist_from_xml(xml.constData(), uint32_t(xml.size()), &root);
    char* bytes = nullptr;
    uint32_t length = 0;
    if (root)
        plist_to_bin(root, &bytes, &length);
    plist_free(root);
    const QByteArray out(bytes, int(length));
    std::free(bytes);
    return out;
}

// A generated library of `tracks` tracks.
QByteArray fixture(int tracks)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QVITunesLibraryFixture::write(&buffer, tracks);
    return buffer.data();
}

class QVITunesLibraryLoaderTest : public ::testing::Test
{
protected:
    void SetUp() override { listener.loader = loader.get(); }

    QString write(const QString& name, const QByteArray& content)
    {
        QFile file(dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
        return file.fileName();
    }
    void load(const QString& path)
    {
        listener.events.clear();
        loader->loadLibraryAtPath(path);
        ASSERT_TRUE(QVWaitUntil([this] { return listener.ended(); }, 20000));
    }

    QTemporaryDir dir;
    RecordingLoaderListener listener;
    std::unique_ptr<QVITunesLibraryLoader> loader = std::make_unique<QVITunesLibraryLoader>(&listener);
};

TEST_F(QVITunesLibraryLoaderTest, WhatIsNoDictionaryPropertyListLoadsNothing)
{
    // A missing file fails at once, with no start, and keeps what was loaded.
    load(write(QStringLiteral("a.xml"), fixture(5)));
    listener.events.clear();
    loader->loadLibraryAtPath(dir.filePath(QStringLiteral("missing.xml")));
    EXPECT_EQ(listener.events, QStringList({ "failed 1" }));
    EXPECT_EQ(loader->libraryTracks()->size(), 5);

    const QString whole = QString::fromUtf8(fixture(20));
    QByteArray deep = "<dict><key>Tracks</key>";
    for (int i = 0; i < 100000; ++i)
        deep += "<array>";
    QByteArray laughs = "<?xml version=\"1.0\"?>\n<!DOCTYPE plist [\n<!ENTITY a \"aaaaaaaaaa\">\n";
    for (char entity = 'b'; entity <= 'i'; ++entity)
        laughs += QByteArray("<!ENTITY ") + entity + " \""
            + (QByteArray("&") + char(entity - 1) + ';').repeated(10) + "\">\n";
    laughs += "]>\n<plist><dict><key>Tracks</key><dict><key>1</key><dict><key>Name</key>"
              "<string>&i;</string></dict></dict></dict></plist>";
    const QList<QPair<const char*, QByteArray>> cases = {
        { "text", "Just some notes about my music.\n" },
        { "root array", plist("<array><dict/></array>") },
        { "billion laughs", laughs },
        { "100,000 nested arrays", plist(deep) },
        { "binary garbage", QByteArray("bplist00") + QByteArray(64, '\xff') },
        { "truncated at 2/3", whole.left(whole.size() * 2 / 3).toUtf8() },
        { "truncated before the end tag", whole.left(whole.lastIndexOf(u"</plist>")).toUtf8() },
        { "truncated inside a name", whole.left(whole.indexOf(u"Sóng 5") + 3).toUtf8() },
    };
    for (const auto& [name, content] : cases) {
        SCOPED_TRACE(name);
        load(write(QStringLiteral("case.xml"), content));
        EXPECT_EQ(listener.events, QStringList({ "started", "failed 2" }));
        EXPECT_FALSE(loader->isLibraryLoaded());
        EXPECT_FALSE(loader->libraryTracks());
    }
}

TEST_F(QVITunesLibraryLoaderTest, KeepsOnlyStringFieldsOfTracksWithinTheLimitAndThePlaylists)
{
    const QByteArray library
        = plist("<dict><key>Playlists</key><array><dict><key>Playlist Items</key><array>"
                "<dict><key>Track ID</key><integer>2</integer></dict><dict><key>Track "
                "ID</key><string>9</string></dict>"
                "<dict><key>Track "
                "ID</key><integer>1</integer></dict></array><key>Name</key><string>Mix</string></dict>"
                "<string>not a playlist</string></array><key>Tracks</key><dict><key>4</key><string>not a "
                "track</string>"
                // Keys in any order; entities, character references and CDATA read as text.
                "<key>1</key><dict><key>Name</key><string>Rock &amp; Roll &#233;<![CDATA[ <raw> ]]></string>"
                "<key>Play Count</key><integer>3</integer><key>Album</key><string>A</string>"
                "<key>Artist</key><string>Same</string></dict>"
                // Other types count as absent; an empty string is present.
                "<key>2</key><dict><key>Artist</key><string>Same</string><key>Album</key><integer>7</integer>"
                "<key>Name</key><string></string></dict>"
                "<key>3</key><dict><key>Artist</key><dict><key>Name</key><string>inner</string></dict>"
                "<key>Album</key><string>A</string><key>Name</key><string/></dict>"
                "</dict></dict>");
    // A binary library ("bplist00") reads the same.
    for (const auto& [name, content] :
        { std::pair("lib.xml", library), std::pair("lib.plist", binary(library)) }) {
        SCOPED_TRACE(name);
        load(write(QLatin1String(name), content));
        ASSERT_EQ(listener.events, QStringList({ "started", "finished" }));
        EXPECT_TRUE(listener.tracksReadableWhenFinished);
        const QList<QVITunesTrack> tracks = *loader->libraryTracks();
        ASSERT_EQ(tracks.size(), 3);
        EXPECT_EQ(tracks[0].name, QStringLiteral("Rock & Roll é <raw> "));
        EXPECT_EQ(tracks[0].album, QStringLiteral("A"));
        EXPECT_EQ(tracks[1].album, std::nullopt);
        EXPECT_EQ(tracks[1].name, QString(""));
        EXPECT_EQ(tracks[2].artist, std::nullopt);
        // Repeated names share one string.
        EXPECT_EQ(tracks[0].artist->constData(), tracks[1].artist->constData());

        const QList<QVITunesPlaylist> playlists = *loader->libraryPlaylists();
        ASSERT_EQ(playlists.size(), 1);
        EXPECT_EQ(playlists[0].name, QStringLiteral("Mix"));
        EXPECT_EQ(playlists[0].trackIDs, QList<qint64>({ 2, 1 }));
    }

    // No "Tracks", or "Tracks" of another type: loaded, without tracks.
    for (const QByteArray& root : { QByteArray("<dict><key>Major Version</key><integer>1</integer></dict>"),
             QByteArray("<dict><key>Tracks</key><array><dict/></array></dict>") }) {
        load(write(QStringLiteral("none.xml"), plist(root)));
        EXPECT_TRUE(loader->isLibraryLoaded());
        EXPECT_FALSE(loader->libraryTracks());
    }

    // A 50 MB string is left out; the rest loads.
    load(write(QStringLiteral("huge.xml"),
        "<plist><dict><key>Tracks</key><dict><key>1</key><dict><key>Artist</key><string>"
            + QByteArray(50 << 20, 'x')
            + "</string><key>Name</key><string>Kept</string></dict>"
              "<key>2</key><dict><key>Artist</key><string>B</string></dict></dict></dict></plist>"));
    ASSERT_EQ(listener.events, QStringList({ "started", "finished" }));
    const QList<QVITunesTrack> tracks = *loader->libraryTracks();
    ASSERT_EQ(tracks.size(), 2);
    EXPECT_FALSE(tracks[0].artist);
    EXPECT_EQ(tracks[0].name, QStringLiteral("Kept"));
    EXPECT_EQ(tracks[1].artist, QStringLiteral("B"));
}

TEST_F(QVITunesLibraryLoaderTest, OnlyTheLatestOfRacingLoadsIsReportedAndADestroyedLoaderCallsNoOne)
{
    const QString large = write(QStringLiteral("large.xml"), fixture(20000));
    const QString small = write(QStringLiteral("small.xml"), fixture(3));
    // A quick later load wins over a slow earlier one, and a slow later one over a quick earlier one.
    for (const auto& [first, second, count] :
        { std::tuple(large, small, 3), std::tuple(small, large, 20000) }) {
        SCOPED_TRACE(count);
        listener.events.clear();
        loader->loadLibraryAtPath(first);
        loader->loadLibraryAtPath(second);
        ASSERT_TRUE(QVWaitUntil([this] { return listener.ended(); }, 30000));
        QTest::qWait(300); // the earlier read would report by now
        EXPECT_EQ(listener.events, QStringList({ "started", "started", "finished" }));
        EXPECT_EQ(loader->loadedLibraryPath(), second);
        EXPECT_EQ(loader->libraryTracks()->size(), count);
    }

    // Destroyed mid-read (window closed, quit): the read stops at once.
    listener.events.clear();
    loader->loadLibraryAtPath(large);
    QTest::qWait(20);
    QElapsedTimer clock;
    clock.start();
    loader.reset();
    EXPECT_LT(clock.elapsed(), 50);
    QTest::qWait(200);
    EXPECT_EQ(listener.events, QStringList({ "started" }));
}

} // namespace
