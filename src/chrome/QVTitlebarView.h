#pragma once

#include <QPointer>
#include <QWidget>

class QVPushButton;
class QVTrafficLightView;
class QVWindow;

// The title bar of a window that draws its own: the window buttons on the
// left, the title, and on the right an optional full-screen button and the
// account-status button. Dragging it moves the window, a double click zooms
// it. With a unified background it paints the top strip of the window's
// background image; otherwise the window's own background shows through.
class QVTitlebarView : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kHeight = 22;

    explicit QVTitlebarView(QWidget* parent = nullptr);

    // Whether the window's title shows (not in full screen).
    bool shouldDrawWindowTitle() const { return _shouldDrawWindowTitle; }
    void setShouldDrawWindowTitle(bool draw);

    QVPushButton* fullScreenButton() const { return _fullScreenButton; }
    QVTrafficLightView* trafficLightsView() const { return _trafficLightsView; }
    // The account-status button; hidden until the window shows it. The title
    // bar takes ownership.
    QWidget* subscriptionButtonView() const { return _subscriptionButtonView; }
    void setSubscriptionButtonView(QWidget* view);

    void setAltState(bool active);

    // Shown at its place when the window supports full screen, hidden otherwise.
    void updateFullScreenButtonLocation();
    // Shown at its place when the window shows the account status.
    void updateSubscriptionButtonLocation();
    QRect fullScreenButtonRect() const;
    QRect subscriptionButtonRect() const;
    QRect trafficLightsRect() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    QVWindow* _window() const;
    void _layoutButtons();
    void _drawTitle(QPainter* painter, bool active, bool unified);

    bool _shouldDrawWindowTitle = true;
    QVPushButton* _fullScreenButton;
    QPointer<QWidget> _subscriptionButtonView;
    QVTrafficLightView* _trafficLightsView;

    // A press that may become a drag of the window.
    bool _isPressed = false;
    bool _isMovingByHand = false;
    QPoint _pressGlobalPosition;
    QPoint _pressWindowPosition;
};
