#include "QVPlaybackTestSupport.h"

#include <QVariantMap>

#include <climits>

namespace {
class QVWebPlayerScriptObjectTest : public PlaybackServiceTest
{
protected:
    QVWebPlayerScriptObject* bridge() { return service.playerScriptObject(); }
    void call(const QString& method, const QVariantList& arguments = {})
    {
        bridge()->invokeScriptMethod(method, arguments);
    }
};
} // namespace

TEST_F(QVWebPlayerScriptObjectTest, OneRoundTripPerRefreshAndOddValuesBounded)
{
    answerPlayingPage(page);
    page.answers["Q.player.playState()"] = "3"; // buffering
    bridge()->setIsMuted(true);
    EXPECT_TRUE(bridge()->forceRefreshProperties());
    EXPECT_EQ(page.roundTrips, 1);
    EXPECT_EQ(bridge()->playState(), QVPlayStateBuffering);
    EXPECT_EQ(bridge()->repeatState(), 2);
    EXPECT_EQ(bridge()->sourcePosition(), 42);
    EXPECT_FLOAT_EQ(bridge()->volume(), 0.555f);
    EXPECT_TRUE(bridge()->isShuffle());
    EXPECT_FALSE(bridge()->isMuted()); // never asked, always cleared
    const QVTrack* track = bridge()->playingTrack();
    const QStringList fields { track->trackName(), track->trackKey(), track->artist(), track->album(),
        track->url(), track->artistURL(), track->albumURL(), track->baseIcon() };
    EXPECT_EQ(fields,
        (QStringList {
            "Song", "t12", "Artist", "Album", "/track/t12", "/artist/r1", "/album/a3", "al/3.png" }));
    EXPECT_EQ(track->duration(), 187u);

    // Out-of-range states from the page leave the cached ones; odd fields are bounded.
    page.answers["Q.player.playState()"] = "7";
    page.answers["Q.player.repeat()"] = "-1";
    page.answers["Q.player.playingTrack().get('name')"] = QString(QVTrack::kMaxFieldLength + 10, 'x');
    bridge()->forceRefreshProperties();
    EXPECT_EQ(bridge()->playState(), QVPlayStateBuffering);
    EXPECT_EQ(bridge()->repeatState(), 2);
    EXPECT_EQ(track->trackName().size(), QVTrack::kMaxFieldLength);

    // Fractional seconds round to the nearest whole one.
    const std::pair<const char*, unsigned> durations[] = { { "187.6", 188u }, { "187.4", 187u },
        { "0.5", 1u }, { "-30", 0u }, { "abc", 0u }, { "1e30", unsigned(INT_MAX) } };
    for (const auto& [text, seconds] : durations) {
        page.answers["Q.player.playingTrack().get('duration')"] = text;
        bridge()->forceRefreshProperties();
        EXPECT_EQ(track->duration(), seconds) << text;
    }

    // A page that does not answer: the refresh says so and the last values stay.
    page.responsive = false;
    EXPECT_FALSE(bridge()->forceRefreshProperties());
    EXPECT_EQ(track->trackKey(), "t12");
    EXPECT_EQ(bridge()->playState(), QVPlayStateBuffering);
}

TEST_F(QVWebPlayerScriptObjectTest, NoPlayerOrTrackClearsTheTrackButKeepsRepeat)
{
    answerPlayingPage(page);
    bridge()->forceRefreshProperties();
    bridge()->setRepeatState(0);

    page.answers["Q.player != null && Q.player.playingTrack() != null"] = "false";
    page.roundTrips = 0;
    bridge()->forceRefreshProperties();
    EXPECT_EQ(page.roundTrips, 1);
    EXPECT_TRUE(bridge()->playingTrack()->trackName().isNull());
    EXPECT_EQ(bridge()->playingTrack()->duration(), 0u);
    EXPECT_EQ(bridge()->repeatState(), 0); // the setting is the player's, not the track's
    EXPECT_EQ(bridge()->playState(), QVPlayStatePlaying);

    // A station query is one read with both guards.
    page.roundTrips = 0;
    EXPECT_FALSE(bridge()->isPlayingRadioStation());
    EXPECT_EQ(page.roundTrips, 1);
}

