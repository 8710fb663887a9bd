#pragma once

#include "QVWebNavigationListener.h"

#include <QPointer>
#include <QRectF>
#include <QString>
#include <QWidget>

#include <functional>

class QVAbstractWebView;
class QVNotificationCenter;
class QVUIConstantsService;
class QVUserDefaults;
class QVWebNavigationService;
class QVWebWindow;

// Decides which player window is on screen, hands the one web view to the
// services that drive it, performs the first load with the program's own user
// agent, follows the network, and takes the player windows' delegate calls.
class QVWindowService : public QVWebNavigationListener
{
public:
    struct Services {
        QVWebNavigationService* navigationService;
        QVNotificationCenter* notificationCenter;
        QVUserDefaults* userDefaults;
        QVUIConstantsService* constants;
    };

    QVWindowService();
    explicit QVWindowService(Services services);
    ~QVWindowService() override;

    static QVWindowService* sharedInstance();

    void setMainPlayerWindow(QVWebWindow* mainPlayerWindow, QWidget* miniPlayerWindow);
    void showCurrentWindow();
    void showMainPlayerWindow();
    void showMiniPlayerWindow();
    int currentWindowType() const { return _currentWindowType; }
    // Unloads the page and closes the main player window.
    void shutdown();

    QVWebWindow* mainPlayerWindow2() const { return _mainPlayerWindow2; }
    QWidget* miniPlayerWindow() const { return _miniPlayerWindow; }
    QString defaultUserAgentString() const { return _defaultUserAgentString; }
    // The client token of the user agent for the current window type.
    QString clientToken() const;

    // The now-playing flyout lives in the playback layer above this one.
    void setFlyoutHooks(std::function<bool()> isVisible, std::function<void()> toggle);

    // Navigation listener.
    void onNetworkConnectionAvailable() override;
    void onNetworkConnectionNotAvailable() override;
    void onDesktopScriptObjectInitialized() override;

    // Window delegate calls from the player windows.
    void windowWillEnterFullScreen(QWidget* window);
    void windowWillExitFullScreen(QWidget* window);
    QList<QWidget*> customWindowsToExitFullScreenForWindow(QWidget* window);
    void startCustomAnimationToExitFullScreen(QWidget* window, double duration);
    QRectF willPositionSheet(QWidget* window, const QRectF& proposed);
    void windowDidResize(QWidget* window);

    static constexpr char kClientToken[] = "com.quiv.desktop.mac";

private:
    void _showMainPlayerWindow2();
    void _showMiniPlayerWindow();
    void _loadWindowWebView(QVWebWindow* window);
    void _setDefaultWebView(QVAbstractWebView* webView);
    void _saveCurrentWindowTypePref();
    void _postWindowChanged();
    QWidget* _mainWidget() const;

    Services _services;
    QVWebWindow* _mainPlayerWindow2 = nullptr;
    QPointer<QWidget> _mainPlayerWidget;
    QPointer<QWidget> _miniPlayerWindow;
    int _currentWindowType;
    QString _defaultUserAgentString;
    std::function<bool()> _isFlyoutVisible;
    std::function<void()> _toggleFlyout;
};
