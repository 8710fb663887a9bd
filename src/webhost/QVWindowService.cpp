#include "QVWindowService.h"

#include "QVConstants.h"
#include "QVMainPlayerWindow2.h"
#include "QVNotificationCenter.h"
#include "QVUIConstantsService.h"
#include "QVUserDefaults.h"
#include "QVWebNavigationService.h"
#include "QVWebView.h"

QVWindowService::QVWindowService()
    : _currentWindowType(QVMainPlayerWindowType)
{
    QVWebNavigationService::sharedInstance()->addWebNavigationListener(this);
}

QVWindowService::~QVWindowService()
{
    QVWebNavigationService::sharedInstance()->removeWebNavigationListener(this);
}

QVWindowService* QVWindowService::sharedInstance()
{
    static auto* service = new QVWindowService();
    return service;
}

void QVWindowService::setMainPlayerWindow(QVMainPlayerWindow2* mainPlayerWindow, QWidget* miniPlayerWindow)
{
    _mainPlayerWindow2 = mainPlayerWindow;
    _miniPlayerWindow = miniPlayerWindow;
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
    if (!_mainPlayerWindow2)
        return;
    _mainPlayerWindow2->unloadWebView();
    _mainPlayerWindow2->_closingFromCode = true;
    _mainPlayerWindow2->close();
}

void QVWindowService::_showMainPlayerWindow2()
{
    if (!_mainPlayerWindow2)
        return;
    if (_miniPlayerWindow)
        _miniPlayerWindow->hide();
    _setDefaultWebView(_mainPlayerWindow2->webView());
    if (!_mainPlayerWindow2->isWebViewLoaded()) {
        _loadWindowWebView(_mainPlayerWindow2);
        if (!QVWebNavigationService::sharedInstance()->isNetworkConnectionAvailable())
            _mainPlayerWindow2->showNoConnectionOverlay();
    }
    _mainPlayerWindow2->show();
    _mainPlayerWindow2->raise();
    _mainPlayerWindow2->activateWindow();
    _setCurrentWindowType(QVMainPlayerWindowType);
}

void QVWindowService::_showMiniPlayerWindow()
{
    if (_mainPlayerWindow2) {
        _mainPlayerWindow2->hide();
        if (!_mainPlayerWindow2->isWebViewLoaded())
            _setDefaultWebView(_mainPlayerWindow2->webView());
    }
    if (_miniPlayerWindow) {
        _miniPlayerWindow->show();
        _miniPlayerWindow->raise();
        _miniPlayerWindow->activateWindow();
    }
    _setCurrentWindowType(QVMiniPlayerWindowType);
}

void QVWindowService::_setCurrentWindowType(int type)
{
    const int previous = _currentWindowType;
    _currentWindowType = type;
    _saveCurrentWindowTypePref();
    if (previous != type)
        QVNotificationCenter::defaultCenter()->postNotificationName(
            QString::fromLatin1(QVWindowServiceWindowChangedNotification));
}

void QVWindowService::_loadWindowWebView(QVMainPlayerWindow2* window)
{
    window->webView()->load(QUrl(QVUIConstantsService::sharedInstance()->quivURL()));
    window->setIsWebViewLoaded(true);
}

void QVWindowService::_setDefaultWebView(QVWebView* webView)
{
    QVWebNavigationService::sharedInstance()->setWebView(webView);
    QVNotificationCenter::defaultCenter()->postNotificationName(
        QString::fromLatin1(QVGlobalWebViewWillUpdateNotification), webView);
}

void QVWindowService::_saveCurrentWindowTypePref()
{
    QVUserDefaults::standardUserDefaults()->setValue(_currentWindowType, QString::fromLatin1(QVCurrentWindowTypeKey));
}
