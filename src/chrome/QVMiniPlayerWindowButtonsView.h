#pragma once

#include "QVTrafficLightView.h"

// The mini player's window buttons, in one column at its left edge; the zoom
// button switches back to the main player.
class QVMiniPlayerWindowButtonsView : public QVTrafficLightView
{
    Q_OBJECT
public:
    static constexpr QRect kFrame { 4, 5, 18, 56 };

    explicit QVMiniPlayerWindowButtonsView(QWidget* parent = nullptr, QVNotificationCenter* center = nullptr);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void _layoutButtons();
};
