#include "QVDockMenu.h"

#include "QVEventQueue.h"
#include "QVLocalizedString.h"
#include "QVWebPlaybackService.h"

namespace {
// Page text in a menu: "&" shows as itself instead of marking a mnemonic.
QString menuText(const QString& text)
{
    QString escaped = text;
    return escaped.replace(QLatin1Char('&'), QStringLiteral("&&"));
}
} // namespace

QVDockMenu::QVDockMenu(const QString& title, QWidget* parent, QVWebPlaybackService* playback)
    : QMenu(title, parent)
    , _playback(playback ? playback : QVWebPlaybackService::sharedInstance())
{
    _refill();
    connect(this, &QMenu::aboutToShow, this, &QVDockMenu::_refill);
    _playback->addWebPlaybackListener(this);
}

QVDockMenu::~QVDockMenu()
{
    _playback->removeWebPlaybackListener(this);
}

void QVDockMenu::addTrailingAction(QAction* action)
{
    _trailingActions.append(action);
    _refill();
}

void QVDockMenu::playbackPlayingTrackChanged()
{
    _refill();
}

void QVDockMenu::playbackPlayStateChanged(QVPlayState)
{
    _refill();
}

void QVDockMenu::onPlaybackLoaded()
{
    _refill();
}

void QVDockMenu::onPlaybackUnloaded()
{
    _refill();
}

QAction* QVDockMenu::_appendMenuItem(const QString& title, void (QVWebPlaybackService::*action)())
{
    QAction* item = addAction(title);
    if (action) {
        QVWebPlaybackService* playback = _playback;
        // Trays deliver the click over D-Bus, possibly while a read waits.
        connect(item, &QAction::triggered, this, [this, playback, action] {
            QVEventQueue::sharedInstance()->post(this, [playback, action] { (playback->*action)(); });
        });
    } else {
        item->setEnabled(false);
    }
    return item;
}

void QVDockMenu::_refill()
{
    // Our own items go; the program's trailing ones are only taken out.
    for (QAction* item : actions()) {
        removeAction(item);
        if (item->parent() == this && !_trailingActions.contains(item))
            item->deleteLater();
    }

    const QVTrack* track = _playback->playerScriptObject()->playingTrack();
    if (!track->trackName().isEmpty()) {
        _appendMenuItem(QVLocalizedString("Now Playing:"), nullptr);
        _appendMenuItem(QStringLiteral("   ") + menuText(track->trackName()), nullptr);
        _appendMenuItem(QStringLiteral("   ") + menuText(track->artist()), nullptr);
        addSeparator();
    }
    const bool playing = _playback->playState() == QVPlayStatePlaying;
    _appendMenuItem(
        playing ? QVLocalizedString("Pause") : QVLocalizedString("Play"), &QVWebPlaybackService::playPause);
    _appendMenuItem(QStringLiteral("Next"), &QVWebPlaybackService::nextTrack);
    _appendMenuItem(QStringLiteral("Previous"), &QVWebPlaybackService::previousTrack);

    bool separated = false;
    for (const QPointer<QAction>& item : std::as_const(_trailingActions)) {
        if (!item)
            continue;
        if (!separated) {
            addSeparator();
            separated = true;
        }
        addAction(item);
    }
}
