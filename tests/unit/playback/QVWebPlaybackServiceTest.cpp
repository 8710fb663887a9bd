#include "QVConstants.h"
#include "QVPlaybackTestSupport.h"
#include "QVRemoteButton.h"

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
} // namespace

TEST_F(QVWebPlaybackServiceTest, CommandsSendTheirScripts)
{
    loadPlayingPage();
    signIn();
    const QList<std::pair<std::function<void()>, QString>> commands {
        { [&] { service.playPause(); }, "Q.player.togglePause();" },
        { [&] { service.previousTrack(); }, "Q.player.previous();" },
        { [&] { service.nextTrack(); }, "Q.player.next();" },
        { [&] { service.seek(95); }, "Q.player.position(95)" },
        { [&] { service.seek(4000000000u); }, "Q.player.position(4000000000)" },
        { [&] { service.toggleShuffleState(); }, "Q.player.shuffle(!Q.player.shuffle());" },
        { [&] { service.setShuffleState(true); }, "Q.player.shuffle(true)" },
        { [&] { service.setShuffleState(false); }, "Q.player.shuffle(false)" },
        { [&] { service.toggleRepeatState(); }, "window.$ && $('.repeat').click();" },
        { [&] { service.setRepeatState(1); }, "Q.player.repeat(1)" },
        { [&] { service.showQuickNowPlayingWebView(); }, "window.$ && $('.queue').click();" },
        { [&] { service.setVolumeLevel(50); }, "Q.player.volume(0.500000)" },
        { [&] { service.setVolumeLevel(7); }, "Q.player.volume(0.070000)" },
        { [&] { service.setVolumeLevel(250); }, "Q.player.volume(1.000000)" },
        { [&] { service.playSource("a3"); }, "Q.player.play({'source':\"a3\"});" },
        // Text from outside can never leave its string.
        { [&] { service.playSource("x'});alert(1);//\"\\"); },
            "Q.player.play({'source':\"x'});alert(1);//\\\"\\\\\"});" },
        { [&] {
             service.switchRadioStation({ { "key", "sr1" }, { "name", "Jazz\"</script>" } });
         },
            "setStation({\"key\":\"sr1\",\"name\":\"Jazz\\\"</script>\"})" },
        { [&] { service.addCurrentSongToCollection(); }, "Q.currentUser.collection.add([\"t12\"]);" },
        { [&] { service.removeCurrentSongFromCollection(); }, "Q.currentUser.collection.remove([\"t12\"]);" },
        { [&] { service.syncCurrentSongToMobile(); }, "Q.currentUser.collection.offlineAdd([\"t12\"]);" },
        { [&] { service.removeCurrentSongFromMobile(); },
            "Q.currentUser.collection.offlineRemove([\"t12\"]);" },
    };
    for (const auto& [command, script] : commands)
        EXPECT_EQ(scriptsOf(command), QStringList { script });

    // A key that could break out of its quotes stays a string.
    service.playerScriptObject()->playingTrack()->setTrackKey("t1\"]);evil([\"");
    EXPECT_EQ(scriptsOf([&] { service.addCurrentSongToCollection(); }),
        QStringList { "Q.currentUser.collection.add([\"t1\\\"]);evil([\\\"\"]);" });
    EXPECT_TRUE(scriptsOf([&] { service.playSource(QString(300, 'a')); }).isEmpty());

    // Only a station that plays can be turned off.
    const QString isStation
        = "Q.player != null && Q.player.playingTrack() != null && Q.isStation(Q.player.playingSource())";
    page.answers[isStation] = "false";
    EXPECT_EQ(scriptsOf([&] { service.turnRadioStationOff(); }), QStringList { isStation });
    page.answers[isStation] = "true";
    EXPECT_EQ(scriptsOf([&] { service.turnRadioStationOff(); }).last(), "setStation(null)");

    // Nothing for these three on this page.
    EXPECT_TRUE(scriptsOf([&] {
        service.superSkip();
        service.toggleMute();
        EXPECT_FALSE(service.isQuickNowPlayingViewVisible());
    }).isEmpty());
}

