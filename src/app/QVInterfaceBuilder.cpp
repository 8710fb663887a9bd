#include "QVInterfaceBuilder.h"

#include "QVAboutWindow.h"
#include "QVDesktopAppDelegate.h"
#include "QVDesktopApplication.h"
#include "QVDockMenu.h"
#include "QVDockTile.h"
#include "QVFaceplateController.h"
#include "QVFaceplateView.h"
#include "QVLocalizedString.h"
#include "QVMainPlayerWindow2.h"
#include "QVMiniPlayerWindow.h"
#include "QVNavigationController.h"
#include "QVWindow.h"
#include "QVWindowService.h"

#include <QAction>
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
}

void QVInterfaceBuilder::build()
{
    _mainPlayerWindow2 = new QVMainPlayerWindow2();
    _miniPlayerWindow = new QVMiniPlayerWindow();
    _matchCollectionWindow = new QVWindow();
    _matchCollectionWindow->setWindowTitle(QVLocalizedString("Match Collection"));
    _aboutWindow = new QVAboutWindow();

    _delegate->mainPlayerWindow2 = _mainPlayerWindow2;
    _delegate->miniPlayerWindow = _miniPlayerWindow;
    _delegate->matchCollectionWindow = _matchCollectionWindow;
    _delegate->aboutWindow = _aboutWindow;

    connect(_mainPlayerWindow2, &QVMainPlayerWindow2::closeRequested, _application, &QVDesktopApplication::terminate);
    // The main window's page header has its own transport controls: its
    // faceplate controller gets none.
    (new QVFaceplateController(_mainPlayerWindow2))->awakeFromNib();
    _buildMenus();
    _buildTrayIcon();
}

void QVInterfaceBuilder::wireFaceplate(
    QVFaceplateView* faceplate, QVNavigationController* navigation, QVDesktopAppDelegate* delegate)
{
    if (!faceplate)
        return;
    if (navigation) {
        connect(faceplate, &QVFaceplateView::trackTitleClicked, navigation,
            &QVNavigationController::goToPlayingTrackPage);
        connect(faceplate, &QVFaceplateView::trackArtistClicked, navigation,
            &QVNavigationController::goToPlayingArtistPage);
        connect(faceplate, &QVFaceplateView::albumArtClicked, navigation,
            &QVNavigationController::goToPlayingAlbumPage);
    }
    if (delegate)
        connect(faceplate, &QVFaceplateView::flyoutClicked, delegate,
            &QVDesktopAppDelegate::showNowPlayingWebView);
}

void QVInterfaceBuilder::_buildMenus()
{
    // The main player's menu bar; desktops with a global menu take it over.
    _menuBar = new QMenuBar(_mainPlayerWindow2);
    QVDesktopAppDelegate* d = _delegate;

    QMenu* app = _menuBar->addMenu(QStringLiteral("[product_name]"));
    d->appMenuItem = app->menuAction();
    d->aboutMenuItem = app->addAction(QStringLiteral("About [product_name]"), d, &QVDesktopAppDelegate::showAboutDialog);
    d->checkForUpdatesMenuItem = app->addAction(QVLocalizedString("Check for Updates…"));
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
    d->quitMenuItem = app->addAction(QStringLiteral("Quit [product_name]"), _application, &QVDesktopApplication::terminate);
    d->quitMenuItem->setShortcut(QKeySequence::Quit);

    QMenu* window = _menuBar->addMenu(QVLocalizedString("Window"));
    d->mainWindowMenuItem = window->addAction(QStringLiteral("[product_name]"), d, &QVDesktopAppDelegate::showQuivWindow);
    d->mainWindowMenuItem->setShortcut(QKeySequence(QStringLiteral("Ctrl+1")));
    d->windowSwitchMenuItem
        = window->addAction(QVLocalizedString("Switch to Mini Player"), d, &QVDesktopAppDelegate::switchWindowMode);
    d->windowSwitchMenuItem->setShortcut(QKeySequence(QStringLiteral("Ctrl+Shift+M")));
    QAction* nowPlaying
        = window->addAction(QVLocalizedString("Now Playing"), d, &QVDesktopAppDelegate::showNowPlayingWebView);
    nowPlaying->setShortcut(QKeySequence(QStringLiteral("Ctrl+Shift+N")));
    QAction* search = window->addAction(QVLocalizedString("Search"), d, &QVDesktopAppDelegate::focusSearchField);
    search->setShortcut(QKeySequence::Find);

    QMenu* help = _menuBar->addMenu(QVLocalizedString("Help"));
    // Their pages open through the navigation controller, which wires them.
    d->supportMenuItem = help->addAction(QStringLiteral("[product_name] Support"));
    d->welcomeMenuItem = help->addAction(QStringLiteral("Welcome to [product_name]"));
    d->supportMenuItem->setEnabled(false);
    d->welcomeMenuItem->setEnabled(false);

    _mainPlayerWindow2->contentView()->layout()->setMenuBar(_menuBar);
}

void QVInterfaceBuilder::_buildTrayIcon()
{
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        return;
    // Some trays show nothing without a context menu.
    QVDockMenu* menu = _delegate->applicationDockMenu();
    menu->setParent(_mainPlayerWindow2, Qt::Popup);
    menu->addAction(QVLocalizedString("Show Quiv"), _delegate, &QVDesktopAppDelegate::showQuivWindow);
    menu->addSeparator();
    menu->addAction(QVLocalizedString("Quit Quiv"), _application, &QVDesktopApplication::terminate);

    _trayIcon = new QSystemTrayIcon(QApplication::windowIcon(), this);
    _trayIcon->setContextMenu(menu);
    _trayIcon->setToolTip(QStringLiteral("Quiv"));
    connect(_trayIcon, &QSystemTrayIcon::activated, _delegate, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger)
            _delegate->showQuivWindow();
    });
    // The page's badge shows in the tooltip as well as on the launcher.
    connect(QVDockTile::sharedInstance(), &QVDockTile::badgeLabelChanged, _trayIcon, [this](const QString& label) {
        _trayIcon->setToolTip(label.isEmpty() ? QStringLiteral("Quiv") : QStringLiteral("Quiv (%1)").arg(label));
    });
    _trayIcon->show();
}
