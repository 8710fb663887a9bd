#include "QVPushButtonTextCell.h"

#include "QVPushButton.h"
#include "QVUIConstantsService.h"
#include "QVUtils.h"

#include <QFontMetricsF>
#include <QPainter>

#include <cmath>

namespace {
// Three box passes approximate a gaussian of about the given radius.
void blurAlpha(QImage& image, int radius)
{
    if (radius < 1 || image.isNull())
        return;
    const int width = image.width();
    const int height = image.height();
    std::vector<int> line;
    auto pass = [&](bool horizontal) {
        const int length = horizontal ? width : height;
        const int lines = horizontal ? height : width;
        line.assign(length, 0);
        for (int l = 0; l < lines; ++l) {
            auto pixel = [&](int i) -> QRgb& {
                const int x = horizontal ? i : l;
                const int y = horizontal ? l : i;
                return reinterpret_cast<QRgb*>(image.scanLine(y))[x];
            };
            for (int i = 0; i < length; ++i)
                line[i] = qAlpha(pixel(i));
            int sum = 0;
            for (int i = -radius; i <= radius; ++i)
                sum += (i >= 0 && i < length) ? line[i] : 0;
            for (int i = 0; i < length; ++i) {
                const int alpha = sum / (2 * radius + 1);
                const QRgb old = pixel(i);
                // Premultiplied: scale the colour with the alpha.
                const int a0 = qAlpha(old);
                if (a0 > 0)
                    pixel(i) = qRgba(
                        qRed(old) * alpha / a0, qGreen(old) * alpha / a0, qBlue(old) * alpha / a0, alpha);
                else
                    pixel(i) = 0;
                const int out = i - radius;
                const int in = i + radius + 1;
                sum += (in < length ? line[in] : 0) - (out >= 0 ? line[out] : 0);
            }
        }
    };
    for (int k = 0; k < 3; ++k) {
        pass(true);
        pass(false);
    }
}
} // namespace

void QVPushButtonTextCell::setBackgroundImage(const QString& background, const QString& endcap,
    const QString& hoverBackground, const QString& hoverEndcap, const QString& pressedBackground,
    const QString& pressedEndcap, const QString& inactiveBackground, const QString& inactiveEndcap,
    const QString& disabledBackground, const QString& disabledEndcap)
{
    const auto set = [](QVImage& image, const QString& name) {
        if (!name.isEmpty())
            image = QVImage::named(name);
    };
    set(_backgroundImage, background);
    set(_endcapImage, endcap);
    set(_hoverBackgroundImage, hoverBackground);
    set(_hoverEndcapImage, hoverEndcap);
    set(_pressedBackgroundImage, pressedBackground);
    set(_pressedEndcapImage, pressedEndcap);
    set(_inactiveBackgroundImage, inactiveBackground);
    set(_inactiveEndcapImage, inactiveEndcap);
    set(_disabledBackgroundImage, disabledBackground);
    set(_disabledEndcapImage, disabledEndcap);
}

QString QVPushButtonTextCell::title() const
{
    return controlView() ? controlView()->text() : _title;
}

qreal QVPushButtonTextCell::endcapWidthForResizing() const
{
    if (_shouldUseCustomEndcapSizeOffset)
        return _customEndcapSizeOffset;
    const bool pressed = isMouseDown() || (controlView() && controlView()->isDown());
    const QVImage cap = pressed ? _pressedEndcapImage : _hoverEndcapImage;
    // A state without its own cap is drawn with the normal one: size for that.
    // No cap at all is no width (a null image would count as -1 on each side
    // and cut the title short).
    const QVImage& used = cap.isNull() ? _endcapImage : cap;
    return used.isNull() ? 0 : used.width();
}

QSizeF QVPushButtonTextCell::sizeForTitle(const QString& title) const
{
    const QFontMetricsF metrics(_attributedTitleString().font);
    qreal width = 2 * endcapWidthForResizing() + std::ceil(metrics.horizontalAdvance(title));
    if (willDrawArrowMenuImage())
        width += arrowMenuImage().width() + 2;
    const qreal height = qMax(_backgroundImage.height(), _endcapImage.height());
    return QSizeF(width, height > 0 ? height : std::ceil(metrics.height()));
}

void QVPushButtonTextCell::setTitle(const QString& title)
{
    const QString old = this->title();
    _title = title;
    QVPushButton* view = controlView();
    if (!view)
        return;
    view->setText(title);
    view->updateGeometry();
    view->update();
    if (!_shouldResizeOnTitleChange || title == old)
        return;
    const int width = int(std::ceil(sizeForTitle(title).width()));
    const QRect frame = view->geometry();
    if (width != frame.width())
        view->setGeometry(frame.x() + frame.width() - width, frame.y(), width, frame.height());
}

