#include "QVNavigationBarView.h"

#include "QVImage.h"
#include "QVWindowActivity.h"

#include <QEvent>
#include <QPainter>

QVNavigationBarView::QVNavigationBarView(QWidget* parent)
    : QWidget(parent)
{
}

bool QVNavigationBarView::event(QEvent* event)
{
    if (event->type() == QEvent::WindowActivate || event->type() == QEvent::WindowDeactivate)
        update();
    return QWidget::event(event);
}

void QVNavigationBarView::paintEvent(QPaintEvent*)
{
    const bool active = QVWindowActivity::isKeyOrMainWindow(this);
    const QVImage image
        = QVImage::named(active ? QStringLiteral("nav_bg") : QStringLiteral("nav_bg_inactive"));
    QPainter painter(this);
    image.draw(&painter, QRectF(rect()), 1.0, QPainter::CompositionMode_Source);
}
