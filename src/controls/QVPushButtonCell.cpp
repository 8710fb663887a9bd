#include "QVPushButtonCell.h"

#include "QVPushButton.h"
#include "QVPushButtonCellListener.h"
#include "QVWindowActivity.h"

#include <QPainter>
#include <QPointer>

QVPushButtonCell::QVPushButtonCell() = default;

QVPushButtonCell::~QVPushButtonCell()
{
    if (_listener)
        _listener->_cells.removeAll(this);
}

void QVPushButtonCell::setPushButtonCellListener(QVPushButtonCellListener* listener)
{
    if (listener == _listener)
        return;
    if (_listener)
        _listener->_cells.removeAll(this);
    _listener = listener;
    if (_listener)
        _listener->_cells.append(this);
}

void QVPushButtonCell::setActiveImage(const QString& activeName, const QString& hoverName,
    const QString& disabledName, const QString& inactiveName, const QString& inactiveHoverName,
    const QString& pushName)
{
    const auto set = [](QVImage& image, const QString& name) {
        if (!name.isEmpty())
            image = QVImage::named(name);
    };
    set(_image, activeName);
    set(_hoverImage, hoverName);
    set(_disabledImage, disabledName);
    set(_inactiveImage, inactiveName);
    set(_inactiveHoverImage, inactiveHoverName);
    set(_pushImage, pushName);
}

bool QVPushButtonCell::_isEnabled() const
{
    return !_controlView || _controlView->isEnabled();
}

bool QVPushButtonCell::_isWindowKey() const
{
    return QVWindowActivity::isKeyWindow(_controlView);
}

bool QVPushButtonCell::_isWindowMain() const
{
    return QVWindowActivity::isMainWindow(_controlView);
}

bool QVPushButtonCell::_isWindowKeyOrMain() const
{
    return _isWindowKey() || _isWindowMain();
}

QVPushButtonCell::Choice QVPushButtonCell::_imageChoice() const
{
    if (!_isEnabled())
        return Choice::Disabled;
    if (_isWindowKeyOrMain()) {
        if (_isMouseDown && !_pushImage.isNull())
            return Choice::Push;
        if (_isMouseHover && !_hoverImage.isNull())
            return Choice::Hover;
        return Choice::Normal;
    }
    if (_isMouseHover && !_inactiveHoverImage.isNull())
        return Choice::InactiveHover;
    if (!_inactiveImage.isNull())
        return Choice::Inactive;
    return Choice::Normal;
}

QVImage QVPushButtonCell::_imageForChoice(Choice choice) const
{
    switch (choice) {
    case Choice::Disabled:
        return _disabledImage;
    case Choice::Push:
        return _pushImage;
    case Choice::Hover:
        return _hoverImage;
    case Choice::InactiveHover:
        return _inactiveHoverImage;
    case Choice::Inactive:
        return _inactiveImage;
    case Choice::Normal:
        break;
    }
    return _image;
}

QVImage QVPushButtonCell::image() const
{
    return _imageForChoice(_imageChoice());
}

bool QVPushButtonCell::willDrawArrowMenuImage() const
{
    return _controlView && _controlView->menu() && !_arrowMenuImage.isNull();
}

qreal QVPushButtonCell::drawingOpacity() const
{
    if (_usesInactiveTransparency && !_isWindowKeyOrMain())
        return qBound(0.0, qreal(_inactiveTransparency), 1.0);
    return 1.0;
}

void QVPushButtonCell::drawWithFrame(QPainter* painter, const QRectF& frame)
{
    const qreal opacity = drawingOpacity();
    const QVImage current = image();
    if (!current.isNull())
        current.draw(painter, QRectF(frame.topLeft(), current.size()), opacity);
    if (willDrawArrowMenuImage()) {
        const QSizeF arrow = _arrowMenuImage.size();
        const QPointF at(frame.width() - 2 * arrow.width(), (frame.height() - arrow.height()) / 2 - 1);
        _arrowMenuImage.draw(painter, QRectF(frame.topLeft() + at, arrow), opacity);
    }
}

bool QVPushButtonCell::_notify(void (QVPushButtonCellListener::*method)(QVPushButton*))
{
    if (!_listener || !_controlView)
        return true;
    QPointer<QVPushButton> view(_controlView);
    (_listener->*method)(_controlView);
    return !view.isNull();
}

void QVPushButtonCell::mouseEntered()
{
    _isMouseHover = true;
    _notify(&QVPushButtonCellListener::onPushButtonCellMouseOver);
}

void QVPushButtonCell::mouseExited()
{
    _isMouseHover = false;
    _notify(&QVPushButtonCellListener::onPushButtonCellMouseOut);
}

bool QVPushButtonCell::startTracking()
{
    _isMouseDown = true;
    _notify(&QVPushButtonCellListener::onPushButtonCellMouseDown);
    return true;
}

void QVPushButtonCell::stopTracking(bool)
{
    _isMouseDown = false;
    if (!_notify(&QVPushButtonCellListener::onPushButtonCellMouseUp))
        return;
    _isMouseHover = false;
    _notify(&QVPushButtonCellListener::onPushButtonCellMouseOut);
}
