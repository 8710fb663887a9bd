#include "QVSearchWindow.h"

#include "QVSearchTableView.h"
#include "QVSearchWindowBackingView.h"

#include <QPainter>
#include <QPainterPath>

QVSearchWindow::QVSearchWindow(QWidget* parent)
    : QWidget(parent)
    , _backingView(new QVSearchWindowBackingView(this))
    , _tableView(new QVSearchTableView(_backingView))
{
    setAttribute(Qt::WA_TranslucentBackground);
    setFocusPolicy(Qt::NoFocus);
    setMouseTracking(true);
    hide();
}

QRect QVSearchWindow::listFrame(const QRect& fieldRect, int height, bool fullScreen, const QRect& bounds)
{
    const int right = fieldRect.x() + fieldRect.width() - kRightInset;
    int x = right - kWidth;
    const int y = fieldRect.y() + fieldRect.height() + (fullScreen ? kFullScreenGap : kGap);
    // Inside the window; a list taller than the room scrolls.
    if (bounds.isValid()) {
        x = std::clamp(x, bounds.left(), std::max(bounds.left(), bounds.right() + 1 - kWidth));
        height = std::max(0, std::min(height, bounds.bottom() + 1 - y));
    }
    return QRect(x, y, kWidth, height);
}

void QVSearchWindow::showWithListFrame(const QRect& frame)
{
    setGeometry(frame.adjusted(-kShadowMargin, -kShadowMargin, kShadowMargin, kShadowMargin));
    show();
    raise();
}

QRect QVSearchWindow::listGeometry() const
{
    return geometry().adjusted(kShadowMargin, kShadowMargin, -kShadowMargin, -kShadowMargin);
}

void QVSearchWindow::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    const QRect list = rect().adjusted(kShadowMargin, kShadowMargin, -kShadowMargin, -kShadowMargin);
    _backingView->setGeometry(list);
    _tableView->setGeometry(QRect(QPoint(0, 0), list.size()));
}

void QVSearchWindow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const qreal ratio = devicePixelRatioF();
    if (_shadow.size() != size() * ratio) {
        // A soft shadow: rings fading outwards, a little lower than the list.
        _shadow = QImage(size() * ratio, QImage::Format_ARGB32_Premultiplied);
        _shadow.setDevicePixelRatio(ratio);
        _shadow.fill(Qt::transparent);
        QPainter rings(&_shadow);
        rings.setRenderHint(QPainter::Antialiasing);
        const QRectF list
            = QRectF(rect()).adjusted(kShadowMargin, kShadowMargin, -kShadowMargin, -kShadowMargin);
        for (int ring = kShadowMargin; ring > 0; --ring) {
            QPainterPath path;
            path.addRoundedRect(
                list.adjusted(-ring, -ring + 2, ring, ring).intersected(QRectF(rect())), 5 + ring, 5 + ring);
            rings.fillPath(path, QColor(0, 0, 0, 5));
        }
    }
    painter.drawImage(QPointF(0, 0), _shadow);
}
