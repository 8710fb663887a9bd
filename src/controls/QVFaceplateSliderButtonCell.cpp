#include "QVFaceplateSliderButtonCell.h"

#include "QVWindowActivity.h"

#include <QPainter>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace {
constexpr int kLoadingInterval = 50; // ms
constexpr qreal kInactiveFraction = 0.7;

// The value as drawn: the nearer end outside 0 to 100, nothing for NaN.
float drawnValue(float value)
{
    if (std::isnan(value))
        return 0.0f;
    return std::clamp(value, 0.0f, 100.0f);
}

void drawMirrored(QPainter* painter, const QVImage& image, const QRectF& target, qreal opacity)
{
    painter->save();
    painter->translate(target.x() + target.width(), target.y());
    painter->scale(-1.0, 1.0);
    image.draw(painter, QRectF(QPointF(0, 0), target.size()), opacity);
    painter->restore();
}
} // namespace

QVFaceplateSliderButtonCell::QVFaceplateSliderButtonCell() = default;

QVFaceplateSliderButtonCell::~QVFaceplateSliderButtonCell() = default;

void QVFaceplateSliderButtonCell::_setImage(QVImage* field, const QVImage& image)
{
    *field = image;
    _redisplay();
}

void QVFaceplateSliderButtonCell::_redisplay() const
{
    if (_controlView)
        _controlView->update();
}

void QVFaceplateSliderButtonCell::_setDefaultSliderImages()
{
    _backingImage = QVImage::named(QStringLiteral("now_playing_slider.png"));
    _backingImageEndcap = QVImage::named(QStringLiteral("now_playing_slider_cap.png"));
    _progressImage = QVImage::named(QStringLiteral("slider_fill.png"));
    _progressImageEndcap = QVImage::named(QStringLiteral("slider_fill_cap.png"));
    _knobImage = QVImage::named(QStringLiteral("slider_handle.png"));
    _loadingImage = QVImage::named(QStringLiteral("now_playing_slider_loading.png"));
    _progressHoverImage = QVImage::named(QStringLiteral("slider_fill_hover.png"));
    _progressHoverImageEndcap = QVImage::named(QStringLiteral("slider_fill_cap_hover.png"));
    _redisplay();
}

void QVFaceplateSliderButtonCell::setSliderValue(float value)
{
    _sliderValue = value;
    _redisplay();
}

void QVFaceplateSliderButtonCell::setIsLoading(bool loading)
{
    if (loading == _isLoading)
        return;
    _isLoading = loading;
    if (loading)
        _loadingXOffset = 0;
    _updateTimer();
    _redisplay();
}

bool QVFaceplateSliderButtonCell::isLoadingTimerActive() const
{
    return _loadingTimer && _loadingTimer->isActive();
}

void QVFaceplateSliderButtonCell::visibilityChanged()
{
    _updateTimer();
}

void QVFaceplateSliderButtonCell::_updateTimer()
{
    // Stripes nobody can see cost a repaint every 50 ms for nothing.
    const bool run = _isLoading && _controlView && _controlView->isVisible();
    if (!run) {
        _loadingTimer.reset();
        return;
    }
    if (_loadingTimer)
        return;
    _loadingTimer = std::make_unique<QTimer>();
    _loadingTimer->setInterval(kLoadingInterval);
    QObject::connect(_loadingTimer.get(), &QTimer::timeout, [this] { _loadingTimerTick(); });
    _loadingTimer->start();
}

void QVFaceplateSliderButtonCell::_loadingTimerTick()
{
    const int tile = int(_loadingImage.width());
    // Without a tile there is nothing to move.
    if (_loadingImage.isNull() || tile <= 0) {
        _loadingXOffset = 0;
        return;
    }
    ++_loadingXOffset;
    if (_loadingXOffset >= unsigned(tile))
        _loadingXOffset = 0;
    _redisplay();
}

void QVFaceplateSliderButtonCell::mouseEntered()
{
    _isMouseHover = true;
    _redisplay();
}

void QVFaceplateSliderButtonCell::mouseExited()
{
    _isMouseHover = false;
    _redisplay();
}

void QVFaceplateSliderButtonCell::_updateSliderValueFromMousePoint(const QPointF& point)
{
    const qreal width = _controlView ? _controlView->width() : 0.0;
    if (!(width > 0.0))
        return;
    _sliderValue = float(std::clamp(point.x(), 0.0, width) / width * 100.0);
}

bool QVFaceplateSliderButtonCell::startTracking(const QPointF& point)
{
    // A slider without width has no value under the pointer (it would be 0/0).
    if (!_controlView || _controlView->width() <= 0)
        return false;
    _isMouseDown = true;
    _updateSliderValueFromMousePoint(point);
    _redisplay();
    return true;
}

