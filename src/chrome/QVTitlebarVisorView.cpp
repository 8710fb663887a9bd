#include "QVTitlebarVisorView.h"

#include "QVImage.h"

#include <QPainter>

static void initVisorImages()
{
    static const bool initialized = [] {
        Q_INIT_RESOURCE(QVWindowChromeImages);
        return true;
    }();
    (void)initialized;
}

QVTitlebarVisorView::QVTitlebarVisorView(QWidget* parent)
    : QWidget(parent)
    , _color(0x1d, 0x26, 0x33)
{
    initVisorImages();
    setFixedHeight(kHeight);
}

void QVTitlebarVisorView::setShouldDrawLoadingImage(bool draw)
{
    _shouldDrawLoadingImage = draw;
    update();
}

void QVTitlebarVisorView::setColor(const QColor& color)
{
    _color = color;
    update();
}

QPainterPath QVTitlebarVisorView::roundedTopPath(const QRectF& rect, qreal radius)
{
    const qreal r = std::min({ radius, rect.width() / 2, rect.height() });
    QPainterPath path;
    path.moveTo(rect.bottomLeft());
    path.lineTo(rect.bottomRight());
    path.lineTo(rect.right(), rect.top() + r);
    path.arcTo(QRectF(rect.right() - 2 * r, rect.top(), 2 * r, 2 * r), 0, 90);
    path.lineTo(rect.left() + r, rect.top());
    path.arcTo(QRectF(rect.left(), rect.top(), 2 * r, 2 * r), 90, 90);
    path.closeSubpath();
    return path;
}

void QVTitlebarVisorView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(rect(), Qt::transparent);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.setClipPath(roundedTopPath(QRectF(rect()), kCornerRadius));
    if (_shouldDrawLoadingImage) {
        if (_color.isValid())
            painter.fillRect(rect(), _color);
        return;
    }
    QVImage::named(QStringLiteral("header-gradient"))
        .draw(&painter, QRectF(rect()), 1.0, QPainter::CompositionMode_Source);
}
