#include "QVWindow.h"

#include "QVConstants.h"
#include "QVImage.h"
#include "QVNotificationCenter.h"
#include "QVTitlebarView.h"
#include "QVWindowActivity.h"

#include <QApplication>
#include <QGestureEvent>
#include <QLineEdit>
#include <QNativeGestureEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QSwipeGesture>
#include <QTextEdit>
#include <QWebEngineView>
#include <QWheelEvent>
#include <QWindow>
#include <QtMath>

#include <cmath>

QVWindow::QVWindow(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint)
{
    _contentView = new QWidget(this);
    // Focus changes, activation of other windows and input that children would
    // swallow are all seen here first.
    qApp->installEventFilter(this);
}

QVWindow::~QVWindow()
{
    qApp->removeEventFilter(this);
}

void QVWindow::_setupTitlebar()
{
    if (_isSetUp)
        return;
    _isSetUp = true;
    if (shouldUseCustomTitlebar()) {
        _titlebar = new QVTitlebarView(this);
        _titlebar->raise();
    }
    if (supportsNavigationSwipeGestures())
        grabGesture(Qt::SwipeGesture);
    _layoutSubviews();
}

QVTitlebarView* QVWindow::_titleBarView() const
{
    // The hooks are read once construction is over: at the latest, now.
    ensurePolished();
    return _titlebar;
}

QRect QVWindow::contentRect() const
{
    if (!_titlebar)
        return rect();
    const int top = _titlebar->height();
    return QRect(0, top, width(), qMax(0, height() - top));
}

void QVWindow::_layoutSubviews()
{
    if (_titlebar)
        _titlebar->setGeometry(0, 0, width(), _titlebar->height());
    _contentView->setGeometry(contentRect());
}

bool QVWindow::isKeyWindow() const
{
    return QVWindowActivity::isKeyWindow(this);
}

bool QVWindow::isMainWindow() const
{
    return QVWindowActivity::isMainWindow(this);
}

void QVWindow::_updateActivation()
{
    const bool key = isKeyWindow();
    const bool main = isMainWindow();
    const bool wasKey = _wasKey;
    const bool wasMain = _wasMain;
    if (key == wasKey && main == wasMain)
        return;
    _wasKey = key;
    _wasMain = main;
    if (wasKey && !key)
        resignKeyWindow();
    if (wasMain && !main)
        resignMainWindow();
    if (!wasMain && main)
        becomeMainWindow();
    if (!wasKey && key)
        becomeKeyWindow();
}

// The background and every chrome view read the key and main state when they
// paint: a repaint of the whole window is all a change needs.
void QVWindow::becomeKeyWindow()
{
    update();
}

void QVWindow::resignKeyWindow()
{
    update();
}

void QVWindow::becomeMainWindow()
{
    update();
}

void QVWindow::resignMainWindow()
{
    update();
}

void QVWindow::setCollectionBehavior(int behavior)
{
    _collectionBehavior = behavior;
    if (_titlebar)
        _titlebar->updateFullScreenButtonLocation();
}

bool QVWindow::isInFullScreenMode() const
{
    return windowState() & Qt::WindowFullScreen;
}

bool QVWindow::supportsFullScreenMode() const
{
    return _collectionBehavior == CollectionBehaviorFullScreenPrimary;
}

void QVWindow::adjustForFullScreenMode()
{
    if (_titlebar) {
        // A one-point strip at the very top: the bar keeps its bottom edge's
        // layout but shows nothing over a full-screen window.
        _titlebar->setGeometry(0, 0, width(), 1);
        _titlebar->setShouldDrawWindowTitle(false);
    }
    _layoutSubviews();
    update();
}

void QVWindow::adjustForRegularScreenMode()
{
    if (_titlebar) {
        _titlebar->setGeometry(0, 0, width(), QVTitlebarView::kHeight);
        _titlebar->setShouldDrawWindowTitle(true);
    }
    _layoutSubviews();
    update();
}

void QVWindow::_setFullScreenLayout(bool fullScreen)
{
    if (fullScreen == _inFullScreenLayout)
        return;
    _inFullScreenLayout = fullScreen;
    if (fullScreen)
        adjustForFullScreenMode();
    else
        adjustForRegularScreenMode();
}

void QVWindow::toggleFullScreen()
{
    const bool entering = !isInFullScreenMode();
    _setFullScreenLayout(entering);
    setWindowState(windowState() ^ Qt::WindowFullScreen);
}

void QVWindow::zoom()
{
    setWindowState(windowState() ^ Qt::WindowMaximized);
}

void QVWindow::miniaturize()
{
    showMinimized();
}

QWebEngineView* QVWindow::webView() const
{
    return qobject_cast<QWebEngineView*>(_webView.data());
}

