#include "QVWebPlayerScriptObject.h"

#include "QVAbstractWebView.h"
#include "QVScriptValue.h"
#include "QVTextValue.h"
#include "QVWebPlaybackService.h"

#include <QHash>

#include <cmath>

namespace {
const char kName[] = "PlayerScriptObject";
const QString kHasPlayer = QStringLiteral("Q.player != null");
const QString kHasTrack = QStringLiteral("Q.player.playingTrack() != null");
} // namespace

QVWebPlayerScriptObject::QVWebPlayerScriptObject(QVWebPlaybackService* playbackService)
    : _playbackService(playbackService)
{
}

QStringList QVWebPlayerScriptObject::exportedMethods() const
{
    return { QStringLiteral("onPlayingTrackChanged"), QStringLiteral("onPlayStateChanged"),
        QStringLiteral("onPlayingSourceChanged"), QStringLiteral("onPositionChanged"),
        QStringLiteral("onMuteChanged"), QStringLiteral("onRepeatChanged"),
        QStringLiteral("onShuffleChanged"), QStringLiteral("onVolumeChanged"),
        QStringLiteral("onPlayerFlyoutToggled"), QStringLiteral("onPlayerFlyoutHidden"),
        QStringLiteral("onStationChanged") };
}

void QVWebPlayerScriptObject::invokeScriptMethod(const QString& method, const QVariantList& arguments)
{
    using Call = void (QVWebPlayerScriptObject::*)();
    static const QHash<QString, Call> plainCalls {
        { QStringLiteral("onPlayingTrackChanged"), &QVWebPlayerScriptObject::onPlayingTrackChanged },
        { QStringLiteral("onPlayingSourceChanged"), &QVWebPlayerScriptObject::onPlayingSourceChanged },
        { QStringLiteral("onPlayerFlyoutToggled"), &QVWebPlayerScriptObject::onPlayerFlyoutToggled },
        { QStringLiteral("onPlayerFlyoutHidden"), &QVWebPlayerScriptObject::onPlayerFlyoutHidden },
    };
    if (const Call call = plainCalls.value(method)) {
        if (_hasArgumentCount(kName, method, arguments, 0))
            (this->*call)();
        return;
    }
    if (!exportedMethods().contains(method) || !_hasArgumentCount(kName, method, arguments, 1))
        return;
    const QVariant& argument = arguments.first();

    if (method == u"onStationChanged") {
        onStationChanged(argument);
        return;
    }
    if (method == u"onPlayStateChanged" || method == u"onRepeatChanged") {
        const std::optional<int> value = _intArgument(argument);
        if (!value) {
            _logDropped(kName, method, "the value is not a whole number");
            return;
        }
        if (method == u"onPlayStateChanged")
            onPlayStateChanged(*value);
        else
            onRepeatChanged(*value);
        return;
    }
    if (method == u"onPositionChanged" || method == u"onVolumeChanged") {
        const double value = argument.toDouble();
        if (!QVScriptValue::isNumber(argument) || !std::isfinite(value)) {
            _logDropped(kName, method, "the value is not a number");
            return;
        }
        if (method == u"onPositionChanged")
            onPositionChanged(float(value));
        else
            onVolumeChanged(float(value));
        return;
    }
    // onMuteChanged, onShuffleChanged
    if (argument.typeId() != QMetaType::Bool) {
        _logDropped(kName, method, "the flag is not a boolean");
        return;
    }
    if (method == u"onMuteChanged")
        onMuteChanged(argument.toBool());
    else
        onShuffleChanged(argument.toBool());
}

