#include "QVFaceplateController.h"

#include "QVConstants.h"
#include "QVFaceplateSliderButton.h"
#include "QVFaceplateSliderButtonCell.h"
#include "QVLocalizedString.h"
#include "QVNotificationCenter.h"
#include "QVNowPlayingView.h"
#include "QVPushButton.h"
#include "QVPushButtonCell.h"
#include "QVPushButtonTextCell.h"
#include "QVRadioStationPopupMenuButtton.h"
#include "QVTextPushButton.h"
#include "QVUIConstantsService.h"
#include "QVWebNavigationService.h"
#include "QVWindowActivity.h"

#include <QApplication>
#include <QMouseEvent>

namespace {
constexpr float kInactiveTransparency = 0.7f;

bool isIdle(QVPlayState state)
{
    return state == QVPlayStateUnknown || state == QVPlayStateStopped || state == QVPlayStateInactive;
}

QString name(const char* constant)
{
    return QString::fromLatin1(constant);
}
} // namespace

QVFaceplateController::QVFaceplateController(QObject* parent)
    : QVFaceplateController(Services(), parent)
{
}

QVFaceplateController::QVFaceplateController(const Services& services, QObject* parent)
    : QObject(parent)
    , _playback(services.playbackService ? services.playbackService : QVWebPlaybackService::sharedInstance())
    , _navigation(
          services.navigationService ? services.navigationService : QVWebNavigationService::sharedInstance())
    , _center(
          services.notificationCenter ? services.notificationCenter : QVNotificationCenter::defaultCenter())
{
}

QVFaceplateController::~QVFaceplateController()
{
    if (!_awake)
        return;
    _playback->removeWebPlaybackListener(this);
    _navigation->removeWebNavigationListener(this);
    _center->removeObserver(this);
}

// Outlets ------------------------------------------------------------------------

namespace {
template <typename Button, typename Slot>
void wire(QVFaceplateController* controller, QPointer<Button>* outlet, Button* button, Slot slot,
    const QString& accessibleName)
{
    if (*outlet)
        QObject::disconnect(*outlet, nullptr, controller, nullptr);
    *outlet = button;
    if (!button)
        return;
    QObject::connect(button, &QAbstractButton::clicked, controller, slot);
    if (!accessibleName.isEmpty())
        button->setAccessibleName(accessibleName);
    // Reachable by Tab, never taking the focus from the page on a click.
    button->setFocusPolicy(Qt::TabFocus);
}
} // namespace

void QVFaceplateController::setPreviousButton(QVPushButton* button)
{
    wire(
        this, &_previousButton, button, [this] { previous(); }, QVLocalizedString("Previous"));
}

void QVFaceplateController::setPlayPauseButton(QVPushButton* button)
{
    wire(
        this, &_playPauseButton, button, [this] { playPause(); }, QVLocalizedString("Play"));
}

void QVFaceplateController::setNextButton(QVPushButton* button)
{
    if (_nextButton)
        _nextButton->removeEventFilter(this);
    wire(
        this, &_nextButton, button,
        [this] {
            // A click carries the modifiers of its release; a key press the current ones.
            const Qt::KeyboardModifiers modifiers
                = _nextClickModifiers ? _nextClickModifiers : QApplication::keyboardModifiers();
            _nextClickModifiers = {};
            next(modifiers);
        },
        QVLocalizedString("Next"));
    if (button)
        button->installEventFilter(this);
}

void QVFaceplateController::setVolumeButton(QVPushButton* button)
{
    wire(
        this, &_volumeButton, button, [this] { toggleMute(); }, QVLocalizedString("Mute"));
    if (button)
        button->setCheckable(true);
}

void QVFaceplateController::setFlyoutButton(QVPushButton* button)
{
    _flyoutButton = button;
    if (!button)
        return;
    button->setAccessibleName(QVLocalizedString("Play Queue"));
    button->setFocusPolicy(Qt::TabFocus);
}

void QVFaceplateController::setShuffleButton(QVPushButton* button)
{
    wire(
        this, &_shuffleButton, button, [this] { shuffleToggle(); }, QVLocalizedString("Shuffle"));
    if (button)
        button->setCheckable(true);
}

