#pragma once

#include "QVPlayState.h"

#include <QVariant>

// What the playback service tells its listeners. Every callback has an empty
// default: a listener overrides only what it cares about. Listeners remove
// themselves from the service before they go away.
class QVWebPlaybackListener
{
public:
    virtual ~QVWebPlaybackListener() = default;

    // After a full refresh of the player mirror.
    virtual void playbackPlayingTrackChanged() { }
    virtual void playbackPlayStateChanged(QVPlayState state) { (void)state; }
    virtual void playbackRepeatChanged(int repeatState) { (void)repeatState; }
    virtual void playbackShuffleChanged(bool shuffle) { (void)shuffle; }
    // 0 to 100.
    virtual void playbackVolumeChanged(float volume) { (void)volume; }

    // As the page reported them, without a refresh.
    virtual void playbackPositionChanged(float position) { (void)position; }
    virtual void playbackMuteChanged(bool muted) { (void)muted; }
    virtual void onPlayerFlyoutToggled() { }
    // The station as the page passed it (a map, or null when stations went off).
    virtual void onRadioStationChanged(const QVariant& station) { (void)station; }

    // The page finished loading or the network came back; a new load started;
    // the service host became unreachable.
    virtual void onPlaybackLoaded() { }
    virtual void onPlaybackUnloaded() { }
    virtual void onPlaybackOffline() { }
};
