#include "QVWebNavigationService.h"

#include "QVAbstractWebView.h"
#include "QVConstants.h"
#include "QVEventQueue.h"
#include "QVLog.h"
#include "QVNotificationCenter.h"
#include "QVPageCommands.h"
#include "QVUIConstantsService.h"
#include "QVWebNavigationListener.h"
#include "QVWebView.h"

#include <QTimer>

namespace {
const QString kClientManagerName = QStringLiteral("ClientManagerScriptObject");
const QString kDesktopName = QStringLiteral("DesktopScriptObject");
} // namespace

QVWebNavigationService::QVWebNavigationService(QVNotificationCenter* center, QVUIConstantsService* constants)
    : _desktopScriptObject(center)
    , _center(center ? center : QVNotificationCenter::defaultCenter())
    , _constants(constants ? constants : QVUIConstantsService::sharedInstance())
{
    _clientManagerScriptObject.setListener(this);
    _networkListener.setDelegate(this);
    _networkListener.setHostName(_constants->quivURL());
    _center->addObserver(this, QString::fromLatin1(QVJavascriptContentInitializedNotification),
        [this](const QVNotification&) { _onJavascriptContentInitialized(); });
    _center->addObserver(this, QString::fromLatin1(QVQuivUrlChangedNotification),
        [this](const QVNotification&) { _onQuivUrlChanged(); });
}

QVWebNavigationService::~QVWebNavigationService()
{
    _center->removeObserver(this);
    _disconnectWebView();
}

QVWebNavigationService* QVWebNavigationService::sharedInstance()
{
    static auto* service = new QVWebNavigationService();
    return service;
}

void QVWebNavigationService::setWebView(QVAbstractWebView* webView)
{
    if (webView == _webView)
        return;
    _disconnectWebView();
    _webView = webView;
    _networkListener.startListening();
    _clientManagerScriptObject.setWebView(webView);
    _desktopScriptObject.setWebView(webView);
    // The frame-load callbacks: the engine reports the main frame's loads.
    if (auto* view = dynamic_cast<QVWebView*>(webView)) {
        view->setServiceURL(QUrl(_constants->quivURL()));
        _connections.append(QObject::connect(view, &QWebEngineView::loadStarted, view, [this] {
            webViewDidStartProvisionalLoad();
            webViewDidClearWindowObject();
        }));
        _connections.append(QObject::connect(
            view, &QVWebView::pageLoadFinished, view, [this](bool ok) { _pageLoadFinished(ok); }));
        _connections.append(
            QObject::connect(view, &QVWebView::renderProcessDied, view, [this] { _onRenderProcessDied(); }));
        _connections.append(QObject::connect(view, &QObject::destroyed, [this] {
            _webView = nullptr;
            _clientManagerScriptObject.setWebView(nullptr);
            _desktopScriptObject.setWebView(nullptr);
        }));
    }
}

void QVWebNavigationService::_disconnectWebView()
{
    for (const QMetaObject::Connection& c : std::as_const(_connections))
        QObject::disconnect(c);
    _connections.clear();
}

void QVWebNavigationService::addWebNavigationListener(QVWebNavigationListener* listener)
{
    _navigationListeners.append(listener);
}

void QVWebNavigationService::removeWebNavigationListener(QVWebNavigationListener* listener)
{
    _navigationListeners.removeAll(listener);
}

void QVWebNavigationService::ensureContentLoaded()
{
    if (!_webView)
        return;
    const QUrl url = _webView->mainFrameURL();
    if (url.isEmpty() || _lastLoadFailed || url.host() != QUrl(_constants->quivURL()).host()
        || url.port() != QUrl(_constants->quivURL()).port())
        _webView->loadURL(_lastServiceURL());
}

QUrl QVWebNavigationService::_lastServiceURL() const
{
    const QUrl service(_constants->quivURL());
    if (_lastGoodServiceURL.host() == service.host() && _lastGoodServiceURL.port() == service.port())
        return _lastGoodServiceURL;
    return service;
}

