#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

class QVWebPlaybackService;

// The playing track as other programs see it, at /com/quiv/desktop/CurrentTrack.
// Every read is live from the player mirror and the album art handler; none
// waits for the page. Missing values are "" and 0, never absent.
class QVApplescriptTrack : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString Title READ title)
    Q_PROPERTY(QString Artist READ artist)
    Q_PROPERTY(QString Album READ album)
    Q_PROPERTY(QString TrackKey READ trackKey)
    Q_PROPERTY(QString QuivURL READ quivURL)
    Q_PROPERTY(uint Duration READ duration)
    Q_PROPERTY(QByteArray Artwork READ artwork)
public:
    explicit QVApplescriptTrack(QVWebPlaybackService* playback, QObject* parent = nullptr);

    QString title() const;
    QString artist() const;
    QString album() const;
    QString trackKey() const;
    QString quivURL() const;
    // Seconds.
    uint duration() const;
    // The current album art as PNG (Linux programs read PNG, not TIFF);
    // empty when there is none.
    QByteArray artwork() const;

    static constexpr char kObjectPath[] = "/com/quiv/desktop/CurrentTrack";

private:
    QVWebPlaybackService* _playback;
};
