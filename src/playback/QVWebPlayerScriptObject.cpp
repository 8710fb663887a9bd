#include "QVWebPlayerScriptObject.h"

#include "QVAbstractWebView.h"
#include "QVPageCommands.h"
#include "QVScriptValue.h"
#include "QVTextValue.h"
#include "QVWebPlaybackService.h"

#include <QHash>
#include <QStringList>

#include <algorithm>
#include <cmath>

namespace {
const char kName[] = "PlayerScriptObject";
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

bool QVWebPlayerScriptObject::forceRefreshProperties()
{
    // One at a time: a request during a refresh (from inside its wait) makes
    // one more pass after it instead of overwriting it half-way.
    if (_refreshing) {
        _refreshStale = true;
        return true;
    }
    _refreshing = true;
    bool answered = true;
    do {
        _refreshStale = false;
        answered = _refreshOnce();
    } while (_refreshStale && answered);
    _refreshing = false;
    return answered;
}

QStringList QVWebPlayerScriptObject::refreshScripts()
{
    static const QStringList reads = [] {
        QStringList list { kQVHasPlayerScript, kQVHasPlayingTrackScript,
            QStringLiteral("Q.player.playState()"), QStringLiteral("Q.player.repeat()"),
            QStringLiteral("Q.player.position()"), QStringLiteral("Q.player.volume()"),
            QStringLiteral("Q.player.shuffle()") };
        for (const QString& key : QVTrack::pageKeys())
            list.append(QVTrack::fieldScript(key));
        return list + positionDisplayScripts();
    }();
    return reads;
}

bool QVWebPlayerScriptObject::_refreshOnce()
{
    if (!_webView) {
        _playingTrack.clear();
        return true;
    }
    // Every value in one round trip, so they all belong to one moment.
    return adoptSnapshot(_webView->evaluateBatch(refreshScripts()));
}

bool QVWebPlayerScriptObject::adoptSnapshot(const QStringList& all)
{
    if (all.size() != refreshScripts().size())
        return false; // no answer: keep the last good values
    ++_refreshCount;
    const qsizetype displayCount = positionDisplayScripts().size();
    _positionDisplayValues = all.mid(all.size() - displayCount);
    const QStringList v = all.mid(0, all.size() - displayCount);
    if (!QVTextValue::boolValue(v[0]) || !QVTextValue::boolValue(v[1])) {
        // No player or no track: nothing plays. Repeat is the player's
        // setting and stays as it was.
        _playingTrack.clear();
        return true;
    }
    _sourcePosition = QVTextValue::intValue(v[4]);
    _volume = QVTextValue::floatValue(v[5]);
    _isShuffle = QVTextValue::boolValue(v[6]);
    _isMuted = false; // the page is not asked
    _playingTrack.setPageValues(v.mid(7));
    _storeRepeatState(QVTextValue::intValue(v[3]));
    _storeRawPlayState(QVTextValue::intValue(v[2]));
    return true;
}

bool QVWebPlayerScriptObject::isPlayingRadioStation()
{
    if (!_webView)
        return false;
    return _webView->javascriptBoolValue(isPlayingRadioStationScript());
}

QStringList QVWebPlayerScriptObject::positionDisplayScripts()
{
    return { QStringLiteral("window.Q && Q.player && Q.player.isNotMaster()"), isPlayingRadioStationScript(),
        QStringLiteral("window.$ && $('.time').text()") };
}

QString QVWebPlayerScriptObject::isPlayingRadioStationScript()
{
    return kQVHasPlayingTrackScript + QStringLiteral(" && Q.isStation(Q.player.playingSource())");
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
    // The service's refresh reads the track with everything else.
    _playbackService->playbackPlayingTrackChanged();
}

void QVWebPlayerScriptObject::onPlayStateChanged(int rawState)
{
    _storeRawPlayState(rawState);
    _playbackService->playbackPlayStateChanged(_playState);
}

void QVWebPlayerScriptObject::onPositionChanged(float position)
{
    _position = std::clamp(position, 0.0f, 1.0f);
    _playbackService->playbackPositionChanged(_position);
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
