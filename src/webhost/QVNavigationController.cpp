#include "QVNavigationController.h"

#include "QVAbstractWebView.h"
#include "QVConstants.h"
#include "QVEventQueue.h"
#include "QVLocalizedString.h"
#include "QVLocationWindow.h"
#include "QVLog.h"
#include "QVNotificationCenter.h"
#include "QVPageCommands.h"
#include "QVUIConstantsService.h"
#include "QVURLRedirectSniffer.h"
#include "QVUtils.h"
#include "QVWebContentChildWindow.h"
#include "QVWebNavigationService.h"
#include "QVWebPage.h"
#include "QVWebView.h"
#include "QVWindowService.h"

#include <QAction>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMenu>
#include <QRegularExpression>
#include <QScreen>
#include <QWebEngineContextMenuRequest>
#include <QWebEngineNewWindowRequest>
#include <QWebEngineProfile>

#include <utility>

namespace {
QString latin1(const char* text)
{
    return QString::fromLatin1(text);
}

// scheme://host[:port] as the service's own hosts are written.
struct Origin {
    QString scheme;
    QString host;
    int port;
};

int defaultPort(const QString& scheme)
{
    if (scheme == QLatin1String("http"))
        return 80;
    if (scheme == QLatin1String("https"))
        return 443;
    return -1;
}

Origin origin(const QString& scheme, const QString& hostAndPort)
{
    const QUrl url(scheme + QStringLiteral("://") + hostAndPort);
    return { scheme, url.host(), url.port(defaultPort(scheme)) };
}

bool hasOrigin(const QUrl& url, const Origin& origin)
{
    return url.scheme() == origin.scheme && url.host() == origin.host
        && url.port(defaultPort(url.scheme())) == origin.port;
}

// Text from elsewhere is a URL only if it parses, names a host where its
// scheme needs one, and has no
// characters a browser would quietly rewrite (a backslash becomes a slash,
// white space is dropped), so we never judge one address and open another.
QUrl strictURL(const QString& text)
{
    static const QRegularExpression unsafe(QStringLiteral("[\\\\\\s\\x00-\\x1f\\x7f]"));
    if (text.isEmpty() || text.size() > QVNavigationController::kMaxURLLength
        || unsafe.match(text).hasMatch())
        return {};
    QUrl url(text);
    if (!url.isValid() || url.isRelative())
        return {};
    const QString scheme = url.scheme();
    if (url.host().isEmpty()
        && (scheme == QLatin1String("http") || scheme == QLatin1String("https")
            || scheme == QLatin1String("quiv")))
        return {};
    return url;
}

// Everything after scheme://authority: path, query and fragment as written.
QString pathAfterAuthority(const QString& text)
{
    const qsizetype start = text.indexOf(QStringLiteral("://"));
    if (start < 0)
        return {};
    const qsizetype end = text.indexOf(QRegularExpression(QStringLiteral("[/?#]")), start + 3);
    return end < 0 ? QString() : text.mid(end);
}

bool mayLeaveProgram(const QUrl& url)
{
    const QString scheme = url.scheme();
    return scheme == QLatin1String("http") || scheme == QLatin1String("https")
        || scheme == QLatin1String("mailto");
}

QString forLog(const QString& text)
{
    return QVUtils::stringForLog(text, 200);
}
} // namespace

QVNavigationController::QVNavigationController(QObject* parent)
    : QVNavigationController(Services {}, parent)
{
}

QVNavigationController::QVNavigationController(Services services, QObject* parent)
    : QVURLLoadHandler(parent)
    , _services(std::move(services))
{
    if (!_services.notificationCenter)
        _services.notificationCenter = QVNotificationCenter::defaultCenter();
    if (!_services.navigationService)
        _services.navigationService = QVWebNavigationService::sharedInstance();
    if (!_services.constants)
        _services.constants = QVUIConstantsService::sharedInstance();
    if (!_services.windowService)
        _services.windowService = QVWindowService::sharedInstance();
    if (!_services.openExternally)
        _services.openExternally = [](const QUrl& url) {
            if (!QDesktopServices::openUrl(url))
                QVLog("[WARNING] No program opened %s", qPrintable(forLog(url.toString())));
        };

    _services.notificationCenter->addObserver(this, latin1(QVGlobalWebViewWillUpdateNotification),
        [this](const QVNotification& n) { _onGlobalWebViewWillChange(n.object); });
    _services.navigationService->addWebNavigationListener(this);
    _redirectSniffer
        = std::make_unique<QVURLRedirectSniffer>(_services.navigationService->networkListener(), this);
    if (QCoreApplication* application = QCoreApplication::instance())
        connect(
            application, &QCoreApplication::aboutToQuit, this, &QVNavigationController::closeChildWindows);
}