TEST_F(QVWebPlaybackServiceTest, VolumeStepsFromTheCachedLevel)
{
    loadPlayingPage();
    EXPECT_EQ(service.volumeLevel(), 55u); // 0.555: whole levels, as the page counts them
    // Every level set reads back as itself, though a float holds 0.29 as 0.28999...
    for (unsigned int level = 0; level <= 100; ++level) {
        service.playerScriptObject()->setVolume(float(level) / 100.0f);
        EXPECT_EQ(service.volumeLevel(), level);
    }
    const auto stepFrom = [&](float volume, bool up) {
        service.playerScriptObject()->setVolume(volume);
        return scriptsOf([&] { up ? service.incrementVolumeLevel() : service.decrementVolumeLevel(); });
    };
    EXPECT_EQ(stepFrom(0.97f, true), QStringList { "Q.player.volume(1.000000)" });
    EXPECT_EQ(stepFrom(1.0f, true), QStringList { "Q.player.volume(1.000000)" }); // still told
    EXPECT_EQ(stepFrom(0.03f, false), QStringList { "Q.player.volume(0.000000)" });
    EXPECT_EQ(stepFrom(0.5f, false), QStringList { "Q.player.volume(0.450000)" });
    service.playerScriptObject()->setVolume(-3.0f);
    EXPECT_EQ(service.volumeLevel(), 0u);
    service.playerScriptObject()->setVolume(7.0f);
    EXPECT_EQ(service.volumeLevel(), 100u);
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
        center.postNotificationName(QVPlayButtonPressedNotification);
        center.postNotificationName(QVForwardButtonPressedNotification);
        center.postNotificationName(QVRewindButtonPressedNotification);
        service.onButtonPressed(QVRemoteButtonPlay, false);
        EXPECT_EQ(service.playingTrackElapsedTime(), QString());
        EXPECT_EQ(service.playingTrackElapsedSeconds(), 0u);
        EXPECT_EQ(service.playingTrackRemainingSeconds(), 0u);
        EXPECT_EQ(service.playingTrackRemainingTime(), QString());
        EXPECT_EQ(service.playingTrackDurationTime(), QString());
        EXPECT_FALSE(service.isTrackInUsersCollection(5));
        EXPECT_FALSE(service.isAlbumInUsersCollection(5));
    };
    EXPECT_FALSE(service.isPlaybackLoaded());
    EXPECT_TRUE(scriptsOf(everyDroppedCommand).isEmpty());

    loadPlayingPage();
    service.webViewDidStartLoading(); // a reload
    EXPECT_TRUE(scriptsOf(everyDroppedCommand).isEmpty());
    service.onDesktopScriptObjectInitialized();
    service.onNetworkConnectionNotAvailable(); // offline
    EXPECT_TRUE(scriptsOf(everyDroppedCommand).isEmpty());
    service.onNetworkConnectionAvailable();
    EXPECT_EQ(scriptsOf([&] { service.playPause(); }), QStringList { "Q.player.togglePause();" });

    // Station and collection commands go out while the page reloads.
    service.webViewDidStartLoading();
    EXPECT_EQ(scriptsOf([&] {
        service.switchRadioStation({ { "key", "sr2" } });
    }),
        QStringList { "setStation({\"key\":\"sr2\"})" });
    EXPECT_EQ(scriptsOf([&] { service.addCurrentSongToCollection(); }),
        QStringList { "Q.currentUser.collection.add([\"t12\"]);" });

    // Signed out: no flyout. No track key: no collection command.
    service.onNetworkConnectionAvailable();
    center.postNotificationName(QVUserDidSignOutNotification);
    EXPECT_FALSE(service.isAuthenticated());
    EXPECT_TRUE(scriptsOf([&] { service.showQuickNowPlayingWebView(); }).isEmpty());
    service.playerScriptObject()->playingTrack()->clear();
    service.playerScriptObject()->setPlayState(QVPlayStatePaused);
    EXPECT_TRUE(scriptsOf([&] { service.removeCurrentSongFromCollection(); }).isEmpty());
}

