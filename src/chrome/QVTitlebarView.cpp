#include "QVTitlebarView.h"

#include "QVImage.h"
#include "QVPushButton.h"
#include "QVSubscriptionButtonView.h"
#include "QVTrafficLightView.h"
#include "QVUIConstantsService.h"
#include "QVUtils.h"
#include "QVWindow.h"
#include "QVWindowActivity.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

namespace {
// Rectangles are given from the bar's bottom edge, so that they keep their
// place against it when the bar's height changes.
QRect fromBottom(int barHeight, int x, int bottom, int width, int height)
{
    return QRect(x, barHeight - bottom - height, width, height);
}
} // namespace

QVTitlebarView::QVTitlebarView(QWidget* parent)
    : QWidget(parent)
{
    resize(parent ? parent->width() : 200, kHeight);
    _trafficLightsView = new QVTrafficLightView(this);

    _fullScreenButton = new QVPushButton(this);
    _fullScreenButton->setActiveImage(QStringLiteral("window_control_fullscreen_quiv1_active"),
        QStringLiteral("window_control_fullscreen_quiv1_rollover"), QString(),
        QStringLiteral("window_control_fullscreen_quiv1_inactive"),
        QStringLiteral("window_control_fullscreen_quiv1_rollover"),
        QStringLiteral("window_control_fullscreen_quiv1_pressed"));
    _fullScreenButton->setUsesInactiveTransparency(false);
    _fullScreenButton->setToolTip(tr("Full Screen"));
    _fullScreenButton->hide();
    connect(_fullScreenButton, &QAbstractButton::clicked, this, [this] {
        if (QVWindow* window = _window())
            window->toggleFullScreen();
    });
    // Hidden unless the window asks for the account's status.
    setSubscriptionButtonView(new QVSubscriptionButtonView());
    _layoutButtons();
}

QVWindow* QVTitlebarView::_window() const
{
    return qobject_cast<QVWindow*>(window());
}

void QVTitlebarView::setShouldDrawWindowTitle(bool draw)
{
    _shouldDrawWindowTitle = draw;
    update();
}

void QVTitlebarView::setSubscriptionButtonView(QWidget* view)
{
    if (_subscriptionButtonView == view)
        return;
    delete _subscriptionButtonView;
    _subscriptionButtonView = view;
    if (view) {
        view->setParent(this);
        view->hide();
    }
    updateSubscriptionButtonLocation();
}

void QVTitlebarView::setAltState(bool active)
{
    _trafficLightsView->setAltState(active);
}

QRect QVTitlebarView::trafficLightsRect() const
{
    return fromBottom(height(), 5, 0, 55, 20);
}

QRect QVTitlebarView::fullScreenButtonRect() const
{
    return fromBottom(height(), width() - 18, 3, 14, 15);
}

QRect QVTitlebarView::subscriptionButtonRect() const
{
    const QVWindow* window = _window();
    const int x = width() - 18 - 200 - (window && window->supportsFullScreenMode() ? 10 : 0);
    return fromBottom(height(), x, 3, 200, 19);
}

void QVTitlebarView::updateFullScreenButtonLocation()
{
    const QVWindow* window = _window();
    if (window && window->supportsFullScreenMode()) {
        _fullScreenButton->setGeometry(fullScreenButtonRect());
        _fullScreenButton->show();
    } else {
        _fullScreenButton->hide();
    }
}

void QVTitlebarView::updateSubscriptionButtonLocation()
{
    if (!_subscriptionButtonView)
        return;
    const QVWindow* window = _window();
    if (window && window->shouldUseSubscriptionBadging()) {
        _subscriptionButtonView->setGeometry(subscriptionButtonRect());
        _subscriptionButtonView->show();
    } else {
        _subscriptionButtonView->hide();
    }
}

void QVTitlebarView::_layoutButtons()
{
    _trafficLightsView->setGeometry(trafficLightsRect());
    updateFullScreenButtonLocation();
    updateSubscriptionButtonLocation();
}

void QVTitlebarView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    _layoutButtons();
}

