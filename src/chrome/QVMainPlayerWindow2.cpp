#include "QVMainPlayerWindow2.h"

#include "QVConstants.h"
#include "QVDesktopClientScriptObject.h"
#include "QVFloatingTitlebarView.h"
#include "QVLoadingWindowView.h"
#include "QVPageCommands.h"
#include "QVSearchField.h"
#include "QVTitlebarVisorView.h"
#include "QVUIConstantsService.h"
#include "QVUserDefaults.h"
#include "QVUtils.h"
#include "QVWebNavigationService.h"
#include "QVWebProfile.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

QVMainPlayerWindow2::QVMainPlayerWindow2(QWidget* parent, QVWebNavigationService* navigation, QVUserDefaults* defaults)
    : QVWindow(parent)
    , _navigation(navigation ? navigation : QVWebNavigationService::sharedInstance())
    , _defaults(defaults ? defaults : QVUserDefaults::standardUserDefaults())
{
    _setup();
}

QVMainPlayerWindow2::~QVMainPlayerWindow2()
{
    _navigation->removeWebNavigationListener(this);
}

void QVMainPlayerWindow2::_setup()
{
    _shouldSaveFrameSize = false;
    setCollectionBehavior(CollectionBehaviorFullScreenPrimary);

    _webView = new QVWebView(nullptr, QVWebProfile::sharedProfile());
    _titlebarView = new QVFloatingTitlebarView(contentView());
    _titlebarView->setFixedHeight(kTitlebarHeight);
    _titlebarView->setIsInLoadingMode(true);
    _titlebarVisorView = new QVTitlebarVisorView();
    _titlebarVisorView->setShouldDrawLoadingImage(true);

    // The visor's 5 points at the top, then the page; the title bar floats
    // over the page's header.
    auto* layout = new QVBoxLayout(contentView());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(_titlebarVisorView);
    layout->addWidget(_webView, 1);
    setWebView(_webView);
    _titlebarView->setWebView(_webView, _webView);

    // The loading view lies over the page and doubles as the offline overlay.
    _loadingWindowView = new QVLoadingWindowView(_webView);
    _loadingWindowView->setGeometry(QRect(QPoint(0, 0), kLoginSize));

    _placeSearchField();
    _navigation->addWebNavigationListener(this);
    setWindowTitle(QString());
    setStyleSheet(QString()); // white background comes from the page
    // Created in the sign-in (loading) layout: small, fixed, centred.
    setFixedSize(kLoginSize);
    move(_availableGeometry().center() - QPoint(kLoginSize.width() / 2, kLoginSize.height() / 2));
}

QRect QVMainPlayerWindow2::_availableGeometry() const
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

void QVMainPlayerWindow2::setFrame(const QRect& frame, bool, bool)
{
    if (!_windowCanResize)
        return;
    setGeometry(frame);
}

void QVMainPlayerWindow2::saveFrameUsingName(const QString& name)
{
    if (!_windowCanResize || !_shouldSaveFrameSize)
        return;
    _defaults->setValue(QVStringFromRect(QRectF(normalGeometry().isValid() ? normalGeometry() : geometry())),
                        QString::fromLatin1(QVWindowFrameKeyFormat).arg(name));
}

QString QVMainPlayerWindow2::frameDefaultsKey() const
{
    return QString::fromLatin1(QVWindowFrameKeyFormat).arg(QString::fromLatin1(kFrameAutosaveName));
}

void QVMainPlayerWindow2::_saveFrameIfAllowed()
{
    if (isVisible() && !isMaximized() && !isFullScreen())
        saveFrameUsingName(QString::fromLatin1(kFrameAutosaveName));
}

void QVMainPlayerWindow2::moveEvent(QMoveEvent* event)
{
    QVWindow::moveEvent(event);
    _saveFrameIfAllowed();
}

void QVMainPlayerWindow2::resizeEvent(QResizeEvent* event)
{
    QVWindow::resizeEvent(event);
    // Opaque, with round top corners; maximised and full screen fill their area.
    if (isMaximized() || isFullScreen())
        clearMask();
    else
        setMask(QRegion(QVTitlebarVisorView::roundedTopPath(QRectF(rect()), QVTitlebarVisorView::kCornerRadius)
                            .toFillPolygon()
                            .toPolygon()));
    windowWasResized();
    _saveFrameIfAllowed();
}

