#pragma once

#include "QVImage.h"

#include <QWidget>

// A white panel with a tiled top edge, an optional centred image and an
// optional two-line "No Connection" warning.
class QVBrowserOverlayView : public QWidget
{
    Q_OBJECT
public:
    explicit QVBrowserOverlayView(QWidget* parent = nullptr);

    QVImage overlayImage() const { return _overlayImage; }
    void setOverlayImage(const QVImage& image);
    bool shouldShowWarningText() const { return _shouldShowWarningText; }
    void setShouldShowWarningText(bool show);
    // The strip tiled along the top edge ("overlay_bg" unless replaced).
    QVImage edgeImage() const { return _edgeImage; }
    void setEdgeImage(const QVImage& image);

    // Where the parts go, in view coordinates.
    QRect overlayImageRect() const;
    QRect warningTitleRect() const;
    QRect warningSubtitleRect() const;
    // How many copies of the edge image one paint draws.
    int edgeTileCount() const;

    static QColor warningTextColor() { return QColor(Qt::gray); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QFont _titleFont() const;
    QFont _subtitleFont() const;
    QString _title() const;
    QString _subtitle() const;

    QVImage _overlayImage;
    QVImage _edgeImage;
    bool _shouldShowWarningText = false;
};
