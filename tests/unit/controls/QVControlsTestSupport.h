#pragma once

#include <QApplication>
#include <QEnterEvent>
#include <QImage>
#include <QMouseEvent>
#include <QWidget>

// Solid pictures, a window to put buttons in and the pointer's events, shared
// by the control tests.
namespace QVControlsTest {

inline QImage solid(const QColor& color, QSize size = QSize(20, 20))
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(color);
    return image;
}

inline void activate(QWidget* window)
{
    window->show();
    QApplication::setActiveWindow(window);
    QCoreApplication::processEvents();
}

inline void deactivateAll()
{
    QApplication::setActiveWindow(nullptr);
    QCoreApplication::processEvents();
}

// What the widget itself paints, on a transparent ground.
inline QImage snapshot(QWidget* widget)
{
    const qreal ratio = widget->devicePixelRatioF();
    QImage image(widget->size() * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    widget->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

inline QColor pixel(QWidget* widget, QPoint at)
{
    const QImage image = snapshot(widget);
    const qreal ratio = image.devicePixelRatio();
    return image.pixelColor(QPoint(int(at.x() * ratio), int(at.y() * ratio)));
}

// Equal up to the rounding of premultiplied pixels.
inline bool sameRgb(const QColor& a, const QColor& b)
{
    return qAbs(a.red() - b.red()) <= 2 && qAbs(a.green() - b.green()) <= 2 && qAbs(a.blue() - b.blue()) <= 2;
}

inline void enter(QWidget* widget, QPointF at = QPointF(2, 2))
{
    QEnterEvent event(at, widget->mapTo(widget->window(), at), widget->mapToGlobal(at));
    QApplication::sendEvent(widget, &event);
}

inline void leave(QWidget* widget)
{
    QEvent event(QEvent::Leave);
    QApplication::sendEvent(widget, &event);
}

inline void mouse(
    QWidget* widget, QEvent::Type type, QPointF at = QPointF(2, 2), Qt::MouseButton button = Qt::LeftButton)
{
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton
        : type == QEvent::MouseMove                                  ? Qt::MouseButtons(Qt::LeftButton)
                                                                     : Qt::MouseButtons(button);
    QMouseEvent event(type, at, widget->mapToGlobal(at), type == QEvent::MouseMove ? Qt::NoButton : button,
        held, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

inline void click(QWidget* widget, QPointF at = QPointF(2, 2))
{
    mouse(widget, QEvent::MouseButtonPress, at);
    mouse(widget, QEvent::MouseButtonRelease, at);
}

} // namespace QVControlsTest