void QVMainPlayerWindow2::windowWasResized()
{
    // The content keeps the window's width; the visor keeps its strip.
    if (_loadingWindowView && !_windowCanResize)
        _loadingWindowView->setGeometry(QRect(QPoint(0, 0), _webView->size()));
}

void QVMainPlayerWindow2::_sizeToLoginContent()
{
    _shouldSaveFrameSize = false;
    const QRect visible = _availableGeometry();
    // Centred in the visible area, the area's own origin included (panels at
    // the top or left would otherwise cover the window).
    const QRect frame = visible.isValid()
                            ? QRect(visible.x() + (visible.width() - kLoginSize.width()) / 2,
                                    visible.y() + (visible.height() - kLoginSize.height()) / 2, kLoginSize.width(),
                                    kLoginSize.height())
                            : QRect(QPoint(-200, -270), kLoginSize);
    if (_windowCanResize) {
        if (isMaximized() || isFullScreen())
            showNormal();
        setMinimumSize(0, 0);
        setFrame(frame, true, false);
    }
    _windowCanResize = false;
    setFixedSize(kLoginSize);
    _titlebarView->setIsInLoadingMode(true);
    _titlebarVisorView->hide();
    _placeSearchField();
}

void QVMainPlayerWindow2::_sizeToNormalContent()
{
    // Read the saved frame first: relaxing the size limits below moves the
    // window, and those moves must not overwrite it.
    QRect frame = QVRectFromString(_defaults->stringForKey(frameDefaultsKey())).toRect();
    const bool wasFixed = !_windowCanResize;
    _windowCanResize = true;
    _shouldSaveFrameSize = false;
    _titlebarView->setIsInLoadingMode(false);
    _loadingWindowView->fadeOut();
    _titlebarVisorView->setShouldDrawLoadingImage(false);

    if (wasFixed) {
        setMinimumSize(kMinimumSize);
        setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    }
    if (isFullScreen()) {
        QVSetPageFullScreen(_webView, true);
    } else {
        QVSetPageFullScreen(_webView, false);
        if (frame.size().isEmpty()) {
            // 80 % of the visible area, centred in it (its origin included).
            const QRect visible = _availableGeometry();
            const QSize size(int(visible.width() * 0.8), int(visible.height() * 0.8));
            frame = QRect(visible.x() + visible.width() / 2 - size.width() / 2,
                          visible.y() + visible.height() / 2 - size.height() / 2, size.width(), size.height());
        }
        setFrame(QRect(frame.topLeft(), frame.size().expandedTo(kMinimumSize)), true);
    }
    _shouldSaveFrameSize = true;
    _titlebarVisorView->show();
    _placeSearchField();
}

bool QVMainPlayerWindow2::supportsFullScreenMode() const
{
    return _windowCanResize && collectionBehavior() == CollectionBehaviorFullScreenPrimary;
}

void QVMainPlayerWindow2::adjustForFullScreenMode()
{
    QVWindow::adjustForFullScreenMode();
    if (QVUIConstantsService::sharedInstance()->isYosemite())
        _titlebarView->setFullscreen(true);
    else
        _titlebarView->hide();
    _defaults->setValue(true, QString::fromLatin1(QVWindowWasPreviouslyFullScreenKey));
    QVSetPageFullScreen(_webView, true);
}

void QVMainPlayerWindow2::adjustForRegularScreenMode()
{
    QVWindow::adjustForRegularScreenMode();
    if (QVUIConstantsService::sharedInstance()->isYosemite())
        _titlebarView->setFullscreen(false);
    else
        _titlebarView->show();
    _defaults->setValue(false, QString::fromLatin1(QVWindowWasPreviouslyFullScreenKey));
    QVSetPageFullScreen(_webView, false);
    // Back to the layout that fits the sign-in state, once the change is done.
    QTimer::singleShot(0, this, [this] { handleExitFullScreenAnimation(0.0); });
}

