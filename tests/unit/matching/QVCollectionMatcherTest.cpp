#include "QVCollectionMatcher.h"
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

QVITunesTrack track(const QString& artist, const QString& album, const QString& name)
{
    return { artist, album, name };
}

QList<QVITunesTrack> artistTracks(const QString& artist, int count)
{
    QList<QVITunesTrack> tracks;
    for (int i = 0; i < count; ++i)
        tracks.append(track(artist, QStringLiteral("Album %1").arg(i % 2), QStringLiteral("Song %1").arg(i)));
    return tracks;
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
    bool ended() const
    {
        return events.contains(QLatin1String("finished")) || events.contains(QLatin1String("canceled"));
    }
};

// Records how one request of the test itself ended.
struct Reply : QVServerRequestDelegate {
    int status = 0;
    QByteArray body;
    bool ended = false;
    void onConnectionReceivedResponse(int statusCode, qint64, const QString&) override
    {
        status = statusCode;
    }
    void onConnectionFinished(QVServerRequestIdentifier, const QByteArray& data) override
    {
        body = data;
        ended = true;
    }
    void onConnectionFailed(QVServerRequestIdentifier, const QVServerError&) override { ended = true; }
    void onConnectionCanceled(QVServerRequestIdentifier) override { ended = true; }
};

// 100,000 tracks of a generated library.
QList<QVITunesTrack> generatedTracks()
{
    QList<QVITunesTrack> tracks;
    for (int i = 0; i < 100000; ++i) {
        const auto t = QVITunesLibraryFixture::track(i);
        tracks.append({ t.artist, t.album, t.name });
    }
    return tracks;
}

TEST(QVCollectionMatcherBatchingTest, IncompleteTracksAreLeftOutAndNamesCutAsUploaded)
{
    // A track lacking any field is left out; an empty name is a name.
    const QList<QVITunesTrack> partial = { { QStringLiteral("A"), std::nullopt, QStringLiteral("x") },
        { std::nullopt, QStringLiteral("B"), QStringLiteral("y") },
        { QStringLiteral("A"), QStringLiteral("B"), std::nullopt },
        { QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("") } };
    const auto batches = QVCollectionMatcher::batchesFromTracks(partial);
    ASSERT_EQ(batches.size(), 1);
    EXPECT_EQ(batches[0].trackCount, 1);
    EXPECT_EQ(batches[0].tracks.value(QStringLiteral("A")).value(QStringLiteral("B")), QStringList({ "" }));
    // Albums alike in their first 1,024 characters are one.
    const QString longAlbum(QVServiceHTTPInterface::maximumNameLength, u'a');
    const auto cut = QVCollectionMatcher::batchesFromTracks(
        { track(QStringLiteral("A"), longAlbum + u'1', QStringLiteral("x")),
            track(QStringLiteral("A"), longAlbum + u'2', QStringLiteral("y")) });
    EXPECT_EQ(cut[0].tracks.value(QStringLiteral("A")).value(longAlbum), QStringList({ "x", "y" }));
}

