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
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()), kCornerRadius, kCornerRadius);
    painter.fillPath(path, QColor::fromRgbF(1, 1, 1, 0.96f));
}
