#pragma once

#include <QImage>
#include <QWidget>

// The suggestion window's background: white at 96 %, corners rounded by 5.
class QVSearchWindowBackingView : public QWidget
{
    Q_OBJECT
public:
    static constexpr qreal kCornerRadius = 5.0;

    explicit QVSearchWindowBackingView(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // Drawn once per size: lists of one size follow each other while typing.
    QImage _background;
};
