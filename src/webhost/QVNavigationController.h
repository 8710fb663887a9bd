#pragma once

#include "QVLocationWindow.h"
#include "QVURLLoadHandler.h"
#include "QVWebNavigationListener.h"

#include <QPointer>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QWebEnginePage>

#include <functional>
#include <memory>
#include <optional>

class QVAbstractWebView;
class QVNotificationCenter;
class QVUIConstantsService;
class QVURLRedirectSniffer;
class QVWebContentChildWindow;
class QVWebNavigationService;
class QVWindowService;
class QWebEngineNewWindowRequest;

// Decides where every link and every address handed to the program goes:
// service pages stay in the page (its router shows them), a few addresses
// leave for the user's default program, everything else goes nowhere. Also
// the "quiv://" scheme, the menu commands that jump to places, the location
// dialog, the page's context menu, file choosers and pop-ups.
class QVNavigationController : public QVURLLoadHandler, public QVWebNavigationListener
{
    Q_OBJECT
public:
    // What it works with; nullptr (or unset) means the process-wide one.
    struct Services {
        QVNotificationCenter* notificationCenter = nullptr;
        QVWebNavigationService* navigationService = nullptr;
        QVUIConstantsService* constants = nullptr;
        QVWindowService* windowService = nullptr;
        // Hands an address to the desktop (QDesktopServices by default).
        std::function<void(const QUrl&)> openExternally;
        // Whether "quiv://uselocalhost" and "quiv://useproduction" may switch
        // hosts; by default only while QUIV_USE_LOCALHOST or
        // QUIV_DEVELOPER_HOST is set.
        std::optional<bool> allowsHostSwitch;
    };

    explicit QVNavigationController(QObject* parent = nullptr);
    explicit QVNavigationController(Services services, QObject* parent = nullptr);
    ~QVNavigationController() override;

    // Created on first use with the shared services.
    static QVNavigationController* sharedInstance();

    // Follows "Quiv_GlobalWebViewWillUpdate"; tests set it directly.
    QVAbstractWebView* webView() const { return _webView; }
    void setWebView(QVAbstractWebView* webView);
    QVLocationWindow* locationWindow() const { return _locationWindow; }
    void setLocationWindow(QVLocationWindow* locationWindow);
    QVURLRedirectSniffer* redirectSniffer() const { return _redirectSniffer.get(); }

    // The playing track's pages live in playback, above this layer: the
    // program supplies them (each "" when there is none).
    struct PlayingPages {
        std::function<QString()> track;
        std::function<QString()> artist;
        std::function<QString()> album;
    };
    void setPlayingPages(PlayingPages pages) { _playingPages = std::move(pages); }

    // Whether `url` belongs to the service: scheme, host and port compared
    // exactly against the service's own hosts, no user name; or about:blank.
    bool _isQuivURL(const QUrl& url) const;
    // Routes an address: service pages to the page's router, short links to
    // the redirect sniffer, "quiv://" commands, http, https and mailto to the
    // desktop; anything else is logged and dropped. Reads the page: call it
    // only from the event queue or from user input.
    void handleURLLoad(const QString& url) override;
    // handleURLLoad through the event queue, for callers from outside.
    void postURLLoad(const QString& url);
    // The router's path with the main player brought forward.
    void _loadURLWithJS(const QString& path);
    void _ensureMainPlayerIsVisible();

    // Menu commands.
    void goForward();
    void goBackward();
    void reload();
    void doSignOut();
    void goToPeople();
    void goToSettings();
    void gotToSubscriptionSettings();
    void goToSupport();
    void goToWelcome();
    void goToPlayingTrackPage();
    void goToPlayingArtistPage();
    void goToPlayingAlbumPage();
    void goToTermsOfService();
    void goToPaymentTerms();
    void goToPrivacyPolicy();
    void showLocation();
    void loadLocation();

    // The web view's policy. Main-frame navigations: true lets it load.
    bool decidePolicyForNavigation(const QUrl& url, bool isMainFrame);
    // A link or script that asks for a new window or tab; frameName is the
    // target the page named ("_blank" when unknown).
    void decidePolicyForNewWindowAction(const QUrl& url, const QString& frameName);
    // The engine's request: dialogs and windows become pop-ups, tabs follow
    // the new-window policy.
    void onNewWindowRequested(QWebEngineNewWindowRequest& request);
    // A pop-up the size of the main web view (or of `size` for one a pop-up
    // asked for), centred in the primary screen's available area.
    QVWebContentChildWindow* createWebViewWithRequest(QWebEngineProfile* profile, QSize size = {});
    // The same window for a page the engine asks for, which it adopts; shown
    // at once unless the page starts blank (QVWebContentChildWindow::adoptRequest).
    QVWebContentChildWindow* openPopUpForRequest(
        QWebEngineNewWindowRequest& request, QWebEngineProfile* profile, QSize size = {});
    // The pop-ups still open, oldest first.
    QList<QVWebContentChildWindow*> childWindows() const;
    // Closes and deletes every pop-up: their pages must go before the profile
    // they share, so this runs when the program is about to quit.
    void closeChildWindows();
    // Files only, never folders; empty when cancelled.
    QStringList runOpenPanelForFileButton(
        QWebEnginePage::FileSelectionMode mode, const QStringList& oldFiles);
    // Context-menu items that open a window or tab, download, save, show the
    // source or inspect.
    static bool isRemovedContextMenuAction(QWebEnginePage::WebAction action);
    // The context menu's open-link item.
    void _handleOpenLink(const QUrl& url);

    // The service's own hosts besides the production web host.
    static constexpr char kProductionDomain[] = "quiv.example";
    static constexpr char kShortHost[] = "qv.example";
    static constexpr char kPartnerHost[] = "www.quivpartner.example";
    static constexpr char kPartnerDomain[] = "quivpartner.example";
    static constexpr char kSupportHost[] = "support.quiv.example";
    static constexpr char kPluginAboutURL[] = "http://www.adobe.com/software/flash/about/";
    // Longer addresses are refused.
    static constexpr int kMaxURLLength = 32 * 1024;
    // A pop-up's size when the page asking for it has none.
    static constexpr QSize kDefaultChildWindowSize { 800, 600 };

private:
    // A pop-up window sized and placed as createWebViewWithRequest says, not shown.
    QVWebContentChildWindow* _newChildWindow(QWebEngineProfile* profile, QSize size);
    void _onGlobalWebViewWillChange(QObject* object);
    void _attachPage();
    void _showContextMenu(const QPoint& position);
    void _navigatePlayingPage(const std::function<QString()>& page);
    void _openExternally(const QUrl& url);
    void _openLegalPage(const char* path);
    bool _hostSwitchAllowed() const;

    Services _services;
    QVAbstractWebView* _webView = nullptr;
    QPointer<QVLocationWindow> _locationWindow;
    std::unique_ptr<QVURLRedirectSniffer> _redirectSniffer;
    PlayingPages _playingPages;
    QList<QMetaObject::Connection> _pageConnections;
    QList<QPointer<QVWebContentChildWindow>> _childWindows;
};
