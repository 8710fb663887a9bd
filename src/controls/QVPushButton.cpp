#include "QVPushButton.h"

#include "QVPushButtonCell.h"

#include <QContextMenuEvent>
#include <QEnterEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>

#include <cmath>

QVPushButton::QVPushButton(QWidget* parent)
    : QVPushButton(std::make_unique<QVPushButtonCell>(), parent)
{
}

QVPushButton::QVPushButton(std::unique_ptr<QVPushButtonCell> cell, QWidget* parent)
    : QAbstractButton(parent)
{
    setCell(std::move(cell));
    _setup();
}

QVPushButton::~QVPushButton()
{
    // The cell goes first, while the button it points to is still whole.
    _cell.reset();
}

void QVPushButton::_setup()
{
    setFocusPolicy(Qt::NoFocus);
}

void QVPushButton::setCell(std::unique_ptr<QVPushButtonCell> cell)
{
    _cell = std::move(cell);
    if (_cell)
        _cell->setControlView(this);
    updateGeometry();
    update();
}

template <typename Setter> void QVPushButton::_setOnCell(Setter setter)
{
    if (!_cell)
        return;
    setter(*_cell);
    update();
}

void QVPushButton::setImage(const QVImage& image)
{
    _setOnCell([&](QVPushButtonCell& cell) { cell.setImage(image); });
    updateGeometry();
}

void QVPushButton::setActiveImage(const QString& activeName, const QString& hoverName,
    const QString& disabledName, const QString& inactiveName, const QString& inactiveHoverName,
    const QString& pushName)
{
    _setOnCell([&](QVPushButtonCell& cell) {
        cell.setActiveImage(activeName, hoverName, disabledName, inactiveName, inactiveHoverName, pushName);
    });
    updateGeometry();
}

void QVPushButton::setHoverImage(const QVImage& image)
{
    _setOnCell([&](QVPushButtonCell& cell) { cell.setHoverImage(image); });
}

void QVPushButton::setDisabledImage(const QVImage& image)
{
    _setOnCell([&](QVPushButtonCell& cell) { cell.setDisabledImage(image); });
}

void QVPushButton::setInactiveImage(const QVImage& image)
{
    _setOnCell([&](QVPushButtonCell& cell) { cell.setInactiveImage(image); });
}

void QVPushButton::setInactiveHoverImage(const QVImage& image)
{
    _setOnCell([&](QVPushButtonCell& cell) { cell.setInactiveHoverImage(image); });
}

void QVPushButton::setPushImage(const QVImage& image)
{
    _setOnCell([&](QVPushButtonCell& cell) { cell.setPushImage(image); });
}

void QVPushButton::setArrowMenuImage(const QVImage& image)
{
    _setOnCell([&](QVPushButtonCell& cell) { cell.setArrowMenuImage(image); });
}

namespace {
QVImage imageNamedOrNone(const QString& name)
{
    return name.isEmpty() ? QVImage() : QVImage::named(name);
}
} // namespace

void QVPushButton::setActiveImageByName(const QString& name)
{
    setImage(imageNamedOrNone(name));
}

void QVPushButton::setHoverImageByName(const QString& name)
{
    setHoverImage(imageNamedOrNone(name));
}

void QVPushButton::setDisabledImageByName(const QString& name)
{
    setDisabledImage(imageNamedOrNone(name));
}

void QVPushButton::setInactiveImageByName(const QString& name)
{
    setInactiveImage(imageNamedOrNone(name));
}

void QVPushButton::setPushImageByName(const QString& name)
{
    setPushImage(imageNamedOrNone(name));
}

void QVPushButton::setUsesInactiveTransparency(bool uses)
{
    _setOnCell([&](QVPushButtonCell& cell) { cell.setUsesInactiveTransparency(uses); });
}

void QVPushButton::setInactiveTransparency(float opacity)
{
    _setOnCell([&](QVPushButtonCell& cell) { cell.setInactiveTransparency(opacity); });
}

void QVPushButton::setPushButtonCellListener(QVPushButtonCellListener* listener)
{
    if (_cell)
        _cell->setPushButtonCellListener(listener);
}

void QVPushButton::setMenu(QMenu* menu)
{
    _menu = menu;
    update();
}

QSize QVPushButton::sizeHint() const
{
    if (!_cell)
        return QSize(0, 0);
    const QSizeF size = _cell->regularButtonImage().size();
    return QSize(int(std::ceil(size.width())), int(std::ceil(size.height())));
}

bool QVPushButton::event(QEvent* event)
{
    switch (event->type()) {
    case QEvent::WindowActivate:
    case QEvent::WindowDeactivate:
    case QEvent::ActivationChange:
        // Key and main state pick the image and the fading.
        update();
        break;
    default:
        break;
    }
    return QAbstractButton::event(event);
}

void QVPushButton::paintEvent(QPaintEvent*)
{
    if (!_cell)
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    _cell->drawWithFrame(&painter, QRectF(rect()));
    // Only buttons reachable by Tab ever have the focus: show where it is.
    if (hasFocus()) {
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(palette().color(QPalette::Highlight), 1.5));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(QRectF(rect()).adjusted(0.75, 0.75, -0.75, -0.75), 3, 3);
    }
}

void QVPushButton::enterEvent(QEnterEvent* event)
{
    QPointer<QVPushButton> self(this);
    if (_cell)
        _cell->mouseEntered();
    if (!self)
        return;
    update();
    QAbstractButton::enterEvent(event);
}

void QVPushButton::leaveEvent(QEvent* event)
{
    QPointer<QVPushButton> self(this);
    if (_cell)
        _cell->mouseExited();
    if (!self)
        return;
    update();
    QAbstractButton::leaveEvent(event);
}

void QVPushButton::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && hitButton(event->position().toPoint()) && _cell) {
        QPointer<QVPushButton> self(this);
        _cell->startTracking();
        if (!self)
            return;
        update();
    }
    QAbstractButton::mousePressEvent(event);
}

void QVPushButton::mouseMoveEvent(QMouseEvent* event)
{
    // Tracking stops while the held mouse is off the button and starts again
    // when it comes back, so the pressed look follows the pointer.
    if ((event->buttons() & Qt::LeftButton) && _cell) {
        const bool inside = hitButton(event->position().toPoint());
        QPointer<QVPushButton> self(this);
        if (inside && !_cell->isMouseDown())
            _cell->startTracking();
        else if (!inside && _cell->isMouseDown())
            _cell->stopTracking(false);
        if (!self)
            return;
        update();
    }
    QAbstractButton::mouseMoveEvent(event);
}

void QVPushButton::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && _cell && _cell->isMouseDown()) {
        QPointer<QVPushButton> self(this);
        _cell->stopTracking(true);
        if (!self)
            return;
        update();
    }
    QAbstractButton::mouseReleaseEvent(event);
}

void QVPushButton::contextMenuEvent(QContextMenuEvent* event)
{
    if (!_menu) {
        event->ignore();
        return;
    }
    _menu->popup(event->globalPos());
    event->accept();
}

void QVPushButton::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::EnabledChange)
        update();
    QAbstractButton::changeEvent(event);
}