void QVWebNavigationService::_pageLoadFinished(bool ok)
{
    _lastLoadFailed = !ok;
    if (ok && _webView) {
        const QUrl url = _webView->mainFrameURL();
        const QUrl service(_constants->quivURL());
        if (url.host() == service.host() && url.port() == service.port())
            _lastGoodServiceURL = url;
    }
    webViewDidFinishLoad();
    // Back after the renderer died twice: the offline view can go.
    if (ok && _offlineAfterRendererDeath) {
        _offlineAfterRendererDeath = false;
        _notifyListeners([](QVWebNavigationListener* l) { l->onNetworkConnectionAvailable(); });
    }
}

void QVWebNavigationService::_onRenderProcessDied()
{
    if (!_webView || _rendererReloadScheduled)
        return;
    if (!_sinceRendererReload.isValid() || _sinceRendererReload.elapsed() >= kRendererReloadInterval) {
        _reloadAfterRendererDeath();
        return;
    }
    QVLog("[ERROR] The page's renderer died again within %d s: offline until it may reload",
        kRendererReloadInterval / 1000);
    _offlineAfterRendererDeath = true;
    _rendererReloadScheduled = true;
    _notifyListeners([](QVWebNavigationListener* l) { l->onNetworkConnectionNotAvailable(); });
    QTimer::singleShot(int(kRendererReloadInterval - _sinceRendererReload.elapsed()), &_context, [this] {
        QVEventQueue::sharedInstance()->post(&_context, [this] {
            _rendererReloadScheduled = false;
            _reloadAfterRendererDeath();
        });
    });
}

void QVWebNavigationService::_reloadAfterRendererDeath()
{
    if (!_webView)
        return;
    _sinceRendererReload.start();
    const QUrl url = _lastServiceURL();
    QVLog("Reloading %s after the renderer died", qPrintable(url.toString(QUrl::RemoveQuery)));
    _webView->loadURL(url);
}

void QVWebNavigationService::attemptNetworkConnection()
{
    _networkListener.checkIsHostReachable();
}

bool QVWebNavigationService::isNetworkConnectionAvailable() const
{
    return _networkListener.isHostReachable();
}

void QVWebNavigationService::_notifyListeners(const std::function<void(QVWebNavigationListener*)>& event)
{
    // Over a copy, in order: a listener may add or remove listeners meanwhile.
    const QList<QVWebNavigationListener*> listeners = _navigationListeners;
    for (QVWebNavigationListener* listener : listeners)
        if (_navigationListeners.contains(listener))
            event(listener);
}

void QVWebNavigationService::webViewDidStartProvisionalLoad()
{
    QVAbstractWebView* view = _webView;
    _notifyListeners([view](QVWebNavigationListener* l) { l->onWindowScriptObjectShouldRemove(view); });
    _notifyListeners([](QVWebNavigationListener* l) { l->webViewDidStartLoading(); });
    _desktopScriptObject.onContentWillReload();
}

void QVWebNavigationService::webViewDidClearWindowObject()
{
    if (!_webView)
        return;
    _webView->setScriptObject(kClientManagerName, &_clientManagerScriptObject);
    _webView->setScriptObject(kDesktopName, &_desktopScriptObject);
    QVAbstractWebView* view = _webView;
    _notifyListeners([view](QVWebNavigationListener* l) { l->onWindowScriptObjectReady(view); });
}

void QVWebNavigationService::webViewDidFinishLoad()
{
    _clientManagerScriptObject.forceRefreshProperties();
    _notifyListeners([](QVWebNavigationListener* l) { l->webViewFinishedLoading(); });
    // Rubber-banding does not exist here: nothing to switch off.
    _desktopScriptObject.onContentDidReload();
}

void QVWebNavigationService::_onJavascriptContentInitialized()
{
    _notifyListeners([](QVWebNavigationListener* l) { l->onDesktopScriptObjectInitialized(); });
}

void QVWebNavigationService::_onQuivUrlChanged()
{
    // The probe asks the host the page now comes from.
    _networkListener.setHostName(_constants->quivURL());
    if (auto* view = dynamic_cast<QVWebView*>(_webView))
        view->setServiceURL(QUrl(_constants->quivURL()));
    if (_webView)
        _webView->loadURL(QUrl(_constants->quivURL()));
}

