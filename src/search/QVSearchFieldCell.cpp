#include "QVSearchFieldCell.h"

#include "QVSearchCell.h"

#include <QPainter>

QVSearchFieldCell::QVSearchFieldCell()
    : QVSearchFieldCell(QVSearchCell::imageNamed(QStringLiteral("search_cap")),
        QVSearchCell::imageNamed(QStringLiteral("search_bg")))
{
}

QVSearchFieldCell::QVSearchFieldCell(const QImage& cap, const QImage& middle)
    : _cap(cap)
    , _middle(middle)
{
}

QVSearchFieldCell::Pieces QVSearchFieldCell::pieces(const QRectF& frame) const
{
    const QSizeF cap = _cap.deviceIndependentSize();
    const qreal middle = std::max<qreal>(0, frame.width() - 2 * cap.width());
    const qreal height = _middle.isNull() ? cap.height() : _middle.deviceIndependentSize().height();
    return {
        QRectF(QPointF(0, 0), cap),
        QRectF(cap.width(), 0, middle, height),
        QRectF(QPointF(cap.width() + middle, 0), cap),
    };
}

void QVSearchFieldCell::drawWithFrame(QPainter* painter, const QRectF& frame) const
{
    if (_cap.isNull() || _middle.isNull())
        return;
    const Pieces where = pieces(frame);
    painter->save();
    painter->setRenderHint(QPainter::SmoothPixmapTransform);
    painter->setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter->drawImage(where.leftCap, _cap);
    painter->drawImage(where.rightCap, _cap.mirrored(true, false));
    painter->drawImage(where.middle, _middle);
    painter->restore();
}
