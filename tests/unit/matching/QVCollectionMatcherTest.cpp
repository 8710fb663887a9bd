#include "QVCollectionMatcher.h"
#include "../server/QVRecordingDelegate.h"
#include "QVConstants.h"
#include "QVDemoService.h"
#include "QVITunesLibraryFixture.h"
#include "QVServerConnection.h"
#include "QVTestDefaults.h"
#include "QVTestWait.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

#include <memory>

namespace {

QList<QVITunesTrack> artistTracks(const QString& artist, int count)
{
    QList<QVITunesTrack> tracks;
    for (int i = 0; i < count; ++i)
        tracks.append({ artist, QStringLiteral("Album %1").arg(i % 2), QStringLiteral("Song %1").arg(i) });
    return tracks;
}

// The demo catalogue's "Harbour Lights" and "Blue Hour Sessions".
QList<QVITunesTrack> catalogueTracks()
{
    return { { "The Paper Lanterns", "Harbour Lights", "Lanterns on the Water" },
        { "The Paper Lanterns", "Harbour Lights", "Pier at Midnight" },
        { "Mira Okafor", "Blue Hour Sessions", "Smoke & Brass" } };
}

struct RecordingMatchingListener : QVCollectionMatchingListener {
    QStringList events;
    std::function<void(const QString&)> onEvent;

    void record(const QString& event)
    {
        events.append(event);
        if (onEvent)
            onEvent(event);
    }
    void onCollectionMatchingStarted() override { record(QStringLiteral("started")); }
    void onCollectionMatchingProgress(quint32 percentage) override
    {
        record(QStringLiteral("progress %1").arg(percentage));
    }
    void onCollectionMatchingFinished() override { record(QStringLiteral("finished")); }
    void onCollectionMatchingCanceled() override { record(QStringLiteral("canceled")); }
    bool ended() const { return events.contains("finished") || events.contains("canceled"); }
};

TEST(QVCollectionMatcherBatchingTest, IncompleteTracksAreLeftOutNamesCutAndTheDateInMediumStyle)
{
    // A track lacking any field is left out; an empty name is a name.
    const auto batches = QVCollectionMatcher::batchesFromTracks({ { "A", std::nullopt, "x" },
        { std::nullopt, "B", "y" }, { "A", "B", std::nullopt }, { "A", "B", "" } });
    ASSERT_EQ(batches.size(), 1);
    EXPECT_EQ(batches[0].trackCount, 1);
    EXPECT_EQ(batches[0].tracks.value("A").value("B"), QStringList({ "" }));
    // Albums alike in their first 1,024 characters are one: neither list is lost.
    const QString longAlbum(QVServiceHTTPInterface::maximumNameLength, u'a');
    const auto cut = QVCollectionMatcher::batchesFromTracks(
        { { "A", longAlbum + u'1', "x" }, { "A", longAlbum + u'2', "y" } });
    EXPECT_EQ(cut[0].tracks.value("A").value(longAlbum), QStringList({ "x", "y" }));
    // The history's date: the long format without the weekday and with the month abbreviated.
    EXPECT_EQ(QVCollectionMatcher::mediumDateText(QDate(2026, 12, 5), QLocale("en_US")), "Dec 5, 2026");
}

class QVCollectionMatcherTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(service.start()) << service.errorString().toStdString();
        matcher = std::make_unique<QVCollectionMatcher>(&listener);
        matcher->setServerConnection(&pool);
        matcher->setUserDefaults(defaults.get());
        matcher->setBaseURL(service.baseUrl());
    }
    // Makes the service's matching call fail on purpose ("hang", "drop",
    // "status500") after `after` answers, or not ("ok").
    void control(const QString& mode, int after = 0)
    {
        QVRecordingDelegate::fetch(pool, service.baseUrl() + "/api/demo/control",
            QVServerRequestParams {
                { "call", "bulkAddToLibrary" }, { "mode", mode }, { "after", QString::number(after) } });
    }
    // The "data" objects the service answered with a 200.
    QList<QJsonObject> received(const QString& call)
    {
        const QByteArray body
            = QVRecordingDelegate::fetch(pool, service.baseUrl() + "/api/demo/received/" + call);
        QList<QJsonObject> out;
        for (const auto& entry : QJsonDocument::fromJson(body).object().value("received").toArray()) {
            if (entry.toObject().value("status").toInt() == 200)
                out.append(
                    QJsonDocument::fromJson(entry.toObject().value("data").toString().toUtf8()).object());
        }
        return out;
    }
    QVariantMap history() const
    {
        return defaults->dictionaryForKey(QLatin1String(QVLastCollectionMatchedDictionaryKey));
    }
    QString matchedCount() const { return history().value(QLatin1String(QVMatchedTrackCountKey)).toString(); }
    void run(const QList<QVITunesTrack>& tracks, int seconds = 60)
    {
        listener.events.clear();
        ASSERT_TRUE(matcher->uploadITunesLibraryTracks(tracks));
        ASSERT_TRUE(QVWaitUntil([this] { return listener.ended(); }, seconds * 1000))
            << listener.events.join(", ").toStdString();
    }
    // 100,000 tracks of a generated library.
    static QList<QVITunesTrack> generatedTracks()
    {
        QList<QVITunesTrack> tracks;
        for (int i = 0; i < 100000; ++i) {
            const auto t = QVITunesLibraryFixture::track(i);
            tracks.append({ t.artist, t.album, t.name });
        }
        return tracks;
    }

    QVDemoService service;
    QVServerConnection pool;
    QVTestDefaults defaults;
    RecordingMatchingListener listener;
    std::unique_ptr<QVCollectionMatcher> matcher;
};

