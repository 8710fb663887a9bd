#pragma once

#include "QVFaceplateSliderButton.h"
#include "QVNowPlayingView.h"
#include "QVPushButton.h"
#include "QVRadioStationPopupMenuButtton.h"
#include "QVTextPushButton.h"
#include "QVWebNavigationListener.h"
#include "QVWebPlaybackListener.h"
#include "QVWebPlaybackService.h"

#include <QLabel>
#include <QObject>
#include <QPointer>
#include <QString>

class QVNotificationCenter;
class QVWebNavigationService;

// The native transport controls of a player window: mirrors the playback
// service's state into the buttons, sliders and texts, and turns clicks into
// playback commands. It owns no playback logic. Every control is optional:
// one that is not connected (or has gone) is skipped.
class QVFaceplateController : public QObject, public QVWebPlaybackListener, public QVWebNavigationListener
{
    Q_OBJECT
public:
    // What the controller works with; nullptr means the process-wide one.
    struct Services {
        QVWebPlaybackService* playbackService = nullptr;
        QVWebNavigationService* navigationService = nullptr;
        QVNotificationCenter* notificationCenter = nullptr;
    };

    explicit QVFaceplateController(QObject* parent = nullptr);
    QVFaceplateController(const Services& services, QObject* parent = nullptr);
    ~QVFaceplateController() override;

    // Outlets, set before awakeFromNib(); setting one wires its action.
    QVPushButton* previousButton() const { return _previousButton; }
    void setPreviousButton(QVPushButton* button);
    QVPushButton* playPauseButton() const { return _playPauseButton; }
    void setPlayPauseButton(QVPushButton* button);
    QVPushButton* nextButton() const { return _nextButton; }
    void setNextButton(QVPushButton* button);
    QVPushButton* volumeButton() const { return _volumeButton; }
    void setVolumeButton(QVPushButton* button);
    // Its action is wired by the window (it opens the queue panel).
    QVPushButton* flyoutButton() const { return _flyoutButton; }
    void setFlyoutButton(QVPushButton* button);
    QVPushButton* shuffleButton() const { return _shuffleButton; }
    void setShuffleButton(QVPushButton* button);
    QVPushButton* repeatButton() const { return _repeatButton; }
    void setRepeatButton(QVPushButton* button);
    QVTextPushButton* trackTitleButton() const { return _trackTitleButton; }
    void setTrackTitleButton(QVTextPushButton* button);
    QVTextPushButton* trackArtistButton() const { return _trackArtistButton; }
    void setTrackArtistButton(QVTextPushButton* button);
    QLabel* trackElapsedField() const { return _trackElapsedField; }
    void setTrackElapsedField(QLabel* field);
    QVTextPushButton* trackLengthButton() const { return _trackLengthButton; }
    void setTrackLengthButton(QVTextPushButton* button);
    QVNowPlayingView* nowPlayingView() const { return _nowPlayingView; }
    void setNowPlayingView(QVNowPlayingView* view);
    QVFaceplateSliderButton* volumeSlider() const { return _volumeSlider; }
    void setVolumeSlider(QVFaceplateSliderButton* slider);
    QVFaceplateSliderButton* trackProgressSlider() const { return _trackProgressSlider; }
    void setTrackProgressSlider(QVFaceplateSliderButton* slider);
    QVRadioStationPopupMenuButtton* radioButton() const { return _radioButton; }
    void setRadioButton(QVRadioStationPopupMenuButtton* button);

    bool isFaceplateEnabled() const { return _isFaceplateEnabled; }
    bool isPlaybackLoaded() const { return _isPlaybackLoaded; }
    // 1: the length button shows the time left; 0: the track's length.
    int trackLengthDisplayState() const { return _trackLengthDisplayState; }

    // Sets the controls up and starts listening. Once, after the outlets.
    void awakeFromNib();

    // Each update reads the page's position values once (true) or value by
    // value, as each display routine asks (false).
    bool usesBatchedReads() const { return _usesBatchedReads; }
    void setUsesBatchedReads(bool batched) { _usesBatchedReads = batched; }

    // Actions.
    void playPause();
    void previous();
    // Ctrl-click skips further (superSkip).
    void next(Qt::KeyboardModifiers modifiers);
    void updateVolume();
    void toggleMute();
    void seek();
    void shuffleToggle();
    void repeatToggle();
    void trackLengthActivated();
    void increaseVolume();
    void decreaseVolume();