bool QVFaceplateSliderButtonCell::continueTracking(const QPointF& point)
{
    if (!_isMouseDown)
        return false;
    _updateSliderValueFromMousePoint(point);
    _redisplay();
    return true;
}

void QVFaceplateSliderButtonCell::stopTracking(const QPointF& point)
{
    if (!_isMouseDown)
        return;
    _isMouseDown = false;
    _updateSliderValueFromMousePoint(point);
    _redisplay();
}

int QVFaceplateSliderButtonCell::fillWidth(qreal width) const
{
    const qreal capW = _progressImageEndcap.width();
    const int p = int(drawnValue(_sliderValue) / 100.0 * (width - 2 * capW + 1));
    if (p <= 0)
        return 0;
    if (p < 2 * capW)
        return int(capW);
    if (p == int(width))
        return int(width - capW - 2);
    return p;
}

int QVFaceplateSliderButtonCell::knobX(qreal width) const
{
    const qreal knobW = _knobImage.width();
    const int fill = fillWidth(width);
    int x = int(fill - _progressImageEndcap.width() - 2 + 4 - knobW / 2);
    if (x < 0)
        x = 0;
    else if (x + knobW > width)
        x = int(width - knobW);
    return x;
}

qreal QVFaceplateSliderButtonCell::_compositeFraction(bool allowsInactive) const
{
    if (!allowsInactive || !_controlView)
        return 1.0;
    return QVWindowActivity::isKeyOrMainWindow(_controlView) ? 1.0 : kInactiveFraction;
}

QImage QVFaceplateSliderButtonCell::render(const QSizeF& size, qreal devicePixelRatio) const
{
    const QSize pixels(
        int(std::ceil(size.width() * devicePixelRatio)), int(std::ceil(size.height() * devicePixelRatio)));
    if (pixels.isEmpty())
        return {};
    QImage canvas(pixels, QImage::Format_ARGB32_Premultiplied);
    canvas.setDevicePixelRatio(devicePixelRatio);
    canvas.fill(Qt::transparent);

    const qreal W = size.width();
    const qreal H = size.height();
    const qreal capW = _backingImageEndcap.width();
    const qreal backH = _backingImage.height();
    const qreal fcW = _progressImageEndcap.width();
    const int y = int(H / 2 - backH / 2);
    const int fill = fillWidth(W);

    QPainter painter(&canvas);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    // The track.
    const qreal capH = _backingImageEndcap.height();
    _backingImageEndcap.draw(&painter, QRectF(0, y, capW, capH));
    drawMirrored(&painter, _backingImageEndcap, QRectF(W - capW, y, capW, capH), 1.0);
    if (W - 2 * capW > 0)
        _backingImage.draw(&painter, QRectF(capW, y, W - 2 * capW, backH));

    if (_isLoading) {
        // Stripes only where the track is; the first tile starts left of the
        // control so that they seem to come in from the left.
        const qreal tile = _loadingImage.width();
        if (!_loadingImage.isNull() && tile > 0) {
            const qreal tileH = _loadingImage.height();
            qreal x = qreal(_loadingXOffset) - (_loadingXOffset > 0 ? tile : 0.0);
            for (; x < W; x += tile)
                _loadingImage.draw(
                    &painter, QRectF(x, y, tile, tileH), 1.0, QPainter::CompositionMode_SourceAtop);
        }
        return canvas;
    }

    if (fill > 0) {
        const qreal fraction = _compositeFraction(true);
        const bool hover = _isMouseHover;
        const QVImage middle = hover && !_progressHoverImage.isNull() ? _progressHoverImage : _progressImage;
        const QVImage cap
            = hover && !_progressHoverImageEndcap.isNull() ? _progressHoverImageEndcap : _progressImageEndcap;
        const qreal fillH = middle.height();
        const qreal fcH = cap.height();
        // Two points in from the track's left and bottom edges.
        const qreal bottom = y + backH - 2;
        cap.draw(&painter, QRectF(2, bottom - fcH, fcW, fcH), fraction);
        drawMirrored(&painter, cap, QRectF(fill, bottom - fcH, fcW, fcH), fraction);
        if (fill >= 2 * fcW && fill - fcW - 2 > 0)
            middle.draw(&painter, QRectF(fcW + 2, bottom - fillH, fill - fcW - 2, fillH), fraction);
    }

    if (_isMouseHover && !_knobImage.isNull()) {
        const qreal knobH = _knobImage.height();
        // Its bottom two points below the track's.
        _knobImage.draw(&painter, QRectF(knobX(W), y + backH + 2 - knobH, _knobImage.width(), knobH));
    }
    return canvas;
}

void QVFaceplateSliderButtonCell::drawWithFrame(QPainter* painter, const QRectF& frame) const
{
    const QImage picture = render(frame.size(), QVImage::deviceScale(painter));
    if (!picture.isNull())
        painter->drawImage(frame.topLeft(), picture);
}
