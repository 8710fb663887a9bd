#pragma once

#include <QString>

class QVAbstractWebView;

// Commands every part of the program sends the page.

// Q.router.navigate(path, true). The path goes in as a string literal, so a
// quote in it cannot break out of the call.
void QVRouterNavigate(QVAbstractWebView* webView, const QString& path);
// The body's "inactive" class, while the window is not key.
void QVSetPageInactive(QVAbstractWebView* webView, bool inactive);
// The body's "fullscreen" class; modern systems style full screen natively.
void QVSetPageFullScreen(QVAbstractWebView* webView, bool fullScreen);
void QVSetPageFullScreen(QVAbstractWebView* webView, bool fullScreen, bool isModernSystem);
// A numeric field of the playing track, 0.0 without player or track.
float QVPlayingTrackFloatValue(QVAbstractWebView* webView, const QString& key);
