#pragma once

#include "QVPlayState.h"
#include "QVScriptObject.h"

#include <QColor>
#include <QObject>

#include <optional>

class QVAbstractWebView;
class QVDesktopPlaybackDelegate;
class QVDockTile;
class QVNotificationCenter;

// "DesktopScriptObject": the page announces its start-up here, reports player
// changes and search-box focus, and drives the launcher badge; native chrome
// reads the page's presentation settings through it.
class QVDesktopClientScriptObject : public QObject, public QVScriptObject
{
    Q_OBJECT
public:
    explicit QVDesktopClientScriptObject(
        QVNotificationCenter* center = nullptr, QVDockTile* dockTile = nullptr);

    QStringList exportedMethods() const override;
    void invokeScriptMethod(const QString& method, const QVariantList& arguments) override;

    // The exported calls.
    void onInitialize();
    void onPlayStateChanged();
    void onPlayingTrackChanged();
    void onShuffleChanged();
    void onRepeatChanged();
    void onPositionChanged();
    void onVolumeChanged();
    void onSearchBoxFocus();
    void onSearchBoxBlur();
    void setDockBadgeLabel(const QVariant& label);
    void clearDockBadgeLabel();
    void bounceDockIcon();

    // Called by the navigation service around each load.
    void onContentWillReload();
    void onContentDidReload();

    QVAbstractWebView* webView() const { return _webView; }
    void setWebView(QVAbstractWebView* webView) { _webView = webView; }
    QVDesktopPlaybackDelegate* playbackDelegate() const { return _playbackDelegate; }
    void setPlaybackDelegate(QVDesktopPlaybackDelegate* delegate) { _playbackDelegate = delegate; }
    float titlebarViewHeight() const { return _titlebarViewHeight; }
    bool isInitialized() const { return _isInitialized; }

    bool arePropertiesAvailable();
    bool isUsingWhiteQuiv();
    // White while the page is not ready; no colour when the page names none.
    std::optional<QColor> headerBackgroundColor();
    QStringList ignoredDOMClasses();
    QStringList ignoredDOMIDs();

    // position / duration, kept within 0 to 1 (a zero duration gives 0).
    static float positionFraction(float position, float duration);

    static constexpr int kMaxIgnoredEntries = 256;

private:
    QStringList _ignoredList(const QString& arrayExpression);
    // The guard and `reads` in one round trip: the values, or none when there
    // is no player (or no track, when `needsTrack`) or no answer.
    QStringList _playerValues(const QStringList& reads, bool needsTrack = false);

    QVAbstractWebView* _webView = nullptr;
    float _titlebarViewHeight = 35.0f;
    bool _isInitialized = false;
    QVDesktopPlaybackDelegate* _playbackDelegate = nullptr;
    QVNotificationCenter* _center;
    QVDockTile* _dockTile;
};
