#include "QVSearchCategoryCell.h"

#include "QVSearchTableView.h"
#include "QVUIConstantsService.h"

#include <QFontMetricsF>
#include <QPainter>

QVSearchCategoryCell::QVSearchCategoryCell(QObject* parent)
    : QStyledItemDelegate(parent)
{
}

QColor QVSearchCategoryCell::textColor()
{
    return QColor::fromRgbF(0.565f, 0.576f, 0.592f, 1.0f);
}

QRectF QVSearchCategoryCell::textRect(const QRectF& frame)
{
    return QRectF(frame.x(), frame.y() + 8, frame.width() - 8, frame.height());
}

void QVSearchCategoryCell::drawCategory(
    QPainter* painter, const QRectF& frame, const QString& category, qreal tableWidth)
{
    if (category.isEmpty())
        return;
    painter->save();
    painter->setPen(QPen(QVSearchTableView::gridColor(), 1.0));
    // Half a point above the row, as a separator above the group.
    const qreal y = frame.y() + 0.5;
    painter->drawLine(QPointF(frame.x(), y), QPointF(frame.x() + tableWidth - 2, y));
    static const QFont font = QVUIConstantsService::fontNamed(QStringLiteral("Lucida Grande"), 11);
    painter->setFont(font);
    painter->setPen(textColor());
    const QRectF box = textRect(frame);
    const QString shown = QFontMetricsF(font).elidedText(category, Qt::ElideRight, box.width());
    painter->drawText(box, Qt::AlignRight | Qt::AlignTop | Qt::TextSingleLine, shown);
    painter->restore();
}

void QVSearchCategoryCell::paint(
    QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const qreal width = option.widget ? option.widget->width() : option.rect.width();
    drawCategory(painter, option.rect, index.data(Qt::DisplayRole).toString(), width);
}
