#pragma once

#include "QVAboutWindow.h"
#include "QVMainPlayerWindow2.h"
#include "QVMiniPlayerWindow.h"
#include "QVWebNavigationListener.h"
#include "QVWindow.h"
#include "SPMediaKeyTap.h"

#include <QAction>
#include <QObject>
#include <QPointer>
#include <QElapsedTimer>
#include <QTimer>

#include <memory>

class QAction;
class QVNotificationCenter;
class QVUserDefaults;
class QVWebNavigationService;
class QVWebPlaybackService;
class QVWindowService;
class QVDockMenu;

// How the delegate answers a request to quit.
enum class QVTerminateReply { TerminateCancel = 0, TerminateNow = 1, TerminateLater = 2 };

// Sequences start-up and shut-down, keeps a few menu items in step with the
// signed-in state and the window type, and turns media keys into the three
// button notifications.
class QVDesktopAppDelegate : public QObject, public QVWebNavigationListener, public SPMediaKeyTapDelegate
{
    Q_OBJECT
public:
    // The services it sequences; tests pass fresh ones, nullptr means shared.
    struct Services {
        QVWindowService* windowService;
        QVWebNavigationService* navigationService;
        QVWebPlaybackService* playbackService;
        QVNotificationCenter* notificationCenter;
        QVUserDefaults* userDefaults;
    };

    explicit QVDesktopAppDelegate(QObject* parent = nullptr);
    explicit QVDesktopAppDelegate(Services services, QObject* parent = nullptr);
    ~QVDesktopAppDelegate() override;

    // Outlets, filled by the interface builder; not owned.
    QPointer<QVMainPlayerWindow2> mainPlayerWindow2;
    QPointer<QVMiniPlayerWindow> miniPlayerWindow;
    QPointer<QVWindow> matchCollectionWindow;
    QPointer<QVAboutWindow> aboutWindow;
    QPointer<QAction> windowSwitchMenuItem;
    QPointer<QAction> checkForUpdatesMenuItem;
    bool shouldShowMiniPlayerAfterFlyout = false;
    unsigned int itunesPollTickCount = 0;
    QPointer<QAction> matchCollectionMenuItem;
    bool shouldShutdown = false;
    std::unique_ptr<SPMediaKeyTap> mediaKeyTap;
    QPointer<QAction> appMenuItem;
    QPointer<QAction> aboutMenuItem;
    QPointer<QAction> hideMenuItem;
    QPointer<QAction> quitMenuItem;
    QPointer<QAction> mainWindowMenuItem;
    QPointer<QAction> supportMenuItem;
    QPointer<QAction> welcomeMenuItem;

    void applicationWillFinishLaunching();
    void applicationDidFinishLaunching();
    QVTerminateReply applicationShouldTerminate();
    void applicationWillTerminate();
    bool applicationShouldHandleReopen(bool hasVisibleWindows);
    QVDockMenu* applicationDockMenu();

    void mediaKeyTapReceivedMediaKeyEvent(SPMediaKeyTap* tap, const SPMediaKeyEvent& event) override;
    void webViewFinishedLoading() override;

    // Menu actions.
    void showAboutDialog();
    void switchWindowMode();
    void showQuivWindow();
    void focusSearchField();
    void showNowPlayingWebView();

    // How long quitting from the main player waits for the page to unload.
    int shutdownTimeLimit() const { return _shutdownTimeLimit; }
    void setShutdownTimeLimit(int milliseconds) { _shutdownTimeLimit = milliseconds; }

signals:
    // The answer to an earlier TerminateLater.
    void replyToApplicationShouldTerminate(bool shouldTerminate);

private:
    void _showMainPlayer();
    void _showMiniPlayer();
    void _ensureMenuItemBundleName(QAction* item);
    void _onWindowTypeChanged();
    void _onUserDidSignIn();
    void _onUserDidSignOut();
    void _pollWebShutdown();

    Services _services;
    QTimer _shutdownPollTimer;
    QElapsedTimer _shutdownClock;
    int _shutdownTimeLimit = 5000;
};
