#include "QVWebPage.h"

#include "QVDialogPresenter.h"
#include "QVLog.h"
#include "QVNavigationController.h"
#include "QVUtils.h"
#include "QVWebView.h"

#include <QWebEngineView>

namespace {
QVDialogPresenter* standardPresenter()
{
    static QVDialogPresenter presenter;
    return &presenter;
}
constexpr int kMaxDeferredAlerts = 8;
constexpr int kMaxConsoleMessageLength = 1000;
} // namespace

QVWebPage::QVWebPage(QWebEngineProfile* profile, QObject* parent)
    : QWebEnginePage(profile, parent)
{
}

QVWebPage::~QVWebPage() = default;

void QVWebPage::setDialogPresenter(QVDialogPresenter* presenter)
{
    _presenter = presenter;
}

void QVWebPage::setNavigationController(QVNavigationController* controller)
{
    _navigationController = controller;
}

QVDialogPresenter* QVWebPage::dialogPresenter() const
{
    return _presenter ? _presenter : standardPresenter();
}

QWidget* QVWebPage::_parentWidget() const
{
    return QWebEngineView::forPage(this);
}

void QVWebPage::showDeferredAlerts()
{
    const QStringList alerts = std::exchange(_deferredAlerts, {});
    for (const QString& message : alerts)
        dialogPresenter()->showAlert(_parentWidget(), message);
}

void QVWebPage::javaScriptAlert(const QUrl&, const QString& msg)
{
    if (QVWebView::waitDepth() > 0) {
        // A box now would run its own loop inside our wait and defeat its limit.
        if (_deferredAlerts.size() < kMaxDeferredAlerts)
            _deferredAlerts.append(msg);
        return;
    }
    dialogPresenter()->showAlert(_parentWidget(), msg);
}

bool QVWebPage::javaScriptConfirm(const QUrl&, const QString& msg)
{
    if (QVWebView::waitDepth() > 0)
        return false; // the page must have an answer now: the default
    return dialogPresenter()->askConfirm(_parentWidget(), msg);
}

bool QVWebPage::javaScriptPrompt(
    const QUrl&, const QString& msg, const QString& defaultValue, QString* result)
{
    if (QVWebView::waitDepth() > 0) {
        result->clear();
        return false;
    }
    return dialogPresenter()->askPrompt(_parentWidget(), msg, defaultValue, result);
}

bool QVWebPage::acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame)
{
    if (_navigationController && !_navigationController->decidePolicyForNavigation(url, isMainFrame))
        return false;
    if (isMainFrame)
        if (auto* view = qobject_cast<QVWebView*>(QWebEngineView::forPage(this)))
            view->_mainFrameWillNavigate(url);
    return QWebEnginePage::acceptNavigationRequest(url, type, isMainFrame);
}

void QVWebPage::javaScriptConsoleMessage(
    JavaScriptConsoleMessageLevel level, const QString& message, int lineNumber, const QString& sourceID)
{
    // Our own reads fail by design where the page lacks what they look for
    // (they read as empty); those errors have no source and are not news.
    if (level == InfoMessageLevel || sourceID.isEmpty())
        return;
    // Page text: one bounded line, so it cannot forge lines of our own.
    QVLog("%s: %s (%s:%d)", level == ErrorMessageLevel ? "[ERROR] page" : "[WARNING] page",
        qPrintable(QVUtils::stringForLog(message, kMaxConsoleMessageLength)),
        qPrintable(QVUtils::stringForLog(sourceID, 200)), lineNumber);
}

QStringList QVWebPage::chooseFiles(FileSelectionMode mode, const QStringList& oldFiles, const QStringList& acceptedMimeTypes)
{
    if (!_navigationController)
        return QWebEnginePage::chooseFiles(mode, oldFiles, acceptedMimeTypes);
    return _navigationController->runOpenPanelForFileButton(mode, oldFiles);
}
