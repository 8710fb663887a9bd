#include "QVTitlebarVisorView.h"

#include <QPainter>

QVTitlebarVisorView::QVTitlebarVisorView(QWidget* parent)
    : QWidget(parent)
    , _color(0x1d, 0x26, 0x33)
{
    setFixedHeight(kHeight);
}

void QVTitlebarVisorView::setShouldDrawLoadingImage(bool draw)
{
    _shouldDrawLoadingImage = draw;
    update();
}

void QVTitlebarVisorView::setColor(const QColor& color)
{
    _color = color;
    update();
}

void QVTitlebarVisorView::paintEvent(QPaintEvent*)
{
    QPainter(this).fillRect(rect(), _color);
}
