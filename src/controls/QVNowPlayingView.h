#pragma once

#include "QVAlbumArtListener.h"

#include <QPainterPath>
#include <QRect>
#include <QTimer>
#include <QWidget>

class QVAlbumArtHandler;

// The framed strip behind the track title and artist: the playing track's
// art in a small rounded square at the left, a stretched background, and the
// service's logo faded in at the centre while nothing plays. A click on the
// art sends clicked(); a drag elsewhere moves the window.
class QVNowPlayingView : public QWidget, public QVAlbumArtListener
{
    Q_OBJECT
public:
    // The art comes from `albumArtHandler` (the playback service's when null).
    explicit QVNowPlayingView(QWidget* parent = nullptr, QVAlbumArtHandler* albumArtHandler = nullptr);
    ~QVNowPlayingView() override;

    bool shouldShowLogo() const { return _shouldShowLogo; }
    // Showing it fades the logo in over 0.8 s; hiding it is at once.
    void setShouldShowLogo(bool show);
    float logoAlphaLevel() const { return _logoAlphaLevel; }
    bool isFading() const { return _fadeTimer.isActive(); }
    // One step of the fade; the timer calls it.
    void _fadeTimerTick();

    // Empty rectangles mean no bound.
    QRect minFrame() const { return _minFrame; }
    void setMinFrame(const QRect& frame) { _minFrame = frame; }
    QRect maxFrame() const { return _maxFrame; }
    void setMaxFrame(const QRect& frame) { _maxFrame = frame; }
    // The size clamped to the bounds; every resize goes through it.
    QSize clampedSize(const QSize& size) const;
    void setFrame(const QRect& frame);
    void setFrameSize(const QSize& size);

    // Where the 46 × 46 art square sits: one point from the left and two
    // from the bottom, as the frame images expect.
    QRect _albumArtRect() const;
    // A rounded rectangle whose corner radius is at most half its shorter side.
    static QPainterPath _albumArtBezierPath(const QRectF& rect, qreal radius);

    // The art drawn: the last the handler announced (its current one at first).
    QImage albumArtImage() const { return _albumArt; }

    // QVAlbumArtListener
    void onAlbumArtAvailable(const QImage& image) override;

signals:
    // The art was clicked.
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QVAlbumArtHandler* _handler;
    QImage _albumArt;
    bool _shouldShowLogo = true;
    float _logoAlphaLevel = 1.0f;
    QTimer _fadeTimer;
    QRect _minFrame;
    QRect _maxFrame;
    QPoint _pressPosition;
    bool _pressed = false;
};
