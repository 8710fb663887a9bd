#pragma once

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

private:
    QWidget* _parentWidget() const;

    QVDialogPresenter* _presenter = nullptr;
    QStringList _deferredAlerts;
};