void QVWebPlayerScriptObject::forceRefreshProperties()
{
    // Every read of one refresh stays in this function, in this order.
    if (!_webView) {
        _playingTrack.clear();
        _repeatState = 2;
        return;
    }
    if (_webView->javascriptBoolValue(kHasPlayer) && _webView->javascriptBoolValue(kHasTrack)) {
        const int rawState = _webView->javascriptIntValue(QStringLiteral("Q.player.playState();"));
        const int rawRepeat = _webView->javascriptIntValue(QStringLiteral("Q.player.repeat();"));
        _sourcePosition = _webView->javascriptIntValue(QStringLiteral("Q.player.position();"));
        _volume = _webView->javascriptFloatValue(QStringLiteral("Q.player.volume();"));
        _isShuffle = _webView->javascriptBoolValue(QStringLiteral("Q.player.shuffle();"));
        _isMuted = false; // the page is not asked
        // The track, as its own update reads it: guards first, then the fields.
        if (_webView->javascriptBoolValue(kHasPlayer) && _webView->javascriptBoolValue(kHasTrack)) {
            QStringList values;
            for (const QString& key : QVTrack::pageKeys())
                values.append(_webView->javascriptStringValue(QVTrack::fieldScript(key)));
            _playingTrack.setPageValues(values);
        } else {
            _playingTrack.clear();
        }
        _storeRepeatState(rawRepeat);
        _storeRawPlayState(rawState);
        return;
    }
    // No player or no track: the track update checks again and clears.
    if (_webView->javascriptBoolValue(kHasPlayer))
        _webView->javascriptBoolValue(kHasTrack);
    _playingTrack.clear();
    _repeatState = 2;
}

bool QVWebPlayerScriptObject::isPlayingRadioStation()
{
    if (!_webView || !_webView->javascriptBoolValue(kHasPlayer) || !_webView->javascriptBoolValue(kHasTrack))
        return false;
    return _webView->javascriptBoolValue(QStringLiteral("Q.isStation(Q.player.playingSource());"));
}

void QVWebPlayerScriptObject::_storeRawPlayState(int rawState)
{
    if (rawState >= 0 && rawState <= 4)
        _playState = QVPlayState(rawState + 1);
}

void QVWebPlayerScriptObject::_storeRepeatState(int repeatState)
{
    if (repeatState >= 0 && repeatState <= 2)
        _repeatState = repeatState;
}

void QVWebPlayerScriptObject::onPlayingTrackChanged()
{
    // The very first report of the process comes before the page has settled;
    // the refresh after loading picks its state up.
    if (!_receivedFirstPlayingTrackChange) {
        _receivedFirstPlayingTrackChange = true;
        return;
    }
    _playingTrack.updatePropertiesWithWebView(_webView);
    _playbackService->playbackPlayingTrackChanged();
}

void QVWebPlayerScriptObject::onPlayStateChanged(int rawState)
{
    _storeRawPlayState(rawState);
    _playbackService->playbackPlayStateChanged(_playState);
}

void QVWebPlayerScriptObject::onPositionChanged(float position)
{
    _position = position;
    _playbackService->playbackPositionChanged(position);
}

void QVWebPlayerScriptObject::onMuteChanged(bool muted)
{
    _isMuted = muted;
    _playbackService->playbackMuteChanged(muted);
}

void QVWebPlayerScriptObject::onRepeatChanged(int repeatState)
{
    _storeRepeatState(repeatState);
    _playbackService->playbackRepeatChanged(_repeatState);
}

void QVWebPlayerScriptObject::onShuffleChanged(bool shuffle)
{
    _isShuffle = shuffle;
    _playbackService->playbackShuffleChanged(shuffle);
}

void QVWebPlayerScriptObject::onVolumeChanged(float volume)
{
    _volume = volume;
    _playbackService->playbackVolumeChanged(volume);
}

void QVWebPlayerScriptObject::onPlayerFlyoutToggled()
{
    _playbackService->onPlayerFlyoutToggled();
}

void QVWebPlayerScriptObject::onPlayerFlyoutHidden()
{
    _playbackService->onPlayerFlyoutToggled();
}

void QVWebPlayerScriptObject::onStationChanged(const QVariant& station)
{
    _playbackService->onRadioStationChanged(station);
}
