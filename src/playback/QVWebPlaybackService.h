#pragma once

// The native mirror of the web player. For now only the now-playing flyout
// state that the application delegate toggles; playback comes next.
class QVWebPlaybackService
{
public:
    static QVWebPlaybackService* sharedInstance();

    void showQuickNowPlayingWebView();
    bool isQuickNowPlayingViewVisible() const { return _isQuickNowPlayingViewVisible; }

private:
    bool _isQuickNowPlayingViewVisible = false;
};