void QVTitlebarView::paintEvent(QPaintEvent*)
{
    const QVWindow* window = _window();
    const bool active = QVWindowActivity::isKeyOrMainWindow(this);
    const bool unified = window && window->shouldUseUnifiedBackground();
    QPainter painter(this);
    if (unified) {
        // The top strip of the window's background, scaled to the bar's width.
        const QVImage image = QVImage::named(
            active ? window->activeWindowBackgroundImageName() : window->inactiveWindowBackgroundImageName());
        if (!image.isNull()) {
            const QSizeF scaled(width(), image.height());
            painter.save();
            painter.setClipRect(rect());
            image.draw(&painter, QRectF(QPointF(0, 0), scaled));
            painter.restore();
        }
    }
    _drawTitle(&painter, active, unified);
}

void QVTitlebarView::_drawTitle(QPainter* painter, bool active, bool unified)
{
    // The window manager draws no title on our frameless windows: we do.
    const QString title = window()->windowTitle();
    if (!_shouldDrawWindowTitle || title.isEmpty() || height() < 12)
        return;
    const QFont font = QVUIConstantsService::fontNamed(QStringLiteral("Lucida Grande"), 13);
    // Keep clear of the buttons on both sides so the title stays centred.
    int margin = trafficLightsRect().right() + 8;
    if (!_fullScreenButton->isHidden())
        margin = qMax(margin, width() - fullScreenButtonRect().left() + 8);
    if (_subscriptionButtonView && !_subscriptionButtonView->isHidden())
        margin = qMax(margin, width() - subscriptionButtonRect().left() + 8);
    const int available = width() - 2 * margin;
    if (available <= 0)
        return;
    QString text = QVUtils::truncateForWidth(title, font, available);
    const QFontMetricsF metrics(font);
    if (metrics.horizontalAdvance(text) > available)
        return;
    const QPointF at((width() - metrics.horizontalAdvance(text)) / 2,
        (height() - metrics.height()) / 2 + metrics.ascent());

    painter->setFont(font);
    if (unified) {
        const QVUIConstantsService* constants = QVUIConstantsService::sharedInstance();
        const QVShadow shadow = constants->defaultTextShadow();
        painter->setPen(shadow.color);
        painter->drawText(at + QPointF(shadow.offset.width(), shadow.offset.height()), text);
        painter->setPen(active ? constants->defaultShadowedWhiteTextColor()
                               : constants->defaultInactiveShadowedWhiteTextColor());
    } else {
        painter->setPen(
            palette().color(active ? QPalette::Active : QPalette::Inactive, QPalette::WindowText));
    }
    painter->drawText(at, text);
}

void QVTitlebarView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    _isPressed = true;
    _isMovingByHand = false;
    _pressGlobalPosition = event->globalPosition().toPoint();
    _pressWindowPosition = window()->pos();
    event->accept();
}

void QVTitlebarView::mouseMoveEvent(QMouseEvent* event)
{
    if (!_isPressed || !(event->buttons() & Qt::LeftButton)) {
        QWidget::mouseMoveEvent(event);
        return;
    }
    const QPoint moved = event->globalPosition().toPoint() - _pressGlobalPosition;
    if (_isMovingByHand) {
        window()->move(_pressWindowPosition + moved);
        return;
    }
    if (moved.manhattanLength() < QApplication::startDragDistance())
        return;
    // The window manager or compositor moves the window: snapping, edge tiling
    // and Wayland all work that way. Where it cannot, move it ourselves.
    QWindow* handle = window()->windowHandle();
    if (handle && handle->startSystemMove()) {
        _isPressed = false;
        return;
    }
    _isMovingByHand = true;
    window()->move(_pressWindowPosition + moved);
}

void QVTitlebarView::mouseReleaseEvent(QMouseEvent* event)
{
    _isPressed = false;
    _isMovingByHand = false;
    QWidget::mouseReleaseEvent(event);
}

void QVTitlebarView::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseDoubleClickEvent(event);
        return;
    }
    _isPressed = false;
    if (QVWindow* window = _window())
        window->zoom();
    else
        this->window()->setWindowState(this->window()->windowState() ^ Qt::WindowMaximized);
}
