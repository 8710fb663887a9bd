#include "QVConstants.h"
#include "QVPlaybackTestSupport.h"
#include "QVRemoteButton.h"
#include "QVScriptValue.h"

#include <QObject>

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
    void signIn() { center.postNotificationName(QVUserDidSignInNotification); }
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
    signIn();
    const QString hostile = "x'});alert(1);//\"\\</script>";
    const QString literal = QVScriptValue::literal(hostile);
    service.playerScriptObject()->playingTrack()->setTrackKey(hostile);
    const QList<std::function<void()>> commands {
        [&] { service.playSource(hostile); },
        [&] {
            service.switchRadioStation({ { "key", "sr1" }, { "name", hostile } });
        },
        [&] { service.addCurrentSongToCollection(); },
        [&] { service.removeCurrentSongFromCollection(); },
        [&] { service.syncCurrentSongToMobile(); },
        [&] { service.removeCurrentSongFromMobile(); },
    };
    for (const auto& command : commands) {
        const QStringList scripts = scriptsOf(command);
        ASSERT_EQ(scripts.size(), 1);
        QString script = scripts.first();
        EXPECT_TRUE(script.contains(literal)) << script.toStdString();
        EXPECT_FALSE(script.remove(literal).contains("alert")) << script.toStdString();
    }
    // An over-long source is not sent at all.
    EXPECT_TRUE(scriptsOf([&] { service.playSource(QString(300, 'a')); }).isEmpty());
}

TEST_F(QVWebPlaybackServiceTest, VolumeAndSeekRoundAndStayInRange)
{
    loadPlayingPage();
    const QList<std::pair<float, unsigned>> levels { { 0.555f, 56u }, { 0.29f, 29u }, { -3.0f, 0u },
        { 7.0f, 100u } };
    for (const auto& [volume, level] : levels) {
        service.playerScriptObject()->setVolume(volume);
        EXPECT_EQ(service.volumeLevel(), level) << volume;
    }
    // Steps of five from the cached level, clamped, and sent even at the limit.
    const QList<std::tuple<float, bool, QString>> steps { { 0.97f, true, "Q.player.volume(1.000000)" },
        { 1.0f, true, "Q.player.volume(1.000000)" }, { 0.03f, false, "Q.player.volume(0.000000)" },
        { 0.5f, false, "Q.player.volume(0.450000)" } };
    for (const auto& [volume, up, script] : steps) {
        service.playerScriptObject()->setVolume(volume);
        EXPECT_EQ(scriptsOf([&] { up ? service.incrementVolumeLevel() : service.decrementVolumeLevel(); }),
            QStringList { script });
    }
    EXPECT_EQ(scriptsOf([&] { service.setVolumeLevel(250); }), QStringList { "Q.player.volume(1.000000)" });
    // Past the range of int: never a negative position.
    EXPECT_EQ(scriptsOf([&] { service.seek(4000000000u); }), QStringList { "Q.player.position(4000000000)" });
}

