#include "QVWebContentChildWindow.h"

#include "QVEventQueue.h"
#include "QVLog.h"
#include "QVNavigationController.h"

#include <QVBoxLayout>
#include <QWebEngineNewWindowRequest>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <memory>

QVWebContentChildWindow::QVWebContentChildWindow(
    const QRect& contentRect, QWebEngineProfile* profile, QVNavigationController* navOwner)
    : QWidget(nullptr, Qt::Window)
    , _webView(new QWebEngineView(this))
    , _navOwner(navOwner)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QString::fromLatin1(kGroupName));
    _webView->setObjectName(QString::fromLatin1(kFrameName));
    // A plain page: none of our objects, no channel, no bridge script.
    _webView->setPage(new QWebEnginePage(profile, _webView));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(_webView);
    setGeometry(contentRect);
    connect(page(), &QWebEnginePage::windowCloseRequested, this, &QWidget::close);
    connect(page(), &QWebEnginePage::titleChanged, this, &QWidget::setWindowTitle);
    connect(
        page(), &QWebEnginePage::newWindowRequested, this, &QVWebContentChildWindow::onNewWindowRequested);
}

QVWebContentChildWindow::~QVWebContentChildWindow() = default;

QWebEnginePage* QVWebContentChildWindow::page() const
{
    return _webView->page();
}

void QVWebContentChildWindow::showWindow()
{
    show();
    raise();
    activateWindow();
}

void QVWebContentChildWindow::adoptRequest(QWebEngineNewWindowRequest& request)
{
    request.openIn(page());
    const auto isBlank = [](const QUrl& url) { return url.isEmpty() || url.scheme() == u"about"; };
    if (!isBlank(request.requestedUrl())) {
        showWindow();
        return;
    }
    // The engine (Qt WebEngine 6.4) crashes drawing a blank pop-up that its
    // opener has written into; hidden it does not. Such a window is shown
    // once its page has loaded an address of its own.
    QVLog("[WARNING] A blank pop-up is shown once its page loads an address");
    auto connection = std::make_shared<QMetaObject::Connection>();
    *connection = connect(page(), &QWebEnginePage::loadFinished, this, [this, connection, isBlank] {
        if (isBlank(page()->url()))
            return;
        disconnect(*connection);
        showWindow();
    });
}

void QVWebContentChildWindow::onNewWindowRequested(QWebEngineNewWindowRequest& request)
{
    if (!_navOwner)
        return;
    switch (request.destination()) {
    case QWebEngineNewWindowRequest::InNewDialog:
    case QWebEngineNewWindowRequest::InNewWindow: {
        // A nested pop-up: the size of this one's page, owned like this one.
        _navOwner->openPopUpForRequest(request, page()->profile(), _webView->size());
        return;
    }
    case QWebEngineNewWindowRequest::InNewTab:
    case QWebEngineNewWindowRequest::InNewBackgroundTab: {
        // Inside the engine's callback: decided once it returns.
        const QUrl url = request.requestedUrl();
        QVEventQueue::sharedInstance()->enqueue(this, [this, url] { decidePolicyForNewWindowAction(url); });
        return;
    }
    }
}

void QVWebContentChildWindow::decidePolicyForNewWindowAction(const QUrl& url)
{
    // The owner's new-window policy: our own scheme is ours, http, https and
    // mailto go to the desktop, anything else is dropped.
    if (_navOwner)
        _navOwner->decidePolicyForNewWindowAction(url, QStringLiteral("_blank"));
}