void QVWebNavigationService::onHostnameReachable()
{
    _notifyListeners([](QVWebNavigationListener* l) { l->onNetworkConnectionAvailable(); });
    if (_webView)
        _webView->javascriptStringValue(QStringLiteral("Q.offlineMonitor.setIsOnline(true);"));
}

void QVWebNavigationService::onHostnameNotReachable()
{
    _notifyListeners([](QVWebNavigationListener* l) { l->onNetworkConnectionNotAvailable(); });
    if (_webView)
        _webView->javascriptStringValue(QStringLiteral("Q.offlineMonitor.setIsOnline(false);"));
}

void QVWebNavigationService::onUserIDChanged(int userID)
{
    QVLog("User id changed! %d", userID);
    if (userID == -1) {
        _notifyListeners([](QVWebNavigationListener* l) { l->onUserLoggedOut(); });
        _center->postNotificationName(QString::fromLatin1(QVUserDidSignOutNotification));
    } else {
        _notifyListeners([](QVWebNavigationListener* l) { l->onUserLoggedIn(); });
        _center->postNotificationName(QString::fromLatin1(QVUserDidSignInNotification));
    }
}

void QVWebNavigationService::showDownloadWindow()
{
    _notifyListeners([](QVWebNavigationListener* l) { l->onDownloadsAvailable(); });
}

void QVWebNavigationService::showMatchCollectionWindow()
{
    _notifyListeners([](QVWebNavigationListener* l) { l->onMatchCollectionActivated(); });
}

void QVWebNavigationService::onUserSubscriptionChanged()
{
    _notifyListeners([](QVWebNavigationListener* l) { l->onUserSubscriptionTypeChanged(); });
}

void QVWebNavigationService::onUserFreeLimitedStatusUpdate()
{
    _notifyListeners([](QVWebNavigationListener* l) { l->onUserFreeLimitedStatusUpdate(); });
}

void QVWebNavigationService::onBillingFailure()
{
    _notifyListeners([](QVWebNavigationListener* l) { l->onUserBillingFailure(); });
}

void QVWebNavigationService::onSecureDialogLoaded()
{
    _notifyListeners([](QVWebNavigationListener* l) { l->onSecureDialogLoaded(); });
}

QString QVWebNavigationService::serverInfoBaseUrl()
{
    return _webView ? _webView->javascriptStringValue(QStringLiteral("server_info.base_url")) : QString();
}

int QVWebNavigationService::userID()
{
    if (!_webView)
        return 0;
    if (_webView->javascriptBoolValue(QStringLiteral("typeof clientManager != 'undefined'"))
        && _webView->javascriptBoolValue(QStringLiteral("clientManager.current_user == null")))
        return -1;
    if (_webView->javascriptBoolValue(QStringLiteral("Q.currentUser == null")))
        return -1;
    return _webView->javascriptIntValue(QStringLiteral("Q.currentUser.get('id')"));
}

bool QVWebNavigationService::userIsSubscriber()
{
    return _webView
        && _webView->javascriptBoolValue(QStringLiteral("Q.currentUser.get('subscription') != null"));
}

int QVWebNavigationService::userSubscriptionType()
{
    return _webView ? _webView->javascriptIntValue(QStringLiteral("Q.currentUser.get('subscription_type')"))
                    : 0;
}

QString QVWebNavigationService::userVanityName()
{
    return _webView ? _webView->javascriptStringValue(QStringLiteral("Q.currentUser.get('vanity_name')"))
                    : QString();
}

QString QVWebNavigationService::userRealName()
{
    if (!_webView)
        return {};
    return QStringLiteral("%1 %2").arg(
        _webView->javascriptStringValue(QStringLiteral("Q.currentUser.get('first_name')")),
        _webView->javascriptStringValue(QStringLiteral("Q.currentUser.get('last_name')")));
}

void QVWebNavigationService::gotoSignIn()
{
    QVRouterNavigate(_webView, QStringLiteral("/accounts/login/"));
}

void QVWebNavigationService::gotoSignOut()
{
    QVRouterNavigate(_webView, QStringLiteral("/signout/"));
}

void QVWebNavigationService::goToSubscriptionSettings()
{
    QVRouterNavigate(_webView, QStringLiteral("/management/subscriptions/"));
}