QVNavigationController::~QVNavigationController()
{
    _services.notificationCenter->removeObserver(this);
    _services.navigationService->removeWebNavigationListener(this);
    for (const QMetaObject::Connection& connection : std::as_const(_pageConnections))
        disconnect(connection);
    closeChildWindows();
}

QVNavigationController* QVNavigationController::sharedInstance()
{
    static QVNavigationController* instance = new QVNavigationController();
    return instance;
}

void QVNavigationController::_onGlobalWebViewWillChange(QObject* object)
{
    if (auto* webView = dynamic_cast<QVAbstractWebView*>(object))
        setWebView(webView);
}

void QVNavigationController::setWebView(QVAbstractWebView* webView)
{
    if (webView == _webView)
        return;
    for (const QMetaObject::Connection& connection : std::as_const(_pageConnections))
        disconnect(connection);
    _pageConnections.clear();
    if (auto* old = dynamic_cast<QVWebView*>(_webView))
        old->webPage()->setNavigationController(nullptr);
    _webView = webView;
    _attachPage();
}

void QVNavigationController::_attachPage()
{
    auto* view = dynamic_cast<QVWebView*>(_webView);
    if (!view)
        return;
    view->webPage()->setNavigationController(this);
    _pageConnections.append(connect(view->webPage(), &QWebEnginePage::newWindowRequested, this,
        &QVNavigationController::onNewWindowRequested));
    view->setContextMenuPolicy(Qt::CustomContextMenu);
    _pageConnections.append(
        connect(view, &QWidget::customContextMenuRequested, this, &QVNavigationController::_showContextMenu));
    _pageConnections.append(connect(view, &QObject::destroyed, this, [this] { _webView = nullptr; }));
}

void QVNavigationController::setLocationWindow(QVLocationWindow* locationWindow)
{
    if (_locationWindow)
        disconnect(_locationWindow, nullptr, this, nullptr);
    _locationWindow = locationWindow;
    if (_locationWindow)
        connect(_locationWindow, &QVLocationWindow::loadLocationRequested, this,
            &QVNavigationController::loadLocation);
}

bool QVNavigationController::_hostSwitchAllowed() const
{
    if (_services.allowsHostSwitch)
        return *_services.allowsHostSwitch;
    return qEnvironmentVariableIsSet("QUIV_USE_LOCALHOST")
        || qEnvironmentVariableIsSet("QUIV_DEVELOPER_HOST");
}

// The URL policy ------------------------------------------------------------

bool QVNavigationController::_isQuivURL(const QUrl& url) const
{
    if (url.toString() == QLatin1String("about:blank"))
        return true;
    if (!url.isValid() || !url.userInfo().isEmpty())
        return false;
    if (url.scheme() == QLatin1String("quiv"))
        return true;
    const QString www = latin1(QVUIConstantsService::productionHost);
    const QString http = QStringLiteral("http");
    const QString https = QStringLiteral("https");
    // The order of the service's own list; only the comparison is exact now.
    const Origin origins[] = {
        origin(http, www),
        origin(http, latin1(kProductionDomain)),
        origin(http, latin1(kShortHost)),
        origin(http, _services.constants->developerHost()),
        origin(https, www),
        origin(https, latin1(kProductionDomain)),
        origin(https, latin1(kShortHost)),
        origin(http, latin1(kPartnerHost)),
        origin(http, latin1(kPartnerDomain)),
        origin(https, latin1(kPartnerDomain)),
        origin(https, latin1(kPartnerHost)),
    };
    for (const Origin& o : origins)
        if (hasOrigin(url, o))
            return true;
    const QUrl pluginAbout(latin1(kPluginAboutURL));
    return hasOrigin(url, origin(http, pluginAbout.host())) && url.path().startsWith(pluginAbout.path());
}

