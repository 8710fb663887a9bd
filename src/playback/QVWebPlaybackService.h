#pragma once

#include "QVDesktopPlaybackDelegate.h"

// The native mirror of the web player. For now it keeps the page's last
// reports and the now-playing flyout state; commands and listeners come next.
class QVWebPlaybackService : public QVDesktopPlaybackDelegate
{
public:
    static QVWebPlaybackService* sharedInstance();

    void showQuickNowPlayingWebView();
    bool isQuickNowPlayingViewVisible() const { return _isQuickNowPlayingViewVisible; }

    void playbackPlayStateChanged(QVPlayState state) override { _playState = state; }
    void playbackPlayingTrackChanged() override {}
    void playbackShuffleChanged(bool shuffle) override { _isShuffle = shuffle; }
    void playbackRepeatChanged(int repeatState) override { _repeatState = repeatState; }
    void playbackPositionChanged(float fraction) override { _position = fraction; }
    void playbackVolumeChanged(float volume) override { _volume = volume; }

    QVPlayState playState() const { return _playState; }
    bool isShuffle() const { return _isShuffle; }
    int repeatState() const { return _repeatState; }
    float position() const { return _position; }
    float volume() const { return _volume; }

private:
    bool _isQuickNowPlayingViewVisible = false;
    QVPlayState _playState = QVPlayStateUnknown;
    bool _isShuffle = false;
    int _repeatState = 0;
    float _position = 0.0f;
    float _volume = 0.0f;
};
