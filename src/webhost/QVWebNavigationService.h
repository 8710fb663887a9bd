#pragma once

#include "QVClientManagerListener.h"
#include "QVClientManagerScriptObject.h"
#include "QVDesktopClientScriptObject.h"
#include "QVNetworkListener.h"
#include "QVNetworkListenerDelegate.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QList>
#include <QMetaObject>
#include <QObject>
#include <QUrl>

#include <functional>

class QVAbstractWebView;
class QVNotificationCenter;
class QVUIConstantsService;
class QVWebNavigationListener;

// Owns the relation between the program and the hosted web application:
// installs the bridge objects into every fresh page, relays page events to
// its listeners in the order they were added, tells the page about the
// network, reads the signed-in user and sends the page to account screens.
class QVWebNavigationService : public QVClientManagerListener, public QVNetworkListenerDelegate
{
public:
    explicit QVWebNavigationService(
        QVNotificationCenter* center = nullptr, QVUIConstantsService* constants = nullptr);
    ~QVWebNavigationService() override;

    static QVWebNavigationService* sharedInstance();

    void setWebView(QVAbstractWebView* webView);
    QVAbstractWebView* webView() const { return _webView; }

    // Adding twice lists a listener twice; removing takes every entry out.
    void addWebNavigationListener(QVWebNavigationListener* listener);
    void removeWebNavigationListener(QVWebNavigationListener* listener);

    // Loads the service unless a page of it loaded fine last time: an empty
    // view, a failed load (the engine's error page) or another site count as
    // not loaded.
    void ensureContentLoaded();

    // The renderer died: reload the last service page, at most once in this
    // long; a second death within it shows the offline view until then.
    static constexpr int kRendererReloadInterval = 10000;
    void attemptNetworkConnection();
    bool isNetworkConnectionAvailable() const;

    // The page's load events; a real web view reports them itself.
    void webViewDidStartProvisionalLoad();
    void webViewDidClearWindowObject();
    void webViewDidFinishLoad();

    // Identity readers.
    QString serverInfoBaseUrl();
    int userID();
    bool userIsSubscriber();
    int userSubscriptionType();
    QString userVanityName();
    QString userRealName();
    QDateTime userSubscriptionTrialEndDate() const { return {}; }
    bool isUserFreeLimitedAccount() const { return false; }
    int freeLimitedPercentRemaining() const { return 0; }
    bool hasBillingFailure() const { return false; }

    // Page navigation.
    void gotoSignIn();
    void gotoSignOut();
    void goToSubscriptionSettings();

    QVDesktopClientScriptObject* desktopScriptObject() { return &_desktopScriptObject; }
    QVClientManagerScriptObject* clientManagerScriptObject() { return &_clientManagerScriptObject; }
    QVNetworkListener* networkListener() { return &_networkListener; }

    // QVNetworkListenerDelegate
    void onHostnameReachable() override;
    void onHostnameNotReachable() override;

    // QVClientManagerListener
    void onUserIDChanged(int userID) override;
    void showDownloadWindow() override;
    void showMatchCollectionWindow() override;
    void onUserSubscriptionChanged() override;
    void onUserFreeLimitedStatusUpdate() override;
    void onBillingFailure() override;
    void onSecureDialogLoaded() override;

private:
    void _notifyListeners(const std::function<void(QVWebNavigationListener*)>& event);
    void _onJavascriptContentInitialized();
    void _onQuivUrlChanged();
    void _disconnectWebView();
    void _pageLoadFinished(bool ok);
    void _onRenderProcessDied();
    void _reloadAfterRendererDeath();
    QUrl _lastServiceURL() const;

    QVAbstractWebView* _webView = nullptr;
    QList<QVWebNavigationListener*> _navigationListeners;
    QVClientManagerScriptObject _clientManagerScriptObject;
    QVDesktopClientScriptObject _desktopScriptObject;
    QVNetworkListener _networkListener;
    QVNotificationCenter* _center;
    QVUIConstantsService* _constants;
    QList<QMetaObject::Connection> _connections;
    bool _lastLoadFailed = false;
    QUrl _lastGoodServiceURL;
    QElapsedTimer _sinceRendererReload;
    bool _offlineAfterRendererDeath = false;
    bool _rendererReloadScheduled = false;
    // Ties timers and queued work to this service's life.
    QObject _context;
};
