#include "QVDesktopClientScriptObject.h"

#include "QVAbstractWebView.h"
#include "QVConstants.h"
#include "QVDesktopPlaybackDelegate.h"
#include "QVDockTile.h"
#include "QVNotificationCenter.h"
#include "QVPageCommands.h"
#include "QVScriptValue.h"
#include "QVTextValue.h"
#include "QVUtils.h"

#include <cmath>

namespace {
const char kName[] = "DesktopScriptObject";
constexpr int kMaxDomNameLength = 256;
} // namespace

QVDesktopClientScriptObject::QVDesktopClientScriptObject(QVNotificationCenter* center, QVDockTile* dockTile)
    : _center(center ? center : QVNotificationCenter::defaultCenter())
    , _dockTile(dockTile ? dockTile : QVDockTile::sharedInstance())
{
}

QStringList QVDesktopClientScriptObject::exportedMethods() const
{
    return { QStringLiteral("onInitialize"), QStringLiteral("onPlayStateChanged"),
        QStringLiteral("onPlayingTrackChanged"), QStringLiteral("onShuffleChanged"),
        QStringLiteral("onRepeatChanged"), QStringLiteral("onPositionChanged"),
        QStringLiteral("onVolumeChanged"), QStringLiteral("onSearchBoxFocus"),
        QStringLiteral("onSearchBoxBlur"), QStringLiteral("setDockBadgeLabel"),
        QStringLiteral("clearDockBadgeLabel"), QStringLiteral("bounceDockIcon") };
}

void QVDesktopClientScriptObject::invokeScriptMethod(const QString& method, const QVariantList& arguments)
{
    if (method == u"setDockBadgeLabel") {
        if (_hasArgumentCount(kName, method, arguments, 1))
            setDockBadgeLabel(arguments.first());
        return;
    }
    if (!_hasArgumentCount(kName, method, arguments, 0))
        return;
    using Call = void (QVDesktopClientScriptObject::*)();
    static const QHash<QString, Call> calls {
        { QStringLiteral("onInitialize"), &QVDesktopClientScriptObject::onInitialize },
        { QStringLiteral("onPlayStateChanged"), &QVDesktopClientScriptObject::onPlayStateChanged },
        { QStringLiteral("onPlayingTrackChanged"), &QVDesktopClientScriptObject::onPlayingTrackChanged },
        { QStringLiteral("onShuffleChanged"), &QVDesktopClientScriptObject::onShuffleChanged },
        { QStringLiteral("onRepeatChanged"), &QVDesktopClientScriptObject::onRepeatChanged },
        { QStringLiteral("onPositionChanged"), &QVDesktopClientScriptObject::onPositionChanged },
        { QStringLiteral("onVolumeChanged"), &QVDesktopClientScriptObject::onVolumeChanged },
        { QStringLiteral("onSearchBoxFocus"), &QVDesktopClientScriptObject::onSearchBoxFocus },
        { QStringLiteral("onSearchBoxBlur"), &QVDesktopClientScriptObject::onSearchBoxBlur },
        { QStringLiteral("clearDockBadgeLabel"), &QVDesktopClientScriptObject::clearDockBadgeLabel },
        { QStringLiteral("bounceDockIcon"), &QVDesktopClientScriptObject::bounceDockIcon },
    };
    if (const Call call = calls.value(method))
        (this->*call)();
}

void QVDesktopClientScriptObject::onInitialize()
{
    _isInitialized = true;
    _center->postNotificationName(QString::fromLatin1(QVJavascriptContentInitializedNotification));
}

float QVDesktopClientScriptObject::positionFraction(float position, float duration)
{
    if (!(duration > 0.0f) || !std::isfinite(duration) || !std::isfinite(position))
        return 0.0f;
    return std::clamp(position / duration, 0.0f, 1.0f);
}

QStringList QVDesktopClientScriptObject::_playerValues(const QStringList& reads, bool needsTrack)
{
    if (!_webView)
        return {};
    QStringList batch { needsTrack ? kQVHasPlayingTrackScript : kQVHasPlayerScript };
    batch += reads;
    const QStringList values = _webView->evaluateBatch(batch);
    if (values.size() != batch.size() || !QVTextValue::boolValue(values.first()))
        return {};
    return values.mid(1);
}

void QVDesktopClientScriptObject::onPlayStateChanged()
{
    // Not read here: the service answers any report with one batched refresh
    // that reads the state, and a read here would be a second round trip
    // between a play/pause key and its listeners.
    if (_playbackDelegate)
        _playbackDelegate->playbackPlayStateChanged(QVPlayStateUnknown);
}

void QVDesktopClientScriptObject::onPlayingTrackChanged()
{
    if (_playbackDelegate)
        _playbackDelegate->playbackPlayingTrackChanged();
}