void QVWindow::setWebView(QWebEngineView* webView)
{
    _webView = webView;
}

void QVWindow::goBack()
{
    if (QWebEngineView* view = webView())
        view->back();
}

void QVWindow::goForward()
{
    if (QWebEngineView* view = webView())
        view->forward();
}

void QVWindow::swipeWithEvent(qreal deltaX)
{
    if (!supportsNavigationSwipeGestures())
        return;
    if (deltaX > 0.5)
        goBack();
    else if (deltaX < -0.5)
        goForward();
}

Qt::Edges QVWindow::resizeEdgesAt(const QPoint& position) const
{
    if (windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen) || !rect().contains(position))
        return {};
    Qt::Edges edges;
    if (minimumWidth() != maximumWidth()) {
        if (position.x() < kResizeMargin)
            edges |= Qt::LeftEdge;
        else if (position.x() >= width() - kResizeMargin)
            edges |= Qt::RightEdge;
    }
    if (minimumHeight() != maximumHeight()) {
        if (position.y() < kResizeMargin)
            edges |= Qt::TopEdge;
        else if (position.y() >= height() - kResizeMargin)
            edges |= Qt::BottomEdge;
    }
    return edges;
}

bool QVWindow::event(QEvent* event)
{
    switch (event->type()) {
    case QEvent::Polish:
        _setupTitlebar();
        break;
    case QEvent::Gesture:
        _handleGesture(static_cast<QGestureEvent*>(event));
        return true;
    default:
        break;
    }
    return QWidget::event(event);
}

bool QVWindow::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::FocusOut:
        _onFocusOut(watched, static_cast<QFocusEvent*>(event));
        break;
    case QEvent::WindowActivate:
    case QEvent::WindowDeactivate:
        // Any window's change can make this one main or not.
        if (watched->isWidgetType() && static_cast<QWidget*>(watched)->isWindow())
            _updateActivation();
        break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove: {
        auto* mouseEvent = static_cast<QMouseEvent*>(event);
        if (watched == windowHandle() ? _handleWindowMouse(mouseEvent)
                                      : _handleNavigationButton(watched, mouseEvent))
            return true;
        break;
    }
    case QEvent::NativeGesture:
        if (watched == windowHandle())
            _handleNativeGesture(static_cast<QNativeGestureEvent*>(event));
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void QVWindow::_onFocusOut(QObject* watched, QFocusEvent* event)
{
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || widget->window() != this)
        return;
    if (!qobject_cast<QLineEdit*>(widget) && !qobject_cast<QTextEdit*>(widget)
        && !qobject_cast<QPlainTextEdit*>(widget))
        return;
    // Another window or a pop-up menu taking the input does not end the editing.
    if (event->reason() == Qt::ActiveWindowFocusReason || event->reason() == Qt::PopupFocusReason)
        return;
    QVNotificationCenter::defaultCenter()->postNotificationName(
        QString::fromLatin1(QVTextFieldDidResignFirstResponderNotification), this);
}

bool QVWindow::_handleNavigationButton(QObject* watched, QMouseEvent* event)
{
    if (event->button() != Qt::BackButton && event->button() != Qt::ForwardButton)
        return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || widget->window() != this || !supportsNavigationSwipeGestures())
        return false;
    if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick) {
        if (event->button() == Qt::BackButton)
            goBack();
        else
            goForward();
    }
    // The page sees neither half of the click: it must not navigate a second time.
    return true;
}

bool QVWindow::_handleWindowMouse(QMouseEvent* event)
{
    const QPoint position = event->position().toPoint();
    if (event->type() == QEvent::MouseMove && event->buttons() == Qt::NoButton) {
        const Qt::Edges edges = resizeEdgesAt(position);
        if (edges) {
            const bool diagonal
                = (edges & (Qt::LeftEdge | Qt::RightEdge)) && (edges & (Qt::TopEdge | Qt::BottomEdge));
            const bool falling
                = edges == (Qt::LeftEdge | Qt::TopEdge) || edges == (Qt::RightEdge | Qt::BottomEdge);
            const Qt::CursorShape shape = diagonal ? (falling ? Qt::SizeFDiagCursor : Qt::SizeBDiagCursor)
                : (edges & (Qt::LeftEdge | Qt::RightEdge)) ? Qt::SizeHorCursor
                                                           : Qt::SizeVerCursor;
            windowHandle()->setCursor(shape);
            _edgeCursorShown = true;
        } else if (_edgeCursorShown) {
            // Back to whatever the widget under the pointer shows.
            _edgeCursorShown = false;
            const QWidget* under = childAt(position);
            windowHandle()->setCursor((under ? under : this)->cursor());
        }
        return false;
    }
    if (event->type() == QEvent::MouseButtonPress && event->button() == Qt::LeftButton) {
        const Qt::Edges edges = resizeEdgesAt(position);
        // Where the system cannot resize the window the press goes on as usual.
        return edges && windowHandle()->startSystemResize(edges);
    }
    return false;
}