void QVFaceplateController::setRepeatButton(QVPushButton* button)
{
    wire(
        this, &_repeatButton, button, [this] { repeatToggle(); }, QVLocalizedString("Repeat"));
}

void QVFaceplateController::setTrackTitleButton(QVTextPushButton* button)
{
    _trackTitleButton = button;
    if (button)
        button->setFocusPolicy(Qt::TabFocus);
}

void QVFaceplateController::setTrackArtistButton(QVTextPushButton* button)
{
    _trackArtistButton = button;
    if (button)
        button->setFocusPolicy(Qt::TabFocus);
}

void QVFaceplateController::setTrackElapsedField(QLabel* field)
{
    if (_trackElapsedField)
        _trackElapsedField->removeEventFilter(this);
    _trackElapsedField = field;
    if (!field)
        return;
    // Page text: never markup.
    field->setTextFormat(Qt::PlainText);
    field->setAccessibleName(QVLocalizedString("Elapsed Time"));
    field->installEventFilter(this);
}

void QVFaceplateController::setTrackLengthButton(QVTextPushButton* button)
{
    wire(
        this, &_trackLengthButton, button, [this] { trackLengthActivated(); }, QString());
}

void QVFaceplateController::_updateElapsedFieldColor()
{
    if (!_trackElapsedField)
        return;
    // Faded in a background window, as the length beside it.
    const QVUIConstantsService* constants = QVUIConstantsService::sharedInstance();
    QPalette palette = _trackElapsedField->palette();
    palette.setColor(QPalette::WindowText,
        QVWindowActivity::isKeyOrMainWindow(_trackElapsedField)
            ? constants->defaultShadowedWhiteTextColor()
            : constants->defaultInactiveShadowedWhiteTextColor());
    _trackElapsedField->setPalette(palette);
}

void QVFaceplateController::setNowPlayingView(QVNowPlayingView* view)
{
    _nowPlayingView = view;
}

void QVFaceplateController::setVolumeSlider(QVFaceplateSliderButton* slider)
{
    if (_volumeSlider)
        disconnect(_volumeSlider, nullptr, this, nullptr);
    _volumeSlider = slider;
    if (!slider)
        return;
    slider->setAccessibleName(QVLocalizedString("Volume"));
    // The sound follows the drag.
    slider->setContinuous(true);
    connect(slider, &QVFaceplateSliderButton::triggered, this, [this] { updateVolume(); });
}

void QVFaceplateController::setTrackProgressSlider(QVFaceplateSliderButton* slider)
{
    if (_trackProgressSlider)
        disconnect(_trackProgressSlider, nullptr, this, nullptr);
    _trackProgressSlider = slider;
    if (!slider)
        return;
    slider->setAccessibleName(QVLocalizedString("Track Position"));
    // One seek, when the drag ends.
    slider->setContinuous(false);
    connect(slider, &QVFaceplateSliderButton::triggered, this, [this] { seek(); });
}

void QVFaceplateController::setRadioButton(QVRadioStationPopupMenuButtton* button)
{
    _radioButton = button;
}

bool QVFaceplateController::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == _nextButton && event->type() == QEvent::MouseButtonRelease)
        _nextClickModifiers = static_cast<QMouseEvent*>(event)->modifiers();
    // Visible children hear of their window's activation; a hidden one catches up when shown.
    if (watched == _trackElapsedField
        && (event->type() == QEvent::WindowActivate || event->type() == QEvent::WindowDeactivate
            || event->type() == QEvent::Show))
        _updateElapsedFieldColor();
    return QObject::eventFilter(watched, event);
}

// Set-up -------------------------------------------------------------------------

