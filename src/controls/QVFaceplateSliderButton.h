#pragma once

#include <QWidget>

#include <memory>

class QVFaceplateSliderButtonCell;

// A faceplate slider (track position, volume): a value from 0 to 100 set by
// a click or drag anywhere on it, drawn by its cell. The value follows the
// pointer even outside the control; the release ends the drag wherever it
// happens and sends the action once. A continuous slider (volume) also sends
// it on every move. Keyboard: arrows step by 1, Page Up/Down by 10, Home/End.
class QVFaceplateSliderButton : public QWidget
{
    Q_OBJECT
public:
    explicit QVFaceplateSliderButton(QWidget* parent = nullptr);
    ~QVFaceplateSliderButton() override;

    QVFaceplateSliderButtonCell* cell() const { return _cell.get(); }

    float floatValue() const;
    // Truncated toward zero.
    int intValue() const;
    // Ignored during a drag: the handle stays under the pointer.
    void setFloatValue(float value);

    bool isLoading() const;
    void setIsLoading(bool loading);

    // Also send the action on every move of a drag.
    bool isContinuous() const { return _isContinuous; }
    void setContinuous(bool continuous) { _isContinuous = continuous; }

    QSize sizeHint() const override;

signals:
    // The user set the value; read it with floatValue().
    void triggered();

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void _userSetValue(float value);
    void _announceValue();

    std::unique_ptr<QVFaceplateSliderButtonCell> _cell;
    bool _isContinuous = false;
    int _announcedValue = -1;
};
