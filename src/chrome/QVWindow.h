#pragma once

#include <QPointer>
#include <QWidget>

class QVTitlebarView;
class QWebEngineView;
class QFocusEvent;
class QGestureEvent;
class QMouseEvent;
class QNativeGestureEvent;
class QWheelEvent;

// The base of the program's windows: a frameless top-level window with its own
// title bar, moved and resized by the window manager (so snapping, tiling and
// Wayland work), optionally painted with one background image that changes
// between the active and background look. It announces when a text field in it
// loses keyboard focus, and where it allows, turns touchpad swipes and the
// mouse's back and forward buttons into navigation of its web view.
//
// Subclasses choose the features by overriding the hooks below; they are read
// when the window is first polished (shown), after construction.
class QVWindow : public QWidget
{
    Q_OBJECT
public:
    // Window-manager behaviour flags; only full-screen-primary is looked at.
    static constexpr int CollectionBehaviorDefault = 0;
    static constexpr int CollectionBehaviorFullScreenPrimary = 1 << 7;
    static constexpr int CollectionBehaviorFullScreenAuxiliary = 1 << 8;

    // Horizontal touchpad scrolling that the page left unused, beyond this many
    // points, counts as a swipe.
    static constexpr qreal kScrollSwipeDistance = 120;
    // Points along the window's edges that resize it.
    static constexpr int kResizeMargin = 4;

    explicit QVWindow(QWidget* parent = nullptr);
    ~QVWindow() override;

    // Hooks ---------------------------------------------------------------------
    // Our own title bar at the top, with the window buttons.
    virtual bool shouldUseCustomTitlebar() const { return true; }
    // Window and title bar painted with the background images.
    virtual bool shouldUseUnifiedBackground() const { return false; }
    // The account-status button in the title bar.
    virtual bool shouldUseSubscriptionBadging() const { return false; }
    // Swipes and the back and forward buttons navigate webView().
    virtual bool supportsNavigationSwipeGestures() const { return false; }
    // Not listed in a Window menu.
    virtual bool isExcludedFromWindowsMenu() const { return true; }
    virtual QString activeWindowBackgroundImageName() const { return QStringLiteral("player_bg"); }
    virtual QString inactiveWindowBackgroundImageName() const { return QStringLiteral("player_bg_inactive"); }

    // State -----------------------------------------------------------------------
    // Alt held over the window (kept for subclasses).
    bool altPressed() const { return _altPressed; }
    void setAltPressed(bool pressed) { _altPressed = pressed; }

    bool isKeyWindow() const;
    bool isMainWindow() const;

    // The custom title bar, or nullptr when the window does not use one.
    QVTitlebarView* _titleBarView() const;
    // Where subclasses put their contents: the window below the title bar.
    QWidget* contentView() const { return _contentView; }
    virtual QRect contentRect() const;

    // Full screen -------------------------------------------------------------------
    int collectionBehavior() const { return _collectionBehavior; }
    void setCollectionBehavior(int behavior);
    bool isInFullScreenMode() const;
    // The collection behaviour is exactly full-screen-primary.
    virtual bool supportsFullScreenMode() const;
    // Called just before the window enters or leaves full screen, whoever asked.
    virtual void adjustForFullScreenMode();
    virtual void adjustForRegularScreenMode();

    // Actions -------------------------------------------------------------------------
    virtual void toggleFullScreen();
    // Maximise, or back to the size before.
    virtual void zoom();
    virtual void miniaturize();

    // Navigation --------------------------------------------------------------------------
    // What swipes navigate; subclasses may return their own view.
    virtual QWebEngineView* webView() const;
    void setWebView(QWebEngineView* webView);

    // The edges a press at `position` (window coordinates) resizes; none when the
    // window is maximised, full screen or of fixed size.
    Qt::Edges resizeEdgesAt(const QPoint& position) const;

protected:
    // Key and main state changes; the defaults repaint the chrome.
    virtual void becomeKeyWindow();
    virtual void resignKeyWindow();
    virtual void becomeMainWindow();
    virtual void resignMainWindow();

    // The web view goes back or forward.
    virtual void goBack();
    virtual void goForward();
    // A horizontal swipe, positive to the right: beyond half a step, a rightward
    // swipe goes back and a leftward one forward.
    void swipeWithEvent(qreal deltaX);

    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void _setupTitlebar();
    void _layoutSubviews();
    void _updateActivation();
    void _setFullScreenLayout(bool fullScreen);
    void _onFocusOut(QObject* watched, QFocusEvent* event);
    bool _handleNavigationButton(QObject* watched, QMouseEvent* event);
    bool _handleWindowMouse(QMouseEvent* event);
    void _handleNativeGesture(QNativeGestureEvent* event);
    void _handleGesture(QGestureEvent* event);

    bool _altPressed = false;
    bool _isSetUp = false;
    bool _wasKey = false;
    bool _wasMain = false;
    bool _inFullScreenLayout = false;
    bool _edgeCursorShown = false;
    int _collectionBehavior = CollectionBehaviorDefault;
    QVTitlebarView* _titlebar = nullptr;
    QWidget* _contentView;
    QPointer<QWidget> _webView;

    // A touchpad scroll or pan followed to its end.
    enum class Swipe { None, Undecided, Tracking, Rejected };
    Swipe _scrollSwipe = Swipe::None;
    QPointF _scrollSwipeDistance;
    QPointF _panDistance;
};