TEST_F(QVWebPlayerScriptObjectTest, ARefreshIsNeverReentered)
{
    answerPlayingPage(page);
    int passes = 0;
    int deepest = 0;
    page.onBatch = [&] {
        ++passes;
        deepest = std::max(deepest, int(bridge()->isRefreshing()));
        // A request from inside the wait, twice: one more pass after, not two nested.
        if (passes == 1) {
            page.answers["Q.player.playingTrack().get('key')"] = "t13";
            bridge()->forceRefreshProperties();
            bridge()->forceRefreshProperties();
        }
    };
    bridge()->forceRefreshProperties();
    EXPECT_EQ(passes, 2);
    EXPECT_EQ(bridge()->playingTrack()->trackKey(), "t13");
    EXPECT_FALSE(bridge()->isRefreshing());
}

TEST_F(QVWebPlayerScriptObjectTest, PageCallsReachTheServiceListenersOncePerChange)
{
    RecordingListener listener("l", &log);
    service.addWebPlaybackListener(&listener);
    loadPlayingPage();

    // The first report after loading tells of a track only when it changed.
    call("onPlayingTrackChanged");
    runQueuedEvents();
    EXPECT_TRUE(log.isEmpty()) << log.join(", ").toStdString();
    page.answers["Q.player.playingTrack().get('key')"] = "t13";
    call("onPlayingTrackChanged");
    runQueuedEvents();
    EXPECT_EQ(log, (QStringList { "l: track", "signal" }));

    // Both bridges report one change in the same turn: one refresh, one announcement.
    log.clear();
    page.roundTrips = 0;
    page.answers["Q.player.playState()"] = "0";
    service.playbackPlayStateChanged(QVPlayStatePaused); // the desktop bridge's report
    call("onPlayStateChanged", { qlonglong(0) });
    page.answers["Q.player.repeat()"] = "1";
    call("onRepeatChanged", { qlonglong(1) });
    call("onShuffleChanged", { true }); // no change: nobody told
    page.answers["Q.player.volume()"] = "0.25";
    call("onVolumeChanged", { 0.25 });
    runQueuedEvents();
    EXPECT_EQ(page.roundTrips, 1);
    EXPECT_EQ(log, (QStringList { "l: state 1", "l: repeat 1", "l: volume 25", "signal" }));

    // Reports that need no refresh pass straight on.
    log.clear();
    call("onPositionChanged", { 0.5 });
    call("onPositionChanged", { 7.0 }); // a fraction is at most 1
    call("onMuteChanged", { true });
    call("onPlayerFlyoutToggled");
    call("onPlayerFlyoutHidden"); // the same call as a toggle
    call("onStationChanged", { QVariantMap { { "key", "sr1" } } });
    EXPECT_EQ(log,
        (QStringList {
            "l: position 0.5", "l: position 1", "l: mute 1", "l: flyout", "l: flyout", "l: station sr1" }));

    // Wrong types and counts are dropped before anyone hears of them.
    log.clear();
    for (const auto& [method, arguments] : QList<std::pair<QString, QVariantList>> {
             { "onPlayStateChanged", { "1" } }, { "onPlayStateChanged", { 1.5 } }, { "onRepeatChanged", {} },
             { "onShuffleChanged", { qlonglong(1) } }, { "onMuteChanged", { "true" } },
             { "onVolumeChanged", { QVariant() } }, { "onPositionChanged", { true } },
             { "onPlayerFlyoutToggled", { qlonglong(1) } }, { "noSuchMethod", {} } })
        call(method, arguments);
    runQueuedEvents();
    EXPECT_TRUE(log.isEmpty()) << log.join(", ").toStdString();
    service.removeWebPlaybackListener(&listener);
}
