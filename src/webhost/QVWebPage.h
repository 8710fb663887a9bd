#pragma once

#include "QVNavigationController.h"

#include <QPointer>
#include <QStringList>
#include <QWebEnginePage>

class QVDialogPresenter;

// The page of the one web view: page dialogs that never open a modal box
// inside a read, and console messages in our log.
class QVWebPage : public QWebEnginePage
{
    Q_OBJECT
public:
    explicit QVWebPage(QWebEngineProfile* profile, QObject* parent = nullptr);
    ~QVWebPage() override;

    // Not owned; nullptr restores the standard dialogs.
    void setDialogPresenter(QVDialogPresenter* presenter);
    QVDialogPresenter* dialogPresenter() const;

    // Decides main-frame navigations and file choosers; without one, the
    // engine's defaults. Not owned.
    void setNavigationController(QVNavigationController* controller);
    QVNavigationController* navigationController() const { return _navigationController; }

    // Alerts the page raised while a read waited, shown once it ends.
    void showDeferredAlerts();

protected:
    void javaScriptAlert(const QUrl& securityOrigin, const QString& msg) override;
    bool javaScriptConfirm(const QUrl& securityOrigin, const QString& msg) override;
    bool javaScriptPrompt(const QUrl& securityOrigin, const QString& msg, const QString& defaultValue,
        QString* result) override;
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message, int lineNumber,
        const QString& sourceID) override;
    QStringList chooseFiles(
        FileSelectionMode mode, const QStringList& oldFiles, const QStringList& acceptedMimeTypes) override;

private:
    QWidget* _parentWidget() const;

    QVDialogPresenter* _presenter = nullptr;
    QPointer<QVNavigationController> _navigationController;
    QStringList _deferredAlerts;
};
