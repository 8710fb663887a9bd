#pragma once

#include <QWidget>

class QVPushButton;

// The window buttons: close, minimise and zoom, drawn in the system tint. This
// form gives each button its own hover and pressed looks and calls the window;
// the grouped hover and the Alt and full-screen forms replace it later with
// the same name and buttons.
class QVTrafficLightView : public QWidget
{
    Q_OBJECT
public:
    explicit QVTrafficLightView(QWidget* parent = nullptr);

    QVPushButton* closeButton() const { return _closeButton; }
    QVPushButton* minButton() const { return _minButton; }
    QVPushButton* zoomButton() const { return _zoomButton; }

    // Alt held over the window (recorded for the fuller form).
    bool isAltActive() const { return _isAltActive; }
    void setAltState(bool active) { _isAltActive = active; }

    // "window_control_<kind>_<tint>_[yosemite_]<state>" in the system's tint and look.
    static QString buttonImageName(const QString& kind, const QString& state);
    static QString inactiveButtonImageName();

private:
    void onCloseButtonClicked();
    void onMinimizeButtonClicked();
    void onZoomButtonClicked();
    QVPushButton* _makeButton(const QString& kind, int x);

    QVPushButton* _closeButton;
    QVPushButton* _minButton;
    QVPushButton* _zoomButton;
    bool _isAltActive = false;
};
