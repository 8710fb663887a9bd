#pragma once

class QWidget;

// Which windows the user is working in. The "key" window takes keyboard input;
// the "main" window is the one the user works in, still main while one of its
// dialogs, tool windows or pop-ups has the input. Chrome draws its active look
// in a key or main window and fades or greys out elsewhere.
class QVWindowActivity
{
public:
    // The widget's window is the application's active window, or has a pop-up open.
    static bool isKeyWindow(const QWidget* widget);
    // The widget's window is an ordinary window and is key, or owns the key
    // window through dialogs, tool windows or pop-ups. A dialog is never main.
    static bool isMainWindow(const QWidget* widget);
    static bool isKeyOrMainWindow(const QWidget* widget)
    {
        return isKeyWindow(widget) || isMainWindow(widget);
    }
};
