#include "QVConstants.h"
#include "QVPlaybackTestSupport.h"
#include "QVRemoteButton.h"
#include "QVScriptValue.h"

#include <QVariantMap>

#include <climits>
#include <functional>
#include <limits>

namespace {
class QVWebPlaybackServiceTest : public PlaybackServiceTest
{
protected:
    // The scripts one call sent to the page.
    QStringList scriptsOf(const std::function<void()>& call)
    {
        runQueuedEvents();
        page.scripts.clear();
        call();
        runQueuedEvents();
        return page.scripts;
    }
    QVWebPlayerScriptObject* bridge() { return service.playerScriptObject(); }
    void call(const QString& method, const QVariantList& arguments = {})
    {
        bridge()->invokeScriptMethod(method, arguments);
    }
};

// Leaves the service from inside a callback.
class LeavingListener : public RecordingListener
{
public:
    LeavingListener(QVWebPlaybackService* service, QStringList* log)
        : RecordingListener("leaving", log)
        , service(service)
    {
    }
    void onPlaybackLoaded() override
    {
        add("loaded");
        service->removeWebPlaybackListener(this);
    }
    QVWebPlaybackService* service;
};

const QString kMaster = "window.Q && Q.player && Q.player.isMaster()";
const QString kPause = "if (Q.player.pause) Q.player.pause(); else if (Q.player.playState() == 1 || "
                       "Q.player.playState() == 3) Q.player.togglePause();";
} // namespace

TEST_F(QVWebPlaybackServiceTest, TextFromOutsideNeverLeavesItsLiteral)
{
    loadPlayingPage();
    center.postNotificationName(QVUserDidSignInNotification);
    const QString hostile = "x'});alert(1);//\"\\</script>";
    const QString literal = QVScriptValue::literal(hostile);
    service.playerScriptObject()->playingTrack()->setTrackKey(hostile);
    const QList<std::function<void()>> commands {
        [&] { service.playSource(hostile); },
        [&] {
            service.switchRadioStation({ { "key", "sr1" }, { "name", hostile } });
        },
        [&] { service.addCurrentSongToCollection(); },
    };
    for (const auto& command : commands) {
        const QStringList scripts = scriptsOf(command);
        ASSERT_EQ(scripts.size(), 1);
        QString script = scripts.first();
        EXPECT_TRUE(script.contains(literal)) << script.toStdString();
        EXPECT_FALSE(script.remove(literal).contains("alert")) << scripts.first().toStdString();
    }
    // An over-long source is not sent at all.
    EXPECT_TRUE(scriptsOf([&] { service.playSource(QString(300, 'a')); }).isEmpty());
}

TEST_F(QVWebPlaybackServiceTest, VolumeAndSeekRoundAndStayInRange)
{
    loadPlayingPage();
    const QList<std::pair<float, unsigned>> levels { { 0.29f, 29u }, { -3.0f, 0u }, { 7.0f, 100u } };
    for (const auto& [volume, level] : levels) {
        service.playerScriptObject()->setVolume(volume);
        EXPECT_EQ(service.volumeLevel(), level) << volume;
    }
    // A step at the limit is clamped, not dropped.
    service.playerScriptObject()->setVolume(0.97f);
    const QStringList loudest { "Q.player.volume(1.000000)" };
    EXPECT_EQ(scriptsOf([&] { service.incrementVolumeLevel(); }), loudest);
    EXPECT_EQ(scriptsOf([&] { service.setVolumeLevel(250); }), loudest);
    // Past the range of int: never a negative position.
    EXPECT_EQ(scriptsOf([&] { service.seek(4000000000u); }), QStringList { "Q.player.position(4000000000)" });

    // The remote's volume buttons step the system volume by a sixteenth (the output keeps it within 0 to 1);
    // the page is not told.
    volume.volume = 0.5f;
    EXPECT_TRUE(scriptsOf([&] { service.onButtonPressed(QVRemoteButtonVolumeUp, false); }).isEmpty());
    EXPECT_FLOAT_EQ(volume.volume, 0.5625f);
}

