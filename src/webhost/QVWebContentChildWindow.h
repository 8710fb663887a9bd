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
// profile but gets no script objects and no channel; its own pop-ups become
// further windows of the same owner, its links that ask for a new window or
// tab follow the owner's new-window policy (to the desktop for http, https and
// mailto only), and window.close() closes it. Deletes itself when closed.
class QVWebContentChildWindow : public QWidget
{
    Q_OBJECT
public:
    static constexpr char kFrameName[] = "WebContentChildWindowFrame";
    static constexpr char kGroupName[] = "WebContentChildWindowGroup";

    QVWebContentChildWindow(
        const QRect& contentRect, QWebEngineProfile* profile, QVNavigationController* navOwner);
    ~QVWebContentChildWindow() override;

    QWebEngineView* webView() const { return _webView; }
    QWebEnginePage* page() const;
    QVNavigationController* navController() const { return _navOwner; }

    // Shows, raises and activates the window.
    void showWindow();
    // Takes the page the engine asks a window for. One that starts blank
    // stays hidden until its page has an address (see the .cpp).
    void adoptRequest(QWebEngineNewWindowRequest& request);
    // The engine's request for a new window from this pop-up's page.
    void onNewWindowRequested(QWebEngineNewWindowRequest& request);
    // A link in this pop-up that wants another browser window.
    void decidePolicyForNewWindowAction(const QUrl& url);

private:
    QWebEngineView* _webView;
    QPointer<QVNavigationController> _navOwner;
};
