#pragma once

#include "QVImage.h"

#include <QImage>
#include <QPointF>
#include <QSizeF>

#include <memory>

class QTimer;
class QWidget;

// What a faceplate slider looks like and how it follows the pointer: a track
// of three image pieces, a fill up to the value, a handle under the pointer
// and moving stripes while loading. The value runs from 0 to 100. Owned by its
// slider (the control view), which forwards paint and pointer events.
class QVFaceplateSliderButtonCell
{
public:
    QVFaceplateSliderButtonCell();
    ~QVFaceplateSliderButtonCell();
    QVFaceplateSliderButtonCell(const QVFaceplateSliderButtonCell&) = delete;
    QVFaceplateSliderButtonCell& operator=(const QVFaceplateSliderButtonCell&) = delete;

    QWidget* controlView() const { return _controlView; }
    void setControlView(QWidget* view) { _controlView = view; }

    QVImage backingImage() const { return _backingImage; }
    void setBackingImage(const QVImage& image) { _setImage(&_backingImage, image); }
    QVImage backingImageEndcap() const { return _backingImageEndcap; }
    void setBackingImageEndcap(const QVImage& image) { _setImage(&_backingImageEndcap, image); }
    QVImage progressImage() const { return _progressImage; }
    void setProgressImage(const QVImage& image) { _setImage(&_progressImage, image); }
    QVImage progressImageEndcap() const { return _progressImageEndcap; }
    void setProgressImageEndcap(const QVImage& image) { _setImage(&_progressImageEndcap, image); }
    QVImage progressHoverImage() const { return _progressHoverImage; }
    void setProgressHoverImage(const QVImage& image) { _setImage(&_progressHoverImage, image); }
    QVImage progressHoverImageEndcap() const { return _progressHoverImageEndcap; }
    void setProgressHoverImageEndcap(const QVImage& image) { _setImage(&_progressHoverImageEndcap, image); }
    QVImage loadingImage() const { return _loadingImage; }
    void setLoadingImage(const QVImage& image) { _setImage(&_loadingImage, image); }
    QVImage knobImage() const { return _knobImage; }
    void setKnobImage(const QVImage& image) { _setImage(&_knobImage, image); }

    bool isMouseHover() const { return _isMouseHover; }
    bool isMouseDown() const { return _isMouseDown; }

    // Stored as given (drawing puts a value outside 0 to 100 at the nearer end).
    float sliderValue() const { return _sliderValue; }
    void setSliderValue(float value);

    // Stripes move one point every 50 ms while loading and the slider is visible.
    bool isLoading() const { return _isLoading; }
    void setIsLoading(bool loading);
    unsigned int loadingXOffset() const { return _loadingXOffset; }
    bool isLoadingTimerActive() const;
    // One step of the stripes; the timer calls it.
    void _loadingTimerTick();
    // The slider was shown or hidden: the timer runs only while it can be seen.
    void visibilityChanged();

    // The images every slider starts with.
    void _setDefaultSliderImages();

    void mouseEntered();
    void mouseExited();
    // Tracking a press: the value follows the point's x in the control view,
    // even outside it. A control without width ignores the pointer (false).
    bool startTracking(const QPointF& point);
    bool continueTracking(const QPointF& point);
    void stopTracking(const QPointF& point);

    // The fill's width for the value at `width` points; 0 when there is none.
    int fillWidth(qreal width) const;
    // The handle's left edge at `width` points.
    int knobX(qreal width) const;
    // 1.0 in a key or main window, 0.7 elsewhere; always 1.0 when not allowed to fade.
    qreal _compositeFraction(bool allowsInactive) const;

    // The whole control in one picture of `size` points at `devicePixelRatio`.
    QImage render(const QSizeF& size, qreal devicePixelRatio) const;
    void drawWithFrame(class QPainter* painter, const QRectF& frame) const;

private:
    void _setImage(QVImage* field, const QVImage& image);
    void _updateSliderValueFromMousePoint(const QPointF& point);
    void _updateTimer();
    void _redisplay() const;

    QWidget* _controlView = nullptr;
    QVImage _backingImage;
    QVImage _backingImageEndcap;
    QVImage _progressImage;
    QVImage _progressImageEndcap;
    QVImage _progressHoverImage;
    QVImage _progressHoverImageEndcap;
    QVImage _loadingImage;
    QVImage _knobImage;
    bool _isMouseHover = false;
    bool _isMouseDown = false;
    bool _isLoading = false;
    float _sliderValue = 0.0f;
    std::unique_ptr<QTimer> _loadingTimer;
    unsigned int _loadingXOffset = 0;
};