TEST_F(QVWebPlaybackServiceTest, CommandsWaitForAReadyPage)
{
    answerPlayingPage(page);
    signIn();
    const auto everyDroppedCommand = [&] {
        service.playPause();
        service.previousTrack();
        service.nextTrack();
        service.seek(3);
        service.toggleShuffleState();
        service.setShuffleState(true);
        service.toggleRepeatState();
        service.setRepeatState(2);
        service.showQuickNowPlayingWebView();
        service.setVolumeLevel(10);
        service.incrementVolumeLevel();
        service.decrementVolumeLevel();
        service.playSource("a1");
        for (const char* button : { QVPlayButtonPressedNotification, QVForwardButtonPressedNotification,
                 QVRewindButtonPressedNotification })
            center.postNotificationName(button);
        service.onButtonPressed(QVRemoteButtonPlay, false);
        EXPECT_EQ(service.playingTrackElapsedTime(), QString());
        EXPECT_EQ(service.playingTrackRemainingSeconds(), 0u);
        EXPECT_EQ(service.playingTrackDurationTime(), QString());
        EXPECT_FALSE(service.isTrackInUsersCollection(5));
        EXPECT_FALSE(service.isAlbumInUsersCollection(5));
    };
    EXPECT_TRUE(scriptsOf(everyDroppedCommand).isEmpty());

    loadPlayingPage();
    service.webViewDidStartLoading(); // a reload
    EXPECT_TRUE(scriptsOf(everyDroppedCommand).isEmpty());
    service.onDesktopScriptObjectInitialized();
    service.onNetworkConnectionNotAvailable();
    EXPECT_TRUE(scriptsOf(everyDroppedCommand).isEmpty());
    service.onNetworkConnectionAvailable();
    EXPECT_EQ(scriptsOf([&] { service.playPause(); }).size(), 1);

    // Station and collection commands go out while the page reloads.
    service.webViewDidStartLoading();
    EXPECT_EQ(scriptsOf([&] { service.switchRadioStation({ { "key", "sr2" } }); }).size(), 1);
    EXPECT_EQ(scriptsOf([&] { service.addCurrentSongToCollection(); }).size(), 1);

    // Signed out: no flyout. No track key: no collection command.
    service.onNetworkConnectionAvailable();
    center.postNotificationName(QVUserDidSignOutNotification);
    EXPECT_TRUE(scriptsOf([&] { service.showQuickNowPlayingWebView(); }).isEmpty());
    service.playerScriptObject()->playingTrack()->clear();
    service.playerScriptObject()->setPlayState(QVPlayStatePaused);
    EXPECT_TRUE(scriptsOf([&] { service.removeCurrentSongFromCollection(); }).isEmpty());

    // Only a station that plays can be turned off.
    const QString isStation
        = "Q.player != null && Q.player.playingTrack() != null && Q.isStation(Q.player.playingSource())";
    page.answers[isStation] = "false";
    EXPECT_EQ(scriptsOf([&] { service.turnRadioStationOff(); }), QStringList { isStation });
    page.answers[isStation] = "true";
    EXPECT_EQ(scriptsOf([&] { service.turnRadioStationOff(); }).size(), 2);
}

TEST_F(QVWebPlaybackServiceTest, ButtonsAndNotificationsAreTheServicesOwnCommands)
{
    loadPlayingPage();
    const QStringList play = scriptsOf([&] { service.playPause(); });
    const QStringList next = scriptsOf([&] { service.nextTrack(); });
    const QStringList previous = scriptsOf([&] { service.previousTrack(); });
    ASSERT_EQ(play.size() + next.size() + previous.size(), 3);
    const QList<std::pair<std::function<void()>, QStringList>> presses {
        { [&] { center.postNotificationName(QVPlayButtonPressedNotification); }, play },
        { [&] { center.postNotificationName(QVForwardButtonPressedNotification); }, next },
        { [&] { center.postNotificationName(QVRewindButtonPressedNotification); }, previous },
        { [&] { service.onButtonPressed(QVRemoteButtonPlay, false); }, play },
        { [&] { service.onButtonPressed(QVRemoteButtonNext, true); }, next },
        { [&] { service.onButtonPressed(QVRemoteButtonPrevious, false); }, previous },
        { [&] { service.onButtonPressed(QVRemoteButtonMenu, false); }, {} },
        { [&] { service.onButtonPressed(6, true); }, {} },
        { [&] { service.onButtonPressed(-1, false); }, {} },
    };
    for (const auto& [press, sent] : presses)
        EXPECT_EQ(scriptsOf(press), sent);

    // The volume buttons step the system volume by a sixteenth; the page is not told.
    volume.volume = 0.5f;
    EXPECT_TRUE(scriptsOf([&] { service.onButtonPressed(QVRemoteButtonVolumeUp, false); }).isEmpty());
    EXPECT_FLOAT_EQ(volume.volume, 0.5625f);
    volume.volume = 0.0625f;
    service.onButtonPressed(QVRemoteButtonVolumeDown, true);
    EXPECT_FLOAT_EQ(volume.volume, 0.0f);
}

TEST_F(QVWebPlaybackServiceTest, TimesAndTrackFields)
{
    loadPlayingPage();
    const QString time = "window.$ && $('.time').text()";
    page.answers[time] = "1:07";
    EXPECT_EQ(service.playingTrackElapsedSeconds(), 67u);
    EXPECT_EQ(service.playingTrackRemainingSeconds(), 120u);
    EXPECT_EQ(service.playingTrackDurationTime(), "3:07");
    EXPECT_EQ(service.playingTrackRemainingTime(), "-2:00");
    page.answers[time] = "3:07";
    EXPECT_EQ(service.playingTrackRemainingTime(), ""); // not "-0:00"
    page.answers[time] = "3:30"; // past the end
    EXPECT_EQ(service.playingTrackRemainingSeconds(), 0u);

    // Name, key, artist and album refresh while playing when still empty; the rest never.
    QVTrack* track = service.playerScriptObject()->playingTrack();
    track->setArtist(QString());
    page.roundTrips = 0;
    EXPECT_EQ(service.playingTrackArtist(), "Artist");
    EXPECT_EQ(page.roundTrips, 1);
    track->setBaseIcon(QString());
    EXPECT_TRUE(scriptsOf([&] { EXPECT_EQ(service.playingTrackBaseIcon(), QString()); }).isEmpty());
    track->setAlbum(QString());
    service.playerScriptObject()->setPlayState(QVPlayStatePaused);
    EXPECT_TRUE(scriptsOf([&] { EXPECT_EQ(service.playingTrackAlbum(), QString()); }).isEmpty());
}

