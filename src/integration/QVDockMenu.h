#pragma once

#include "QVWebPlaybackListener.h"

#include <QList>
#include <QMenu>
#include <QPointer>

class QVWebPlaybackService;

// The tray icon's menu: the playing track, then play/pause, next and
// previous, then the items the program adds below them. Trays that show it
// over DBusMenu do not always ask before showing, so it is refilled on
// aboutToShow and whenever the track or the play state changes. It reads the
// player mirror only: a tray's request can arrive while a read of the page
// waits.
class QVDockMenu : public QMenu, public QVWebPlaybackListener
{
    Q_OBJECT
public:
    // nullptr: the shared playback service.
    explicit QVDockMenu(
        const QString& title, QWidget* parent = nullptr, QVWebPlaybackService* playback = nullptr);
    ~QVDockMenu() override;

    // Kept below the playback items, after a separator, across refills.
    void addTrailingAction(QAction* action);

    void playbackPlayingTrackChanged() override;
    void playbackPlayStateChanged(QVPlayState state) override;
    void onPlaybackLoaded() override;
    void onPlaybackUnloaded() override;

    void _refill();

private:
    QAction* _appendMenuItem(const QString& title, void (QVWebPlaybackService::*action)());

    QVWebPlaybackService* _playback;
    QList<QPointer<QAction>> _trailingActions;
};
