#include "QVPageCommands.h"

#include "QVAbstractWebView.h"
#include "QVScriptValue.h"
#include "QVUIConstantsService.h"

void QVRouterNavigate(QVAbstractWebView* webView, const QString& path)
{
    if (!webView)
        return;
    webView->executeJavascript(QStringLiteral("%1(%2, true)")
                                   .arg(QStringLiteral("Q.router.navigate"), QVScriptValue::literal(path)));
}

void QVSetPageInactive(QVAbstractWebView* webView, bool inactive)
{
    if (!webView)
        return;
    webView->executeJavascript(inactive ? QStringLiteral("$('body').addClass('inactive');")
                                        : QStringLiteral("$('body').removeClass('inactive');"));
}

void QVSetPageFullScreen(QVAbstractWebView* webView, bool fullScreen)
{
    QVSetPageFullScreen(webView, fullScreen, QVUIConstantsService::sharedInstance()->isYosemite());
}

void QVSetPageFullScreen(QVAbstractWebView* webView, bool fullScreen, bool isModernSystem)
{
    if (!webView || isModernSystem)
        return;
    webView->executeJavascript(fullScreen ? QStringLiteral("$('body').addClass('fullscreen');")
                                          : QStringLiteral("$('body').removeClass('fullscreen');"));
}
