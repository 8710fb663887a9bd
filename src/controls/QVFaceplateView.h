#pragma once

#include <QWidget>

#include <memory>

class QLabel;
class QVFaceplateController;
class QVFaceplateSliderButton;
class QVNowPlayingView;
class QVPushButton;
class QVRadioStationPopupMenuButtton;
class QVTextPushButton;
class QVWebPlaybackService;
class QVAlbumArtHandler;

// One row of transport controls, laid out and connected to its controller as
// a window's interface description would: buttons, sliders, the now-playing
// strip with the title and artist over it, and the station button in place of
// shuffle and repeat. The owner wires the title, artist, art and queue
// clicks (signals below) to the places they lead.
class QVFaceplateView : public QWidget
{
    Q_OBJECT
public:
    enum class Kind { Main, MiniPlayer };

    // `controller` is the controller to connect (made here when null: the
    // kind's own, over the shared services); the view owns it.
    explicit QVFaceplateView(Kind kind = Kind::Main, QWidget* parent = nullptr,
        QVFaceplateController* controller = nullptr, QVWebPlaybackService* playbackService = nullptr,
        QVAlbumArtHandler* albumArtHandler = nullptr);
    ~QVFaceplateView() override;

    QVFaceplateController* controller() const { return _controller; }
    QVPushButton* previousButton() const { return _previous; }
    QVPushButton* playPauseButton() const { return _playPause; }
    QVPushButton* nextButton() const { return _next; }
    QVPushButton* volumeButton() const { return _volume; }
    QVPushButton* flyoutButton() const { return _flyout; }
    QVPushButton* shuffleButton() const { return _shuffle; }
    QVPushButton* repeatButton() const { return _repeat; }
    QVRadioStationPopupMenuButtton* radioButton() const { return _radio; }
    QVTextPushButton* trackTitleButton() const { return _title; }
    QVTextPushButton* trackArtistButton() const { return _artist; }
    QLabel* trackElapsedField() const { return _elapsed; }
    QVTextPushButton* trackLengthButton() const { return _length; }
    QVNowPlayingView* nowPlayingView() const { return _nowPlaying; }
    QVFaceplateSliderButton* volumeSlider() const { return _volumeSlider; }
    QVFaceplateSliderButton* trackProgressSlider() const { return _progress; }

    QSize sizeHint() const override;

signals:
    void trackTitleClicked();
    void trackArtistClicked();
    void albumArtClicked();
    void flyoutClicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void _layout();

    QVPushButton* _previous;
    QVPushButton* _playPause;
    QVPushButton* _next;
    QVNowPlayingView* _nowPlaying;
    QVTextPushButton* _title;
    QVTextPushButton* _artist;
    QLabel* _elapsed;
    QVFaceplateSliderButton* _progress;
    QVTextPushButton* _length;
    QVPushButton* _volume;
    QVFaceplateSliderButton* _volumeSlider;
    QVPushButton* _shuffle;
    QVPushButton* _repeat;
    QVRadioStationPopupMenuButtton* _radio;
    QVPushButton* _flyout;
    QVFaceplateController* _controller;
};
