#include "QVPreferencesController.h"

#include "QVConstants.h"
#include "QVLocalizedString.h"
#include "QVNotificationCenter.h"
#include "QVPrefView.h"
#include "QVUserDefaults.h"
#include "QVUserSignedInPrefView.h"
#include "QVWebNavigationService.h"

#include <QCheckBox>
#include <QGuiApplication>
#include <QLabel>
#include <QVBoxLayout>

namespace {
QString latin1(const char* text)
{
    return QString::fromLatin1(text);
}
} // namespace

QVPreferencesController::QVPreferencesController(QObject* parent)
    : QVPreferencesController(Services {}, parent)
{
}

QVPreferencesController::QVPreferencesController(Services services, QObject* parent)
    : QObject(parent)
    , _services(services)
{
    if (!_services.navigationService)
        _services.navigationService = QVWebNavigationService::sharedInstance();
    if (!_services.userDefaults)
        _services.userDefaults = QVUserDefaults::standardUserDefaults();
    if (!_services.notificationCenter)
        _services.notificationCenter = QVNotificationCenter::defaultCenter();
}

QVPreferencesController::~QVPreferencesController()
{
    if (_isAwake) {
        _services.navigationService->removeWebNavigationListener(this);
        _services.notificationCenter->removeObserver(this);
    }
    delete _prefsWindow;
}

void QVPreferencesController::awakeFromNib()
{
    if (_isAwake)
        return;
    _isAwake = true;

    _prefsWindow = new QWidget(nullptr, Qt::Window);
    _prefsWindow->setWindowTitle(QVLocalizedString("Preferences"));
    _prefsWindow->setAccessibleName(QVLocalizedString("Preferences"));

    _optionsView = new QVPrefView(_prefsWindow);
    _alwaysOnTopButton
        = new QCheckBox(QVLocalizedString("Keep the mini player on top of other windows"), _optionsView);
    _keepInAllSpacesButton
        = new QCheckBox(QVLocalizedString("Keep the mini player on all workspaces"), _optionsView);
    _desktopDecidesNote = new QLabel(
        QVLocalizedString("On Wayland your desktop decides whether a window stays on top or shows on every "
                          "workspace; these settings are passed on as requests."),
        _optionsView);
    _desktopDecidesNote->setWordWrap(true);
    QFont small = _desktopDecidesNote->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    _desktopDecidesNote->setFont(small);
    _desktopDecidesNote->setVisible(QGuiApplication::platformName().startsWith(QLatin1String("wayland")));

    auto* layout = new QVBoxLayout(_optionsView);
    layout->setContentsMargins(20, 12, 20, 12);
    layout->setSpacing(6);
    layout->addWidget(_alwaysOnTopButton);
    layout->addWidget(_keepInAllSpacesButton);
    layout->addWidget(_desktopDecidesNote);
    layout->addStretch(1);

    _signedInView = new QVUserSignedInPrefView(_prefsWindow, _services.navigationService);
    _signedInView->hide();

    // Only the user's clicks store; reading the settings back sets the boxes.
    connect(
        _alwaysOnTopButton, &QCheckBox::clicked, this, &QVPreferencesController::toggleMiniPlayerAlwaysOnTop);
    connect(_keepInAllSpacesButton, &QCheckBox::clicked, this,
        &QVPreferencesController::toggleMiniPlayerKeepInAllSpaces);

    _services.navigationService->addWebNavigationListener(this);
    _shouldShowSignedInView = false;
    _isSignedInViewVisible = false;
    _updateProperties();
    _updateChildViews();
    _services.notificationCenter->addObserver(this, latin1(QVUserDefaultsDidChangeNotification),
        [this](const QVNotification&) { _updateProperties(); });
}

void QVPreferencesController::setShowsDesktopDecidesNote(bool shows)
{
    if (!_desktopDecidesNote)
        return;
    _desktopDecidesNote->setVisible(shows);
    _updateChildViews();
}

int QVPreferencesController::contentHeight() const
{
    int height = kBaseContentHeight;
    if (_desktopDecidesNote && !_desktopDecidesNote->isHidden())
        height += _desktopDecidesNote->heightForWidth(kWindowWidth - 40) + 6;
    if (_shouldShowSignedInView)
        height += QVUserSignedInPrefView::kHeight;
    return height;
}

void QVPreferencesController::_updateProperties()
{
    if (!_alwaysOnTopButton)
        return;
    // Anything stored that is not a yes counts as off.
    _keepInAllSpacesButton->setChecked(
        _services.userDefaults->boolForKey(latin1(QVIsMiniPlayerOnAllSpacesKey)));
    _alwaysOnTopButton->setChecked(_services.userDefaults->boolForKey(latin1(QVIsMiniPlayerAlwaysOnTopKey)));
}

void QVPreferencesController::_updateChildViews()
{
    if (!_prefsWindow)
        return;
    const int height = contentHeight();
    const int optionsHeight = height - (_shouldShowSignedInView ? QVUserSignedInPrefView::kHeight : 0);
    // The top edge stays where it is: the window grows and shrinks downwards.
    _prefsWindow->setFixedSize(kWindowWidth, height);
    _optionsView->setGeometry(0, 0, kWindowWidth, optionsHeight);
    if (_shouldShowSignedInView && !_isSignedInViewVisible) {
        _signedInView->setGeometry(0, optionsHeight, kWindowWidth, QVUserSignedInPrefView::kHeight);
        _signedInView->show();
        _isSignedInViewVisible = true;
    } else if (!_shouldShowSignedInView && _isSignedInViewVisible) {
        _signedInView->hide();
        _isSignedInViewVisible = false;
    } else if (_isSignedInViewVisible) {
        _signedInView->setGeometry(0, optionsHeight, kWindowWidth, QVUserSignedInPrefView::kHeight);
    }
}

void QVPreferencesController::showPreferences()
{
    if (!_prefsWindow)
        awakeFromNib();
    _prefsWindow->show();
    _prefsWindow->raise();
    _prefsWindow->activateWindow();
}

void QVPreferencesController::toggleMiniPlayerAlwaysOnTop()
{
    _services.userDefaults->setValue(_alwaysOnTopButton->isChecked(), latin1(QVIsMiniPlayerAlwaysOnTopKey));
}

void QVPreferencesController::toggleMiniPlayerKeepInAllSpaces()
{
    _services.userDefaults->setValue(
        _keepInAllSpacesButton->isChecked(), latin1(QVIsMiniPlayerOnAllSpacesKey));
}

void QVPreferencesController::onUserLoggedIn()
{
    if (!_signedInView)
        return;
    _signedInView->updateProperties();
    _shouldShowSignedInView = true;
    _updateChildViews();
}

void QVPreferencesController::onUserLoggedOut()
{
    _shouldShowSignedInView = false;
    _updateChildViews();
}

void QVPreferencesController::onUserSubscriptionTypeChanged()
{
    // The plan shows in the account pane as well as in the options.
    _updateProperties();
    if (_signedInView && _shouldShowSignedInView)
        _signedInView->updateProperties();
}
