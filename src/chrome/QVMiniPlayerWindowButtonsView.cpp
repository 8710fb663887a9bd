#include "QVMiniPlayerWindowButtonsView.h"

#include "QVPushButton.h"

QVMiniPlayerWindowButtonsView::QVMiniPlayerWindowButtonsView(QWidget* parent, QVNotificationCenter* center)
    : QVTrafficLightView(parent, center)
{
    setIsMiniPlayer(true);
    setGeometry(kFrame);
    _layoutButtons();
}

void QVMiniPlayerWindowButtonsView::_layoutButtons()
{
    // Close at the top, then minimise and zoom 18 points apart.
    const QSize size = closeButton()->size();
    closeButton()->setGeometry(QRect(QPoint(3, 2), size));
    minButton()->setGeometry(QRect(QPoint(3, 20), size));
    zoomButton()->setGeometry(QRect(QPoint(3, 38), size));
}

void QVMiniPlayerWindowButtonsView::resizeEvent(QResizeEvent* event)
{
    QVTrafficLightView::resizeEvent(event);
    _layoutButtons();
}
