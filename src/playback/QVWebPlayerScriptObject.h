#pragma once

#include "QVPlayState.h"
#include "QVScriptObject.h"
#include "QVTrack.h"

class QVAbstractWebView;
class QVWebPlaybackService;

// "PlayerScriptObject": the page reports every player change here, and the
// native side can pull the player's whole state on demand. It keeps the last
// known state and passes each change to its owner, the playback service.
class QVWebPlayerScriptObject : public QVScriptObject
{
public:
    explicit QVWebPlayerScriptObject(QVWebPlaybackService* playbackService);

    QStringList exportedMethods() const override;
    void invokeScriptMethod(const QString& method, const QVariantList& arguments) override;

    QVAbstractWebView* webView() const { return _webView; }
    void setWebView(QVAbstractWebView* webView) { _webView = webView; }

    // Pulls the whole state from the page in one round trip. Nobody is told:
    // callers notify. Never re-entered: a request during a refresh runs one
    // more pass after it. False when the page did not answer; the last good
    // values stay.
    bool forceRefreshProperties();
    bool isRefreshing() const { return _refreshing; }
    // What a refresh reads, in order.
    static QStringList refreshScripts();
    // Takes the values of refreshScripts() the page sent with a report, as a
    // refresh would. False, keeping the last good values, for a wrong count.
    bool adoptSnapshot(const QStringList& values);
    // Refreshes that got an answer, and snapshots taken, so far.
    int refreshCount() const { return _refreshCount; }
    bool isPlayingRadioStation();
    // The expression isPlayingRadioStation() reads, for callers that batch it.
    static QString isPlayingRadioStationScript();
    // What the transport controls show besides the mirror, read with it by
    // each refresh: whether another client is the master player, whether a
    // station plays, and the page's elapsed-time text. Empty texts until a
    // refresh got an answer.
    static QStringList positionDisplayScripts();
    QStringList positionDisplayValues() const { return _positionDisplayValues; }

    int repeatState() const { return _repeatState; }
    void setRepeatState(int repeatState) { _repeatState = repeatState; }
    QVPlayState playState() const { return _playState; }
    void setPlayState(QVPlayState playState) { _playState = playState; }
    QVTrack* playingTrack() { return &_playingTrack; }
    const QVTrack* playingTrack() const { return &_playingTrack; }
    // Seconds, as the last refresh read them.
    int sourcePosition() const { return _sourcePosition; }
    // The fraction of the track the page last reported, 0 to 1.
    float position() const { return _position; }
    void setPosition(float position) { _position = position; }
    float volume() const { return _volume; }
    void setVolume(float volume) { _volume = volume; }
    bool isMuted() const { return _isMuted; }
    void setIsMuted(bool muted) { _isMuted = muted; }
    bool isShuffle() const { return _isShuffle; }
    void setIsShuffle(bool shuffle) { _isShuffle = shuffle; }

    // The exported calls, with arguments as the page sent them.
    void onPlayingTrackChanged();
    void onPlayStateChanged(int rawState);
    void onPlayingSourceChanged() { }
    void onPositionChanged(float position);
    void onMuteChanged(bool muted);
    void onRepeatChanged(int repeatState);
    void onShuffleChanged(bool shuffle);
    void onVolumeChanged(float volume);
    void onPlayerFlyoutToggled();
    void onPlayerFlyoutHidden();
    void onStationChanged(const QVariant& station);

private:
    bool _refreshOnce();
    void _storeRawPlayState(int rawState);
    void _storeRepeatState(int repeatState);

    QVWebPlaybackService* _playbackService;
    QVAbstractWebView* _webView = nullptr;
    int _repeatState = 0;
    QVPlayState _playState = QVPlayStateUnknown;
    QVTrack _playingTrack;
    int _sourcePosition = -1;
    float _position = 0.0f;
    float _volume = 0.0f;
    bool _isMuted = false;
    bool _isShuffle = false;
    QStringList _positionDisplayValues;
    bool _refreshing = false;
    bool _refreshStale = false;
    int _refreshCount = 0;
};
