#include "QVPrefView.h"

#include <QPainter>

QVPrefView::QVPrefView(QWidget* parent)
    : QWidget(parent)
{
}

QRect QVPrefView::separatorRect() const
{
    return QRect(20, height() - 2, qMax(0, width() - 40), 1);
}

void QVPrefView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRect line = separatorRect();
    painter.fillRect(line, separatorColor());
    painter.fillRect(line.translated(0, 1), Qt::white);
}