TEST_F(QVCollectionMatcherTest, TheServiceGetsWholeArtistsInBatchesOfAtMost49)
{
    struct Case {
        const char* name;
        QList<QPair<QString, int>> artists;
        QList<QPair<QStringList, int>> batches; // artists and songs, in any order
    };
    const Case cases[] = {
        // Artists in first-seen order, not by name.
        { "20, 20, 20", { { "C", 20 }, { "A", 20 }, { "B", 20 } },
            { { { "A", "C" }, 40 }, { { "B" }, 20 } } },
        { "exactly 49", { { "Z", 48 }, { "Y", 1 }, { "X", 1 } }, { { { "X" }, 1 }, { { "Y", "Z" }, 49 } } },
        { "120", { { "A", 120 } }, { { { "A" }, 120 } } },
        { "nothing usable: one empty batch", {}, { { {}, 0 } } },
        { "10, 60", { { "A", 10 }, { "B", 60 } }, { { { "A" }, 10 }, { { "B" }, 60 } } },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QList<QVITunesTrack> tracks;
        for (const auto& [artist, count] : c.artists)
            tracks += artistTracks(artist, count);
        const qsizetype before = received("bulkAddToLibrary").size();
        run(tracks);
        EXPECT_EQ(listener.events.last(), "finished");
        EXPECT_EQ(listener.events.filter("progress").size(), c.batches.size());
        QList<QPair<QStringList, int>> arrived;
        for (const QJsonObject& batch : received("bulkAddToLibrary").mid(before)) {
            int songs = 0;
            for (const auto& albums : batch) {
                for (const auto& album : albums.toObject())
                    songs += int(album.toArray().size());
            }
            arrived.append({ batch.keys(), songs });
        }
        std::sort(arrived.begin(), arrived.end());
        EXPECT_EQ(arrived, c.batches);
    }
}

TEST_F(QVCollectionMatcherTest, AHundredThousandTracksArriveOnceEachInWholeArtistsUnlessCancelled)
{
    QList<QVITunesTrack> tracks = generatedTracks();
    QMap<QString, int> sent; // "artist/album/song" -> times
    for (int i = 0; i < tracks.size(); ++i) {
        if (i % 1000 == 999)
            tracks[i].name.reset(); // unusable
        else
            ++sent[*tracks[i].artist + u'/' + *tracks[i].album + u'/' + *tracks[i].name];
    }
    // Cancelled while the batches are still being grouped or queued: most are never sent.
    listener.events.clear();
    ASSERT_TRUE(matcher->uploadITunesLibraryTracks(tracks));
    matcher->cancelCollectionMatch();
    ASSERT_TRUE(QVWaitUntil([this] { return listener.ended(); }, 60000));
    EXPECT_EQ(listener.events.last(), "canceled");
    EXPECT_EQ(listener.events.count("canceled"), 1);
    QTest::qWait(300);
    const qsizetype cancelled = received("bulkAddToLibrary").size();
    EXPECT_LT(cancelled, 100);

    run(tracks, 240);
    EXPECT_EQ(listener.events.last(), "finished");
    QMap<QString, int> arrived;
    QSet<QString> artistsSeen;
    const auto batches = received("bulkAddToLibrary").mid(cancelled);
    EXPECT_EQ(quint32(batches.size()), matcher->lastRun().batches);
    for (const QJsonObject& batch : batches) {
        int count = 0;
        for (auto artist = batch.begin(); artist != batch.end(); ++artist) {
            EXPECT_FALSE(artistsSeen.contains(artist.key()))
                << "artist split: " << artist.key().toStdString();
            artistsSeen.insert(artist.key());
            const QJsonObject albums = artist.value().toObject();
            for (auto album = albums.begin(); album != albums.end(); ++album) {
                for (const auto& song : album.value().toArray()) {
                    ++arrived[artist.key() + u'/' + album.key() + u'/' + song.toString()];
                    ++count;
                }
            }
        }
        if (batch.size() > 1) {
            EXPECT_LE(count, QVCollectionMatcher::maximumBatchTrackCount);
        }
    }
    EXPECT_EQ(arrived, sent);
}

