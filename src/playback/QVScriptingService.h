#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusObjectPath>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

#include <memory>

class QVApplescriptTrack;
class QVScriptCommand;
class QVWebPlaybackService;

// Our own service for other programs at /com/quiv/desktop: the player's
// properties and commands (com.quiv.desktop), the playing track beneath it,
// and org.freedesktop.Application, through which desktops and a second
// start of the program hand over "quiv://" links. Properties answer from the
// native mirror; every command goes through the event queue and is answered
// once it has run, so a call that arrives while a read of the page waits is
// carried out, and answered, after it. Bad arguments get
// org.freedesktop.DBus.Error.InvalidArgs and change nothing.
class QVScriptingService : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_PROPERTY(uint SoundVolume READ soundVolume WRITE setSoundVolume)
    Q_PROPERTY(uint PlayerState READ playerState)
    Q_PROPERTY(int PlaybackPosition READ playbackPosition WRITE setPlaybackPosition)
    Q_PROPERTY(bool Shuffle READ shuffle WRITE setShuffle)
    Q_PROPERTY(int RepeatState READ repeatState WRITE setRepeatState)
    Q_PROPERTY(QDBusObjectPath CurrentTrack READ currentTrack)
public:
    explicit QVScriptingService(QVWebPlaybackService* playback, QObject* parent = nullptr);
    ~QVScriptingService() override;

    // Exports the service and the track object; the bus name is the single
    // instance's business. Without a bus: one log line, nothing exported.
    bool registerOn(const QDBusConnection& bus);

    QVApplescriptTrack* track() const { return _track; }

    uint soundVolume() const;
    void setSoundVolume(uint level);
    uint playerState() const;
    int playbackPosition() const;
    void setPlaybackPosition(int seconds);
    bool shuffle() const;
    void setShuffle(bool shuffle);
    int repeatState() const;
    void setRepeatState(int repeatState);
    QDBusObjectPath currentTrack() const;

    static constexpr int kMaxURLs = 64;

public slots:
    void PlayPause();
    void Play();
    void PlaySource(const QString& source);
    void Pause();
    void NextTrack();
    void PreviousTrack();
    void AddCurrentSongToCollection();
    void RemoveCurrentSongFromCollection();
    void SyncCurrentSongToMobile();
    void RemoveCurrentSongFromMobile();

    // org.freedesktop.Application
    void Activate(const QVariantMap& platformData);
    void Open(const QStringList& uris, const QVariantMap& platformData);
    void ActivateAction(
        const QString& actionName, const QVariantList& parameter, const QVariantMap& platformData);

signals:
    // A "quiv://" address to route, in the order given.
    void openURLRequested(const QString& url);
    // Show the current window.
    void activateRequested();

private:
    void _perform(std::unique_ptr<QVScriptCommand> command);
    void _runAndReply(std::function<void()> work);
    bool _refuse(const QString& message);

    QVWebPlaybackService* _playback;
    QVApplescriptTrack* _track;
    QDBusConnection _bus;
};
