#include "QVTableView.h"

#include <QHeaderView>
#include <QPaintEvent>
#include <QPainter>

QVTableView::QVTableView(QWidget* parent)
    : QTableView(parent)
{
    setAlternatingRowColors(false);
    setShowGrid(false);
}

int QVTableView::rowPitch() const
{
    return qMax(1, verticalHeader()->defaultSectionSize() + (showGrid() ? 1 : 0));
}

void QVTableView::highlightSelectionInClipRect(QPainter* painter, const QRect& clip) const
{
    const int pitch = rowPitch();
    const QRect visible = viewport()->rect();
    // Bands are counted in the content, so they move with the rows.
    const int offset = qMax(0, verticalOffset());
    int band = qMax(0, clip.y() + offset) / pitch;
    for (int y = band * pitch - offset; y < clip.y() + clip.height(); y += pitch, ++band) {
        const QRect row = QRect(visible.x(), y, visible.width(), pitch).intersected(clip);
        painter->fillRect(row, band % 2 == 0 ? stripeColor() : QColor(Qt::white));
    }
}

void QVTableView::paintEvent(QPaintEvent* event)
{
    {
        QPainter painter(viewport());
        highlightSelectionInClipRect(&painter, event->rect());
    }
    QTableView::paintEvent(event);
}
