#pragma once

#include "QVBenchServices.h"
#include "QVConstants.h"
#include "QVDemoService.h"
#include "QVTestWait.h"
#include "QVWebPlaybackService.h"
#include "QVWebView.h"

#include <cstdio>

// Hands `view` out as the window service would, loads the demo page, signs in
// and starts album "a12". False, with a line on standard error, when a step fails.
inline bool QVBenchStartPlaying(QVBenchServices& services, QVWebView& view, QVWebPlaybackService& playback)
{
    view.resize(1000, 700);
    services.navigation->setWebView(&view);
    services.center.postNotificationName(QVGlobalWebViewWillUpdateNotification, &view);
    // Once this load is over: the page already shown may have a sign-in form
    // too, and a command sent while the next one loads is lost.
    bool loaded = false;
    const QMetaObject::Connection finished
        = QObject::connect(&view, &QWebEngineView::loadFinished, [&](bool ok) { loaded = ok; });
    view.loadURL(QUrl(services.constants->quivURL() + "/accounts/login/"));
    const bool ready = QVWaitUntil(
        [&] {
            return loaded && playback.isPlaybackLoaded()
                && view.javascriptBoolValue("$('.Login_Form').length > 0");
        },
        15000);
    QObject::disconnect(finished);
    if (!ready) {
        std::fprintf(stderr, "the page did not load\n");
        return false;
    }
    view.executeJavascript(QVDemoService::signInScript());
    if (!QVWaitUntil([&] { return playback.isAuthenticated(); }, 10000)) {
        std::fprintf(stderr, "the demo sign-in did not work\n");
        return false;
    }
    playback.playSource("a12");
    if (!QVWaitUntil([&] { return playback.playState() == QVPlayStatePlaying; }, 10000)) {
        std::fprintf(stderr, "the demo player did not start\n");
        return false;
    }
    return true;
}
