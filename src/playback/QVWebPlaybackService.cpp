#include "QVWebPlaybackService.h"

QVWebPlaybackService* QVWebPlaybackService::sharedInstance()
{
    static auto* service = new QVWebPlaybackService();
    return service;
}

void QVWebPlaybackService::showQuickNowPlayingWebView()
{
    // A toggle: showing it while visible hides it.
    _isQuickNowPlayingViewVisible = !_isQuickNowPlayingViewVisible;
}