void QVWindow::_handleNativeGesture(QNativeGestureEvent* event)
{
    if (!supportsNavigationSwipeGestures())
        return;
    switch (event->gestureType()) {
    case Qt::BeginNativeGesture:
        _panDistance = QPointF();
        break;
    case Qt::PanNativeGesture:
        _panDistance += event->delta();
        break;
    case Qt::EndNativeGesture: {
        // Several fingers moved as a group, mostly sideways and far enough.
        const QPointF distance = _panDistance;
        _panDistance = QPointF();
        if (std::abs(distance.x()) > std::abs(distance.y()) && std::abs(distance.x()) >= kScrollSwipeDistance)
            swipeWithEvent(distance.x() > 0 ? 1.0 : -1.0);
        break;
    }
    case Qt::SwipeNativeGesture:
        // The swipe's angle: 0 degrees is to the right.
        swipeWithEvent(std::cos(qDegreesToRadians(event->value())));
        break;
    default:
        break;
    }
}

void QVWindow::_handleGesture(QGestureEvent* event)
{
    auto* swipe = static_cast<QSwipeGesture*>(event->gesture(Qt::SwipeGesture));
    if (!swipe)
        return;
    event->accept(swipe);
    if (swipe->state() != Qt::GestureFinished)
        return;
    if (swipe->horizontalDirection() == QSwipeGesture::Right)
        swipeWithEvent(1.0);
    else if (swipe->horizontalDirection() == QSwipeGesture::Left)
        swipeWithEvent(-1.0);
}

void QVWindow::wheelEvent(QWheelEvent* event)
{
    // Only scrolling that no child used arrives here.
    if (!supportsNavigationSwipeGestures()) {
        event->ignore();
        return;
    }
    event->accept();
    const QPointF delta
        = event->pixelDelta().isNull() ? QPointF(event->angleDelta()) / 8.0 : QPointF(event->pixelDelta());
    switch (event->phase()) {
    case Qt::ScrollBegin:
        _scrollSwipe = Swipe::Undecided;
        _scrollSwipeDistance = QPointF();
        break;
    case Qt::ScrollUpdate:
        if (_scrollSwipe == Swipe::None) {
            _scrollSwipe = Swipe::Undecided;
            _scrollSwipeDistance = QPointF();
        }
        // The first movement decides: a scroll that starts vertically never swipes.
        if (_scrollSwipe == Swipe::Undecided && !delta.isNull())
            _scrollSwipe = std::abs(delta.x()) > std::abs(delta.y()) ? Swipe::Tracking : Swipe::Rejected;
        if (_scrollSwipe == Swipe::Tracking)
            _scrollSwipeDistance += delta;
        break;
    case Qt::ScrollEnd: {
        // Positive x scrolls toward the left: past the page's left edge, that is back.
        const QPointF distance = _scrollSwipeDistance;
        const bool tracking = _scrollSwipe == Swipe::Tracking;
        _scrollSwipe = Swipe::None;
        _scrollSwipeDistance = QPointF();
        if (tracking && std::abs(distance.x()) >= kScrollSwipeDistance
            && std::abs(distance.x()) > std::abs(distance.y()))
            swipeWithEvent(distance.x() > 0 ? 1.0 : -1.0);
        break;
    }
    default:
        // Wheels without phases (mice) and momentum never navigate.
        break;
    }
}

void QVWindow::changeEvent(QEvent* event)
{
    // The window manager may change full screen on its own: the layout follows.
    if (event->type() == QEvent::WindowStateChange)
        _setFullScreenLayout(isInFullScreenMode());
    // Our title bar draws the title.
    if (event->type() == QEvent::WindowTitleChange && _titlebar)
        _titlebar->update();
    QWidget::changeEvent(event);
}

void QVWindow::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    _layoutSubviews();
}

void QVWindow::paintEvent(QPaintEvent*)
{
    if (!shouldUseUnifiedBackground())
        return;
    const QVImage image
        = QVImage::named(QVWindowActivity::isKeyOrMainWindow(this) ? activeWindowBackgroundImageName()
                                                                   : inactiveWindowBackgroundImageName());
    if (image.isNull())
        return;
    QPainter painter(this);
    QPixmap tile = QPixmap::fromImage(image.toImage(QVImage::deviceScale(&painter)));
    painter.drawTiledPixmap(rect(), tile);
}