void QVFaceplateController::awakeFromNib()
{
    if (_awake)
        return;
    _awake = true;
    _isFaceplateEnabled = false;
    _isPlaybackLoaded = false;
    _trackLengthDisplayState = 1;
    _setHidden(_trackProgressSlider, true);

    _setPlayImages();
    _setImageSet(_previousButton, previousActiveImageName(), previousHoverImageName(),
        previousDisabledImageName(), QString(), previousHoverImageName(), previousPushImageName());
    _setImageSet(_nextButton, nextActiveImageName(), nextHoverImageName(), nextDisabledImageName(), QString(),
        nextHoverImageName(), nextPushImageName());
    _setImageSet(_flyoutButton, "flyout_button", "flyout_button_hover", "flyout_button_disabled", QString(),
        "flyout_button_hover", "flyout_button_active");
    _setImageSet(_repeatButton, "repeat_off.png", "repeat_off_hover.png", "repeat_off.png", "repeat_off.png",
        "repeat_off_hover.png", "repeat_on.png");
    if (_repeatButton)
        _repeatButton->setInactiveTransparency(kInactiveTransparency);
    _setImageSet(_shuffleButton, "shuffle_off.png", "shuffle_off_hover.png", "shuffle_off.png",
        "shuffle_off.png", "shuffle_off_hover.png", "shuffle_on.png");
    if (_shuffleButton)
        _shuffleButton->setInactiveTransparency(kInactiveTransparency);
    _setImageSet(_volumeButton, "volume_empty.png", QString(), "volume_empty.png", "volume_empty.png",
        QString(), QString());

    _setPushButtonTextCellValues(_trackTitleButton, QStringLiteral("Helvetica Neue Bold"), 11, false);
    _setPushButtonTextCellValues(_trackArtistButton, QStringLiteral("Helvetica Neue"), 11, false);
    _setPushButtonTextCellValues(_trackLengthButton, QStringLiteral("Helvetica Neue Light"), 10, true);

    if (_radioButton)
        _radioButton->setInactiveTransparency(kInactiveTransparency);
    if (_trackElapsedField) {
        _trackElapsedField->setFont(
            QVUIConstantsService::fontNamed(QStringLiteral("Helvetica Neue Light"), 10));
        _updateElapsedFieldColor();
    }

    _updateControlsEnabledState();

    if (_volumeSlider) {
        _volumeSlider->cell()->setBackingImage(QVImage::named(QStringLiteral("volume_slider.png")));
        _volumeSlider->cell()->setBackingImageEndcap(QVImage::named(QStringLiteral("volume_slider_cap.png")));
    }

    _playback->addWebPlaybackListener(this);
    _navigation->addWebNavigationListener(this);
    _center->addObserver(
        this, name(QVUserDidSignOutNotification), [this](const QVNotification&) { _userDidSignOut(); });
    _center->addObserver(
        this, name(QVUserDidSignInNotification), [this](const QVNotification&) { _userDidSignIn(); });
}

void QVFaceplateController::_setImageSet(QVPushButton* button, const QString& active, const QString& hover,
    const QString& disabled, const QString& inactive, const QString& inactiveHover, const QString& push)
{
    if (button)
        button->setActiveImage(active, hover, disabled, inactive, inactiveHover, push);
}

void QVFaceplateController::_setPlayImages()
{
    _setImageSet(_playPauseButton, playActiveImageName(), playHoverImageName(), playDisabledImageName(),
        QString(), playHoverImageName(), playPushImageName());
    if (_playPauseButton)
        _playPauseButton->setAccessibleName(QVLocalizedString("Play"));
}

void QVFaceplateController::_setPauseImages()
{
    _setImageSet(_playPauseButton, pauseActiveImageName(), pauseHoverImageName(), pauseDisabledImageName(),
        QString(), pauseHoverImageName(), pausePushImageName());
    if (_playPauseButton)
        _playPauseButton->setAccessibleName(QVLocalizedString("Pause"));
}

void QVFaceplateController::_setPushButtonTextCellValues(
    QVTextPushButton* button, const QString& fontName, unsigned int fontSize, bool useInactiveTransparency)
{
    QVPushButtonTextCell* cell = button ? button->textCell() : nullptr;
    if (!cell)
        return;
    const QVUIConstantsService* constants = QVUIConstantsService::sharedInstance();
    cell->setFontName(fontName);
    cell->setFontSize(fontSize);
    cell->setTextColor(constants->defaultShadowedWhiteTextColor());
    cell->setTextShadow(constants->defaultNowPlayingViewTextShadow());
    cell->setCursor(QCursor(Qt::PointingHandCursor));
    if (useInactiveTransparency)
        cell->setInactiveTextColor(constants->defaultInactiveShadowedWhiteTextColor());
    button->update();
}

void QVFaceplateController::_setHidden(QWidget* widget, bool hidden)
{
    if (widget && widget->isHidden() != hidden)
        widget->setHidden(hidden);
}