QVPushButtonTextCell::TitleAttributes QVPushButtonTextCell::_attributedTitleString() const
{
    TitleAttributes attributes;
    attributes.font = controlView() ? controlView()->font() : QFont();
    if (!_fontName.isEmpty())
        attributes.font = QVUIConstantsService::fontNamed(_fontName, _fontSize);
    else if (_fontSize > 0)
        attributes.font.setPixelSize(int(_fontSize));
    attributes.font.setUnderline(_shouldUnderscoreText);
    // Greyscale edges only, as on the other chrome text.
    attributes.font.setStyleStrategy(QFont::NoSubpixelAntialias);

    const QVUIConstantsService* constants = QVUIConstantsService::sharedInstance();
    const QColor normal = _textColor.isValid() ? _textColor : constants->defaultShadowedWhiteTextColor();
    if (!_isEnabled() && _disabledTextColor.isValid())
        attributes.color = _disabledTextColor;
    else if (_isWindowKeyOrMain())
        attributes.color = normal;
    else if (_inactiveTextColor.isValid())
        attributes.color = _inactiveTextColor;
    else
        attributes.color
            = _textColor.isValid() ? _textColor : constants->defaultInactiveShadowedWhiteTextColor();

    if (_shouldUseTextShadow)
        attributes.shadow = _textShadow ? *_textShadow : constants->defaultTextShadow();
    return attributes;
}

QString QVPushButtonTextCell::displayedTitle(qreal width) const
{
    const QString title = this->title();
    if (title.isEmpty())
        return title;
    const QFont font = _attributedTitleString().font;
    const int available = int(width);
    const QString cut = QVUtils::truncateForWidth(title, font, available);
    // The ellipsis alone may still be too wide: then nothing is drawn.
    return QFontMetricsF(font).horizontalAdvance(cut) <= available ? cut : QString();
}

QRectF QVPushButtonTextCell::titleRect(const QRectF& frame) const
{
    const QFontMetricsF metrics(_attributedTitleString().font);
    const QString text = displayedTitle(frame.width());
    const qreal width = metrics.horizontalAdvance(text);
    const qreal height = metrics.height();
    const qreal y = _shouldUseCustomTextYOffset ? _customTextYOffset : frame.height() / 2 - height / 2 - 1;
    qreal x = (frame.width() - width) / 2;
    if (_alignment & Qt::AlignLeft)
        x = 0;
    else if (_alignment & Qt::AlignRight)
        x = frame.width() - width;
    if (willDrawArrowMenuImage())
        x -= arrowMenuImage().width() - 2;
    return QRectF(frame.x() + x, frame.y() + y, width, height);
}

std::pair<QVImage, QVImage> QVPushButtonTextCell::_bevelPieces() const
{
    std::pair<QVImage, QVImage> pieces(_backgroundImage, _endcapImage);
    const bool pressed = isMouseDown() || (controlView() && controlView()->isDown());
    // Only the key window shows the live looks; a main window behind a dialog does not.
    if (!_isEnabled())
        pieces = { _disabledBackgroundImage, _disabledEndcapImage };
    else if (!_isWindowKey())
        pieces = { _inactiveBackgroundImage, _inactiveEndcapImage };
    else if (pressed)
        pieces = { _pressedBackgroundImage, _pressedEndcapImage };
    else if (isMouseHover())
        pieces = { _hoverBackgroundImage, _hoverEndcapImage };
    if (pieces.first.isNull())
        pieces.first = _backgroundImage;
    if (pieces.second.isNull())
        pieces.second = _endcapImage;
    return pieces;
}

QImage QVPushButtonTextCell::_bevelImageWithBackgroundImage(
    const QVImage& middle, const QVImage& endcap, const QSizeF& size, qreal devicePixelRatio)
{
    if (size.isEmpty() || (middle.isNull() && endcap.isNull()) || !(devicePixelRatio > 0))
        return QImage();
    const QSize pixels(qRound(size.width() * devicePixelRatio), qRound(size.height() * devicePixelRatio));
    if (pixels.isEmpty() || pixels.width() > 16384 || pixels.height() > 16384)
        return QImage();
    QImage bevel(pixels, QImage::Format_ARGB32_Premultiplied);
    bevel.setDevicePixelRatio(devicePixelRatio);
    bevel.fill(Qt::transparent);

    QPainter painter(&bevel);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    const qreal width = size.width();
    const qreal cap = std::trunc(endcap.width());
    if (!endcap.isNull()) {
        QImage left = endcap.toImage(devicePixelRatio);
        QImage right = QVUtils::horizontalFlippedImage(left);
        right.setDevicePixelRatio(devicePixelRatio);
        painter.drawImage(QPointF(0, 0), left);
        painter.drawImage(QPointF(std::trunc(width - cap), 0), right);
    }
    const qreal middleWidth = std::trunc(width - 2 * cap);
    if (!middle.isNull() && middleWidth > 0)
        middle.draw(
            &painter, QRectF(cap, 0, middleWidth, middle.height()), 1.0, QPainter::CompositionMode_Source);
    return bevel;
}

