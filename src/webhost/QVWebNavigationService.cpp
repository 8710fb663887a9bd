#include "QVWebNavigationService.h"

#include "QVWebNavigationListener.h"
#include "QVWebView.h"

QVWebNavigationService::QVWebNavigationService() = default;

QVWebNavigationService::~QVWebNavigationService()
{
    for (const QMetaObject::Connection& c : std::as_const(_connections))
        QObject::disconnect(c);
}

QVWebNavigationService* QVWebNavigationService::sharedInstance()
{
    static auto* service = new QVWebNavigationService();
    return service;
}

void QVWebNavigationService::setWebView(QVWebView* webView)
{
    if (webView == _webView)
        return;
    for (const QMetaObject::Connection& c : std::as_const(_connections))
        QObject::disconnect(c);
    _connections.clear();
    _webView = webView;
    if (!webView)
        return;
    _connections.append(QObject::connect(webView, &QWebEngineView::loadStarted, webView, [this] { _onLoadStarted(); }));
    _connections.append(
        QObject::connect(webView, &QWebEngineView::loadFinished, webView, [this](bool) { _onLoadFinished(); }));
}

QVWebView* QVWebNavigationService::webView() const
{
    return _webView;
}

void QVWebNavigationService::addWebNavigationListener(QVWebNavigationListener* listener)
{
    _navigationListeners.append(listener);
}

void QVWebNavigationService::removeWebNavigationListener(QVWebNavigationListener* listener)
{
    _navigationListeners.removeAll(listener);
}

bool QVWebNavigationService::isNetworkConnectionAvailable() const
{
    return true;
}

void QVWebNavigationService::_notifyListeners(const std::function<void(QVWebNavigationListener*)>& event)
{
    // A copy: a listener may remove itself (or another) while being told.
    const QList<QVWebNavigationListener*> listeners = _navigationListeners;
    for (QVWebNavigationListener* listener : listeners)
        if (_navigationListeners.contains(listener))
            event(listener);
}

void QVWebNavigationService::_onLoadStarted()
{
    QVWebView* view = _webView;
    _notifyListeners([view](QVWebNavigationListener* l) { l->onWindowScriptObjectShouldRemove(view); });
    _notifyListeners([](QVWebNavigationListener* l) { l->webViewDidStartLoading(); });
}

void QVWebNavigationService::_onLoadFinished()
{
    _notifyListeners([](QVWebNavigationListener* l) { l->webViewFinishedLoading(); });
}