void QVFaceplateController::_setEnabled(QWidget* widget, bool enabled)
{
    if (widget)
        widget->setEnabled(enabled);
}

void QVFaceplateController::_setChecked(QVPushButton* button, bool checked)
{
    if (button && button->isCheckable() && button->isChecked() != checked) {
        const QSignalBlocker blocker(button);
        button->setChecked(checked);
    }
}

// Actions ------------------------------------------------------------------------

void QVFaceplateController::playPause()
{
    _playback->playPause();
}

void QVFaceplateController::previous()
{
    _playback->previousTrack();
}

void QVFaceplateController::next(Qt::KeyboardModifiers modifiers)
{
    if (modifiers & Qt::ControlModifier)
        _playback->superSkip();
    else
        _playback->nextTrack();
}

void QVFaceplateController::updateVolume()
{
    if (!_volumeSlider)
        return;
    _playback->setVolumeLevel(unsigned(std::clamp(_volumeSlider->intValue(), 0, 100)));
}

void QVFaceplateController::toggleMute()
{
    _playback->toggleMute();
    // Until the player reports otherwise, the button says what is true.
    _setChecked(_volumeButton, _playback->isMuted());
}

void QVFaceplateController::seek()
{
    if (!_trackProgressSlider)
        return;
    float fraction = _trackProgressSlider->floatValue() / 100.0f;
    fraction = std::isnan(fraction) ? 0.0f : std::clamp(fraction, 0.0f, 1.0f);
    _playback->seek(unsigned(double(_playback->playingTrackDurationSeconds()) * double(fraction)));
}

void QVFaceplateController::shuffleToggle()
{
    _playback->toggleShuffleState();
    _setChecked(_shuffleButton, _playback->shuffle());
}

void QVFaceplateController::repeatToggle()
{
    _playback->toggleRepeatState();
}

void QVFaceplateController::trackLengthActivated()
{
    _trackLengthDisplayState = 1 - _trackLengthDisplayState;
    _updatePositionDisplay();
}

void QVFaceplateController::increaseVolume()
{
    _playback->incrementVolumeLevel();
}

void QVFaceplateController::decreaseVolume()
{
    _playback->decrementVolumeLevel();
}

// Callbacks ----------------------------------------------------------------------

void QVFaceplateController::onPlaybackLoaded()
{
    _isFaceplateEnabled = true;
    _isPlaybackLoaded = true;
    _updateAllControls();
}

void QVFaceplateController::onPlaybackUnloaded()
{
    _isFaceplateEnabled = false;
    _isPlaybackLoaded = false;
    _updateAllControls();
}

void QVFaceplateController::onPlaybackOffline()
{
    _isFaceplateEnabled = false;
    _isPlaybackLoaded = false;
    _updateAllControls();
}

void QVFaceplateController::playbackPlayingTrackChanged()
{
    if (_isPlaybackLoaded)
        _updateAllControls();
}

void QVFaceplateController::playbackPlayStateChanged(QVPlayState state)
{
    if (state >= QVPlayStatePaused && state <= QVPlayStateInactive)
        _isFaceplateEnabled = true;
    else if (state == QVPlayStateUnknown)
        _isFaceplateEnabled = false;
    if (_isPlaybackLoaded)
        _updateAllControls();
}

void QVFaceplateController::playbackPositionChanged(float)
{
    if (_isPlaybackLoaded && _isFaceplateEnabled)
        _updatePositionDisplay();
}

void QVFaceplateController::playbackMuteChanged(bool)
{
    _updateVolumeControls();
}

void QVFaceplateController::playbackVolumeChanged(float)
{
    _updateVolumeControls();
}

void QVFaceplateController::playbackRepeatChanged(int)
{
    _updateRepeatControls();
}

void QVFaceplateController::playbackShuffleChanged(bool)
{
    _updateShuffleControls();
}

void QVFaceplateController::onPlayerFlyoutToggled()
{
    _updateFlyoutButton();
}

void QVFaceplateController::onRadioStationChanged(const QVariant& station)
{
    const QVariant key = station.toMap().value(QStringLiteral("key"));
    if (_radioButton)
        _radioButton->setCurrentStationKey(key.typeId() == QMetaType::QString ? key.toString() : QString());
    _updateRadioAndPlaybackDisplay();
}

