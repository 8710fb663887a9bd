#pragma once

#include "QVWebNavigationListener.h"

#include <QPointer>
#include <QString>
#include <QWidget>

class QVMainPlayerWindow2;
class QVWebView;

// Decides which player window is on screen and performs the first load of the
// web application. The full window delegate behaviour comes with the windows.
class QVWindowService : public QVWebNavigationListener
{
public:
    QVWindowService();
    ~QVWindowService() override;

    static QVWindowService* sharedInstance();

    void setMainPlayerWindow(QVMainPlayerWindow2* mainPlayerWindow, QWidget* miniPlayerWindow);
    void showCurrentWindow();
    void showMainPlayerWindow();
    void showMiniPlayerWindow();
    int currentWindowType() const { return _currentWindowType; }
    // Unloads the page and closes the main player window.
    void shutdown();

    QVMainPlayerWindow2* mainPlayerWindow2() const { return _mainPlayerWindow2; }

private:
    void _showMainPlayerWindow2();
    void _showMiniPlayerWindow();
    void _loadWindowWebView(QVMainPlayerWindow2* window);
    void _setDefaultWebView(QVWebView* webView);
    void _saveCurrentWindowTypePref();
    void _setCurrentWindowType(int type);

    QPointer<QVMainPlayerWindow2> _mainPlayerWindow2;
    QPointer<QWidget> _miniPlayerWindow;
    int _currentWindowType;
};
