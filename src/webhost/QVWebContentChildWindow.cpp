#include "QVWebContentChildWindow.h"

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
    // A plain page: none of our objects, no channel.
    _webView->setPage(new QWebEnginePage(profile, _webView));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(_webView);
    setGeometry(contentRect);
    connect(page(), &QWebEnginePage::windowCloseRequested, this, &QWidget::close);
    connect(
        page(), &QWebEnginePage::newWindowRequested, this, &QVWebContentChildWindow::_onNewWindowRequested);
}

QVWebContentChildWindow::~QVWebContentChildWindow() = default;

QWebEnginePage* QVWebContentChildWindow::page() const
{
    return _webView->page();
}

void QVWebContentChildWindow::_onNewWindowRequested(QWebEngineNewWindowRequest& request)
{
    if (_navOwner)
        _navOwner->onNewWindowRequested(request);
}