TEST_F(QVWebPlaybackServiceTest, CommandsWaitForAReadyPage)
{
    answerPlayingPage(page);
    const auto everyDroppedCommand = [&] {
        service.playPause();
        service.seek(3);
        service.setShuffleState(true);
        service.setVolumeLevel(10);
        service.playSource("a1");
        center.postNotificationName(QVPlayButtonPressedNotification);
        service.onButtonPressed(QVRemoteButtonPlay, false);
        EXPECT_EQ(service.playingTrackRemainingSeconds(), 0u);
    };
    EXPECT_TRUE(scriptsOf(everyDroppedCommand).isEmpty());

    loadPlayingPage();
    service.webViewDidStartLoading(); // a reload
    EXPECT_TRUE(scriptsOf(everyDroppedCommand).isEmpty());
    service.onDesktopScriptObjectInitialized();
    service.onNetworkConnectionNotAvailable();
    EXPECT_TRUE(scriptsOf(everyDroppedCommand).isEmpty());
    service.onNetworkConnectionAvailable();

    // Ready: each key or button is one command, the service's own.
    const QStringList play = scriptsOf([&] { service.playPause(); });
    const QStringList next = scriptsOf([&] { service.nextTrack(); });
    ASSERT_EQ(play.size() + next.size(), 2);
    const QList<std::pair<std::function<void()>, QStringList>> presses {
        { [&] { center.postNotificationName(QVPlayButtonPressedNotification); }, play },
        { [&] { center.postNotificationName(QVForwardButtonPressedNotification); }, next },
        { [&] { service.onButtonPressed(QVRemoteButtonPlay, false); }, play },
        { [&] { service.onButtonPressed(QVRemoteButtonNext, true); }, next },
        { [&] { service.onButtonPressed(6, true); }, {} },
        { [&] { service.onButtonPressed(-1, false); }, {} },
    };
    for (const auto& [press, sent] : presses)
        EXPECT_EQ(scriptsOf(press), sent);
}

TEST_F(QVWebPlaybackServiceTest, ElapsedAndRemainingTimes)
{
    loadPlayingPage();
    const QString time = "window.$ && $('.time').text()";
    const std::tuple<const char*, unsigned, const char*> shown[] = {
        { "1:07", 120u, "-2:00" }, { "3:07", 0u, "" }, // not "-0:00"
        { "3:30", 0u, "" }, // past the end: no underflow
    };
    for (const auto& [text, remaining, label] : shown) {
        page.answers[time] = text;
        EXPECT_EQ(service.playingTrackRemainingSeconds(), remaining) << text;
        EXPECT_EQ(service.playingTrackRemainingTime(), label) << text;
    }

    const unsigned int max = std::numeric_limits<unsigned int>::max();
    const QList<std::pair<QString, unsigned int>> cases {
        { "1:02:03", 3723 }, { "45", 45 }, { "", 0 }, { "abc", 0 }, { "::::", 0 }, { ":30", 30 },
        { " 2:05", 125 }, { "-1:30", 0 }, // a remaining time: nothing has elapsed
        { "99999999999:00", max }, { "1193046:28:14", 4294967294u }, { QString(65, '1'), 0 }, // too long
    };
    for (const auto& [text, seconds] : cases)
        EXPECT_EQ(QVWebPlaybackService::secondsFromElapsedTime(text), seconds) << text.toStdString();
}

TEST_F(QVWebPlaybackServiceTest, ListenersHearRefreshedStateInOrder)
{
    RecordingListener first("first", &log);
    service.addWebPlaybackListener(&first);
    answerPlayingPage(page);

    // What a listener sees has already been refreshed.
    struct Probe : QVWebPlaybackListener {
        QVWebPlaybackService* service;
        QStringList* log;
        void playbackPlayStateChanged(QVPlayState) override
        {
            log->append(
                QStringLiteral("probe: %1 %2").arg(service->playState()).arg(service->playingTrackKey()));
        }
    } probe;
    probe.service = &service;
    probe.log = &log;
    service.addWebPlaybackListener(&probe);

    service.webViewFinishedLoading();
    EXPECT_EQ(page.roundTrips, 1);
    EXPECT_EQ(log, QStringList { "first: loaded" });

    // Each report after a change of the page's state; a report of no change is quiet.
    const QList<std::tuple<QString, QString, std::function<void()>, QStringList>> changes {
        { "Q.player.playState()", "3", [&] { service.playbackPlayStateChanged(QVPlayStateBuffering); },
            { "first: state 4", "probe: 4 t12", "signal" } },
        { "Q.player.playingTrack().get('key')", "t13", [&] { service.playbackPlayingTrackChanged(); },
            { "first: track", "signal" } },
        { "Q.player.volume()", "0.5", [&] { service.playbackVolumeChanged(0.5f); }, { "first: volume 50" } },
        { "Q.player.volume()", "0.5", [&] { service.playbackVolumeChanged(0.5f); }, {} },
    };
    for (const auto& [read, value, change, heard] : changes) {
        log.clear();
        page.answers[read] = value;
        page.roundTrips = 0;
        change();
        runQueuedEvents();
        EXPECT_EQ(page.roundTrips, 1) << read.toStdString();
        EXPECT_EQ(log, heard) << read.toStdString();
    }

    // Removing takes every entry out, even from inside a callback.
    log.clear();
    service.removeWebPlaybackListener(&probe);
    LeavingListener leaving(&service, &log);
    service.addWebPlaybackListener(&leaving);
    service.addWebPlaybackListener(&leaving);
    service.onNetworkConnectionAvailable();
    service.onNetworkConnectionAvailable();
    EXPECT_EQ(log, (QStringList { "first: loaded", "leaving: loaded", "first: loaded" }));
    service.removeWebPlaybackListener(&first);
}

