#pragma once

#include <QObject>
#include <QPointer>

#include "QVAboutWindow.h"
#include "QVMainMenuController.h"
#include "QVMainPlayerWindow2.h"
#include "QVMiniPlayerWindow.h"
#include "QVNavigationController.h"
#include "QVPreferencesController.h"
#include "QVWindow.h"

#include <QMenuBar>
#include <QSystemTrayIcon>

#include <functional>

class QVDesktopAppDelegate;
class QVDesktopApplication;
class QVMiniPlayerView;
class QVNavigationController;

// Creates the windows and menus at start and wires their actions and the
// delegate's outlets, the way an interface file would.
class QVInterfaceBuilder : public QObject
{
    Q_OBJECT
public:
    QVInterfaceBuilder(QVDesktopApplication* application, QVDesktopAppDelegate* delegate);
    ~QVInterfaceBuilder() override;

    void build();

    // The mini player's title, artist and art lead to their pages in the
    // main player.
    static void wireMiniPlayer(QVMiniPlayerView* view, QVNavigationController* navigation);

    QVMainPlayerWindow2* mainPlayerWindow2() const { return _mainPlayerWindow2; }
    QMenuBar* menuBar() const { return _menuBar; }
    // nullptr where the desktop has no tray.
    QSystemTrayIcon* trayIcon() const { return _trayIcon; }
    QVMainMenuController* mainMenuController() const { return _mainMenuController; }
    QVPreferencesController* preferencesController() const { return _preferencesController; }

private:
    void _buildMenus();
    void _buildPlaybackMenus();
    void _buildTrayIcon();
    static void _addMenuShortcuts(QWidget* menus, QWidget* window);
    std::function<void()> _queued(void (QVNavigationController::*command)());

    QVDesktopApplication* _application;
    QVDesktopAppDelegate* _delegate;
    QPointer<QVMainPlayerWindow2> _mainPlayerWindow2;
    QPointer<QVMiniPlayerWindow> _miniPlayerWindow;
    QPointer<QVWindow> _matchCollectionWindow;
    QPointer<QVAboutWindow> _aboutWindow;
    QPointer<QMenuBar> _menuBar;
    QPointer<QSystemTrayIcon> _trayIcon;
    QPointer<QVMainMenuController> _mainMenuController;
    QVNavigationController* _navigationController = nullptr;
    QPointer<QVLocationWindow> _locationWindow;
    QPointer<QVPreferencesController> _preferencesController;
};