    // Image names a subclass may swap.
    virtual QString playActiveImageName() const { return QStringLiteral("play"); }
    virtual QString playHoverImageName() const { return QStringLiteral("play_hover"); }
    virtual QString playDisabledImageName() const { return QStringLiteral("play_disabled"); }
    virtual QString playPushImageName() const { return QStringLiteral("play_active"); }
    virtual QString pauseActiveImageName() const { return QStringLiteral("pause"); }
    virtual QString pauseHoverImageName() const { return QStringLiteral("pause_hover"); }
    virtual QString pauseDisabledImageName() const { return QStringLiteral("pause_disabled"); }
    virtual QString pausePushImageName() const { return QStringLiteral("pause_active"); }
    virtual QString previousActiveImageName() const { return QStringLiteral("previous"); }
    virtual QString previousHoverImageName() const { return QStringLiteral("previous_hover"); }
    virtual QString previousDisabledImageName() const { return QStringLiteral("previous_disabled"); }
    virtual QString previousPushImageName() const { return QStringLiteral("previous_active"); }
    virtual QString nextActiveImageName() const { return QStringLiteral("next"); }
    virtual QString nextHoverImageName() const { return QStringLiteral("next_hover"); }
    virtual QString nextDisabledImageName() const { return QStringLiteral("next_disabled"); }
    virtual QString nextPushImageName() const { return QStringLiteral("next_active"); }

    // QVWebPlaybackListener
    void onPlaybackLoaded() override;
    void onPlaybackUnloaded() override;
    void onPlaybackOffline() override;
    void playbackPlayingTrackChanged() override;
    void playbackPlayStateChanged(QVPlayState state) override;
    void playbackPositionChanged(float position) override;
    void playbackMuteChanged(bool muted) override;
    void playbackVolumeChanged(float volume) override;
    void playbackRepeatChanged(int repeatState) override;
    void playbackShuffleChanged(bool shuffle) override;
    void onPlayerFlyoutToggled() override;
    void onRadioStationChanged(const QVariant& station) override;

    // QVWebNavigationListener
    void onDesktopScriptObjectInitialized() override;

    void _updateAllControls();
    void _updateControlsEnabledState();
    void _updateNowPlayingViewDisplay();
    void _updatePositionDisplay();
    void _updateVolumeControls();
    void _updateRepeatControls();
    void _updateShuffleControls();
    void _updateFlyoutButton();
    void _updateRadioAndPlaybackDisplay();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    using Readout = QVWebPlaybackService::PositionReadout;
    // The position values for this update: read once per update when
    // batching, else value by value as the display routines go.
    Readout _readout();
    bool _hasPositionControls() const;
    void _updatePositionDisplay(const Readout& readout);
    void _updateRadioAndPlaybackDisplay(bool isPlayingRadioStation);
    void _updateElapsedFieldColor();
    void _userDidSignIn();
    void _userDidSignOut();
    void _setPlayImages();
    void _setPauseImages();
    static void _setImageSet(QVPushButton* button, const QString& active, const QString& hover,
        const QString& disabled, const QString& inactive, const QString& inactiveHover, const QString& push);
    static void _setPushButtonTextCellValues(QVTextPushButton* button, const QString& fontName,
        unsigned int fontSize, bool useInactiveTransparency);
    static void _setHidden(QWidget* widget, bool hidden);
    static void _setEnabled(QWidget* widget, bool enabled);
    // Keeps a toggle's accessible checked state true to the player.
    static void _setChecked(QVPushButton* button, bool checked);

    QVWebPlaybackService* _playback;
    QVWebNavigationService* _navigation;
    QVNotificationCenter* _center;

    QPointer<QVPushButton> _previousButton;
    QPointer<QVPushButton> _playPauseButton;
    QPointer<QVPushButton> _nextButton;
    QPointer<QVPushButton> _volumeButton;
    QPointer<QVPushButton> _flyoutButton;
    QPointer<QVPushButton> _shuffleButton;
    QPointer<QVPushButton> _repeatButton;
    QPointer<QVTextPushButton> _trackTitleButton;
    QPointer<QVTextPushButton> _trackArtistButton;
    QPointer<QLabel> _trackElapsedField;
    QPointer<QVTextPushButton> _trackLengthButton;
    QPointer<QVNowPlayingView> _nowPlayingView;
    QPointer<QVFaceplateSliderButton> _volumeSlider;
    QPointer<QVFaceplateSliderButton> _trackProgressSlider;
    bool _isFaceplateEnabled = false;
    bool _isPlaybackLoaded = false;
    int _trackLengthDisplayState = 1;
    QPointer<QVRadioStationPopupMenuButtton> _radioButton;

    bool _awake = false;
    bool _usesBatchedReads = true;
    // Valid during one _updateAllControls.
    std::optional<Readout> _updateReadout;
    Qt::KeyboardModifiers _nextClickModifiers;
};
