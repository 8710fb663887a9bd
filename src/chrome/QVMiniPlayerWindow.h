#pragma once

#include "QVWindow.h"

#include <QList>
#include <QRect>

#include <optional>

class QVMiniPlayerView;
class QVNotificationCenter;
class QVUserDefaults;
class QVWebPlaybackService;

// The compact player: a small frameless window, rounded (by translucency where
// a compositor runs, else by a mask), 128 points wide with the window buttons
// and the transport buttons, or 350 to 499 with the playing track as well. It
// can stay above other windows and on every workspace (two stored settings,
// applied at once when they change). Space toggles play and pause; closing
// hides it.
class QVMiniPlayerWindow : public QVWindow
{
    Q_OBJECT
public:
    static constexpr QSize kMinimumSize { 128, 64 };
    static constexpr QSize kMaximumSize { 499, 64 };
    static constexpr int kCornerRadius = 5;

    // nullptr: the process-wide services.
    explicit QVMiniPlayerWindow(QWidget* parent = nullptr, QVUserDefaults* defaults = nullptr,
        QVWebPlaybackService* playbackService = nullptr, QVNotificationCenter* center = nullptr);
    ~QVMiniPlayerWindow() override;

    bool shouldUseCustomTitlebar() const override { return false; }

    QVMiniPlayerView* miniPlayerView() const { return _miniPlayerView; }
    // Whether the rounded corners come from translucency (else from a mask).
    bool usesTranslucency() const { return _usesTranslucency; }

    // Level and workspaces from the two settings (missing counts as off).
    void applyWindowSettings();
    bool isAlwaysOnTop() const;
    bool isOnAllWorkspaces() const { return _onAllWorkspaces; }

    // Restores "MiniPlayerFrame" when it is usable.
    void _ensureSavedRectIsVisible();

    // The frame to restore from a saved string: none when it is missing, not a
    // frame or empty; its size kept within the limits; kept where one of its
    // bottom corners is on some screen's available area, else centred in the
    // primary screen's available area.
    static std::optional<QRect> restoredFrame(const QString& saved, const QList<QRect>& availableAreas,
        const QRect& primaryAvailable, QSize minimum = kMinimumSize, QSize maximum = kMaximumSize);

    // A compositor draws translucent windows here (Wayland; X11 with a
    // compositing manager).
    static bool compositorRuns();

    void performClose() { hide(); }

signals:
    // The zoom button: back to the main player.
    void switchWindowModeRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void _applyAllWorkspacesX11(bool on);
    void _updateMask();

    QVUserDefaults* _defaults;
    QVWebPlaybackService* _playback;
    QVNotificationCenter* _center;
    QVMiniPlayerView* _miniPlayerView;
    bool _usesTranslucency;
    bool _onAllWorkspaces = false;
};
