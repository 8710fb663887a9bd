#include "QVTextFieldCell.h"

#include "QVUIConstantsService.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QWidget>

QVTextFieldCell::Attributes QVTextFieldCell::attributes(const QWidget* view) const
{
    Attributes out { _textColor, std::nullopt };
    if (!_shouldDrawShadow)
        return out;
    if (_useInactiveTransparency && view && !view->isActiveWindow())
        out.color.setAlphaF(0.7f);
    out.shadow = QVUIConstantsService::sharedInstance()->defaultTextShadowWithAlpha(0.25f);
    return out;
}

void QVTextFieldCell::drawWithFrame(QPainter* painter, const QRectF& frame, const QWidget* view) const
{
    if (_text.isEmpty() || frame.isEmpty())
        return;
    const Attributes look = attributes(view);
    const QString shown = QFontMetricsF(_font).elidedText(_text, Qt::ElideRight, frame.width());
    const Qt::Alignment flags = _alignment | Qt::AlignVCenter;
    painter->save();
    painter->setFont(_font);
    if (look.shadow) {
        painter->setPen(look.shadow->color);
        painter->drawText(frame.translated(look.shadow->offset.width(), look.shadow->offset.height()),
            int(flags) | Qt::TextSingleLine, shown);
    }
    painter->setPen(look.color);
    painter->drawText(frame, int(flags) | Qt::TextSingleLine, shown);
    painter->restore();
}