void QVFaceplateController::onDesktopScriptObjectInitialized()
{
    _updateAllControls();
}

void QVFaceplateController::_userDidSignOut()
{
    _isFaceplateEnabled = false;
    _isPlaybackLoaded = false;
    _updateAllControls();
}

void QVFaceplateController::_userDidSignIn()
{
    _isFaceplateEnabled = true;
    // A sign-out cleared the flag though the page stayed; signing in on that
    // same page (no new load to report it) must bring the controls back.
    _isPlaybackLoaded = _playback->isPlaybackLoaded();
    _updateAllControls();
}

// Updates ------------------------------------------------------------------------

QVFaceplateController::Readout QVFaceplateController::_readout()
{
    if (_updateReadout)
        return *_updateReadout;
    // Nothing would show the values: no trip to the page for them.
    return _hasPositionControls() ? _playback->readPositionDisplay() : Readout();
}

bool QVFaceplateController::_hasPositionControls() const
{
    return _trackElapsedField || _trackLengthButton || _trackProgressSlider || _shuffleButton || _repeatButton
        || _radioButton;
}

void QVFaceplateController::_updateControlsEnabledState()
{
    const bool hidden = !_isFaceplateEnabled;
    _setHidden(_trackElapsedField, hidden);
    _setHidden(_trackLengthButton, hidden);
    _setHidden(_trackProgressSlider, hidden);
    for (QWidget* control : { static_cast<QWidget*>(_previousButton), static_cast<QWidget*>(_playPauseButton),
             static_cast<QWidget*>(_nextButton), static_cast<QWidget*>(_volumeSlider),
             static_cast<QWidget*>(_shuffleButton), static_cast<QWidget*>(_repeatButton) })
        _setEnabled(control, _isFaceplateEnabled);
}

void QVFaceplateController::_updateAllControls()
{
    // A page that goes away during a read must not leave a stale readout behind.
    struct ReadoutScope {
        QVFaceplateController* controller;
        bool owner;
        ~ReadoutScope()
        {
            if (owner)
                controller->_updateReadout.reset();
        }
    } scope { this, !_updateReadout.has_value() };
    // One read of the page's position values for the whole update.
    if (_usesBatchedReads && scope.owner)
        _updateReadout = _readout();

    _updateControlsEnabledState();
    bool transport = true;
    const QVPlayState state = _playback->playState();
    const auto hasTrack = [this] {
        return !_playback->playingTrackName().isEmpty() || !_playback->playingTrackArtist().isEmpty()
            || !_playback->playingTrackAlbum().isEmpty();
    };
    switch (state) {
    case QVPlayStatePaused:
        if (_trackProgressSlider)
            _trackProgressSlider->setIsLoading(false);
        _setPlayImages();
        break;
    case QVPlayStatePlaying:
        _setPauseImages();
        break;
    case QVPlayStateStopped:
        transport = hasTrack();
        if (_trackProgressSlider)
            _trackProgressSlider->setIsLoading(false);
        _setPlayImages();
        break;
    case QVPlayStateBuffering:
        _setHidden(_trackProgressSlider, false);
        if (_trackProgressSlider)
            _trackProgressSlider->setIsLoading(true);
        break;
    case QVPlayStateInactive:
        if (_trackProgressSlider)
            _trackProgressSlider->setIsLoading(false);
        transport = hasTrack();
        break;
    default:
        break;
    }
    if (_isFaceplateEnabled) {
        _setEnabled(_previousButton, transport);
        _setEnabled(_playPauseButton, transport);
        _setEnabled(_nextButton, transport);
    }
    _updateNowPlayingViewDisplay();
    _updatePositionDisplay();
    _updateRadioAndPlaybackDisplay();
    if (_playback->isPlaybackLoaded()) {
        _updateVolumeControls();
        _updateRepeatControls();
        _updateShuffleControls();
        _updateFlyoutButton();
    }
}