TEST(QVCollectionMatcherBatchingTest, TheDateIsTheLocalesMediumStyle)
{
    const QDate day(2026, 12, 5);
    EXPECT_EQ(QVCollectionMatcher::mediumDateText(day, QLocale(QStringLiteral("en_US"))),
        QStringLiteral("Dec 5, 2026"));
    for (const char* name : { "de_DE", "fr_FR", "ja_JP", "en_GB" }) {
        const QLocale locale { QLatin1String(name) };
        const QString text = QVCollectionMatcher::mediumDateText(day, locale);
        SCOPED_TRACE(name);
        EXPECT_FALSE(text.contains(locale.dayName(day.dayOfWeek(), QLocale::LongFormat)))
            << text.toStdString();
        EXPECT_TRUE(text.contains(QStringLiteral("2026")));
    }
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

    Reply send(const QString& path, const std::optional<QVServerRequestParams>& form = std::nullopt)
    {
        Reply reply;
        pool.addServerRequest(service.baseUrl() + path, form, true, &reply);
        EXPECT_TRUE(QVWaitUntil([&] { return reply.ended; })) << path.toStdString();
        return reply;
    }
    void control(const QString& call, const QString& mode, int after = 0)
    {
        const Reply reply = send(QStringLiteral("/api/demo/control"),
            QVServerRequestParams { { QStringLiteral("call"), call }, { QStringLiteral("mode"), mode },
                { QStringLiteral("after"), QString::number(after) } });
        ASSERT_EQ(reply.status, 200) << reply.body.data();
    }
    // The "data" objects the service answered with `status`.
    QList<QJsonObject> received(const QString& call, int status = 200)
    {
        const Reply reply = send(QStringLiteral("/api/demo/received/") + call);
        QList<QJsonObject> out;
        for (const auto& entry :
            QJsonDocument::fromJson(reply.body).object().value(QStringLiteral("received")).toArray()) {
            if (entry.toObject().value(QStringLiteral("status")).toInt() == status)
                out.append(QJsonDocument::fromJson(
                    entry.toObject().value(QStringLiteral("data")).toString().toUtf8())
                               .object());
        }
        return out;
    }
    QVariantMap history() const
    {
        return defaults->dictionaryForKey(QLatin1String(QVLastCollectionMatchedDictionaryKey));
    }
    void run(const QList<QVITunesTrack>& tracks, int seconds = 60)
    {
        listener.events.clear();
        ASSERT_TRUE(matcher->uploadITunesLibraryTracks(tracks));
        ASSERT_TRUE(QVWaitUntil([this] { return listener.ended(); }, seconds * 1000))
            << listener.events.join(", ").toStdString();
    }

    QVDemoService service;
    QVServerConnection pool;
    QVTestDefaults defaults;
    RecordingMatchingListener listener;
    std::unique_ptr<QVCollectionMatcher> matcher;
};

// The demo catalogue's "Harbour Lights" and "Blue Hour Sessions".
QList<QVITunesTrack> catalogueTracks()
{
    return { track("The Paper Lanterns", "Harbour Lights", "Lanterns on the Water"),
        track("The Paper Lanterns", "Harbour Lights", "Pier at Midnight"),
        track("Mira Okafor", "Blue Hour Sessions", "Smoke & Brass") };
}

TEST_F(QVCollectionMatcherTest, AnsweredBatchesAddUpIntoTheHistoryAndTheCompletionNotice)
{
    EXPECT_EQ(history(), matcher->matchedCollectionHistoryDictionary()) << "the first reading is stored";

    // 20 + 20 travel together, then 20 with the catalogue's songs.
    QList<QVITunesTrack> tracks = artistTracks(QStringLiteral("Nobody 1"), 18) + catalogueTracks().mid(0, 2)
        + artistTracks(QStringLiteral("Nobody 2"), 20) + artistTracks(QStringLiteral("Mira Okafor"), 19)
        + catalogueTracks().mid(2);
    tracks.append(track(QStringLiteral("No Album"), QString(), QStringLiteral("x")));
    tracks.last().album.reset();
    run(tracks);
    EXPECT_EQ(listener.events, QStringList({ "started", "progress 50", "progress 100", "finished" }));
    const QVariantMap after = history();
    EXPECT_EQ(after.value(QLatin1String(QVLastMatchedDateKey)),
        QVCollectionMatcher::mediumDateText(QDate::currentDate()));
    EXPECT_EQ(after.value(QLatin1String(QVMatchedTrackCountKey)), QStringLiteral("3"));
    EXPECT_EQ(after.value(QLatin1String(QVAddedTrackCountKey)), QStringLiteral("3"));
    ASSERT_TRUE(QVWaitUntil([this] { return !received(QStringLiteral("addToLibraryCompleted")).isEmpty(); }));
    const QJsonObject notice = received(QStringLiteral("addToLibraryCompleted")).first();
    QList<int> added;
    for (const auto& id : notice.value(QStringLiteral("tracks")).toArray())
        added.append(id.toInt());
    std::sort(added.begin(), added.end());
    EXPECT_EQ(added, QList<int>({ 101, 102, 108 }));
}

