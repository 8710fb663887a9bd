#pragma once

#include "QVPopupMenuPushButton.h"

#include <QPointer>
#include <QString>
#include <QVariantMap>

class QAction;
class QVWebPlaybackService;

// The station button: a left click pops up the stations the web player offers,
// with a check mark at the one that plays and an item that turns stations
// off. The menu is built afresh at each opening, so it always shows the
// player's current list.
class QVRadioStationPopupMenuButtton : public QVPopupMenuPushButton
{
    Q_OBJECT
public:
    // Commands go to `playbackService` (the shared one when null).
    explicit QVRadioStationPopupMenuButtton(
        QWidget* parent = nullptr, QVWebPlaybackService* playbackService = nullptr);
    ~QVRadioStationPopupMenuButtton() override;

    QString stationKey() const { return _stationKey; }
    // Empty: no station plays.
    void setCurrentStationKey(const QString& key);

    // Used when the player offers fewer than two stations; not owned.
    QMenu* ordinaryMenu() const { return _ordinaryMenu; }
    void setOrdinaryMenu(QMenu* menu) { _ordinaryMenu = menu; }

    // The menu for the player's current stations: a new one (owned by the
    // button until the next) or the ordinary menu.
    QMenu* buildMenu();

    void radioStationMenuSelected(QAction* item);
    void turnRadioOffMenuItemSelected();
    QString _stationTitleForName(const QString& name) const;

    static constexpr int kMaxTitleLength = 200;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QAction* _addStationItem(QMenu* menu, const QVariantMap& station);
    void _checkSetMenuOnState(QAction* item, const QString& key) const;

    QVWebPlaybackService* _playbackService;
    QString _stationKey;
    QPointer<QMenu> _ordinaryMenu;
    QPointer<QMenu> _builtMenu;
};