TEST_F(QVWebPlaybackServiceTest, ButtonsAndTheirNotifications)
{
    loadPlayingPage();
    EXPECT_EQ(scriptsOf([&] { center.postNotificationName(QVPlayButtonPressedNotification); }),
        QStringList { "Q.player.togglePause();" });
    EXPECT_EQ(scriptsOf([&] { center.postNotificationName(QVForwardButtonPressedNotification); }),
        QStringList { "Q.player.next();" });
    EXPECT_EQ(scriptsOf([&] { center.postNotificationName(QVRewindButtonPressedNotification); }),
        QStringList { "Q.player.previous();" });

    EXPECT_EQ(scriptsOf([&] { service.onButtonPressed(QVRemoteButtonPlay, false); }),
        QStringList { "Q.player.togglePause();" });
    EXPECT_EQ(scriptsOf([&] { service.onButtonPressed(QVRemoteButtonNext, true); }),
        QStringList { "Q.player.next();" });
    EXPECT_EQ(scriptsOf([&] { service.onButtonPressed(QVRemoteButtonPrevious, false); }),
        QStringList { "Q.player.previous();" });
    for (int button : { int(QVRemoteButtonMenu), 6, -1 })
        for (bool hold : { false, true })
            EXPECT_TRUE(scriptsOf([&] { service.onButtonPressed(button, hold); }).isEmpty());

    // The volume buttons step the system volume by a sixteenth; the page is not told.
    volume.volume = 0.5f;
    EXPECT_TRUE(scriptsOf([&] { service.onButtonPressed(QVRemoteButtonVolumeUp, false); }).isEmpty());
    EXPECT_FLOAT_EQ(volume.volume, 0.5625f);
    volume.volume = 0.0625f;
    service.onButtonPressed(QVRemoteButtonVolumeDown, true);
    EXPECT_FLOAT_EQ(volume.volume, 0.0f);
    EXPECT_EQ(volume.writes.size(), 2);
}

TEST_F(QVWebPlaybackServiceTest, QueriesReadThePage)
{
    loadPlayingPage();
    page.answers["Q.Library.contains('t', [17])"] = "true";
    page.answers["Q.Library.contains('a', [4])"] = "false";
    page.answers["window.Q && Q.serverInfo && Q.serverInfo.get('is_address')"] = "http://img.example/art";
    page.answers["window.Q && Q.player && Q.player.isMaster()"] = "true";
    page.answers["window.Q && Q.player && Q.player.isNotMaster()"] = "false";
    page.answers["window.Q && Q.player && Q.player.noKnownMaster()"] = "true";
    page.answers["window.$ && $('.time').text()"] = "1:02:03";
    EXPECT_TRUE(service.isTrackInUsersCollection(17));
    EXPECT_FALSE(service.isAlbumInUsersCollection(4));
    EXPECT_EQ(service.serverInfoIsAddress(), "http://img.example/art");
    EXPECT_TRUE(service.isMaster());
    EXPECT_FALSE(service.isNotMaster());
    EXPECT_TRUE(service.noKnownMaster());
    EXPECT_EQ(service.playingTrackElapsedTime(), "1:02:03");
    EXPECT_EQ(page.scripts,
        (QStringList { "Q.Library.contains('t', [17])", "Q.Library.contains('a', [4])",
            "window.Q && Q.serverInfo && Q.serverInfo.get('is_address')",
            "window.Q && Q.player && Q.player.isMaster()", "window.Q && Q.player && Q.player.isNotMaster()",
            "window.Q && Q.player && Q.player.noKnownMaster()", "window.$ && $('.time').text()" }));

    // Times: elapsed from the page's text, duration from the mirror.
    page.answers["window.$ && $('.time').text()"] = "1:07";
    EXPECT_EQ(service.playingTrackElapsedSeconds(), 67u);
    EXPECT_EQ(service.playingTrackDurationSeconds(), 187u);
    EXPECT_EQ(service.playingTrackRemainingSeconds(), 120u);
    EXPECT_EQ(service.playingTrackDurationTime(), "3:07");
    EXPECT_EQ(service.playingTrackRemainingTime(), "-2:00");
    page.answers["window.$ && $('.time').text()"] = "3:07";
    EXPECT_EQ(service.playingTrackRemainingTime(), ""); // not "-0:00"
    page.answers["window.$ && $('.time').text()"] = "3:30"; // past the end
    EXPECT_EQ(service.playingTrackRemainingSeconds(), 0u);

    // Name, key, artist and album refresh while playing when still empty; the rest never.
    QVTrack* track = service.playerScriptObject()->playingTrack();
    track->setArtist(QString());
    page.roundTrips = 0;
    EXPECT_EQ(service.playingTrackArtist(), "Artist");
    EXPECT_EQ(page.roundTrips, 1);
    EXPECT_TRUE(scriptsOf([&] { EXPECT_EQ(service.playingTrackName(), "Song"); }).isEmpty());
    track->setBaseIcon(QString());
    EXPECT_TRUE(scriptsOf([&] { EXPECT_EQ(service.playingTrackBaseIcon(), QString()); }).isEmpty());
    track->setAlbum(QString());
    service.playerScriptObject()->setPlayState(QVPlayStatePaused);
    EXPECT_TRUE(scriptsOf([&] { EXPECT_EQ(service.playingTrackAlbum(), QString()); }).isEmpty());
    EXPECT_EQ(service.playingTrackURL(), "/track/t12");
    EXPECT_EQ(service.playingTrackArtistURL(), "/artist/r1");
    EXPECT_EQ(service.playingTrackAlbumURL(), "/album/a3");
}

