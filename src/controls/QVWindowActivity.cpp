#include "QVWindowActivity.h"

#include <QApplication>
#include <QWidget>

namespace {
// Windows that hold the input on behalf of the window that owns them.
bool isTransient(const QWidget* window)
{
    switch (window->windowType()) {
    case Qt::Dialog:
    case Qt::Sheet:
    case Qt::Drawer:
    case Qt::Popup:
    case Qt::Tool:
    case Qt::ToolTip:
        return true;
    default:
        return false;
    }
}

// The window owning `window` through a parent, or nullptr.
QWidget* owner(const QWidget* window)
{
    QWidget* parent = window->parentWidget();
    return parent ? parent->window() : nullptr;
}
} // namespace

bool QVWindowActivity::isKeyWindow(const QWidget* widget)
{
    if (!widget)
        return false;
    const QWidget* window = widget->window();
    if (window == QApplication::activeWindow())
        return true;
    // A pop-up (a menu, a completer) does not take the input away from its window.
    for (const QWidget* popup = QApplication::activePopupWidget(); popup && popup->windowType() == Qt::Popup;
         popup = owner(popup)) {
        if (owner(popup) == window)
            return true;
    }
    return false;
}

bool QVWindowActivity::isMainWindow(const QWidget* widget)
{
    if (!widget)
        return false;
    const QWidget* window = widget->window();
    if (isTransient(window))
        return false;
    if (isKeyWindow(window))
        return true;
    for (const QWidget* active = QApplication::activeWindow(); active && isTransient(active);) {
        active = owner(active);
        if (active == window)
            return true;
    }
    return false;
}
