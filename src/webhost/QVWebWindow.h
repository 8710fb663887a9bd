#pragma once

class QVAbstractWebView;
class QWidget;

// A window that holds the program's web view, as the window service drives it.
class QVWebWindow
{
public:
    virtual ~QVWebWindow() = default;

    virtual QWidget* windowWidget() = 0;
    virtual QVAbstractWebView* webView() const = 0;
    virtual bool isWebViewLoaded() const = 0;
    virtual void setIsWebViewLoaded(bool loaded) = 0;
    // Loads "about:blank" so the page unloads before the program ends.
    virtual void unloadWebView() = 0;

    virtual void showNoConnectionOverlay() = 0;
    virtual void hideNoConnectionOverlay() = 0;
    virtual bool isNoConnectionOverlayVisible() const = 0;

    virtual void adjustForFullScreenMode() { }
    virtual void adjustForRegularScreenMode() { }
    virtual void handleExitFullScreenAnimation(double duration) { (void)duration; }
    virtual void windowWasResized() { }
};
