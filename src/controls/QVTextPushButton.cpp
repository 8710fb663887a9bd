#include "QVTextPushButton.h"

#include "QVPushButtonTextCell.h"

#include <cmath>

QVTextPushButton::QVTextPushButton(QWidget* parent)
    : QVPushButton(std::make_unique<QVPushButtonTextCell>(), parent)
{
}

QVPushButtonTextCell* QVTextPushButton::textCell() const
{
    return dynamic_cast<QVPushButtonTextCell*>(cell());
}

template <typename Setter> void QVTextPushButton::_setOnTextCell(Setter setter)
{
    QVPushButtonTextCell* cell = textCell();
    if (!cell)
        return;
    setter(*cell);
    updateGeometry();
    update();
}

void QVTextPushButton::setBackgroundImage(const QString& background, const QString& endcap,
    const QString& hoverBackground, const QString& hoverEndcap, const QString& pressedBackground,
    const QString& pressedEndcap, const QString& inactiveBackground, const QString& inactiveEndcap,
    const QString& disabledBackground, const QString& disabledEndcap)
{
    _setOnTextCell([&](QVPushButtonTextCell& cell) {
        cell.setBackgroundImage(background, endcap, hoverBackground, hoverEndcap, pressedBackground,
            pressedEndcap, inactiveBackground, inactiveEndcap, disabledBackground, disabledEndcap);
    });
}

void QVTextPushButton::setFontName(const QString& name)
{
    _setOnTextCell([&](QVPushButtonTextCell& cell) { cell.setFontName(name); });
}

void QVTextPushButton::setFontSize(unsigned int size)
{
    _setOnTextCell([&](QVPushButtonTextCell& cell) { cell.setFontSize(size); });
}

void QVTextPushButton::setTextColor(const QColor& color)
{
    _setOnTextCell([&](QVPushButtonTextCell& cell) { cell.setTextColor(color); });
}

void QVTextPushButton::setTextShadowColor(const QVShadow& shadow)
{
    _setOnTextCell([&](QVPushButtonTextCell& cell) { cell.setTextShadow(shadow); });
}

void QVTextPushButton::setInactiveTextColor(const QColor& color)
{
    _setOnTextCell([&](QVPushButtonTextCell& cell) { cell.setInactiveTextColor(color); });
}

void QVTextPushButton::setCustomTextYOffset(int offset)
{
    _setOnTextCell([&](QVPushButtonTextCell& cell) { cell.setCustomTextYOffset(offset); });
}

bool QVTextPushButton::shouldResizeOnTitleChange() const
{
    const QVPushButtonTextCell* cell = textCell();
    return cell && cell->shouldResizeOnTitleChange();
}

void QVTextPushButton::setShouldResizeOnTitleChange(bool resize)
{
    _setOnTextCell([&](QVPushButtonTextCell& cell) { cell.setShouldResizeOnTitleChange(resize); });
}

int QVTextPushButton::customEndcapSizeOffset() const
{
    const QVPushButtonTextCell* cell = textCell();
    return cell ? cell->customEndcapSizeOffset() : 0;
}

void QVTextPushButton::setCustomEndcapSizeOffset(int offset)
{
    _setOnTextCell([&](QVPushButtonTextCell& cell) { cell.setCustomEndcapSizeOffset(offset); });
}

bool QVTextPushButton::shouldUseCustomEndcapSizeOffset() const
{
    const QVPushButtonTextCell* cell = textCell();
    return cell && cell->shouldUseCustomEndcapSizeOffset();
}

void QVTextPushButton::setShouldUseCustomEndcapSizeOffset(bool use)
{
    _setOnTextCell([&](QVPushButtonTextCell& cell) { cell.setShouldUseCustomEndcapSizeOffset(use); });
}

void QVTextPushButton::setTitle(const QString& title)
{
    if (QVPushButtonTextCell* cell = textCell())
        cell->setTitle(title);
    else
        setText(title);
}

QSize QVTextPushButton::sizeHint() const
{
    const QVPushButtonTextCell* cell = textCell();
    if (!cell)
        return QVPushButton::sizeHint();
    const QSizeF size = cell->sizeForTitle(text());
    return QSize(int(std::ceil(size.width())), int(std::ceil(size.height())));
}
