#pragma once

#include "QVWebNavigationListener.h"

#include <QObject>
#include <QPointer>

class QCheckBox;
class QLabel;
class QWidget;
class QVNotificationCenter;
class QVPrefView;
class QVUserDefaults;
class QVUserSignedInPrefView;
class QVWebNavigationService;

// The preferences window: the mini player's two options and, while someone
// is signed in, the account pane, which grows the window downwards.
class QVPreferencesController : public QObject, public QVWebNavigationListener
{
    Q_OBJECT
public:
    // The options pane's height; the account pane adds its own.
    static constexpr int kBaseContentHeight = 71;
    static constexpr int kWindowWidth = 420;

    struct Services {
        QVWebNavigationService* navigationService = nullptr;
        QVUserDefaults* userDefaults = nullptr;
        QVNotificationCenter* notificationCenter = nullptr;
    };
    explicit QVPreferencesController(QObject* parent = nullptr);
    explicit QVPreferencesController(Services services, QObject* parent = nullptr);
    ~QVPreferencesController() override;

    // Builds the window and starts listening; once.
    void awakeFromNib();

    QWidget* prefsWindow() const { return _prefsWindow; }
    QVUserSignedInPrefView* signedInView() const { return _signedInView; }
    QCheckBox* alwaysOnTopButton() const { return _alwaysOnTopButton; }
    QCheckBox* keepInAllSpacesButton() const { return _keepInAllSpacesButton; }
    QLabel* desktopDecidesNote() const { return _desktopDecidesNote; }
    bool shouldShowSignedInView() const { return _shouldShowSignedInView; }
    bool isSignedInViewVisible() const { return _isSignedInViewVisible; }

    // Where the desktop, not we, decides on-top and all workspaces (Wayland),
    // the window says so. Follows the platform unless set.
    void setShowsDesktopDecidesNote(bool shows);
    // The content's height for the current panes.
    int contentHeight() const;

    void showPreferences();
    void toggleMiniPlayerAlwaysOnTop();
    void toggleMiniPlayerKeepInAllSpaces();

    // QVWebNavigationListener
    void onUserLoggedIn() override;
    void onUserLoggedOut() override;
    void onUserSubscriptionTypeChanged() override;

    void _updateProperties();
    void _updateChildViews();

private:
    Services _services;
    QPointer<QWidget> _prefsWindow;
    QVPrefView* _optionsView = nullptr;
    QVUserSignedInPrefView* _signedInView = nullptr;
    QCheckBox* _alwaysOnTopButton = nullptr;
    QCheckBox* _keepInAllSpacesButton = nullptr;
    QLabel* _desktopDecidesNote = nullptr;
    bool _shouldShowSignedInView = false;
    bool _isSignedInViewVisible = false;
    bool _isAwake = false;
};
