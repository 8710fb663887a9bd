#pragma once

#include <QTableView>

// A table whose rows are striped, light grey and white, down to the bottom of
// the view, empty rows included.
class QVTableView : public QTableView
{
    Q_OBJECT
public:
    explicit QVTableView(QWidget* parent = nullptr);

    static QColor stripeColor() { return QColor::fromRgbF(0.945f, 0.945f, 0.957f); }
    // The distance from one row's top to the next one's.
    int rowPitch() const;
    // Paints the stripes that cross `clip` (viewport coordinates).
    void highlightSelectionInClipRect(QPainter* painter, const QRect& clip) const;

protected:
    void paintEvent(QPaintEvent* event) override;
};