void QVFaceplateController::_updateNowPlayingViewDisplay()
{
    QString title;
    QString artist;
    bool showLogo = true;
    if (_isFaceplateEnabled) {
        title = _playback->playingTrackName();
        artist = _playback->playingTrackArtist();
        showLogo = isIdle(_playback->playState()) && title.isEmpty() && artist.isEmpty();
    }
    if (_trackTitleButton) {
        _trackTitleButton->setTitle(title);
        _trackTitleButton->setAccessibleName(title.isEmpty() ? QVLocalizedString("Track") : title);
    }
    if (_trackArtistButton) {
        _trackArtistButton->setTitle(artist);
        _trackArtistButton->setAccessibleName(artist.isEmpty() ? QVLocalizedString("Artist") : artist);
    }
    if (_nowPlayingView) {
        _nowPlayingView->setShouldShowLogo(showLogo);
        _nowPlayingView->update();
    }
}

void QVFaceplateController::_updatePositionDisplay()
{
    if (_usesBatchedReads || !_hasPositionControls()) {
        _updatePositionDisplay(_readout());
        return;
    }
    // Value by value, each read when it is needed.
    Readout readout;
    readout.isNotMaster = _playback->isNotMaster();
    if (!readout.isNotMaster) {
        readout.elapsedSeconds = _playback->playingTrackElapsedSeconds();
        readout.durationSeconds = _playback->playingTrackDurationSeconds();
        if (readout.elapsedSeconds != 0 && readout.durationSeconds != 0) {
            if (_trackLengthDisplayState == 1)
                readout.remainingTime = _playback->playingTrackRemainingTime();
            else
                readout.durationTime = _playback->playingTrackDurationTime();
            readout.elapsedTime = _playback->playingTrackElapsedTime();
        }
    }
    _updatePositionDisplay(readout);
}

void QVFaceplateController::_updatePositionDisplay(const Readout& readout)
{
    if (readout.isNotMaster) {
        _setHidden(_trackElapsedField, true);
        _setHidden(_trackLengthButton, true);
        _setHidden(_trackProgressSlider, true);
        return;
    }
    const unsigned int elapsed = readout.elapsedSeconds;
    const unsigned int duration = readout.durationSeconds;
    const QVPlayState state = _playback->playState();
    if (elapsed != 0 && duration != 0) {
        const QString text = _trackLengthDisplayState == 1 ? readout.remainingTime : readout.durationTime;
        if (_trackProgressSlider)
            _trackProgressSlider->setIsLoading(false);
        const bool hideTexts = state == QVPlayStateInactive;
        _setHidden(_trackElapsedField, hideTexts);
        _setHidden(_trackLengthButton, hideTexts);
        if (_trackProgressSlider)
            _trackProgressSlider->setFloatValue(float(elapsed) / float(duration) * 100.0f);
        if (_trackElapsedField)
            _trackElapsedField->setText(readout.elapsedTime);
        if (_trackLengthButton) {
            _trackLengthButton->setTitle(text);
            _trackLengthButton->setAccessibleDescription(text);
            _trackLengthButton->setAccessibleName(_trackLengthDisplayState == 1
                    ? QVLocalizedString("Time Remaining")
                    : QVLocalizedString("Track Length"));
        }
        return;
    }
    if (state == QVPlayStatePlaying && _playback->isPlaybackLoaded()) {
        _setHidden(_trackProgressSlider, false);
        if (_trackProgressSlider)
            _trackProgressSlider->setIsLoading(true);
    } else if (_trackProgressSlider) {
        _setHidden(_trackProgressSlider, !_trackProgressSlider->isLoading());
    }
    _setHidden(_trackElapsedField, true);
    _setHidden(_trackLengthButton, true);
}

void QVFaceplateController::_updateVolumeControls()
{
    int level = 0;
    if (!_playback->isMuted()) {
        level = int(_playback->volumeLevel());
        if (_volumeSlider) {
            _volumeSlider->setFloatValue(float(level));
            level = _volumeSlider->intValue();
        }
    } else if (_volumeSlider) {
        _volumeSlider->setFloatValue(0.0f);
    }
    const QString icon = level <= 0 ? QStringLiteral("volume_empty.png")
        : level <= 50               ? QStringLiteral("volume_half_full.png")
                                    : QStringLiteral("volume_full.png");
    if (_volumeButton) {
        const QVImage image = QVImage::named(icon);
        _volumeButton->setImage(image);
        _volumeButton->setInactiveImage(image);
        _setChecked(_volumeButton, _playback->isMuted());
        _volumeButton->setAccessibleName(
            _playback->isMuted() ? QVLocalizedString("Unmute") : QVLocalizedString("Mute"));
    }
}

