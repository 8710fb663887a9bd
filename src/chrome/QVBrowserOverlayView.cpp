#include "QVBrowserOverlayView.h"

#include "QVLocalizedString.h"
#include "QVLog.h"
#include "QVUIConstantsService.h"

#include <QFontMetrics>
#include <QPainter>

#include <cmath>
#include <cstdlib>

void QVInitChromeViewImages();

namespace {
// |truncate(value)|
int absTruncated(double value)
{
    return std::abs(int(std::trunc(value)));
}
} // namespace

QVBrowserOverlayView::QVBrowserOverlayView(QWidget* parent)
    : QWidget(parent)
{
    QVInitChromeViewImages();
    setAttribute(Qt::WA_OpaquePaintEvent);
    setEdgeImage(QVImage::named(QStringLiteral("overlay_bg.png")));
}

void QVBrowserOverlayView::setOverlayImage(const QVImage& image)
{
    _overlayImage = image;
    update();
}

void QVBrowserOverlayView::setShouldShowWarningText(bool show)
{
    _shouldShowWarningText = show;
    setAccessibleName(show ? _title() : QString());
    setAccessibleDescription(show ? _subtitle() : QString());
    update();
}

void QVBrowserOverlayView::setEdgeImage(const QVImage& image)
{
    // A strip narrower than a pixel would be tiled without end.
    _edgeImage = image;
    if (!image.isNull() && image.width() < 1)
        QVLog("[WARNING] The overlay's edge image is %g points wide: not tiled", image.width());
    update();
}

int QVBrowserOverlayView::edgeTileCount() const
{
    if (_edgeImage.isNull() || _edgeImage.width() < 1)
        return 0;
    return int(std::ceil(width() / _edgeImage.width()));
}

QString QVBrowserOverlayView::_title() const
{
    return QVLocalizedString("No Connection");
}

QString QVBrowserOverlayView::_subtitle() const
{
    return QVLocalizedString("Make sure your internet connection is active and try reloading");
}

QFont QVBrowserOverlayView::_titleFont() const
{
    return QVUIConstantsService::fontNamed(QStringLiteral("Helvetica Neue Bold"), 24);
}

QFont QVBrowserOverlayView::_subtitleFont() const
{
    return QVUIConstantsService::fontNamed(QStringLiteral("Helvetica Neue"), 14);
}

QRect QVBrowserOverlayView::warningTitleRect() const
{
    const QFontMetrics metrics(_titleFont());
    const QSize size(metrics.horizontalAdvance(_title()), metrics.height());
    // Its baseline box ends five points below the middle.
    const int bottomUp = absTruncated(height() / 2.0 - size.height() + 5);
    return QRect(absTruncated(width() / 2.0 - size.width() / 2.0), height() - bottomUp - size.height(),
        size.width(), size.height());
}

QRect QVBrowserOverlayView::warningSubtitleRect() const
{
    const QFontMetrics metrics(_subtitleFont());
    const QSize size(metrics.horizontalAdvance(_subtitle()), metrics.height());
    const QRect title = warningTitleRect();
    return QRect(
        absTruncated(width() / 2.0 - size.width() / 2.0), title.bottom() + 1, size.width(), size.height());
}

QRect QVBrowserOverlayView::overlayImageRect() const
{
    if (_overlayImage.isNull())
        return {};
    const QSizeF size = _overlayImage.size();
    int bottomUp = absTruncated(height() / 2.0 - size.height() / 2);
    // Raised above the warning when that shows.
    if (_shouldShowWarningText)
        bottomUp += warningTitleRect().height() + 15;
    return QRect(absTruncated(width() / 2.0 - size.width() / 2),
        height() - bottomUp - int(std::ceil(size.height())), int(std::ceil(size.width())),
        int(std::ceil(size.height())));
}

void QVBrowserOverlayView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);

    const int tiles = edgeTileCount();
    for (int i = 0; i < tiles; ++i)
        _edgeImage.draw(&painter, QRectF(QPointF(i * _edgeImage.width(), 0), _edgeImage.size()));

    if (!_overlayImage.isNull())
        _overlayImage.draw(&painter, overlayImageRect());

    if (_shouldShowWarningText) {
        painter.setPen(warningTextColor());
        painter.setFont(_titleFont());
        painter.drawText(warningTitleRect(), Qt::AlignLeft | Qt::AlignTop, _title());
        painter.setFont(_subtitleFont());
        painter.drawText(warningSubtitleRect(), Qt::AlignLeft | Qt::AlignTop, _subtitle());
    }
}