void QVNavigationController::handleURLLoad(const QString& text)
{
    const QUrl url = strictURL(text);
    if (url.isEmpty()) {
        QVLog("[WARNING] Not an address we open: %s", qPrintable(forLog(text)));
        return;
    }
    const QString http = QStringLiteral("http");
    const bool plain = url.userInfo().isEmpty();

    // 1. The service's own pages: the page's router shows them. While the
    // client talks to the developer host, its pages are the service's too.
    QStringList serviceHosts { latin1(QVUIConstantsService::productionHost), latin1(kProductionDomain),
        latin1(kPartnerDomain), latin1(kPartnerHost) };
    if (_services.constants->shouldUseLocalhost())
        serviceHosts.append(_services.constants->developerHost());
    for (const QString& host : std::as_const(serviceHosts)) {
        if (plain && hasOrigin(url, origin(http, host))) {
            _loadURLWithJS(pathAfterAuthority(text));
            return;
        }
    }
    // 2. Short links: learn where they lead first.
    if (plain && hasOrigin(url, origin(http, latin1(kShortHost))) && !pathAfterAuthority(text).isEmpty()) {
        _redirectSniffer->followRedirect(text);
        return;
    }
    // 3. The plug-in vendor's page, in place.
    if (text == latin1(kPluginAboutURL)) {
        if (_webView)
            _webView->loadURL(url);
        return;
    }
    // 4. Our own scheme.
    if (url.scheme() == QLatin1String("quiv")) {
        const QString host = url.host();
        const QString base = _services.navigationService->serverInfoBaseUrl();
        if ((!base.isEmpty() && host == base) || host == QLatin1String("downloads")) {
            _services.notificationCenter->postNotificationName(
                latin1(QVCheckForDownloadsNotification), nullptr);
            return;
        }
        if (host == QLatin1String("uselocalhost") || host == QLatin1String("useproduction")) {
            if (!_hostSwitchAllowed()) {
                QVLog("[WARNING] Ignored %s: the service host is switched only on a developer's machine",
                    qPrintable(forLog(text)));
                return;
            }
            _services.constants->setShouldUseLocalhost(host == QLatin1String("uselocalhost"));
            return;
        }
        // "quiv://<service host>/path" becomes a route, anything else a web address.
        QString web = text;
        web.replace(0, 4, http);
        handleURLLoad(web);
        return;
    }
    // 5. The rest of the world, for the few schemes that may leave.
    _openExternally(url);
}

void QVNavigationController::postURLLoad(const QString& url)
{
    QVEventQueue::sharedInstance()->post(this, [this, url] { handleURLLoad(url); });
}

void QVNavigationController::_openExternally(const QUrl& url)
{
    if (!mayLeaveProgram(url)) {
        QVLog("[WARNING] Not opened outside the program: %s", qPrintable(forLog(url.toString())));
        return;
    }
    _services.openExternally(url);
}

void QVNavigationController::_loadURLWithJS(const QString& path)
{
    QVRouterNavigate(_webView, path);
    _ensureMainPlayerIsVisible();
}

void QVNavigationController::_ensureMainPlayerIsVisible()
{
    QWidget* window = nullptr;
    if (auto* widget = dynamic_cast<QWidget*>(_webView))
        window = widget->window();
    if (window && window->isVisible()) {
        if (!window->isActiveWindow()) {
            window->raise();
            window->activateWindow();
        }
        return;
    }
    _services.windowService->showMainPlayerWindow();
}

// Menu commands ---------------------------------------------------------------

void QVNavigationController::goForward()
{
    if (auto* view = dynamic_cast<QWebEngineView*>(_webView))
        view->forward();
}

void QVNavigationController::goBackward()
{
    if (auto* view = dynamic_cast<QWebEngineView*>(_webView))
        view->back();
}

void QVNavigationController::reload()
{
    if (auto* view = dynamic_cast<QWebEngineView*>(_webView))
        view->reload();
}

void QVNavigationController::doSignOut()
{
    _services.navigationService->gotoSignOut();
}

void QVNavigationController::goToPeople()
{
    const QString vanityName = _services.navigationService->userVanityName();
    if (vanityName.isEmpty())
        return; // nobody signed in: there is no page of ours
    const QString segment = QString::fromLatin1(QUrl::toPercentEncoding(vanityName));
    QVRouterNavigate(_webView, QStringLiteral("/people/%1/people/following/").arg(segment));
}

void QVNavigationController::goToSettings()
{
    QVRouterNavigate(_webView, QStringLiteral("/management/"));
}

void QVNavigationController::gotToSubscriptionSettings()
{
    _services.navigationService->goToSubscriptionSettings();
    _ensureMainPlayerIsVisible();
}

void QVNavigationController::goToSupport()
{
    _openExternally(QUrl(QStringLiteral("http://") + latin1(kSupportHost)));
}

