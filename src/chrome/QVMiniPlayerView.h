#pragma once

#include <QList>
#include <QPointer>
#include <QRect>
#include <QWidget>

class QLabel;
class QMenu;
class QVFaceplateController;
class QVFaceplateSliderButton;
class QVMiniPlayerWindowButtonsView;
class QVNotificationCenter;
class QVNowPlayingView;
class QVPushButton;
class QVTextPushButton;
class QVUserDefaults;
class QVWebPlaybackService;

// The mini player's contents: its rounded background, the window buttons in a
// column at the left, previous, play/pause and next, and from 350 points wide
// the playing track (art, title, artist, times and progress). Dragging moves
// the window; the bottom-right corner resizes it, snapping between compact and
// wide. Its context menu holds the on-top and all-workspaces switches.
class QVMiniPlayerView : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kWideWidth = 350;
    static constexpr int kLeaveWideWidth = 340;
    static constexpr int kCompactContentWidth = 128;
    static constexpr QRect kNowPlayingMinFrame { 128, 7, 176, 50 };
    static constexpr QRect kNowPlayingMaxFrame { 128, 7, 365, 50 };
    static constexpr int kNowPlayingRightMargin = 6;

    explicit QVMiniPlayerView(QWidget* parent = nullptr, QVWebPlaybackService* playbackService = nullptr,
        QVNotificationCenter* center = nullptr, QVUserDefaults* defaults = nullptr);
    ~QVMiniPlayerView() override;

    QVMiniPlayerWindowButtonsView* windowButtonsView() const { return _windowButtonsView; }
    QVNowPlayingView* nowPlayingView() const { return _nowPlayingView; }
    QVFaceplateController* faceplateController() const { return _controller; }
    QVPushButton* previousButton() const { return _previous; }
    QVPushButton* playPauseButton() const { return _playPause; }
    QVPushButton* nextButton() const { return _next; }
    QVTextPushButton* trackTitleButton() const { return _title; }
    QVTextPushButton* trackArtistButton() const { return _artist; }
    QVFaceplateSliderButton* trackProgressSlider() const { return _progress; }
    bool isWide() const;

    // The bottom-right corner that resizes the window.
    QRect resizeRect() const;
    // The context menu, built afresh for each request (the caller owns it).
    QMenu* menu();
    void toggleAlwaysOnTop();
    void toggleKeepOnAllSpaces();

    // Where a resize drag from `start` by `delta` leaves the window: the top
    // edge stays; widths between compact and wide are never kept.
    static QRect resizedFrame(
        const QRect& start, const QPoint& delta, const QSize& minimum, const QSize& maximum);
    // Where a move drag leaves it: never above the primary screen's available
    // top unless its top-left corner reaches another screen.
    static QRect movedFrame(const QRect& start, const QPoint& delta, const QRect& primaryAvailable,
        const QList<QRect>& availableAreas);

signals:
    void switchWindowModeRequested();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void _layout();
    void _setKey(const char* key, bool on);

    QVUserDefaults* _defaults;
    QVMiniPlayerWindowButtonsView* _windowButtonsView;
    QVPushButton* _previous;
    QVPushButton* _playPause;
    QVPushButton* _next;
    QVNowPlayingView* _nowPlayingView;
    QVTextPushButton* _title;
    QVTextPushButton* _artist;
    QLabel* _elapsed;
    QVFaceplateSliderButton* _progress;
    QVTextPushButton* _length;
    QVFaceplateController* _controller;

    // The drag in progress.
    enum class Drag { None, Move, Resize, SystemMove };
    Drag _drag = Drag::None;
    QPoint _dragStart;
    QRect _dragStartFrame;
};