// Three batches each time.
TEST_F(QVCollectionMatcherTest, ALostNetworkOrACancelMidRunCountsOnlyWhatWasAnswered)
{
    const QList<QVITunesTrack> tracks = catalogueTracks() + artistTracks("Nobody 1", 46)
        + artistTracks("Nobody 2", 49) + artistTracks("Nobody 3", 30);

    // Every batch fails (error pages are no answers): the history stays, no completion notice.
    const QVariantMap before = matcher->matchedCollectionHistoryDictionary();
    control("status500");
    run(tracks);
    EXPECT_EQ(listener.events, QStringList({ "started", "finished" }));
    EXPECT_TRUE(matcher->lastRun().serviceUnreachable());
    EXPECT_EQ(matcher->lastRun().unsentTracks, 3u + 46 + 49 + 30);
    EXPECT_EQ(history(), before);
    QTest::qWait(100);
    EXPECT_TRUE(received("addToLibraryCompleted").isEmpty());

    // The connection drops after the first batch: what was answered counts.
    control("drop", 1);
    run(tracks);
    EXPECT_EQ(listener.events.count("finished"), 1);
    EXPECT_FALSE(matcher->lastRun().serviceUnreachable());
    EXPECT_EQ(matcher->lastRun().answered, 1u);
    EXPECT_EQ(matcher->lastRun().failed, 2u);
    EXPECT_GT(matcher->lastRun().unsentTracks, 0u);
    EXPECT_EQ(history().value(QLatin1String(QVLastMatchedDateKey)),
        QVCollectionMatcher::mediumDateText(QDate::currentDate()));
    ASSERT_TRUE(QVWaitUntil([this] { return received("addToLibraryCompleted").size() == 1; }));

    // A cancel after the first answer: whichever batch it was, its counts and only its counts are kept.
    control("hang", 1);
    const qsizetype answeredBefore = received("bulkAddToLibrary").size();
    listener.onEvent = [this](const QString& event) {
        if (event.startsWith("progress"))
            matcher->cancelCollectionMatch();
    };
    run(tracks);
    EXPECT_EQ(listener.events, QStringList({ "started", "progress 33", "canceled" }));
    EXPECT_EQ(matcher->lastRun().canceled, 2u);
    const auto answered = received("bulkAddToLibrary").mid(answeredBefore);
    ASSERT_EQ(answered.size(), 1);
    EXPECT_EQ(matchedCount(), answered.first().contains("The Paper Lanterns") ? "3" : "0");
    control("ok");
}

TEST_F(QVCollectionMatcherTest, EachBatchEndsOnceAndASecondUploadIsRefused)
{
    control("hang");
    const QList<QVITunesTrack> tracks = artistTracks("A", 40) + artistTracks("B", 40) + artistTracks("C", 40);
    listener.events.clear();
    ASSERT_TRUE(matcher->uploadITunesLibraryTracks(tracks));
    ASSERT_TRUE(QVWaitUntil([this] { return matcher->isMatching(); }));
    EXPECT_FALSE(matcher->uploadITunesLibraryTracks(tracks));
    const auto pending = matcher->pendingBatchIdentifiers();
    ASSERT_EQ(pending.size(), 3);

    // Identifiers are reused hashes: a repeated or stray one changes nothing.
    const QByteArray answer = R"({"found": 30, "new": 12, "tracks": [101, 102], "albums": [11]})";
    matcher->onConnectionFinished(pending[0], answer);
    matcher->onConnectionFinished(pending[0], answer);
    QVServerRequestIdentifier stray = 1;
    while (pending.contains(stray))
        ++stray;
    matcher->onConnectionFinished(stray, answer);
    matcher->onConnectionCanceled(stray);
    EXPECT_EQ(listener.events, QStringList({ "started", "progress 33" }));
    matcher->onConnectionFinished(pending[1], R"({"found": 5, "new": 1, "tracks": [108], "albums": []})");
    matcher->onConnectionFinished(pending[2], "not json");
    matcher->onConnectionFinished(pending[2], answer);
    EXPECT_EQ(listener.events,
        QStringList({ "started", "progress 33", "progress 66", "progress 100", "finished" }));
    EXPECT_EQ(matchedCount(), "35");
    EXPECT_EQ(history().value(QLatin1String(QVAddedTrackCountKey)), "13");
    // The completion notice carries what the counted answers added.
    ASSERT_TRUE(QVWaitUntil([this] { return received("addToLibraryCompleted").size() == 1; }));
    const QJsonObject notice = received("addToLibraryCompleted").first();
    EXPECT_EQ(notice.value("tracks").toArray(), QJsonArray({ 101, 102, 108 }));
    EXPECT_EQ(notice.value("albums").toArray(), QJsonArray({ 11 }));
    control("ok");
    // The real answers, when they come, belong to no run.
    QTest::qWait(100);
    EXPECT_EQ(listener.events.count("finished"), 1);
}

} // namespace