void QVNavigationController::goToWelcome()
{
    _loadURLWithJS(QStringLiteral("/"));
}

void QVNavigationController::_navigatePlayingPage(const std::function<QString()>& page)
{
    const QString path = page ? page() : QString();
    if (path.isEmpty())
        return;
    QVRouterNavigate(_webView, path);
    _ensureMainPlayerIsVisible();
}

void QVNavigationController::goToPlayingTrackPage()
{
    _navigatePlayingPage(_playingPages.track);
}

void QVNavigationController::goToPlayingArtistPage()
{
    _navigatePlayingPage(_playingPages.artist);
}

void QVNavigationController::goToPlayingAlbumPage()
{
    _navigatePlayingPage(_playingPages.album);
}

void QVNavigationController::_openLegalPage(const char* path)
{
    _openExternally(QUrl(_services.constants->quivURL() + latin1(path)));
}

void QVNavigationController::goToTermsOfService()
{
    _openLegalPage("/legal/tos/");
}

void QVNavigationController::goToPaymentTerms()
{
    _openLegalPage("/legal/paymentterms/");
}

void QVNavigationController::goToPrivacyPolicy()
{
    _openLegalPage("/legal/privacypolicy/");
}

void QVNavigationController::showLocation()
{
    _ensureMainPlayerIsVisible();
    if (!_locationWindow)
        return;
    auto* widget = dynamic_cast<QWidget*>(_webView);
    _locationWindow->showLocation(
        _webView ? _webView->mainFrameURL().toString() : QString(), widget ? widget->window() : nullptr);
}

void QVNavigationController::loadLocation()
{
    if (!_locationWindow)
        return;
    QString location = _locationWindow->locationTextField()->text().trimmed();
    // Typed text that names its scheme stays as typed; a bare host is the web.
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]*:"));
    if (!scheme.match(location).hasMatch())
        location = QStringLiteral("http://") + location;
    _locationWindow->closeDialog();
    handleURLLoad(location);
}

// The web view's delegate calls ---------------------------------------------

bool QVNavigationController::decidePolicyForNavigation(const QUrl& url, bool isMainFrame)
{
    if (!isMainFrame)
        return true;
    if (url.scheme() == QLatin1String("quiv")) {
        // Inside the engine's callback: routed once it returns.
        const QString text = url.toString(QUrl::FullyEncoded);
        QVEventQueue::sharedInstance()->enqueue(this, [this, text] { handleURLLoad(text); });
        return false;
    }
    if (_isQuivURL(url))
        return true;
    QVLog(
        "[WARNING] Navigation to %s ignored: not a page of the service", qPrintable(forLog(url.toString())));
    return false;
}

void QVNavigationController::decidePolicyForNewWindowAction(const QUrl& url, const QString& frameName)
{
    const QString text = url.toString(QUrl::FullyEncoded);
    // Our own scheme is ours whatever the target; handing it to the desktop
    // would only start a second copy of us.
    if (url.scheme() == QLatin1String("quiv") || (_isQuivURL(url) && frameName != QLatin1String("_blank"))) {
        handleURLLoad(text);
        return;
    }
    _openExternally(url);
}

void QVNavigationController::onNewWindowRequested(QWebEngineNewWindowRequest& request)
{
    switch (request.destination()) {
    case QWebEngineNewWindowRequest::InNewDialog:
    case QWebEngineNewWindowRequest::InNewWindow: {
        // Pop-ups share the main page's profile (its cookies and storage).
        auto* view = dynamic_cast<QWebEngineView*>(_webView);
        QWebEngineProfile* profile = view ? view->page()->profile() : QWebEngineProfile::defaultProfile();
        openPopUpForRequest(request, profile);
        return;
    }
    case QWebEngineNewWindowRequest::InNewTab:
    case QWebEngineNewWindowRequest::InNewBackgroundTab: {
        // The engine does not tell us the link's target name: the page's
        // bridge reported it on the click, looked up once the callback returns.
        const QUrl url = request.requestedUrl();
        QVEventQueue::sharedInstance()->enqueue(this, [this, url] {
            auto* view = dynamic_cast<QVWebView*>(_webView);
            decidePolicyForNewWindowAction(url, view ? view->linkTargetFor(url) : QStringLiteral("_blank"));
        });
        return;
    }
    }
}

QVWebContentChildWindow* QVNavigationController::createWebViewWithRequest(
    QWebEngineProfile* profile, QSize size)
{
    QVWebContentChildWindow* window = _newChildWindow(profile, size);
    window->showWindow();
    return window;
}