void QVMainPlayerWindow2::handleExitFullScreenAnimation(double)
{
    if (_navigation->userID() == -1)
        _sizeToLoginContent();
    else
        _sizeToNormalContent();
}

void QVMainPlayerWindow2::unloadWebView()
{
    _webView->loadURL(QUrl(QStringLiteral("about:blank")));
    _isWebViewLoaded = false;
}

void QVMainPlayerWindow2::focusSearchField()
{
    if (_webView)
        _webView->executeJavascript(QStringLiteral("$('.App_Header .Search_Box input').focus();"));
}

void QVMainPlayerWindow2::_placeSearchField()
{
    if (!_searchField) {
        _searchField = new QVSearchField(_titlebarView);
        _searchField->setWebView(_webView);
        // Left of the full-screen button.
        _searchField->pinToParentRightEdge(28);
    }
    _searchField->setVisible(_windowCanResize);
}

void QVMainPlayerWindow2::showNoConnectionOverlay()
{
    if (_windowCanResize)
        return; // never over the normal layout
    _loadingWindowView->move(0, 0);
    _loadingWindowView->show();
    _loadingWindowView->raise();
    _loadingWindowView->setIsOffline(true);
}

void QVMainPlayerWindow2::hideNoConnectionOverlay()
{
    if (_windowCanResize)
        return;
    _loadingWindowView->fadeOut();
    _loadingWindowView->setIsOffline(false);
}

bool QVMainPlayerWindow2::isNoConnectionOverlayVisible() const
{
    return !_loadingWindowView->isHidden() && _loadingWindowView->isOffline();
}

void QVMainPlayerWindow2::becomeKeyWindow()
{
    QVWindow::becomeKeyWindow();
    _titlebarView->update();
    QVSetPageInactive(_webView, false);
}

void QVMainPlayerWindow2::resignKeyWindow()
{
    QVWindow::resignKeyWindow();
    _titlebarView->update();
    QVSetPageInactive(_webView, true);
}

void QVMainPlayerWindow2::becomeMainWindow()
{
    QVWindow::becomeMainWindow();
    _titlebarView->update();
    QVSetPageInactive(_webView, false);
}

void QVMainPlayerWindow2::resignMainWindow()
{
    QVWindow::resignMainWindow();
    _titlebarView->update();
    QVSetPageInactive(_webView, true);
}

void QVMainPlayerWindow2::closeEvent(QCloseEvent* event)
{
    event->ignore();
    emit closeRequested();
}

void QVMainPlayerWindow2::_setAltState(bool pressed)
{
    if (pressed == altPressed())
        return;
    setAltPressed(pressed);
    _titlebarView->setAltState(pressed);
}

void QVMainPlayerWindow2::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Alt)
        _setAltState(true);
    QVWindow::keyPressEvent(event);
}

void QVMainPlayerWindow2::keyReleaseEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Alt)
        _setAltState(false);
    QVWindow::keyReleaseEvent(event);
}

void QVMainPlayerWindow2::webViewDidStartLoading()
{
    _titlebarView->webViewDidStartLoading();
    _titlebarVisorView->update();
}

void QVMainPlayerWindow2::webViewFinishedLoading()
{
    _loadingWindowView->fadeOut();
}

void QVMainPlayerWindow2::onDesktopScriptObjectInitialized()
{
    _titlebarVisorView->update();
    QVDesktopClientScriptObject* desktop = _navigation->desktopScriptObject();
    if (desktop->isUsingWhiteQuiv())
        _titlebarView->setFixedHeight(int(desktop->titlebarViewHeight()));
    // A page naming no colour (or a colour we cannot read) leaves the visor clear.
    _titlebarVisorView->setColor(desktop->headerBackgroundColor().value_or(QColor()));
}

void QVMainPlayerWindow2::onUserLoggedIn()
{
    _sizeToNormalContent();
}

void QVMainPlayerWindow2::onUserLoggedOut()
{
    _titlebarView->setFixedHeight(kTitlebarHeight);
    _sizeToLoginContent();
}
