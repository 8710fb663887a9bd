#include "QVFaceplateSliderButton.h"

#include "QVFaceplateSliderButtonCell.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {
// What a screen reader sees: a slider with its value and range, which it may set.
class SliderAccessible : public QAccessibleWidget, public QAccessibleValueInterface
{
public:
    explicit SliderAccessible(QWidget* widget)
        : QAccessibleWidget(widget, QAccessible::Slider)
    {
    }
    void* interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }
    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value)
            return QString::number(slider()->intValue());
        return QAccessibleWidget::text(t);
    }
    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.busy = slider()->isLoading();
        return s;
    }
    QVariant currentValue() const override { return slider()->intValue(); }
    void setCurrentValue(const QVariant& value) override
    {
        if (!slider()->isEnabled())
            return;
        bool ok = false;
        const double v = value.toDouble(&ok);
        if (ok && std::isfinite(v)) {
            slider()->setFloatValue(float(std::clamp(v, 0.0, 100.0)));
            emit slider()->triggered();
        }
    }
    QVariant maximumValue() const override { return 100; }
    QVariant minimumValue() const override { return 0; }
    QVariant minimumStepSize() const override { return 1; }

private:
    QVFaceplateSliderButton* slider() const { return static_cast<QVFaceplateSliderButton*>(widget()); }
};

QAccessibleInterface* sliderAccessibleFactory(const QString& className, QObject* object)
{
    if (className == QLatin1String("QVFaceplateSliderButton") && object && object->isWidgetType())
        return new SliderAccessible(static_cast<QWidget*>(object));
    return nullptr;
}
} // namespace

QVFaceplateSliderButton::QVFaceplateSliderButton(QWidget* parent)
    : QWidget(parent)
    , _cell(std::make_unique<QVFaceplateSliderButtonCell>())
{
    static const bool installed = [] {
        QAccessible::installFactory(sliderAccessibleFactory);
        return true;
    }();
    (void)installed;
    _cell->setControlView(this);
    _cell->_setDefaultSliderImages();
    setFocusPolicy(Qt::TabFocus);
    setAttribute(Qt::WA_Hover);
}

QVFaceplateSliderButton::~QVFaceplateSliderButton()
{
    _cell.reset();
}

float QVFaceplateSliderButton::floatValue() const
{
    return _cell->sliderValue();
}

int QVFaceplateSliderButton::intValue() const
{
    const float value = _cell->sliderValue();
    if (!std::isfinite(value))
        return value > 0 ? 100 : 0;
    return int(std::clamp(value, -1.0e6f, 1.0e6f));
}

void QVFaceplateSliderButton::setFloatValue(float value)
{
    if (_cell->isMouseDown())
        return;
    _cell->setSliderValue(value);
    _announceValue();
}

bool QVFaceplateSliderButton::isLoading() const
{
    return _cell->isLoading();
}

void QVFaceplateSliderButton::setIsLoading(bool loading)
{
    if (loading == _cell->isLoading())
        return;
    _cell->setIsLoading(loading);
    QAccessible::State changed;
    changed.busy = true;
    QAccessibleStateChangeEvent event(this, changed);
    QAccessible::updateAccessibility(&event);
}

void QVFaceplateSliderButton::_announceValue()
{
    const int value = std::clamp(intValue(), 0, 100);
    if (value == _announcedValue)
        return;
    _announcedValue = value;
    QAccessibleValueChangeEvent event(this, value);
    QAccessible::updateAccessibility(&event);
}

QSize QVFaceplateSliderButton::sizeHint() const
{
    return QSize(100, 12);
}

void QVFaceplateSliderButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    _cell->drawWithFrame(&painter, QRectF(rect()));
}

void QVFaceplateSliderButton::enterEvent(QEnterEvent* event)
{
    _cell->mouseEntered();
    QWidget::enterEvent(event);
}

void QVFaceplateSliderButton::leaveEvent(QEvent* event)
{
    _cell->mouseExited();
    QWidget::leaveEvent(event);
}

void QVFaceplateSliderButton::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !isEnabled() || !_cell->startTracking(event->position())) {
        event->ignore();
        return;
    }
    event->accept();
    if (_isContinuous) {
        _announceValue();
        emit triggered();
    }
}

void QVFaceplateSliderButton::mouseMoveEvent(QMouseEvent* event)
{
    if (!_cell->isMouseDown()) {
        event->ignore();
        return;
    }
    event->accept();
    _cell->continueTracking(event->position());
    if (_isContinuous) {
        _announceValue();
        emit triggered();
    }
}

void QVFaceplateSliderButton::mouseReleaseEvent(QMouseEvent* event)
{
    if (!_cell->isMouseDown() || event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    event->accept();
    _cell->stopTracking(event->position());
    // The pointer may have been released outside: the hover look goes with it.
    if (!rect().contains(event->position().toPoint()) && _cell->isMouseHover())
        _cell->mouseExited();
    _announceValue();
    emit triggered();
}

void QVFaceplateSliderButton::_userSetValue(float value)
{
    _cell->setSliderValue(std::clamp(value, 0.0f, 100.0f));
    _announceValue();
    emit triggered();
}

void QVFaceplateSliderButton::keyPressEvent(QKeyEvent* event)
{
    const float value = std::isnan(floatValue()) ? 0.0f : std::clamp(floatValue(), 0.0f, 100.0f);
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Down:
        _userSetValue(value - 1);
        break;
    case Qt::Key_Right:
    case Qt::Key_Up:
        _userSetValue(value + 1);
        break;
    case Qt::Key_PageDown:
        _userSetValue(value - 10);
        break;
    case Qt::Key_PageUp:
        _userSetValue(value + 10);
        break;
    case Qt::Key_Home:
        _userSetValue(0);
        break;
    case Qt::Key_End:
        _userSetValue(100);
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

void QVFaceplateSliderButton::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    _cell->visibilityChanged();
}

void QVFaceplateSliderButton::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    _cell->visibilityChanged();
}
