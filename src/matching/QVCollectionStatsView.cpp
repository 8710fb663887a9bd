#include "QVCollectionStatsView.h"

#include <QPainter>

QVCollectionStatsView::QVCollectionStatsView(QWidget* parent)
    : QWidget(parent)
{
}

void QVCollectionStatsView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), QColor::fromRgbF(0.871f, 0.875f, 0.878f, 1.0f));
    painter.fillRect(QRect(0, 0, width(), 1), QColor::fromRgbF(0.761f, 0.765f, 0.769f, 1.0f));
}
