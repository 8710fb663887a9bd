#include "QVWebContentChildWindow.h"

#include "QVEventQueue.h"
#include "QVNavigationController.h"

#include <QVBoxLayout>
#include <QWebEngineNewWindowRequest>
#include <QWebEnginePage>
#include <QWebEngineView>

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

void QVWebContentChildWindow::onNewWindowRequested(QWebEngineNewWindowRequest& request)
{
    if (!_navOwner)
        return;
    switch (request.destination()) {
    case QWebEngineNewWindowRequest::InNewDialog:
    case QWebEngineNewWindowRequest::InNewWindow: {
        // A nested pop-up: the size of this one's page, owned like this one.
        QVWebContentChildWindow* window
            = _navOwner->createWebViewWithRequest(page()->profile(), _webView->size());
        request.openIn(window->page());
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