TEST_F(QVWebPlaybackServiceTest, ElapsedTimeOfOddTexts)
{
    const unsigned int max = std::numeric_limits<unsigned int>::max();
    const QList<std::pair<QString, unsigned int>> cases {
        { "3:07", 187 }, { "1:02:03", 3723 }, { "45", 45 }, { "", 0 }, { "abc", 0 }, { ":", 0 },
        { "::::", 0 }, { "1:", 60 }, { ":30", 30 }, { " 2:05", 125 }, { "2:5x", 125 },
        { "-1:30", 0 }, // a remaining time: nothing has elapsed
        { "0:-30", 0 }, { "99999999999:00", max }, { "1:0:0:0:0:0:0:0", max }, { "1193046:28:15", max },
        { "1193046:28:14", 4294967294u }, { QString(65, '1'), 0 }, // too long to be a time
    };
    for (const auto& [text, seconds] : cases)
        EXPECT_EQ(QVWebPlaybackService::secondsFromElapsedTime(text), seconds) << text.toStdString();
}

TEST_F(QVWebPlaybackServiceTest, StationListFromThePage)
{
    loadPlayingPage();
    const QString read = "JSON.stringify(Q.stationList)";
    page.answers[read]
        = R"([{"key":"sr1","name":"Jazz"},{"key":"sr2","name":"Rock","tags":[1,2]}, 5, "x", null])";
    const QVariantList stations = service.availableRadioStations();
    ASSERT_EQ(stations.size(), 2); // only the objects
    EXPECT_EQ(stations[1].toMap().value("tags").toList().size(), 2);
    // Handed back whole to the page.
    EXPECT_EQ(scriptsOf([&] { service.switchRadioStation(stations[1].toMap()); }),
        QStringList { R"(setStation({"key":"sr2","name":"Rock","tags":[1,2]}))" });

    const QStringList bad { "", "[{\"key\":", "{\"key\":\"sr1\"}", "42", "undefined",
        "[" + QString(QVWebPlaybackService::kMaxStationListLength, ' ') + "]" };
    for (const QString& text : bad) {
        page.answers[read] = text;
        EXPECT_TRUE(service.availableRadioStations().isEmpty()) << text.left(20).toStdString();
    }
}

