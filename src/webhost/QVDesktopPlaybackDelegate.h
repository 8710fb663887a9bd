#pragma once

#include "QVPlayState.h"

// Receives the player reports the page sends through the desktop bridge. The
// playback service implements it; the application wires the two together.
class QVDesktopPlaybackDelegate
{
public:
    virtual ~QVDesktopPlaybackDelegate() = default;
    // A report only: the state comes as Unknown, the refresh reads it.
    virtual void playbackPlayStateChanged(QVPlayState state) = 0;
    virtual void playbackPlayingTrackChanged() = 0;
    virtual void playbackShuffleChanged(bool shuffle) = 0;
    virtual void playbackRepeatChanged(int repeatState) = 0;
    virtual void playbackPositionChanged(float fraction) = 0;
    virtual void playbackVolumeChanged(float volume) = 0;
};
