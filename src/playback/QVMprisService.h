#pragma once

#include "QVAlbumArtListener.h"
#include "QVWebPlaybackListener.h"

#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QElapsedTimer>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

class QVMprisPlayerAdaptor;
class QVMprisRootAdaptor;
class QVWebPlaybackService;

// The player as desktops, sound menus and playerctl see it: MPRIS 2.2 at
// /org/mpris/MediaPlayer2 under org.mpris.MediaPlayer2.quiv. Every command
// goes through the playback service's own operations, as the buttons do; the
// properties come from its mirror, so answering a D-Bus client never waits
// for the page. Changes go out as PropertiesChanged (never Position; a jump
// of the position is a Seeked signal).
class QVMprisService : public QObject, public QVWebPlaybackListener, public QVAlbumArtListener
{
    Q_OBJECT
public:
    explicit QVMprisService(QVWebPlaybackService* playback, QObject* parent = nullptr);
    ~QVMprisService() override;

    // Exports the object and asks for the bus name (a per-process name when
    // another copy holds it); serviceName() is empty until the bus grants one.
    // Without a bus: one log line, nothing exported.
    bool registerOn(const QDBusConnection& bus);
    QString serviceName() const { return _serviceName; }

    static constexpr char kObjectPath[] = "/org/mpris/MediaPlayer2";
    static constexpr char kServiceName[] = "org.mpris.MediaPlayer2.quiv";
    static constexpr char kNoTrack[] = "/org/mpris/MediaPlayer2/TrackList/NoTrack";

    // Player properties.
    QString playbackStatus() const;
    QString loopStatus() const;
    bool shuffle() const;
    double volume() const;
    QVariantMap metadata() const;
    qlonglong position() const; // microseconds
    bool canGoNext() const;
    bool canGoPrevious() const { return canGoNext(); }
    bool canPlay() const { return canGoNext(); }
    bool canPause() const { return canGoNext(); }
    bool canSeek() const;
    QDBusObjectPath trackId() const;
    // A D-Bus object path for a service track key, whatever its characters.
    static QDBusObjectPath trackIdForKey(const QString& key);

    // Player commands.
    void next();
    void previous();
    void pause();
    void playPause();
    void stop();
    void play();
    void seek(qlonglong offset);
    void setPosition(const QDBusObjectPath& trackId, qlonglong position);
    void openUri(const QString& uri);
    void setLoopStatus(const QString& status);
    void setShuffle(bool shuffle);
    void setVolume(double volume);

    // Root.
    void raise() { emit raiseRequested(); }
    void quit() { emit quitRequested(); }

    // QVWebPlaybackListener
    void playbackPlayingTrackChanged() override;
    void playbackPlayStateChanged(QVPlayState state) override;
    void playbackRepeatChanged(int repeatState) override;
    void playbackShuffleChanged(bool shuffle) override;
    void playbackVolumeChanged(float volume) override;
    void playbackPositionChanged(float position) override;
    void onPlaybackLoaded() override;
    void onPlaybackUnloaded() override;
    void onPlaybackOffline() override;

    // QVAlbumArtListener: the art file of the playing track changed.
    void onAlbumArtAvailable(const QImage& image) override;

    // A position further than this from where playback should be is a jump.
    static constexpr double kSeekTolerance = 1.5;

signals:
    void raiseRequested();
    void quitRequested();
    // A quiv:// address another program asked us to open.
    void openUriRequested(const QString& uri);

private:
    void _emitPlayerChanges();
    double _estimatedPosition() const; // seconds
    void _rebasePosition(double seconds);
    bool _isPlaying() const;
    void _requestName(QStringList names);

    QVWebPlaybackService* _playback;
    QVMprisRootAdaptor* _root;
    QVMprisPlayerAdaptor* _player;
    QDBusConnection _bus;
    QString _serviceName;
    QVariantMap _sentProperties;
    double _positionBase = 0.0;
    QElapsedTimer _positionClock;
    bool _positionAdvances = false;
};
