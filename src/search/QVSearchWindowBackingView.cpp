#include "QVSearchWindowBackingView.h"

#include <QPainter>
#include <QPainterPath>

QVSearchWindowBackingView::QVSearchWindowBackingView(QWidget* parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_TranslucentBackground);
}

void QVSearchWindowBackingView::paintEvent(QPaintEvent*)
{
    const qreal ratio = devicePixelRatioF();
    if (_background.size() != size() * ratio) {
        _background = QImage(size() * ratio, QImage::Format_ARGB32_Premultiplied);
        _background.setDevicePixelRatio(ratio);
        _background.fill(Qt::transparent);
        QPainter painter(&_background);
        painter.setRenderHint(QPainter::Antialiasing);
        QPainterPath path;
        path.addRoundedRect(QRectF(rect()), kCornerRadius, kCornerRadius);
        painter.fillPath(path, QColor::fromRgbF(1, 1, 1, 0.96f));
    }
    QPainter(this).drawImage(QPointF(0, 0), _background);
}
