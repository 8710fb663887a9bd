#include "QVInterfaceBuilder.h"

#include "QVAboutWindow.h"
#include "QVDesktopAppDelegate.h"
#include "QVDesktopApplication.h"
#include "QVDockMenu.h"
#include "QVDockTile.h"
#include "QVEventQueue.h"
#include "QVFaceplateController.h"
#include "QVLocalizedString.h"
#include "QVLocationWindow.h"
#include "QVLog.h"
#include "QVMainMenuController.h"
#include "QVMainPlayerWindow2.h"
#include "QVMatchCollectionWindow.h"
#include "QVMiniPlayerView.h"
#include "QVMiniPlayerWindow.h"
#include "QVNavigationController.h"
#include "QVNowPlayingView.h"
#include "QVWebPlaybackService.h"
#include "QVWindow.h"
#include "QVWindowService.h"

#include <QAction>
#include <QActionGroup>
#include <QLayout>
#include <QMenuBar>

QVInterfaceBuilder::QVInterfaceBuilder(QVDesktopApplication* application, QVDesktopAppDelegate* delegate)
    : QObject(application)
    , _application(application)
    , _delegate(delegate)
{
}

QVInterfaceBuilder::~QVInterfaceBuilder()
{
    delete _trayIcon; // before the window that owns its menu
    delete _mainPlayerWindow2;
    delete _miniPlayerWindow;
    delete _matchCollectionWindow;
    delete _aboutWindow;
    delete _locationWindow;
    delete _preferencesController;
}

void QVInterfaceBuilder::build()
{
    _mainPlayerWindow2 = new QVMainPlayerWindow2();
    _miniPlayerWindow = new QVMiniPlayerWindow();
    _matchCollectionWindow = new QVMatchCollectionWindow();
    _aboutWindow = new QVAboutWindow();

    _delegate->mainPlayerWindow2 = _mainPlayerWindow2;
    _delegate->miniPlayerWindow = _miniPlayerWindow;
    _delegate->matchCollectionWindow = _matchCollectionWindow;
    _delegate->aboutWindow = _aboutWindow;

    // Closing hides the player: the tray, a second start or the desktop's raise
    // brings it back, and Quit quits.
    connect(_mainPlayerWindow2, &QVMainPlayerWindow2::closeRequested, _mainPlayerWindow2, &QWidget::hide);
    connect(_miniPlayerWindow, &QVMiniPlayerWindow::switchWindowModeRequested, _delegate,
        &QVDesktopAppDelegate::switchWindowMode);
    _navigationController = QVNavigationController::sharedInstance();
    _locationWindow = new QVLocationWindow();
    _navigationController->setLocationWindow(_locationWindow);
    _aboutWindow->setNavigationController(_navigationController);
    _preferencesController = new QVPreferencesController();
    _preferencesController->awakeFromNib();
    QVWebPlaybackService* playback = QVWebPlaybackService::sharedInstance();
    _navigationController->setPlayingPages({ [playback] { return playback->playingTrackURL(); },
        [playback] { return playback->playingTrackArtistURL(); },
        [playback] { return playback->playingTrackAlbumURL(); } });

    // The main window's page header has its own transport controls: its
    // faceplate controller gets none.
    (new QVFaceplateController(_mainPlayerWindow2))->awakeFromNib();
    wireMiniPlayer(_miniPlayerWindow->miniPlayerView(), _navigationController);
    _buildMenus();
    _buildTrayIcon();
}

std::function<void()> QVInterfaceBuilder::_queued(void (QVNavigationController::*command)())
{
    // A global menu's clicks come over D-Bus, possibly while a read waits.
    QVNavigationController* nav = _navigationController;
    return
        [nav, command] { QVEventQueue::sharedInstance()->post(nav, [nav, command] { (nav->*command)(); }); };
}