TEST_F(QVWebPlaybackServiceTest, ListenersHearRefreshedStateInOrder)
{
    RecordingListener first("first", &log);
    RecordingListener second("second", &log);
    service.addWebPlaybackListener(&first);
    service.addWebPlaybackListener(&second);
    service.addWebPlaybackListener(&first); // listed twice, told twice
    answerPlayingPage(page);

    // What the first listener sees has already been refreshed.
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
    EXPECT_EQ(log, (QStringList { "first: loaded", "second: loaded", "first: loaded" }));

    // Each report after a change of the page's state; a report of no change is quiet.
    const QList<std::tuple<QString, QString, std::function<void()>, QStringList>> changes {
        { "Q.player.playState()", "3", [&] { service.playbackPlayStateChanged(QVPlayStateBuffering); },
            { "first: state 4", "second: state 4", "first: state 4", "probe: 4 t12", "signal" } },
        { "Q.player.playingTrack().get('key')", "t13", [&] { service.playbackPlayingTrackChanged(); },
            { "first: track", "second: track", "first: track", "signal" } },
        { "Q.player.volume()", "0.5", [&] { service.playbackVolumeChanged(0.5f); },
            { "first: volume 50", "second: volume 50", "first: volume 50" } },
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

    // Reports passed on as they came: no page reads.
    log.clear();
    EXPECT_TRUE(scriptsOf([&] {
        service.playbackPositionChanged(0.25f);
        service.webViewDidStartLoading();
    }).isEmpty());
    EXPECT_EQ(log,
        (QStringList { "first: position 0.25", "second: position 0.25", "first: position 0.25",
            "first: unloaded", "second: unloaded", "first: unloaded" }));

    // Initialisation refreshes quietly.
    log.clear();
    page.answers["Q.player.playState()"] = "0";
    EXPECT_FALSE(scriptsOf([&] { service.onDesktopScriptObjectInitialized(); }).isEmpty());
    EXPECT_TRUE(log.isEmpty());

    // Removing takes every entry out, even from inside a callback.
    service.removeWebPlaybackListener(&first);
    service.removeWebPlaybackListener(&probe);
    LeavingListener leaving(&service, &log);
    service.addWebPlaybackListener(&leaving);
    service.addWebPlaybackListener(&leaving);
    log.clear();
    service.onNetworkConnectionAvailable();
    service.onNetworkConnectionAvailable();
    EXPECT_EQ(log, (QStringList { "second: loaded", "leaving: loaded", "second: loaded" }));
    service.removeWebPlaybackListener(&second);
}

TEST_F(QVWebPlaybackServiceTest, UnplugPausesOnlyWhenEveryConditionHolds)
{
    loadPlayingPage();
    struct Case {
        QVariant setting;
        bool headphones;
        QVPlayState state;
        const char* master;
        QStringList sent;
    };
    const QList<Case> cases {
        { true, false, QVPlayStatePlaying, "true", { kMaster, kPause } },
        { true, false, QVPlayStateBuffering, "true", { kMaster, kPause } },
        { false, false, QVPlayStatePlaying, "true", {} },
        { QVariant(), false, QVPlayStatePlaying, "true", {} }, // unset counts as off
        { true, true, QVPlayStatePlaying, "true", {} }, // the sound moved to headphones
        { true, false, QVPlayStatePaused, "true", {} }, { true, false, QVPlayStateStopped, "true", {} },
        { true, false, QVPlayStatePlaying, "false", { kMaster } }, // another client plays
    };
    for (const Case& c : cases) {
        if (c.setting.isValid())
            defaults->setValue(c.setting, QVPauseOnDeviceUnplugKey);
        else
            defaults->removeObjectForKey(QVPauseOnDeviceUnplugKey);
        output.headphones = c.headphones;
        service.playerScriptObject()->setPlayState(c.state);
        page.answers[kMaster] = c.master;
        EXPECT_EQ(scriptsOf([&] { output.change(); }), c.sent) << c.state << c.master;
    }
}

TEST_F(QVWebPlaybackServiceTest, SleepPausesTheActivePlayerBeforeItIsAcknowledged)
{
    loadPlayingPage();
    page.answers[kMaster] = "true";
    sleepMonitor.pageScripts = &page.scripts;
    EXPECT_EQ(scriptsOf([&] { sleepMonitor.sleep(); }), (QStringList { kMaster, kPause }));
    EXPECT_EQ(log, QStringList { "sleep acknowledged after " + kPause });
    sleepMonitor.pageScripts = nullptr;

    // Not the active player, not playing, or no page: acknowledged without a pause.
    page.answers[kMaster] = "false";
    EXPECT_EQ(scriptsOf([&] { sleepMonitor.sleep(); }), QStringList { kMaster });
    page.answers[kMaster] = "true";
    service.playerScriptObject()->setPlayState(QVPlayStatePaused);
    EXPECT_EQ(scriptsOf([&] { sleepMonitor.sleep(); }), QStringList { kMaster });
    service.playerScriptObject()->setPlayState(QVPlayStatePlaying);
    service.webViewDidStartLoading();
    EXPECT_EQ(scriptsOf([&] { sleepMonitor.sleep(); }), QStringList { kMaster });
    EXPECT_EQ(log.count("sleep acknowledged"), 3);
}

TEST_F(QVWebPlaybackServiceTest, ThePlayerObjectFollowsThePage)
{
    QVFakeWebView other;
    service.onWindowScriptObjectShouldRemove(&page);
    service.onWindowScriptObjectReady(&other); // not ours: left alone
    service.onWindowScriptObjectReady(&page);
    EXPECT_EQ(page.installs, (QStringList { "PlayerScriptObject=removed", "PlayerScriptObject=set" }));
    EXPECT_TRUE(other.installs.isEmpty());
    EXPECT_TRUE(page.scripts.isEmpty()); // no reads inside the engine's load callback

    // Only web views count when the window service hands one out.
    QObject notAView;
    center.postNotificationName(QVGlobalWebViewWillUpdateNotification, &notAView);
    EXPECT_EQ(service.webView(), &page);
}
