#pragma once

#include "QVPushButtonCellListener.h"

#include <QWidget>

class QVNotificationCenter;
class QVPushButton;

// The window buttons: close, minimise and zoom, drawn in the system's tint and
// look. Hovering any of them shows the symbols on all three; the zoom button
// shows full screen, or with Alt held maximise, and in the mini player the
// switch back to the main player. Close hides the window (the tray, a second
// start or the desktop's raise brings it back). The buttons never take
// keyboard focus: the page keeps it.
class QVTrafficLightView : public QWidget, public QVPushButtonCellListener
{
    Q_OBJECT
public:
    explicit QVTrafficLightView(QWidget* parent = nullptr, QVNotificationCenter* center = nullptr);
    ~QVTrafficLightView() override;

    QVPushButton* closeButton() const { return _closeButton; }
    QVPushButton* minButton() const { return _minButton; }
    QVPushButton* zoomButton() const { return _zoomButton; }

    bool isMouseOver() const { return _isMouseOver; }
    bool isAltActive() const { return _isAltActive; }
    void setAltState(bool active);
    bool isFullscreen() const { return _isFullscreen; }
    void setFullscreen(bool fullscreen);
    bool isMiniPlayer() const { return _isMiniPlayer; }

    // "window_control_<kind>_<tint>_[yosemite_]<state>" in the system's tint and look.
    static QString buttonImageName(const QString& kind, const QString& state);
    static QString inactiveButtonImageName();
    QString closeButtonImageName(const QString& state) const;
    QString minimizeButtonImageName(const QString& state) const;
    QString zoomButtonImageName(const QString& state) const;

    // Showing or hiding forgets the hover.
    void setVisible(bool visible) override;

    // QVPushButtonCellListener
    void onPushButtonCellMouseOver(QVPushButton* button) override;
    void onPushButtonCellMouseOut(QVPushButton* button) override;

signals:
    // The zoom button of the mini player: back to the main player.
    void switchWindowModeRequested();

protected:
    // For the mini player's column of buttons.
    void setIsMiniPlayer(bool miniPlayer);
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void onCloseButtonClicked();
    void onMinimizeButtonClicked();
    void onZoomButtonClicked();
    void _onWindowServiceWindowChanged();
    void _updateButtonImages();
    static bool _isFlat();
    QVPushButton* _makeButton(int x);

    QVNotificationCenter* _center;
    QVPushButton* _closeButton;
    QVPushButton* _minButton;
    QVPushButton* _zoomButton;
    bool _isMouseOver = false;
    bool _isAltActive = false;
    bool _isFullscreen = false;
    bool _isMiniPlayer = false;
};