void QVInterfaceBuilder::_buildPlaybackMenus()
{
    QVWebPlaybackService* playback = QVWebPlaybackService::sharedInstance();
    _mainMenuController = new QVMainMenuController(this);
    QVMainMenuController* c = _mainMenuController;
    auto command = [c, playback](void (QVWebPlaybackService::*operation)()) {
        return [c, playback, operation] { c->_post([playback, operation] { (playback->*operation)(); }); };
    };

    // No shortcut here is a key that typing in a field uses.
    QMenu* controls = _menuBar->addMenu(QVLocalizedString("Controls"));
    c->playPauseMenuItem
        = controls->addAction(QVLocalizedString("Play"), command(&QVWebPlaybackService::playPause));
    c->playPauseMenuItem->setShortcut(QKeySequence(QStringLiteral("Ctrl+P")));
    c->nextMenuItem
        = controls->addAction(QVLocalizedString("Next"), command(&QVWebPlaybackService::nextTrack));
    c->nextMenuItem->setShortcut(QKeySequence(QStringLiteral("Ctrl+.")));
    c->previousMenuItem
        = controls->addAction(QVLocalizedString("Previous"), command(&QVWebPlaybackService::previousTrack));
    c->previousMenuItem->setShortcut(QKeySequence(QStringLiteral("Ctrl+,")));
    controls->addSeparator();
    c->increaseVolumeMenuItem = controls->addAction(
        QVLocalizedString("Increase Volume"), command(&QVWebPlaybackService::incrementVolumeLevel));
    c->increaseVolumeMenuItem->setShortcuts(
        { QKeySequence(QStringLiteral("Ctrl++")), QKeySequence(QStringLiteral("Ctrl+=")) });
    c->decreaseVolumeMenuItem = controls->addAction(
        QVLocalizedString("Decrease Volume"), command(&QVWebPlaybackService::decrementVolumeLevel));
    c->decreaseVolumeMenuItem->setShortcut(QKeySequence(QStringLiteral("Ctrl+-")));
    controls->addSeparator();
    c->shuffleMenuItem = controls->addAction(QVLocalizedString("Turn On Shuffle"));
    QMenu* repeat = controls->addMenu(QVLocalizedString("Repeat"));
    c->repeatMenuItem = repeat->menuAction();
    const std::pair<const char*, int> repeatStates[]
        = { { "Off", QVRepeatStateNone }, { "One", QVRepeatStateOne }, { "All", QVRepeatStateAll } };
    for (const auto& [title, state] : repeatStates) {
        QAction* item = repeat->addAction(QVLocalizedString(title));
        item->setCheckable(true);
        item->setData(state);
        c->repeatGroup()->addAction(item);
    }

    QVNavigationController* nav = _navigationController;
    QMenu* go = _menuBar->addMenu(QVLocalizedString("Go"));
    go->addAction(QVLocalizedString("Back"), nav, &QVNavigationController::goBackward)
        ->setShortcut(QKeySequence(QStringLiteral("Alt+Left")));
    go->addAction(QVLocalizedString("Forward"), nav, &QVNavigationController::goForward)
        ->setShortcut(QKeySequence(QStringLiteral("Alt+Right")));
    go->addAction(QVLocalizedString("Reload Page"), nav, &QVNavigationController::reload)
        ->setShortcut(QKeySequence(QStringLiteral("Ctrl+R")));
    go->addAction(QVLocalizedString("Open Location…"), _queued(&QVNavigationController::showLocation))
        ->setShortcut(QKeySequence(QStringLiteral("Ctrl+L")));
    go->addSeparator();
    go->addAction(QVLocalizedString("Playing Track"), _queued(&QVNavigationController::goToPlayingTrackPage));
    go->addAction(
        QVLocalizedString("Playing Artist"), _queued(&QVNavigationController::goToPlayingArtistPage));
    go->addAction(QVLocalizedString("Playing Album"), _queued(&QVNavigationController::goToPlayingAlbumPage));
    go->addSeparator();
    go->addAction(QVLocalizedString("People"), _queued(&QVNavigationController::goToPeople));
    go->addAction(QVLocalizedString("Settings"), _queued(&QVNavigationController::goToSettings));
    go->addAction(QVLocalizedString("Subscription Settings"),
        _queued(&QVNavigationController::gotToSubscriptionSettings));
    go->addSeparator();
    c->authMenuItem = go->addAction(QVLocalizedString("Sign In"));

    c->awakeFromNib();
    c->onUserLoggedOut();
}

void QVInterfaceBuilder::wireMiniPlayer(QVMiniPlayerView* view, QVNavigationController* navigation)
{
    connect(view->trackTitleButton(), &QAbstractButton::clicked, navigation,
        &QVNavigationController::goToPlayingTrackPage);
    connect(view->trackArtistButton(), &QAbstractButton::clicked, navigation,
        &QVNavigationController::goToPlayingArtistPage);
    connect(view->nowPlayingView(), &QVNowPlayingView::clicked, navigation,
        &QVNavigationController::goToPlayingAlbumPage);
}

