#pragma once

#include <QPainterPath>
#include <QWidget>

// The thin strip at the top of the main player window: the page header's top
// edge with rounded top corners, in the header's colour while the page loads
// (transparent when the page names none), else the header gradient.
class QVTitlebarVisorView : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kHeight = 5;
    static constexpr qreal kCornerRadius = 4;

    explicit QVTitlebarVisorView(QWidget* parent = nullptr);

    bool shouldDrawLoadingImage() const { return _shouldDrawLoadingImage; }
    void setShouldDrawLoadingImage(bool draw);
    // An invalid colour: none.
    void setColor(const QColor& color);
    QColor color() const { return _color; }

    // A rectangle with round top corners and square bottom ones.
    static QPainterPath roundedTopPath(const QRectF& rect, qreal radius);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool _shouldDrawLoadingImage = false;
    QColor _color;
};