void QVDesktopClientScriptObject::onShuffleChanged()
{
    const QStringList v = _playerValues({ QStringLiteral("Q.player.shuffle()") });
    if (!v.isEmpty() && _playbackDelegate)
        _playbackDelegate->playbackShuffleChanged(QVTextValue::boolValue(v[0]));
}

void QVDesktopClientScriptObject::onRepeatChanged()
{
    const QStringList v = _playerValues({ QStringLiteral("Q.player.repeat()") });
    if (!v.isEmpty() && _playbackDelegate)
        _playbackDelegate->playbackRepeatChanged(QVTextValue::intValue(v[0]));
}

void QVDesktopClientScriptObject::onPositionChanged()
{
    const QStringList v = _playerValues(
        { QStringLiteral("Q.player.playingTrack().get('duration')"), QStringLiteral("Q.player.position()") },
        true);
    if (!v.isEmpty() && _playbackDelegate)
        _playbackDelegate->playbackPositionChanged(
            positionFraction(QVTextValue::floatValue(v[1]), QVTextValue::floatValue(v[0])));
}

void QVDesktopClientScriptObject::onVolumeChanged()
{
    const QStringList v = _playerValues({ QStringLiteral("Q.player.volume()") });
    if (!v.isEmpty() && _playbackDelegate)
        _playbackDelegate->playbackVolumeChanged(QVTextValue::floatValue(v[0]));
}

void QVDesktopClientScriptObject::onSearchBoxFocus()
{
    _center->postNotificationName(QString::fromLatin1(QVTextFieldDidBecomeFirstResponderNotification), this);
}

void QVDesktopClientScriptObject::onSearchBoxBlur()
{
    _center->postNotificationName(QString::fromLatin1(QVTextFieldDidResignFirstResponderNotification), this);
}

void QVDesktopClientScriptObject::setDockBadgeLabel(const QVariant& label)
{
    if (label.typeId() != QMetaType::QString) {
        _logDropped(kName, QStringLiteral("setDockBadgeLabel"), "the label is not a string");
        return;
    }
    _dockTile->setBadgeLabel(label.toString());
}

void QVDesktopClientScriptObject::clearDockBadgeLabel()
{
    _dockTile->setBadgeLabel(QString());
}

void QVDesktopClientScriptObject::bounceDockIcon()
{
    _dockTile->requestUserAttention();
}

void QVDesktopClientScriptObject::onContentWillReload()
{
    _isInitialized = false;
}

void QVDesktopClientScriptObject::onContentDidReload()
{
    // A page that finished initialising before our object was installed.
    if (_isInitialized || !_webView)
        return;
    if (_webView->javascriptBoolValue(QStringLiteral("typeof Q == 'object'"))
        && _webView->javascriptBoolValue(QStringLiteral("typeof Q.desktop == 'object'"))
        && _webView->javascriptBoolValue(QStringLiteral("Q.desktop.isInitialized")))
        onInitialize();
}

bool QVDesktopClientScriptObject::arePropertiesAvailable()
{
    return _isInitialized && _webView
        && _webView->javascriptBoolValue(QStringLiteral("typeof Q == 'object'"));
}

bool QVDesktopClientScriptObject::isUsingWhiteQuiv()
{
    if (!arePropertiesAvailable())
        return true;
    return _webView->javascriptBoolValue(QStringLiteral("Q.Models.Desktop.IS_USING_WHITE_QUIV"));
}

std::optional<QColor> QVDesktopClientScriptObject::headerBackgroundColor()
{
    if (!arePropertiesAvailable())
        return QColor(Qt::white);
    return QVUtils::colorFromRGBHexString(
        _webView->javascriptStringValue(QStringLiteral("Q.Models.Desktop.HEADER_BACKGROUND_COLOR")));
}

QStringList QVDesktopClientScriptObject::ignoredDOMClasses()
{
    return _ignoredList(QStringLiteral("Q.Models.Desktop.IGNORED_DOM_CLASSES"));
}

QStringList QVDesktopClientScriptObject::ignoredDOMIDs()
{
    return _ignoredList(QStringLiteral("Q.Models.Desktop.IGNORED_DOM_IDS"));
}

QStringList QVDesktopClientScriptObject::_ignoredList(const QString& arrayExpression)
{
    QStringList list;
    if (!arePropertiesAvailable())
        return list;
    const int count = _webView->javascriptIntValue(arrayExpression + QStringLiteral(".length"));
    if (count < 1)
        return list;
    // The page decides the length: keep it bounded, and read the entries in one trip.
    QStringList reads;
    for (int i = 0; i < std::min(count, kMaxIgnoredEntries); ++i)
        reads.append(QStringLiteral("%1[%2]").arg(arrayExpression).arg(i));
    for (const QString& entry : _webView->evaluateBatch(reads))
        list.append(entry.left(kMaxDomNameLength));
    return list;
}
