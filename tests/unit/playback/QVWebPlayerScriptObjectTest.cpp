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

TEST_F(QVWebPlayerScriptObjectTest, FullRefreshReadsEverythingInOrder)
{
    answerPlayingPage(page);
    page.answers["Q.player.playState();"] = "3"; // buffering
    bridge()->setIsMuted(true);
    bridge()->forceRefreshProperties();

    EXPECT_EQ(page.scripts, fullRefreshScripts());
    EXPECT_EQ(bridge()->playState(), QVPlayStateBuffering);
    EXPECT_EQ(bridge()->repeatState(), 2);
    EXPECT_EQ(bridge()->sourcePosition(), 42);
    EXPECT_FLOAT_EQ(bridge()->volume(), 0.555f);
    EXPECT_TRUE(bridge()->isShuffle());
    EXPECT_FALSE(bridge()->isMuted()); // never asked, always cleared
    const QVTrack* track = bridge()->playingTrack();
    EXPECT_EQ(track->trackName(), "Song");
    EXPECT_EQ(track->trackKey(), "t12");
    EXPECT_EQ(track->artist(), "Artist");
    EXPECT_EQ(track->album(), "Album");
    EXPECT_EQ(track->url(), "/track/t12");
    EXPECT_EQ(track->artistURL(), "/artist/r1");
    EXPECT_EQ(track->albumURL(), "/album/a3");
    EXPECT_EQ(track->baseIcon(), "al/3.png");
    EXPECT_EQ(track->duration(), 187u);

    // Out-of-range states from the page leave the cached ones; odd fields are bounded.
    page.answers["Q.player.playState();"] = "7";
    page.answers["Q.player.repeat();"] = "-1";
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
}

TEST_F(QVWebPlayerScriptObjectTest, RefreshWithoutPlayerOrTrackClearsTheTrack)
{
    answerPlayingPage(page);
    bridge()->forceRefreshProperties();
    bridge()->setRepeatState(0);

    page.answers["Q.player.playingTrack() != null"] = "false";
    page.scripts.clear();
    bridge()->forceRefreshProperties();
    EXPECT_EQ(page.scripts,
        (QStringList { "Q.player != null", "Q.player.playingTrack() != null", "Q.player != null",
            "Q.player.playingTrack() != null" }));
    EXPECT_TRUE(bridge()->playingTrack()->trackName().isNull());
    EXPECT_TRUE(bridge()->playingTrack()->baseIcon().isNull());
    EXPECT_EQ(bridge()->playingTrack()->duration(), 0u);
    EXPECT_EQ(bridge()->repeatState(), 2);
    EXPECT_EQ(bridge()->playState(), QVPlayStatePlaying); // left as it was

    page.answers["Q.player != null"] = "false";
    page.scripts.clear();
    bridge()->forceRefreshProperties();
    EXPECT_EQ(page.scripts, (QStringList { "Q.player != null", "Q.player != null" }));

    // A station query needs both guards too.
    page.scripts.clear();
    EXPECT_FALSE(bridge()->isPlayingRadioStation());
    EXPECT_EQ(page.scripts, QStringList { "Q.player != null" });
    answerPlayingPage(page);
    page.answers["Q.isStation(Q.player.playingSource());"] = "true";
    EXPECT_TRUE(bridge()->isPlayingRadioStation());
}

TEST_F(QVWebPlayerScriptObjectTest, PageCallsReachTheServiceListeners)
{
    RecordingListener listener("l", &log);
    service.addWebPlaybackListener(&listener);
    answerPlayingPage(page);

    // The first track report of the process is swallowed: no reads, no one told.
    call("onPlayingTrackChanged");
    EXPECT_TRUE(bridge()->receivedFirstPlayingTrackChange());
    EXPECT_TRUE(log.isEmpty());
    EXPECT_TRUE(page.scripts.isEmpty());
    call("onPlayingTrackChanged");
    EXPECT_EQ(bridge()->playingTrack()->trackName(), "Song");
    EXPECT_EQ(log, (QStringList { "l: track", "signal" }));

    log.clear();
    // Each refresh reads these back, so the cached values stay put.
    page.answers["Q.player.playState();"] = "0";
    page.answers["Q.player.repeat();"] = "1";
    call("onPlayStateChanged", { qlonglong(0) });
    call("onPlayStateChanged", { qlonglong(7) }); // unknown: the cached state goes out again
    call("onRepeatChanged", { qlonglong(1) });
    call("onRepeatChanged", { qlonglong(9) });
    call("onShuffleChanged", { false });
    call("onVolumeChanged", { 0.25 });
    call("onPositionChanged", { 12.5 });
    call("onMuteChanged", { true });
    call("onPlayerFlyoutToggled");
    call("onPlayerFlyoutHidden"); // the same call as a toggle
    call("onPlayingSourceChanged");
    call("onStationChanged", { QVariantMap { { "key", "sr1" } } });
    EXPECT_EQ(log,
        (QStringList { "l: state 1", "signal", "l: state 1", "signal", "l: repeat 1", "l: repeat 1",
            "l: shuffle 0", "l: volume 25", "l: position 12.5", "l: mute 1", "l: flyout", "l: flyout",
            "l: station sr1" }));
    EXPECT_TRUE(bridge()->isMuted());
    EXPECT_FLOAT_EQ(bridge()->position(), 12.5f);

    // Wrong types and counts are dropped before anyone hears of them.
    log.clear();
    call("onPlayStateChanged", { "1" });
    call("onPlayStateChanged", { 1.5 });
    call("onRepeatChanged", {});
    call("onShuffleChanged", { qlonglong(1) });
    call("onMuteChanged", { "true" });
    call("onVolumeChanged", { QVariant() });
    call("onPositionChanged", { true });
    call("onPlayerFlyoutToggled", { qlonglong(1) });
    call("noSuchMethod", {});
    EXPECT_TRUE(log.isEmpty()) << log.join(", ").toStdString();
    service.removeWebPlaybackListener(&listener);
}
