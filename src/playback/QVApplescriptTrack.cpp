#include "QVApplescriptTrack.h"

#include "QVAlbumArtHandler.h"
#include "QVApplescriptTrackAdaptor.h"
#include "QVWebPlaybackService.h"

#include <QBuffer>

QVApplescriptTrack::QVApplescriptTrack(QVWebPlaybackService* playback, QObject* parent)
    : QObject(parent)
    , _playback(playback)
{
    new QVApplescriptTrackAdaptor(this);
}

QString QVApplescriptTrack::title() const
{
    return _playback->playerScriptObject()->playingTrack()->trackName();
}

QString QVApplescriptTrack::artist() const
{
    return _playback->playerScriptObject()->playingTrack()->artist();
}

QString QVApplescriptTrack::album() const
{
    return _playback->playerScriptObject()->playingTrack()->album();
}

QString QVApplescriptTrack::trackKey() const
{
    return _playback->playerScriptObject()->playingTrack()->trackKey();
}

QString QVApplescriptTrack::quivURL() const
{
    return _playback->playingTrackURL();
}

uint QVApplescriptTrack::duration() const
{
    return _playback->playingTrackDurationSeconds();
}

QByteArray QVApplescriptTrack::artwork() const
{
    const QImage image = _playback->albumArtHandler()->currentAlbumArtImage();
    if (image.isNull())
        return {};
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return data;
}
