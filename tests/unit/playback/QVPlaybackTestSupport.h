#pragma once

#include "QVAudioOutputMonitor.h"
#include "QVEventQueue.h"
#include "QVFakeWebView.h"
#include "QVPlayStateSignal.h"
#include "QVSleepMonitor.h"
#include "QVSystemVolume.h"
#include "QVWebPlaybackListener.h"

#include <QStringList>

// Stand-ins for the system pieces the playback service works with.

class FakeAudioOutput : public QVAudioOutputMonitor
{
public:
    bool isHeadphoneOutput() const override { return headphones; }
    void change() { emit dataSourceChanged(); }
    bool headphones = false;
};

class FakeSleepMonitor : public QVSleepMonitor
{
public:
    explicit FakeSleepMonitor(QStringList* log)
        : log(log)
    {
    }
    // Says what the page had been sent by then, when given the page's log.
    void acknowledgeSleep() override
    {
        log->append(pageScripts && !pageScripts->isEmpty() ? "sleep acknowledged after " + pageScripts->last()
                                                           : QStringLiteral("sleep acknowledged"));
    }
    void sleep() { emit systemWillSleep(); }
    QStringList* log;
    const QStringList* pageScripts = nullptr;
};

class FakeSystemVolume : public QVSystemVolume
{
public:
    float systemVolume() override { return volume; }
    void setSystemVolume(float value) override
    {
        volume = value;
        writes.append(value);
    }
    float volume = 0.5f;
    QList<float> writes;
};

class RecordingPlayStateSignal : public QVPlayStateSignal
{
public:
    explicit RecordingPlayStateSignal(QStringList* log)
        : log(log)
    {
    }
    void post() override { log->append("signal"); }
    QStringList* log;
};

// Writes every callback as "name: event [argument]" into a shared log.
class RecordingListener : public QVWebPlaybackListener
{
public:
    RecordingListener(QString name, QStringList* log)
        : name(std::move(name))
        , log(log)
    {
    }
    void playbackPlayingTrackChanged() override { add("track"); }
    void playbackPlayStateChanged(QVPlayState state) override { add(QStringLiteral("state %1").arg(state)); }
    void playbackRepeatChanged(int repeat) override { add(QStringLiteral("repeat %1").arg(repeat)); }
    void playbackShuffleChanged(bool on) override { add(QStringLiteral("shuffle %1").arg(on)); }
    void playbackVolumeChanged(float volume) override { add(QStringLiteral("volume %1").arg(volume)); }
    void playbackPositionChanged(float position) override
    {
        add(QStringLiteral("position %1").arg(position));
    }
    void playbackMuteChanged(bool muted) override { add(QStringLiteral("mute %1").arg(muted)); }
    void onPlayerFlyoutToggled() override { add("flyout"); }
    void onRadioStationChanged(const QVariant& station) override
    {
        add(QStringLiteral("station %1").arg(station.toMap().value("key").toString()));
    }
    void onPlaybackLoaded() override { add("loaded"); }
    void onPlaybackUnloaded() override { add("unloaded"); }
    void onPlaybackOffline() override { add("offline"); }

    void add(const QString& event) { log->append(name + ": " + event); }
    QString name;
    QStringList* log;
};

// A page whose player plays a track, with every field of the refresh answered.
inline void answerPlayingPage(QVFakeWebView& page)
{
    page.answers["Q.player != null"] = "true";
    page.answers["Q.player != null && Q.player.playingTrack() != null"] = "true";
    page.answers["Q.player.playState()"] = "1";
    page.answers["Q.player.repeat()"] = "2";
    page.answers["Q.player.position()"] = "42";
    page.answers["Q.player.volume()"] = "0.555";
    page.answers["Q.player.shuffle()"] = "true";
    page.answers["Q.player.playingTrack().get('name')"] = "Song";
    page.answers["Q.player.playingTrack().get('key')"] = "t12";
    page.answers["Q.player.playingTrack().get('artist')"] = "Artist";
    page.answers["Q.player.playingTrack().get('album')"] = "Album";
    page.answers["Q.player.playingTrack().get('url')"] = "/track/t12";
    page.answers["Q.player.playingTrack().get('artistUrl')"] = "/artist/r1";
    page.answers["Q.player.playingTrack().get('albumUrl')"] = "/album/a3";
    page.answers["Q.player.playingTrack().get('baseIcon')"] = "al/3.png";
    page.answers["Q.player.playingTrack().get('duration')"] = "187";
}

// Runs the reports queued for the end of the turn.
inline void runQueuedEvents()
{
    QVEventQueue::sharedInstance()->dispatchNow();
}

#include "QVNotificationCenter.h"
#include "QVTestDefaults.h"
#include "QVWebNavigationService.h"
#include "QVWebPlaybackService.h"

#include <gtest/gtest.h>

// A playback service over fresh fakes: its own notification centre, settings,
// navigation service, volume, output and sleep watchers, and a page.
class PlaybackServiceTest : public ::testing::Test
{
protected:
    PlaybackServiceTest()
        : navigation(&center)
        , playStateSignal(&log)
        , sleepMonitor(&log)
        , service(QVWebPlaybackService::Services {
              &center, defaults.get(), &navigation, &playStateSignal, &volume, &output, &sleepMonitor })
    {
        service.setWebView(&page);
    }

    // The page finished loading with a track playing; the log starts empty.
    void loadPlayingPage()
    {
        answerPlayingPage(page);
        service.webViewFinishedLoading();
        page.scripts.clear();
        log.clear();
    }

    QStringList log;
    QVNotificationCenter center;
    QVTestDefaults defaults;
    QVWebNavigationService navigation;
    RecordingPlayStateSignal playStateSignal;
    FakeSystemVolume volume;
    FakeAudioOutput output;
    FakeSleepMonitor sleepMonitor;
    QVFakeWebView page;
    QVWebPlaybackService service;
};