QVWebContentChildWindow* QVNavigationController::openPopUpForRequest(
    QWebEngineNewWindowRequest& request, QWebEngineProfile* profile, QSize size)
{
    QVWebContentChildWindow* window = _newChildWindow(profile, size);
    window->adoptRequest(request);
    return window;
}

QVWebContentChildWindow* QVNavigationController::_newChildWindow(QWebEngineProfile* profile, QSize size)
{
    if (size.isEmpty()) {
        if (auto* widget = dynamic_cast<QWidget*>(_webView))
            size = widget->size();
    }
    QRect area;
    if (QScreen* screen = QGuiApplication::primaryScreen())
        area = screen->availableGeometry();
    if (size.isEmpty())
        size = kDefaultChildWindowSize;
    // Never larger than the screen's free area, whose origin counts: panels
    // on the top or left would otherwise cover the window.
    if (area.isValid())
        size = size.boundedTo(area.size());
    QRect frame(QPoint(), size);
    if (area.isValid())
        frame.moveTopLeft(QPoint(
            area.x() + (area.width() - size.width()) / 2, area.y() + (area.height() - size.height()) / 2));
    auto* window = new QVWebContentChildWindow(frame, profile, this);
    _childWindows.removeAll(nullptr);
    _childWindows.append(window);
    return window;
}

QList<QVWebContentChildWindow*> QVNavigationController::childWindows() const
{
    QList<QVWebContentChildWindow*> windows;
    for (const QPointer<QVWebContentChildWindow>& window : _childWindows)
        if (window)
            windows.append(window);
    return windows;
}

void QVNavigationController::closeChildWindows()
{
    const QList<QPointer<QVWebContentChildWindow>> windows = std::exchange(_childWindows, {});
    for (const QPointer<QVWebContentChildWindow>& window : windows)
        delete window.data();
}

QStringList QVNavigationController::runOpenPanelForFileButton(
    QWebEnginePage::FileSelectionMode mode, const QStringList& oldFiles)
{
    auto* parent = dynamic_cast<QWidget*>(_webView);
    const QString start = oldFiles.value(0);
    if (mode == QWebEnginePage::FileSelectOpenMultiple)
        return QFileDialog::getOpenFileNames(parent, QString(), start);
    const QString file = QFileDialog::getOpenFileName(parent, QString(), start);
    return file.isEmpty() ? QStringList() : QStringList { file };
}

bool QVNavigationController::isRemovedContextMenuAction(QWebEnginePage::WebAction action)
{
    switch (action) {
    case QWebEnginePage::OpenLinkInThisWindow: // replaced by ours, which routes the link
    case QWebEnginePage::OpenLinkInNewWindow:
    case QWebEnginePage::OpenLinkInNewTab:
    case QWebEnginePage::OpenLinkInNewBackgroundTab:
    case QWebEnginePage::DownloadLinkToDisk:
    case QWebEnginePage::DownloadImageToDisk:
    case QWebEnginePage::DownloadMediaToDisk:
    case QWebEnginePage::SavePage:
    case QWebEnginePage::ViewSource:
    case QWebEnginePage::InspectElement:
        return true;
    default:
        return false;
    }
}

void QVNavigationController::_showContextMenu(const QPoint& position)
{
    auto* view = dynamic_cast<QWebEngineView*>(_webView);
    if (!view)
        return;
    QMenu* menu = view->createStandardContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    const QWebEngineContextMenuRequest* request = view->lastContextMenuRequest();
    const QUrl link = request ? request->linkUrl() : QUrl();
    QAction* openLink = view->pageAction(QWebEnginePage::OpenLinkInThisWindow);
    for (QAction* action : menu->actions()) {
        if (action == openLink && link.isValid()) {
            auto* ours = new QAction(action->text(), menu);
            connect(ours, &QAction::triggered, this, [this, link] { _handleOpenLink(link); });
            menu->insertAction(action, ours);
        }
        for (int a = QWebEnginePage::Back; a < QWebEnginePage::WebActionCount; ++a)
            if (isRemovedContextMenuAction(QWebEnginePage::WebAction(a))
                && action == view->pageAction(QWebEnginePage::WebAction(a)))
                menu->removeAction(action);
    }
    menu->popup(view->mapToGlobal(position));
}

void QVNavigationController::_handleOpenLink(const QUrl& url)
{
    if (url.isValid())
        handleURLLoad(url.toString(QUrl::FullyEncoded));
}
