#include "QVWindowService.h"

#include "QVAbstractWebView.h"
#include "QVConstants.h"
#include "QVNotificationCenter.h"
#include "QVUIConstantsService.h"
#include "QVUserDefaults.h"
#include "QVWebNavigationService.h"
#include "QVWebWindow.h"

#include <QCoreApplication>

QVWindowService::QVWindowService()
    : QVWindowService(Services { nullptr, nullptr, nullptr, nullptr })
{
}

QVWindowService::QVWindowService(Services services)
    : _services(services)
    , _currentWindowType(QVMainPlayerWindowType)
{
    if (!_services.navigationService)
        _services.navigationService = QVWebNavigationService::sharedInstance();
    if (!_services.notificationCenter)
        _services.notificationCenter = QVNotificationCenter::defaultCenter();
    if (!_services.userDefaults)
        _services.userDefaults = QVUserDefaults::standardUserDefaults();
    if (!_services.constants)
        _services.constants = QVUIConstantsService::sharedInstance();
    _services.navigationService->addWebNavigationListener(this);
}

QVWindowService::~QVWindowService()
{
    _services.navigationService->removeWebNavigationListener(this);
}

QVWindowService* QVWindowService::sharedInstance()
{
    static auto* service = new QVWindowService();
    return service;
}

void QVWindowService::setMainPlayerWindow(QVWebWindow* mainPlayerWindow, QWidget* miniPlayerWindow)
{
    _mainPlayerWindow2 = mainPlayerWindow;
    _mainPlayerWidget = mainPlayerWindow ? mainPlayerWindow->windowWidget() : nullptr;
    _miniPlayerWindow = miniPlayerWindow;
}

void QVWindowService::setFlyoutHooks(std::function<bool()> isVisible, std::function<void()> toggle)
{
    _isFlyoutVisible = std::move(isVisible);
    _toggleFlyout = std::move(toggle);
}

QWidget* QVWindowService::_mainWidget() const
{
    return _mainPlayerWidget;
}

void QVWindowService::showCurrentWindow()
{
    if (_currentWindowType == QVMainPlayerWindowType)
        _showMainPlayerWindow2();
    else if (_currentWindowType == QVMiniPlayerWindowType)
        _showMiniPlayerWindow();
}

void QVWindowService::showMainPlayerWindow()
{
    if (_currentWindowType == QVMiniPlayerWindowType)
        _showMainPlayerWindow2();
    else
        showCurrentWindow();
}

void QVWindowService::showMiniPlayerWindow()
{
    _showMiniPlayerWindow();
}

void QVWindowService::shutdown()
{
    if (!_mainWidget())
        return;
    _mainPlayerWindow2->unloadWebView();
    _mainWidget()->hide();
}

QString QVWindowService::clientToken() const
{
    QString token = QString::fromLatin1(kClientToken);
    if (_currentWindowType == QVMainPlayerWindowType)
        token += QStringLiteral(" quiv2");
    return token + QStringLiteral("com.quiv.desktop.new_header");
}

void QVWindowService::_showMainPlayerWindow2()
{
    if (_miniPlayerWindow)
        _miniPlayerWindow->hide();
    if (!_mainWidget())
        return;
    _setDefaultWebView(_mainPlayerWindow2->webView());
    if (!_mainPlayerWindow2->isWebViewLoaded()) {
        _loadWindowWebView(_mainPlayerWindow2);
        if (!_services.navigationService->isNetworkConnectionAvailable())
            _mainPlayerWindow2->showNoConnectionOverlay();
    }
    _mainWidget()->show();
    _mainWidget()->raise();
    _mainWidget()->activateWindow();

    const int previous = _currentWindowType;
    _currentWindowType = QVMainPlayerWindowType;
    _saveCurrentWindowTypePref();
    if (previous != QVMainPlayerWindowType)
        _postWindowChanged();
}

