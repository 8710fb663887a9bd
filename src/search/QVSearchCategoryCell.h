#pragma once

#include <QStyledItemDelegate>

// The first column of the suggestion list: a group's heading beside its first
// row, with a separator across the whole list above it.
class QVSearchCategoryCell : public QStyledItemDelegate
{
    Q_OBJECT
public:
    explicit QVSearchCategoryCell(QObject* parent = nullptr);

    static QColor textColor();
    // The heading's box in a row's first-column rectangle.
    static QRectF textRect(const QRectF& frame);
    // Draws nothing for an empty category. `tableWidth` spans the separator.
    static void drawCategory(
        QPainter* painter, const QRectF& frame, const QString& category, qreal tableWidth);

    void paint(
        QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};
