#include "QVLoadingWindowView.h"

#include "QVLocalizedString.h"

#include <QPainter>

QVLoadingWindowView::QVLoadingWindowView(QWidget* parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void QVLoadingWindowView::setIsOffline(bool offline)
{
    _isOffline = offline;
    update();
}

void QVLoadingWindowView::fadeOut()
{
    hide();
}

void QVLoadingWindowView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    painter.setPen(QColor(0x55, 0x5b, 0x66));
    painter.drawText(rect(), Qt::AlignCenter,
                     _isOffline ? QVLocalizedString("Quiv cannot reach the service.\nCheck your connection.")
                                : QVLocalizedString("Loading…"));
}
