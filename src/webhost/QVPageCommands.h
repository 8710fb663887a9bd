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

// Guards for reads of the page's player: there is one, and it has a track.
inline const QString kQVHasPlayerScript = QStringLiteral("Q.player != null");
inline const QString kQVHasPlayingTrackScript
    = QStringLiteral("Q.player != null && Q.player.playingTrack() != null");
