#pragma once

class QVAbstractWebView;

// What the web navigation service tells its listeners. Every event has an
// empty default: a listener overrides only what it cares about.
// The three load-start events come from inside the engine's own callback, so
// that script objects are in place before the new document exists: they must
// not read the page. Everything else arrives where reads are fine.
class QVWebNavigationListener
{
public:
    virtual ~QVWebNavigationListener() = default;

    virtual void onNetworkConnectionAvailable() { }
    virtual void onNetworkConnectionNotAvailable() { }
    virtual void onDesktopScriptObjectInitialized() { }
    virtual void onUserLoggedIn() { }
    virtual void onUserLoggedOut() { }
    virtual void onDownloadsAvailable() { }
    virtual void onMatchCollectionActivated() { }
    virtual void onUserSubscriptionTypeChanged() { }
    virtual void onUserFreeLimitedStatusUpdate() { }
    virtual void onUserBillingFailure() { }
    virtual void onSecureDialogLoaded() { }
    virtual void webViewFinishedLoading() { }
    virtual void onWindowScriptObjectShouldRemove(QVAbstractWebView* webView) { (void)webView; }
    virtual void webViewDidStartLoading() { }
    virtual void onWindowScriptObjectReady(QVAbstractWebView* webView) { (void)webView; }
};