// Unplugging or sleep never starts playback: the pause asked of the page cannot toggle.
TEST_F(QVWebPlaybackServiceTest, AutomaticPausesOnlyWhenEveryConditionHolds)
{
    loadPlayingPage();
    struct Case {
        bool setting;
        bool headphones;
        QVPlayState state;
        const char* master;
        QStringList sent;
    };
    const QList<Case> cases {
        { true, false, QVPlayStatePlaying, "true", { kMaster, kPause } },
        { true, false, QVPlayStateBuffering, "true", { kMaster, kPause } },
        { false, false, QVPlayStatePlaying, "true", {} },
        { true, true, QVPlayStatePlaying, "true", {} }, // the sound moved to headphones
        { true, false, QVPlayStatePaused, "true", {} },
        { true, false, QVPlayStatePlaying, "false", { kMaster } }, // another client plays
    };
    for (const Case& c : cases) {
        defaults->setValue(c.setting, QVPauseOnDeviceUnplugKey);
        output.headphones = c.headphones;
        service.playerScriptObject()->setPlayState(c.state);
        page.answers[kMaster] = c.master;
        EXPECT_EQ(scriptsOf([&] { output.change(); }), c.sent) << c.state << c.master;
    }

    // Sleep pauses the active player before the system is told to go on.
    service.playerScriptObject()->setPlayState(QVPlayStatePlaying);
    page.answers[kMaster] = "true";
    sleepMonitor.pageScripts = &page.scripts;
    log.clear();
    EXPECT_EQ(scriptsOf([&] { sleepMonitor.sleep(); }), (QStringList { kMaster, kPause }));
    EXPECT_EQ(log, QStringList { "sleep acknowledged after " + kPause });
    sleepMonitor.pageScripts = nullptr;
    // Not the active player, or no page: acknowledged without a pause.
    page.answers[kMaster] = "false";
    EXPECT_EQ(scriptsOf([&] { sleepMonitor.sleep(); }), QStringList { kMaster });
    page.answers[kMaster] = "true";
    service.webViewDidStartLoading();
    EXPECT_EQ(scriptsOf([&] { sleepMonitor.sleep(); }), QStringList { kMaster });
    EXPECT_EQ(log.count("sleep acknowledged"), 2);
}

TEST_F(QVWebPlaybackServiceTest, OneRoundTripPerRefreshAndOddValuesBounded)
{
    answerPlayingPage(page);
    page.answers["Q.player.playState()"] = "3"; // buffering
    EXPECT_TRUE(bridge()->forceRefreshProperties());
    EXPECT_EQ(page.roundTrips, 1);
    // Every value lands in its own field: all from the one answer.
    EXPECT_EQ(bridge()->playState(), QVPlayStateBuffering);
    EXPECT_EQ(bridge()->sourcePosition(), 42);
    EXPECT_FLOAT_EQ(bridge()->volume(), 0.555f);
    const QVTrack* track = bridge()->playingTrack();
    const QStringList fields { track->trackName(), track->trackKey(), track->artist(), track->album(),
        track->url(), track->artistURL(), track->albumURL(), track->baseIcon() };
    EXPECT_EQ(fields,
        (QStringList {
            "Song", "t12", "Artist", "Album", "/track/t12", "/artist/r1", "/album/a3", "al/3.png" }));

    // Out-of-range states from the page leave the cached ones; odd fields are bounded.
    page.answers["Q.player.playState()"] = "7";
    page.answers["Q.player.repeat()"] = "-1";
    page.answers["Q.player.playingTrack().get('name')"] = QString(QVTrack::kMaxFieldLength + 10, 'x');
    bridge()->forceRefreshProperties();
    EXPECT_EQ(bridge()->playState(), QVPlayStateBuffering);
    EXPECT_EQ(bridge()->repeatState(), 2);
    EXPECT_EQ(track->trackName().size(), QVTrack::kMaxFieldLength);

    // Fractional seconds round to the nearest whole one.
    const std::pair<const char*, unsigned> durations[]
        = { { "187.6", 188u }, { "-30", 0u }, { "1e30", unsigned(INT_MAX) } };
    for (const auto& [text, seconds] : durations) {
        page.answers["Q.player.playingTrack().get('duration')"] = text;
        bridge()->forceRefreshProperties();
        EXPECT_EQ(track->duration(), seconds) << text;
    }

    // A page that does not answer: the refresh says so and the last values stay.
    page.responsive = false;
    EXPECT_FALSE(bridge()->forceRefreshProperties());
    EXPECT_EQ(track->trackKey(), "t12");

    // No player or track clears the track but keeps the player's repeat setting.
    page.responsive = true;
    bridge()->setRepeatState(0);
    page.answers["Q.player != null && Q.player.playingTrack() != null"] = "false";
    bridge()->forceRefreshProperties();
    EXPECT_TRUE(track->trackName().isNull());
    EXPECT_EQ(bridge()->repeatState(), 0);
}