TEST_F(QVCollectionMatcherTest, TheServiceGetsWholeArtistsInBatchesOfAtMost49)
{
    struct Case {
        const char* name;
        QList<QPair<QString, int>> artists;
        QList<QPair<QStringList, int>> batches; // artists and songs, in any order
        QStringList progress;
    };
    const Case cases[] = {
        // Artists in first-seen order, not by name.
        { "20, 20, 20", { { "C", 20 }, { "A", 20 }, { "B", 20 } }, { { { "A", "C" }, 40 }, { { "B" }, 20 } },
            { "progress 50", "progress 100" } },
        { "exactly 49", { { "Z", 48 }, { "Y", 1 }, { "X", 1 } }, { { { "X" }, 1 }, { { "Y", "Z" }, 49 } },
            { "progress 50", "progress 100" } },
        { "120", { { "A", 120 } }, { { { "A" }, 120 } }, { "progress 100" } },
        { "nothing usable: one empty batch", {}, { { {}, 0 } }, { "progress 100" } },
        { "10, 60", { { "A", 10 }, { "B", 60 } }, { { { "A" }, 10 }, { { "B" }, 60 } },
            { "progress 50", "progress 100" } },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QList<QVITunesTrack> tracks;
        for (const auto& [artist, count] : c.artists)
            tracks += artistTracks(artist, count);
        const qsizetype before = received(QStringLiteral("bulkAddToLibrary")).size();
        run(tracks);
        EXPECT_EQ(listener.events, QStringList({ "started" }) + c.progress + QStringList({ "finished" }));
        QList<QPair<QStringList, int>> arrived;
        for (const QJsonObject& batch : received(QStringLiteral("bulkAddToLibrary")).mid(before)) {
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

TEST_F(QVCollectionMatcherTest, AHundredThousandTracksArriveOnceEachInWholeArtists)
{
    QList<QVITunesTrack> tracks = generatedTracks();
    QMap<QString, int> sent; // "artist/album/song" -> times
    for (int i = 0; i < tracks.size(); ++i) {
        if (i % 1000 == 999)
            tracks[i].name.reset(); // unusable
        else
            ++sent[*tracks[i].artist + u'/' + *tracks[i].album + u'/' + *tracks[i].name];
    }
    run(tracks, 240);
    EXPECT_EQ(listener.events.last(), QStringLiteral("finished"));
    EXPECT_EQ(matcher->lastRun().failed, 0u);

    QMap<QString, int> arrived;
    QSet<QString> artistsSeen;
    const auto batches = received(QStringLiteral("bulkAddToLibrary"));
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

TEST_F(QVCollectionMatcherTest, ACancelWhileQueuingStopsTheQueuingAndEndsCancelled)
{
    listener.events.clear();
    ASSERT_TRUE(matcher->uploadITunesLibraryTracks(generatedTracks()));
    matcher->cancelCollectionMatch(); // while the batches are still being grouped or queued
    ASSERT_TRUE(QVWaitUntil([this] { return listener.ended(); }, 60000));
    EXPECT_EQ(listener.events.first(), QStringLiteral("started"));
    EXPECT_EQ(listener.events.last(), QStringLiteral("canceled"));
    EXPECT_EQ(listener.events.count(QStringLiteral("canceled")), 1);
    EXPECT_FALSE(matcher->isRunning());
    QTest::qWait(300);
    EXPECT_LT(received(QStringLiteral("bulkAddToLibrary")).size(), 100) << "most batches were never sent";
    // A cancel with no run only warns.
    matcher->cancelCollectionMatch();
    EXPECT_EQ(listener.events.count(QStringLiteral("canceled")), 1);
}

TEST_F(QVCollectionMatcherTest, ACancelAfterOneOfThreeBatchesKeepsTheFirstBatchsCounts)
{
    control(QStringLiteral("bulkAddToLibrary"), QStringLiteral("hang"), 1);
    QList<QVITunesTrack> tracks = catalogueTracks() + artistTracks(QStringLiteral("Nobody 1"), 46)
        + artistTracks(QStringLiteral("Nobody 2"), 49) + artistTracks(QStringLiteral("Nobody 3"), 49);
    listener.onEvent = [this](const QString& event) {
        if (event.startsWith(QLatin1String("progress")))
            matcher->cancelCollectionMatch();
    };
    run(tracks);
    EXPECT_EQ(listener.events, QStringList({ "started", "progress 33", "canceled" }));
    EXPECT_EQ(matcher->lastRun().canceled, 2u);
    const QVariantMap after = history();
    // Whichever batch was answered, its counts and only its counts are kept.
    const auto answered = received(QStringLiteral("bulkAddToLibrary"));
    ASSERT_EQ(answered.size(), 1);
    const QString expected = answered.first().contains(QStringLiteral("The Paper Lanterns"))
        ? QStringLiteral("3")
        : QStringLiteral("0");
    EXPECT_EQ(after.value(QLatin1String(QVMatchedTrackCountKey)), expected);
    control(QStringLiteral("bulkAddToLibrary"), QStringLiteral("ok"));
}

TEST_F(QVCollectionMatcherTest, ALostNetworkLeavesTheHistoryOrCountsWhatWasAnswered)
{
    const QList<QVITunesTrack> tracks = catalogueTracks() + artistTracks(QStringLiteral("Nobody 1"), 46)
        + artistTracks(QStringLiteral("Nobody 2"), 49) + artistTracks(QStringLiteral("Nobody 3"), 30);

    // Every batch fails (error pages are no answers): the history stays, no completion notice.
    const QVariantMap before = matcher->matchedCollectionHistoryDictionary();
    control(QStringLiteral("bulkAddToLibrary"), QStringLiteral("status500"));
    run(tracks);
    EXPECT_EQ(listener.events, QStringList({ "started", "finished" }));
    EXPECT_TRUE(matcher->lastRun().serviceUnreachable());
    EXPECT_EQ(matcher->lastRun().unsentTracks, 3u + 46 + 49 + 30);
    EXPECT_EQ(history(), before);
    QTest::qWait(100);
    EXPECT_TRUE(received(QStringLiteral("addToLibraryCompleted")).isEmpty());

    // The connection drops after the first batch: what was answered counts.
    control(QStringLiteral("bulkAddToLibrary"), QStringLiteral("drop"), 1);
    run(tracks);
    EXPECT_EQ(listener.events.last(), QStringLiteral("finished"));
    EXPECT_EQ(listener.events.count(QStringLiteral("finished")), 1);
    EXPECT_FALSE(matcher->lastRun().serviceUnreachable());
    EXPECT_EQ(matcher->lastRun().answered, 1u);
    EXPECT_EQ(matcher->lastRun().failed, 2u);
    EXPECT_GT(matcher->lastRun().unsentTracks, 0u);
    EXPECT_NE(history(), before);
    ASSERT_TRUE(
        QVWaitUntil([this] { return received(QStringLiteral("addToLibraryCompleted")).size() == 1; }));
    control(QStringLiteral("bulkAddToLibrary"), QStringLiteral("ok"));
}

TEST_F(QVCollectionMatcherTest, EachBatchEndsOnceAndASecondUploadIsRefused)
{
    control(QStringLiteral("bulkAddToLibrary"), QStringLiteral("hang"));
    const QList<QVITunesTrack> tracks = artistTracks(QStringLiteral("A"), 40)
        + artistTracks(QStringLiteral("B"), 40) + artistTracks(QStringLiteral("C"), 40);
    listener.events.clear();
    ASSERT_TRUE(matcher->uploadITunesLibraryTracks(tracks));
    ASSERT_TRUE(QVWaitUntil([this] { return matcher->isMatching(); }));
    EXPECT_FALSE(matcher->uploadITunesLibraryTracks(tracks));
    const auto pending = matcher->pendingBatchIdentifiers();
    ASSERT_EQ(pending.size(), 3);

    const QByteArray answer = R"({"found": 30, "new": 12, "tracks": [1, 2], "albums": [7]})";
    matcher->onConnectionFinished(pending[0], answer);
    matcher->onConnectionFinished(pending[0], answer); // again
    QVServerRequestIdentifier stray = 1;
    while (pending.contains(stray))
        ++stray;
    matcher->onConnectionFinished(stray, answer);
    matcher->onConnectionCanceled(stray);
    EXPECT_EQ(listener.events, QStringList({ "started", "progress 33" }));
    matcher->onConnectionFinished(pending[1], R"({"found": 5, "new": 1, "tracks": [3], "albums": []})");
    matcher->onConnectionFinished(pending[2], "not json");
    matcher->onConnectionFinished(pending[2], answer);
    EXPECT_EQ(listener.events,
        QStringList({ "started", "progress 33", "progress 66", "progress 100", "finished" }));
    EXPECT_EQ(history().value(QLatin1String(QVMatchedTrackCountKey)), QStringLiteral("35"));
    EXPECT_EQ(history().value(QLatin1String(QVAddedTrackCountKey)), QStringLiteral("13"));
    control(QStringLiteral("bulkAddToLibrary"), QStringLiteral("ok"));
    // The real answers, when they come, belong to no run.
    QTest::qWait(100);
    EXPECT_EQ(listener.events.count(QStringLiteral("finished")), 1);
}

} // namespace