TEST_F(QVWebPlaybackServiceTest, ElapsedTimeOfOddTexts)
{
    const QList<std::pair<QString, unsigned int>> cases {
        { "3:07", 187 }, { "1:02:03", 3723 }, { "45", 45 }, { "", 0 }, { "abc", 0 }, { ":", 0 },
        { "::::", 0 }, { "1:", 60 }, { ":30", 30 }, { " 2:05", 125 }, { "2:5x", 125 },
        { "-1:30", 0 }, // a remaining time: nothing has elapsed
        { "0:-30", 0 }, { "99999999999:00", std::numeric_limits<unsigned int>::max() },
        { "1:0:0:0:0:0:0:0", std::numeric_limits<unsigned int>::max() },
        { "1193046:28:15", std::numeric_limits<unsigned int>::max() }, { "1193046:28:14", 4294967294u },
        { QString(65, '1'), 0 }, // too long to be a time
    };
    for (const auto& [text, seconds] : cases)
        EXPECT_EQ(QVWebPlaybackService::secondsFromElapsedTime(text), seconds) << text.toStdString();
}

TEST_F(QVWebPlaybackServiceTest, StationListFromThePage)
{
    loadPlayingPage();
    const QString read = "JSON.stringify(Q.stationList)";
    page.answers[read]
        = R"([{"key":"sr1","name":"Jazz Quiv Station"},{"key":"sr2","name":"Rock","tags":[1,2]}])";
    const QVariantList stations = service.availableRadioStations();
    ASSERT_EQ(stations.size(), 2);
    EXPECT_EQ(stations[0].toMap().value("name"), "Jazz Quiv Station");
    EXPECT_EQ(stations[1].toMap().value("tags").toList().size(), 2);
    EXPECT_EQ(page.scripts, QStringList { read });

    // Handed back whole to the page.
    EXPECT_EQ(scriptsOf([&] { service.switchRadioStation(stations[1].toMap()); }),
        QStringList { R"(setStation({"key":"sr2","name":"Rock","tags":[1,2]}))" });

    for (const char* text : { "", "[{\"key\":", "{\"key\":\"sr1\"}", "42", "undefined" }) {
        page.answers[read] = text;
        EXPECT_TRUE(service.availableRadioStations().isEmpty()) << text;
    }
    page.answers[read] = R"([{"key":"sr1"}, 5, "x", null])"; // only the objects
    EXPECT_EQ(service.availableRadioStations().size(), 1);
    page.answers[read] = "[" + QString(QVWebPlaybackService::kMaxStationListLength, ' ') + "]";
    EXPECT_TRUE(service.availableRadioStations().isEmpty());
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
        { "Q.player.repeat()", "1", [&] { service.playbackRepeatChanged(1); },
            { "first: repeat 1", "second: repeat 1", "first: repeat 1" } },
        { "Q.player.shuffle()", "false", [&] { service.playbackShuffleChanged(false); },
            { "first: shuffle 0", "second: shuffle 0", "first: shuffle 0" } },
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

    // Reports passed on as they came: no page reads, no signal.
    const QList<std::pair<std::function<void()>, QStringList>> reports {
        { [&] { service.playbackPositionChanged(0.25f); },
            { "first: position 0.25", "second: position 0.25", "first: position 0.25" } },
        { [&] { service.playbackMuteChanged(true); },
            { "first: mute 1", "second: mute 1", "first: mute 1" } },
        { [&] { service.onPlayerFlyoutToggled(); }, { "first: flyout", "second: flyout", "first: flyout" } },
        { [&] {
             service.onRadioStationChanged(QVariantMap { { "key", "sr3" } });
         },
            { "first: station sr3", "second: station sr3", "first: station sr3" } },
        { [&] { service.webViewDidStartLoading(); },
            { "first: unloaded", "second: unloaded", "first: unloaded" } },
        { [&] { service.onNetworkConnectionNotAvailable(); },
            { "first: offline", "second: offline", "first: offline" } },
        { [&] { service.onNetworkConnectionAvailable(); },
            { "first: loaded", "second: loaded", "first: loaded" } },
    };
    for (const auto& [report, heard] : reports) {
        log.clear();
        EXPECT_TRUE(scriptsOf(report).isEmpty());
        EXPECT_EQ(log, heard);
    }

    // Initialisation refreshes quietly.
    log.clear();
    page.answers["Q.player.playState()"] = "0";
    EXPECT_EQ(scriptsOf([&] { service.onDesktopScriptObjectInitialized(); }).size(), 19); // with the position values
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

const QString kPause = "if (Q.player.pause) Q.player.pause(); else if (Q.player.playState() == 1 || "
                       "Q.player.playState() == 3) Q.player.togglePause();";

TEST_F(QVWebPlaybackServiceTest, UnplugPausesOnlyWhenEveryConditionHolds)
{
    loadPlayingPage();
    const QString master = "window.Q && Q.player && Q.player.isMaster()";
    page.answers[master] = "true";
    defaults->setValue(true, QVPauseOnDeviceUnplugKey);
    EXPECT_EQ(scriptsOf([&] { output.change(); }), (QStringList { master, kPause }));

    // Each condition alone stops it, before the page is asked anything further.
    defaults->setValue(false, QVPauseOnDeviceUnplugKey);
    EXPECT_TRUE(scriptsOf([&] { output.change(); }).isEmpty());
    defaults->setValue(true, QVPauseOnDeviceUnplugKey);

    output.headphones = true; // the sound moved to headphones
    EXPECT_TRUE(scriptsOf([&] { output.change(); }).isEmpty());
    output.headphones = false;

    for (QVPlayState state : { QVPlayStatePaused, QVPlayStateStopped, QVPlayStateUnknown }) {
        service.playerScriptObject()->setPlayState(state);
        EXPECT_TRUE(scriptsOf([&] { output.change(); }).isEmpty());
    }
    // Buffering is playing as far as the listener is concerned.
    service.playerScriptObject()->setPlayState(QVPlayStateBuffering);
    EXPECT_EQ(scriptsOf([&] { output.change(); }), (QStringList { master, kPause }));
    service.playerScriptObject()->setPlayState(QVPlayStatePlaying);

    page.answers[master] = "false"; // another client is the account's player
    EXPECT_EQ(scriptsOf([&] { output.change(); }), QStringList { master });

    // An unset setting counts as off here; the application registers it on.
    page.answers[master] = "true";
    defaults->removeObjectForKey(QVPauseOnDeviceUnplugKey);
    EXPECT_TRUE(scriptsOf([&] { output.change(); }).isEmpty());
    defaults->registerDefaults({ { QVPauseOnDeviceUnplugKey, true } });
    EXPECT_EQ(scriptsOf([&] { output.change(); }).last(), kPause);
}

TEST_F(QVWebPlaybackServiceTest, SleepPausesTheActivePlayerBeforeItIsAcknowledged)
{
    loadPlayingPage();
    const QString master = "window.Q && Q.player && Q.player.isMaster()";
    page.answers[master] = "true";
    sleepMonitor.pageScripts = &page.scripts;
    EXPECT_EQ(scriptsOf([&] { sleepMonitor.sleep(); }), (QStringList { master, kPause }));
    EXPECT_EQ(log, QStringList { "sleep acknowledged after " + kPause });
    sleepMonitor.pageScripts = nullptr;

    // Not the active player, or not playing: acknowledged without a pause.
    page.answers[master] = "false";
    EXPECT_EQ(scriptsOf([&] { sleepMonitor.sleep(); }), QStringList { master });
    page.answers[master] = "true";
    service.playerScriptObject()->setPlayState(QVPlayStatePaused);
    EXPECT_EQ(scriptsOf([&] { sleepMonitor.sleep(); }), QStringList { master });
    EXPECT_EQ(log.count("sleep acknowledged"), 2);

    // Without a page the pause is dropped, and sleep still goes ahead.
    service.playerScriptObject()->setPlayState(QVPlayStatePlaying);
    service.webViewDidStartLoading();
    EXPECT_EQ(scriptsOf([&] { sleepMonitor.sleep(); }), QStringList { master });
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
    EXPECT_EQ(page.objects.value("PlayerScriptObject"), service.playerScriptObject());
    EXPECT_TRUE(page.scripts.isEmpty()); // no reads inside the engine's load callback

    // The window service hands views out by notification; only web views count.
    QObject notAView;
    center.postNotificationName(QVGlobalWebViewWillUpdateNotification, &notAView);
    EXPECT_EQ(service.webView(), &page);
    EXPECT_EQ(service.playerScriptObject()->webView(), &page);
}
