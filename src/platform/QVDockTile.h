#pragma once

#include <QObject>
#include <QString>

// The launcher entry of the program: a badge (the Unity launcher-entry signal
// that Plasma and dock extensions show) and asking the window manager for
// attention. The tray icon shows the label too, from badgeLabelChanged.
class QVDockTile : public QObject
{
    Q_OBJECT
public:
    explicit QVDockTile(QObject* parent = nullptr);
    static QVDockTile* sharedInstance();

    QString badgeLabel() const { return _badgeLabel; }
    // An empty label clears the badge. Long labels are cut short.
    void setBadgeLabel(const QString& label);
    // One short request for attention on the program's window.
    void requestUserAttention();

    static constexpr int kMaxBadgeLength = 16;

signals:
    void badgeLabelChanged(const QString& label);

private:
    void _sendLauncherEntryUpdate();
    QString _badgeLabel;
};
