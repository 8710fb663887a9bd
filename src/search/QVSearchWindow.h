#pragma once

#include <QImage>
#include <QWidget>

class QVSearchTableView;
class QVSearchWindowBackingView;

// The suggestion list's window: a frameless child of the player window,
// raised above the page, never a top-level (Wayland cannot place one under
// the field, and a pop-up would take the keyboard from it). It draws its own
// soft shadow in a margin around the list.
class QVSearchWindow : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kWidth = 300;
    static constexpr int kShadowMargin = 8;
    // Below the field: 2 points, 7 in full screen.
    static constexpr int kGap = 2;
    static constexpr int kFullScreenGap = 7;
    // The list's right edge lies this far left of the field's right edge.
    static constexpr int kRightInset = 5;

    explicit QVSearchWindow(QWidget* parent);

    QVSearchTableView* tableView() const { return _tableView; }
    QVSearchWindowBackingView* backingView() const { return _backingView; }

    // Where the list goes for a field at `fieldRect` (in the parent's
    // coordinates) and a list `height` points tall, kept inside `bounds`.
    static QRect listFrame(const QRect& fieldRect, int height, bool fullScreen, const QRect& bounds);
    // Shows the list at `frame` (the list's own rectangle, shadow outside it), above its siblings.
    void showWithListFrame(const QRect& frame);
    // The list's rectangle in the parent's coordinates.
    QRect listGeometry() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // The shadow for the current size: drawn once, not at every paint.
    QImage _shadow;
    QVSearchWindowBackingView* _backingView;
    QVSearchTableView* _tableView;
};