void QVWindowService::_showMiniPlayerWindow()
{
    if (_mainWidget()) {
        _mainWidget()->hide();
        if (!_mainPlayerWindow2->isWebViewLoaded())
            _setDefaultWebView(_mainPlayerWindow2->webView());
    }
    if (_isFlyoutVisible && _toggleFlyout && _isFlyoutVisible())
        _toggleFlyout(); // closes it
    if (_miniPlayerWindow) {
        _miniPlayerWindow->show();
        _miniPlayerWindow->raise();
        _miniPlayerWindow->activateWindow();
    }
    const int previous = _currentWindowType;
    _currentWindowType = QVMiniPlayerWindowType;
    _saveCurrentWindowTypePref();
    if (previous != QVMiniPlayerWindowType)
        _postWindowChanged();
}

void QVWindowService::_postWindowChanged()
{
    _services.notificationCenter->postNotificationName(
        QString::fromLatin1(QVWindowServiceWindowChangedNotification));
}

void QVWindowService::_saveCurrentWindowTypePref()
{
    _services.userDefaults->setValue(_currentWindowType, QString::fromLatin1(QVCurrentWindowTypeKey));
}

void QVWindowService::_loadWindowWebView(QVWebWindow* window)
{
    QVAbstractWebView* view = window->webView();
    const QString token = clientToken();
    const QUrl url(_services.constants->quivURL());
    if (_defaultUserAgentString.isNull())
        _defaultUserAgentString = view->defaultUserAgent();
    const QString version = QCoreApplication::applicationVersion().isEmpty()
        ? QStringLiteral(QUIV_VERSION)
        : QCoreApplication::applicationVersion();
    view->setCustomUserAgent(QStringLiteral("%1 %2/%3").arg(_defaultUserAgentString, token, version));
    // Local storage is on and kept in the support folder by the web profile.
    view->loadURL(url);
    window->setIsWebViewLoaded(true);
}

void QVWindowService::_setDefaultWebView(QVAbstractWebView* webView)
{
    // The playback service takes the view from the notification below.
    _services.navigationService->setWebView(webView);
    _services.notificationCenter->postNotificationName(
        QString::fromLatin1(QVGlobalWebViewWillUpdateNotification), dynamic_cast<QObject*>(webView));
}

void QVWindowService::onNetworkConnectionAvailable()
{
    if (_mainWidget() && _mainPlayerWindow2->isNoConnectionOverlayVisible()) {
        _mainPlayerWindow2->hideNoConnectionOverlay();
        _services.navigationService->ensureContentLoaded();
    }
}

void QVWindowService::onNetworkConnectionNotAvailable()
{
    if (_mainWidget())
        _mainPlayerWindow2->showNoConnectionOverlay();
}

void QVWindowService::onDesktopScriptObjectInitialized()
{
    if (!_mainWidget())
        return;
    _setDefaultWebView(_mainPlayerWindow2->webView());
    if (!_mainPlayerWindow2->isWebViewLoaded()) {
        _loadWindowWebView(_mainPlayerWindow2);
        _currentWindowType = QVMainPlayerWindowType;
        showCurrentWindow();
        _postWindowChanged();
    }
}

void QVWindowService::windowWillEnterFullScreen(QWidget* window)
{
    if (_mainWidget() && window == _mainWidget())
        _mainPlayerWindow2->adjustForFullScreenMode();
}

void QVWindowService::windowWillExitFullScreen(QWidget* window)
{
    if (_mainWidget() && window == _mainWidget())
        _mainPlayerWindow2->adjustForRegularScreenMode();
}

QList<QWidget*> QVWindowService::customWindowsToExitFullScreenForWindow(QWidget* window)
{
    if (_mainWidget() && window == _mainWidget())
        return { window };
    return {};
}

void QVWindowService::startCustomAnimationToExitFullScreen(QWidget* window, double duration)
{
    if (_mainWidget() && window == _mainWidget())
        _mainPlayerWindow2->handleExitFullScreenAnimation(duration);
}

QRectF QVWindowService::willPositionSheet(QWidget*, const QRectF& proposed)
{
    return proposed.adjusted(0, 0, 0, 30.0);
}

void QVWindowService::windowDidResize(QWidget* window)
{
    if (_mainWidget() && window == _mainWidget())
        _mainPlayerWindow2->windowWasResized();
}
