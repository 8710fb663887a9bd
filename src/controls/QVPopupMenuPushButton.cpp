#include "QVPopupMenuPushButton.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QMouseEvent>

QVPopupMenuPushButton::QVPopupMenuPushButton(QWidget* parent)
    : QVPushButton(parent)
{
}

void QVPopupMenuPushButton::mousePressEvent(QMouseEvent* event)
{
    if (!isEnabled())
        return;
    QMenu* menu = this->menu();
    if (!menu || event->button() != Qt::LeftButton) {
        QVPushButton::mousePressEvent(event);
        return;
    }
    event->accept();
    setDown(true);
    QPointer<QVPopupMenuPushButton> self(this);
    connect(
        menu, &QMenu::aboutToHide, this,
        [self] {
            if (self)
                self->setDown(false);
        },
        Qt::SingleShotConnection);
    menu->popup(mapToGlobal(menuPosition()));
}

void QVPopupMenuPushButton::contextMenuEvent(QContextMenuEvent* event)
{
    event->ignore();
}
