#pragma once

#include <QPointer>
#include <QRect>
#include <QWidget>

class QWebEngineNewWindowRequest;
class QWebEnginePage;
class QWebEngineProfile;
class QWebEngineView;
class QVNavigationController;

// A window of its own for a page's pop-up (window.open). It shares the main
// profile but gets no script objects; its own new-window links follow the
// owner's new-window policy, and window.close() closes it. Deletes itself
// when closed.
class QVWebContentChildWindow : public QWidget
{
    Q_OBJECT
public:
    QVWebContentChildWindow(
        const QRect& contentRect, QWebEngineProfile* profile, QVNavigationController* navOwner);
    ~QVWebContentChildWindow() override;

    QWebEngineView* webView() const { return _webView; }
    QWebEnginePage* page() const;

private:
    void _onNewWindowRequested(QWebEngineNewWindowRequest& request);

    QWebEngineView* _webView;
    QPointer<QVNavigationController> _navOwner;
};
