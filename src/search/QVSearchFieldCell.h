#pragma once

#include <QImage>
#include <QRectF>

class QPainter;

// The search field's pill: a left cap, the same cap mirrored on the right and
// a middle piece stretched between them.
class QVSearchFieldCell
{
public:
    QVSearchFieldCell();
    // For tests and other looks; null images draw nothing.
    QVSearchFieldCell(const QImage& cap, const QImage& middle);

    QImage capImage() const { return _cap; }
    QImage middleImage() const { return _middle; }

    struct Pieces {
        QRectF leftCap;
        QRectF middle;
        QRectF rightCap;
    };
    // Where the three pieces go in `frame` (its origin is the field's).
    Pieces pieces(const QRectF& frame) const;
    void drawWithFrame(QPainter* painter, const QRectF& frame) const;

private:
    QImage _cap;
    QImage _middle;
};
