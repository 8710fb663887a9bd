#include "QVMainPlayerWindow2.h"

#include "QVWebProfile.h"
#include "QVWebView.h"

#include <QCloseEvent>
#include <QVBoxLayout>

QVMainPlayerWindow2::QVMainPlayerWindow2(QWidget* parent)
    : QWidget(parent, Qt::Window)
    , _webView(new QVWebView(this, QVWebProfile::sharedProfile()))
{
    setWindowTitle(QStringLiteral("Quiv"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(_webView);
    resize(1100, 720);
}

QVMainPlayerWindow2::~QVMainPlayerWindow2() = default;

QVAbstractWebView* QVMainPlayerWindow2::webView() const
{
    return _webView;
}

void QVMainPlayerWindow2::unloadWebView()
{
    _webView->load(QUrl(QStringLiteral("about:blank")));
    _isWebViewLoaded = false;
}

void QVMainPlayerWindow2::focusSearchField()
{
    _webView->executeJavascript(QStringLiteral("$('.App_Header .Search_Box input').focus();"));
}

void QVMainPlayerWindow2::closeEvent(QCloseEvent* event)
{
    // The close button quits the way the menu's Quit does: through the delegate.
    event->ignore();
    emit closeRequested();
}