QVImage QVPushButtonTextCell::image() const
{
    const QVPushButton* view = controlView();
    if (!view)
        return QVImage();
    const auto [middle, endcap] = _bevelPieces();
    const qreal ratio = view->devicePixelRatioF();
    const QSize pixels(qRound(view->width() * ratio), qRound(view->height() * ratio));
    if (_bevel.middle == middle && _bevel.endcap == endcap && _bevel.pixels == pixels)
        return _bevel.image;
    _bevel = { middle, endcap, pixels,
        QVImage(_bevelImageWithBackgroundImage(middle, endcap, view->size(), ratio)) };
    return _bevel.image;
}

void QVPushButtonTextCell::_drawText(
    QPainter* painter, const QPointF& topLeft, const QString& text, const QFont& font, const QColor& color)
{
    painter->setFont(font);
    painter->setPen(color);
    painter->drawText(QPointF(topLeft.x(), topLeft.y() + QFontMetricsF(font).ascent()), text);
}

void QVPushButtonTextCell::_drawShadow(
    QPainter* painter, const QPointF& topLeft, const QString& text, const QFont& font, const QVShadow& shadow)
{
    const QPointF at = topLeft + QPointF(shadow.offset.width(), shadow.offset.height());
    const int radius = int(std::ceil(shadow.blurRadius));
    if (radius <= 0) {
        _drawText(painter, at, text, font, shadow.color);
        return;
    }
    // A soft shadow: the text on a layer of its own, blurred, then drawn.
    const QFontMetricsF metrics(font);
    const qreal ratio = QVImage::deviceScale(painter);
    const QRectF box(at - QPointF(radius, radius),
        QSizeF(metrics.horizontalAdvance(text) + 2 * radius, metrics.height() + 2 * radius));
    QImage layer((box.size() * ratio).toSize(), QImage::Format_ARGB32_Premultiplied);
    if (layer.isNull())
        return;
    layer.setDevicePixelRatio(ratio);
    layer.fill(Qt::transparent);
    {
        QPainter layerPainter(&layer);
        _drawText(&layerPainter, QPointF(radius, radius), text, font, shadow.color);
    }
    blurAlpha(layer, qMax(1, int(std::round(shadow.blurRadius * ratio / 2))));
    painter->drawImage(box.topLeft(), layer);
}

void QVPushButtonTextCell::drawWithFrame(QPainter* painter, const QRectF& frame)
{
    QVPushButtonCell::drawWithFrame(painter, frame);
    const QString text = displayedTitle(frame.width());
    if (text.isEmpty())
        return;
    const TitleAttributes attributes = _attributedTitleString();
    const QPointF topLeft = titleRect(frame).topLeft();
    painter->save();
    painter->setClipRect(frame, Qt::IntersectClip);
    painter->setRenderHint(QPainter::TextAntialiasing);
    if (attributes.shadow && attributes.shadow->color.alpha() > 0)
        _drawShadow(painter, topLeft, text, attributes.font, *attributes.shadow);
    _drawText(painter, topLeft, text, attributes.font, attributes.color);
    painter->restore();
}

void QVPushButtonTextCell::_showCursor(bool show)
{
    QVPushButton* view = controlView();
    if (!view || !_cursor)
        return;
    if (show && !title().isEmpty())
        view->setCursor(*_cursor);
    else if (!show)
        view->unsetCursor();
}

void QVPushButtonTextCell::mouseEntered()
{
    _showCursor(true);
    QVPushButtonCell::mouseEntered();
}

void QVPushButtonTextCell::mouseExited()
{
    _showCursor(false);
    QVPushButtonCell::mouseExited();
}

bool QVPushButtonTextCell::startTracking()
{
    _showCursor(true);
    return QVPushButtonCell::startTracking();
}

void QVPushButtonTextCell::stopTracking(bool mouseIsUp)
{
    _showCursor(false);
    QVPushButtonCell::stopTracking(mouseIsUp);
}
