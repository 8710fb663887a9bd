#pragma once

#include "QVLog.h"

#include <QObject>

// Stands in for the navigation controller until it lands: only the calls the
// faceplate's title, artist and art make. Each says in the log that it went
// nowhere.
class QVNavigationController : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    void goToPlayingTrackPage() { QVLog("[WARNING] Going to the playing track's page is not available yet"); }
    void goToPlayingArtistPage()
    {
        QVLog("[WARNING] Going to the playing artist's page is not available yet");
    }
    void goToPlayingAlbumPage() { QVLog("[WARNING] Going to the playing album's page is not available yet"); }
};
