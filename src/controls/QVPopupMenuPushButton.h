#pragma once

#include "QVPushButton.h"

// A push button that opens its menu under itself on a left click, staying
// pressed while the menu is open. No context menu on a right click. Without a
// menu it is a plain push button.
class QVPopupMenuPushButton : public QVPushButton
{
    Q_OBJECT
public:
    explicit QVPopupMenuPushButton(QWidget* parent = nullptr);

    // Where the menu opens, in the button's coordinates: just under its left corner.
    QPoint menuPosition() const { return QPoint(0, height() + 5); }

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
};