void QVInterfaceBuilder::_buildMenus()
{
    // The main player's menu bar; desktops with a global menu take it over.
    _menuBar = new QMenuBar(_mainPlayerWindow2);
    QVDesktopAppDelegate* d = _delegate;

    QMenu* app = _menuBar->addMenu(QStringLiteral("[product_name]"));
    d->appMenuItem = app->menuAction();
    d->aboutMenuItem
        = app->addAction(QStringLiteral("About [product_name]"), d, &QVDesktopAppDelegate::showAboutDialog);
    d->checkForUpdatesMenuItem = app->addAction(QVLocalizedString("Check for Updates…"));
    app->addAction(QVLocalizedString("Preferences…"), _preferencesController.data(),
        &QVPreferencesController::showPreferences);
    app->addSeparator();
    d->matchCollectionMenuItem = app->addAction(QVLocalizedString("Match iTunes Collection…"), [d] {
        if (d->matchCollectionWindow)
            d->matchCollectionWindow->show();
    });
    app->addSeparator();
    d->hideMenuItem = app->addAction(QStringLiteral("Hide [product_name]"), [] {
        QVWindowService* service = QVWindowService::sharedInstance();
        if (QWidget* window = QApplication::activeWindow())
            window->showMinimized();
        else if (service->mainPlayerWindow2())
            service->mainPlayerWindow2()->windowWidget()->showMinimized();
    });
    d->hideMenuItem->setShortcut(QKeySequence(QStringLiteral("Ctrl+H")));
    d->quitMenuItem = app->addAction(
        QStringLiteral("Quit [product_name]"), _application, &QVDesktopApplication::terminate);
    d->quitMenuItem->setShortcut(QKeySequence::Quit);

    QMenu* window = _menuBar->addMenu(QVLocalizedString("Window"));
    d->mainWindowMenuItem
        = window->addAction(QStringLiteral("[product_name]"), d, &QVDesktopAppDelegate::showQuivWindow);
    d->mainWindowMenuItem->setShortcut(QKeySequence(QStringLiteral("Ctrl+1")));
    d->windowSwitchMenuItem = window->addAction(
        QVLocalizedString("Switch to Mini Player"), d, &QVDesktopAppDelegate::switchWindowMode);
    d->windowSwitchMenuItem->setShortcut(QKeySequence(QStringLiteral("Ctrl+Shift+M")));
    QAction* nowPlaying = window->addAction(
        QVLocalizedString("Now Playing"), d, &QVDesktopAppDelegate::showNowPlayingWebView);
    nowPlaying->setShortcut(QKeySequence(QStringLiteral("Ctrl+Shift+N")));
    QAction* search
        = window->addAction(QVLocalizedString("Search"), d, &QVDesktopAppDelegate::focusSearchField);
    search->setShortcut(QKeySequence::Find);

    _buildPlaybackMenus();

    QMenu* help = _menuBar->addMenu(QVLocalizedString("Help"));
    QVNavigationController* nav = _navigationController;
    d->supportMenuItem = help->addAction(
        QStringLiteral("[product_name] Support"), nav, &QVNavigationController::goToSupport);
    d->welcomeMenuItem = help->addAction(
        QStringLiteral("Welcome to [product_name]"), _queued(&QVNavigationController::goToWelcome));
    help->addSeparator();
    help->addAction(QVLocalizedString("Terms of Service"), nav, &QVNavigationController::goToTermsOfService);
    help->addAction(QVLocalizedString("Payment Terms"), nav, &QVNavigationController::goToPaymentTerms);
    help->addAction(QVLocalizedString("Privacy Policy"), nav, &QVNavigationController::goToPrivacyPolicy);

    _mainPlayerWindow2->contentView()->layout()->setMenuBar(_menuBar);
    _addMenuShortcuts(_menuBar, _miniPlayerWindow);
}

void QVInterfaceBuilder::_addMenuShortcuts(QWidget* menus, QWidget* window)
{
    // The menu bar lives in the main window; its shortcuts work in the mini player too.
    if (!window)
        return;
    for (QAction* action : menus->actions()) {
        if (QMenu* menu = action->menu())
            _addMenuShortcuts(menu, window);
        else if (!action->shortcuts().isEmpty())
            window->addAction(action);
    }
}

void QVInterfaceBuilder::_buildTrayIcon()
{
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        QVLog("[WARNING] No system tray: the tray menu is not shown");
        return;
    }
    // Some trays show nothing without a context menu.
    QVDockMenu* menu = _delegate->applicationDockMenu();
    menu->setParent(_mainPlayerWindow2, Qt::Popup);
    auto* show = new QAction(QVLocalizedString("Show Quiv"), menu);
    connect(show, &QAction::triggered, _delegate, &QVDesktopAppDelegate::showQuivWindow);
    auto* quit = new QAction(QVLocalizedString("Quit Quiv"), menu);
    connect(quit, &QAction::triggered, _application, &QVDesktopApplication::terminate);
    menu->addTrailingAction(show);
    menu->addTrailingAction(quit);

    _trayIcon = new QSystemTrayIcon(QApplication::windowIcon(), this);
    _trayIcon->setContextMenu(menu);
    _trayIcon->setToolTip(QStringLiteral("Quiv"));
    connect(
        _trayIcon, &QSystemTrayIcon::activated, _delegate, [this](QSystemTrayIcon::ActivationReason reason) {
            if (reason == QSystemTrayIcon::Trigger)
                QVWindowService::sharedInstance()->showCurrentWindow();
        });
    // The page's badge shows in the tooltip as well as on the launcher.
    connect(QVDockTile::sharedInstance(), &QVDockTile::badgeLabelChanged, _trayIcon,
        [this](const QString& label) {
            _trayIcon->setToolTip(
                label.isEmpty() ? QStringLiteral("Quiv") : QStringLiteral("Quiv (%1)").arg(label));
        });
    _trayIcon->show();
}