void QVFaceplateController::_updateRepeatControls()
{
    if (!_repeatButton)
        return;
    switch (_playback->repeatState()) {
    case 0:
        _setImageSet(_repeatButton, "repeat_off.png", "repeat_off_hover.png", QString(), "repeat_off.png",
            "repeat_off_hover.png", "repeat_on.png");
        _repeatButton->setUsesInactiveTransparency(false);
        _repeatButton->setAccessibleDescription(QVLocalizedString("Repeat Off"));
        break;
    case 1:
        _setImageSet(_repeatButton, "repeat_one.png", "repeat_one_hover.png", QString(), "repeat_one.png",
            "repeat_one_hover.png", "repeat_off.png");
        _repeatButton->setUsesInactiveTransparency(true);
        _repeatButton->setAccessibleDescription(QVLocalizedString("Repeat One"));
        break;
    case 2:
        _setImageSet(_repeatButton, "repeat_on.png", "repeat_on_hover.png", QString(), "repeat_on.png",
            "repeat_on_hover.png", "repeat_one.png");
        _repeatButton->setUsesInactiveTransparency(true);
        _repeatButton->setAccessibleDescription(QVLocalizedString("Repeat All"));
        break;
    default:
        break;
    }
}

void QVFaceplateController::_updateShuffleControls()
{
    if (!_shuffleButton)
        return;
    const bool on = _playback->shuffle();
    if (on)
        _setImageSet(_shuffleButton, "shuffle_on.png", "shuffle_on_hover.png", QString(), "shuffle_on.png",
            "shuffle_on_hover.png", "shuffle_off.png");
    else
        _setImageSet(_shuffleButton, "shuffle_off.png", "shuffle_off_hover.png", QString(), "shuffle_off.png",
            "shuffle_off_hover.png", "shuffle_on.png");
    _shuffleButton->setUsesInactiveTransparency(on);
    _setChecked(_shuffleButton, on);
}

void QVFaceplateController::_updateFlyoutButton()
{
    if (_playback->isQuickNowPlayingViewVisible())
        _setImageSet(_flyoutButton, "flyout_button_on.png", "flyout_button_on_hover.png",
            "flyout_button_disabled", QString(), "flyout_button_on_hover.png", "flyout_button_on_active.png");
    else
        _setImageSet(_flyoutButton, "flyout_button.png", "flyout_button_hover.png", "flyout_button_disabled",
            QString(), "flyout_button_hover.png", "flyout_button_active.png");
}

void QVFaceplateController::_updateRadioAndPlaybackDisplay()
{
    _updateRadioAndPlaybackDisplay(_usesBatchedReads || !_hasPositionControls()
            ? _readout().isPlayingRadioStation
            : _playback->isPlayingRadioStation());
}

void QVFaceplateController::_updateRadioAndPlaybackDisplay(bool isPlayingRadioStation)
{
    const QVPlayState state = _playback->playState();
    if (!isPlayingRadioStation && !isIdle(state)) {
        _setHidden(_shuffleButton, false);
        _setHidden(_repeatButton, false);
        _setHidden(_radioButton, true);
        _setImageSet(_radioButton, "quiv_station_off.png", "quiv_station_off_hover.png", QString(),
            "quiv_station_off.png", "quiv_station_off_hover.png", "quiv_station_off.png");
        if (_radioButton)
            _radioButton->setUsesInactiveTransparency(false);
        return;
    }
    _setHidden(_shuffleButton, true);
    _setHidden(_repeatButton, true);
    _setHidden(_radioButton, false);
    if (!_radioButton)
        return;
    const bool on
        = state == QVPlayStatePlaying || state == QVPlayStatePaused || state == QVPlayStateBuffering;
    if (on)
        _setImageSet(_radioButton, "quiv_station_on.png", "quiv_station_on_hover.png", QString(),
            "quiv_station_on.png", "quiv_station_on_hover.png", "quiv_station_on.png");
    else
        _setImageSet(_radioButton, "quiv_station_off.png", "quiv_station_off_hover.png", QString(),
            "quiv_station_off.png", "quiv_station_off_hover.png", "quiv_station_off.png");
    _radioButton->setUsesInactiveTransparency(on);
}
