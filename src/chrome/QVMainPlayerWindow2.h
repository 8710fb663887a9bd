#pragma once

#include "QVWebNavigationListener.h"
#include "QVWebView.h"
#include "QVWebWindow.h"
#include "QVWindow.h"

class QVFloatingTitlebarView;
class QVLoadingWindowView;
class QVSearchField;
class QVTitlebarVisorView;
class QVUserDefaults;
class QVWebNavigationService;

// The window that holds the program's web view: a small fixed sign-in layout
// until a user is signed in, then the user's saved, resizable layout; full
// screen; the page told when the window is inactive; the no-connection overlay.
class QVMainPlayerWindow2 : public QVWindow, public QVWebWindow, public QVWebNavigationListener
{
    Q_OBJECT
public:
    static constexpr int kTitlebarHeight = 35;
    static constexpr QSize kLoginSize{400, 540};
    static constexpr QSize kMinimumSize{890, 420};
    static constexpr char kFrameAutosaveName[] = "QVMainPlayerWindow";

    explicit QVMainPlayerWindow2(QWidget* parent = nullptr, QVWebNavigationService* navigation = nullptr,
                                 QVUserDefaults* defaults = nullptr);
    ~QVMainPlayerWindow2() override;

    // QVWindow
    bool shouldUseCustomTitlebar() const override { return false; }
    bool supportsNavigationSwipeGestures() const override { return true; }
    bool supportsFullScreenMode() const override;
    void adjustForFullScreenMode() override;
    void adjustForRegularScreenMode() override;

    // QVWebWindow (and QVWindow's navigation target)
    QWidget* windowWidget() override { return this; }
    QVWebView* webView() const override { return _webView; }
    bool isWebViewLoaded() const override { return _isWebViewLoaded; }
    void setIsWebViewLoaded(bool loaded) override { _isWebViewLoaded = loaded; }
    void unloadWebView() override;
    void showNoConnectionOverlay() override;
    void hideNoConnectionOverlay() override;
    bool isNoConnectionOverlayVisible() const override;
    void handleExitFullScreenAnimation(double duration) override;
    void windowWasResized() override;

    // Frame changes from code take effect only in the normal layout.
    void setFrame(const QRect& frame, bool display, bool animate = false);
    bool windowCanResize() const { return _windowCanResize; }
    bool shouldSaveFrameSize() const { return _shouldSaveFrameSize; }
    void saveFrameUsingName(const QString& name);
    QString frameDefaultsKey() const;

    void focusSearchField();

    // QVWebNavigationListener
    void webViewDidStartLoading() override;
    void webViewFinishedLoading() override;
    void onDesktopScriptObjectInitialized() override;
    void onUserLoggedIn() override;
    void onUserLoggedOut() override;
    void onSecureDialogLoaded() override {}

    QVFloatingTitlebarView* titlebarView() const { return _titlebarView; }
    QVLoadingWindowView* loadingWindowView() const { return _loadingWindowView; }
    QVTitlebarVisorView* titlebarVisorView() const { return _titlebarVisorView; }
    QVSearchField* searchField() const { return _searchField; }

    void _sizeToLoginContent();
    void _sizeToNormalContent();

signals:
    // The close button: the application decides what closing means.
    void closeRequested();

protected:
    void becomeKeyWindow() override;
    void resignKeyWindow() override;
    void becomeMainWindow() override;
    void resignMainWindow() override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void _setup();
    void _setAltState(bool pressed);
    void _saveFrameIfAllowed();
    QRect _availableGeometry() const;
    // The search field at the right end of the title bar, shown in the normal layout only.
    void _placeSearchField();

    QVWebView* _webView = nullptr;
    QVFloatingTitlebarView* _titlebarView = nullptr;
    QVLoadingWindowView* _loadingWindowView = nullptr;
    QVTitlebarVisorView* _titlebarVisorView = nullptr;
    QVSearchField* _searchField = nullptr;
    bool _isWebViewLoaded = false;
    bool _windowCanResize = false;
    bool _shouldSaveFrameSize = false;
    QVWebNavigationService* _navigation;
    QVUserDefaults* _defaults;
};