TEST_F(QVWebPlaybackServiceTest, ARefreshIsNeverReentered)
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
    EXPECT_EQ(deepest, 1);
    EXPECT_EQ(bridge()->playingTrack()->trackKey(), "t13");
}

TEST_F(QVWebPlaybackServiceTest, PageCallsReachTheServiceListenersOncePerChange)
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
    runQueuedEvents();
    EXPECT_EQ(page.roundTrips, 1);
    EXPECT_EQ(log, (QStringList { "l: state 1", "l: repeat 1", "signal" }));

    // Reports that need no refresh pass straight on; wrong types and counts reach no one
    // (the real channel's fuzz test sends every kind of bad call).
    log.clear();
    call("onPositionChanged", { 7.0 }); // a fraction is at most 1
    call("onStationChanged", { QVariantMap { { "key", "sr1" } } });
    call("onPlayStateChanged", { "1" });
    call("onRepeatChanged", {});
    call("noSuchMethod");
    runQueuedEvents();
    EXPECT_EQ(log, (QStringList { "l: position 1", "l: station sr1" }));
    service.removeWebPlaybackListener(&listener);
}

TEST_F(QVWebPlaybackServiceTest, ReportsThatBringThePagesValuesAreNotReadBack)
{
    RecordingListener listener("l", &log);
    service.addWebPlaybackListener(&listener);
    loadPlayingPage();
    EXPECT_EQ(page.snapshotExpressions, QVWebPlayerScriptObject::refreshScripts());
    for (const char* call :
        { "PlayerScriptObject.onPlayStateChanged", "DesktopScriptObject.onPlayingTrackChanged" })
        EXPECT_TRUE(page.snapshotCalls.contains(call)) << call;

    // The values of the report's moment, though the page has moved on since.
    log.clear();
    page.roundTrips = 0;
    page.answers["Q.player.playState()"] = "0";
    page.snapshot = page.snapshotOfAnswers();
    page.answers["Q.player.playState()"] = "1";
    call("onPlayStateChanged", { qlonglong(0) });
    page.snapshot.clear();
    runQueuedEvents();
    EXPECT_EQ(page.roundTrips, 0);
    EXPECT_EQ(log, (QStringList { "l: state 1", "signal" }));

    // The last report of a turn decides: one without values makes the refresh read.
    log.clear();
    page.snapshot = page.snapshotOfAnswers();
    service.playbackPlayStateChanged(QVPlayStateUnknown);
    page.snapshot.clear();
    page.answers["Q.player.repeat()"] = "1";
    call("onRepeatChanged", { qlonglong(1) });
    runQueuedEvents();
    EXPECT_EQ(page.roundTrips, 1);
    EXPECT_EQ(log, (QStringList { "l: state 2", "l: repeat 1", "signal" }));

    // A refresh between a report and its turn read later: its values are not overwritten.
    log.clear();
    page.answers["Q.player.playingTrack().get('key')"] = "t13";
    page.snapshot = page.snapshotOfAnswers();
    call("onPlayingTrackChanged");
    page.snapshot.clear();
    page.answers["Q.player.playingTrack().get('key')"] = "t14";
    bridge()->forceRefreshProperties();
    runQueuedEvents();
    EXPECT_EQ(bridge()->playingTrack()->trackKey(), "t14");
    EXPECT_EQ(log, (QStringList { "l: track", "signal" }));

    // Values of the wrong count are no answer: the last good ones stay.
    EXPECT_FALSE(bridge()->adoptSnapshot({ "true", "true", "0" }));
    EXPECT_EQ(bridge()->playingTrack()->trackKey(), "t14");
    service.removeWebPlaybackListener(&listener);
}
