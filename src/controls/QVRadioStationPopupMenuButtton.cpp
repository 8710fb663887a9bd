#include "QVRadioStationPopupMenuButtton.h"

#include "QVLocalizedString.h"
#include "QVWebPlaybackService.h"

#include <QAction>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>

namespace {
// Menu texts treat "&" as a mnemonic marker: page text shows as it is.
QString plainMenuText(const QString& text)
{
    QString plain = text;
    return plain.replace(QLatin1Char('&'), QStringLiteral("&&"));
}
} // namespace

QVRadioStationPopupMenuButtton::QVRadioStationPopupMenuButtton(
    QWidget* parent, QVWebPlaybackService* playbackService)
    : QVPopupMenuPushButton(parent)
    , _playbackService(playbackService ? playbackService : QVWebPlaybackService::sharedInstance())
{
    setAccessibleName(QVLocalizedString("Quiv Station"));
    setFocusPolicy(Qt::TabFocus);
}

QVRadioStationPopupMenuButtton::~QVRadioStationPopupMenuButtton()
{
    delete _builtMenu;
}

void QVRadioStationPopupMenuButtton::setCurrentStationKey(const QString& key)
{
    _stationKey = key;
}

QString QVRadioStationPopupMenuButtton::_stationTitleForName(const QString& name) const
{
    QString title = name;
    title.remove(QVLocalizedString(" Quiv Station"));
    // A title longer than any menu can show is cut; the page sends what it likes.
    if (title.size() > kMaxTitleLength)
        title = title.left(kMaxTitleLength - 1) + QChar(0x2026);
    return title;
}

void QVRadioStationPopupMenuButtton::_checkSetMenuOnState(QAction* item, const QString& key) const
{
    item->setCheckable(true);
    item->setChecked(!_stationKey.isEmpty() && key == _stationKey);
}

QAction* QVRadioStationPopupMenuButtton::_addStationItem(QMenu* menu, const QVariantMap& station)
{
    const QString key = station.value(QStringLiteral("key")).toString();
    QAction* item = menu->addAction(
        plainMenuText(_stationTitleForName(station.value(QStringLiteral("name")).toString())));
    item->setData(station);
    _checkSetMenuOnState(item, key);
    connect(item, &QAction::triggered, this, [this, item] { radioStationMenuSelected(item); });
    return item;
}

QMenu* QVRadioStationPopupMenuButtton::buildMenu()
{
    QVariantList stations;
    // Only stations the page can be asked for again: a string key.
    for (const QVariant& entry : _playbackService->availableRadioStations()) {
        const QVariantMap station = entry.toMap();
        if (station.value(QStringLiteral("key")).typeId() == QMetaType::QString
            && !station.value(QStringLiteral("key")).toString().isEmpty())
            stations.append(station);
    }
    delete _builtMenu;
    if (stations.size() <= 1)
        return _ordinaryMenu;

    auto* menu = new QMenu(this);
    menu->setTitle(QStringLiteral("QuivMenu"));
    menu->setObjectName(QStringLiteral("QuivMenu"));
    _addStationItem(menu, stations.at(0).toMap());
    _addStationItem(menu, stations.at(1).toMap());
    menu->addSeparator();
    for (qsizetype i = 2; i < stations.size(); ++i)
        _addStationItem(menu, stations.at(i).toMap());
    menu->addSeparator();
    QAction* off = menu->addAction(QVLocalizedString("Turn Quiv Station Off"));
    if (_stationKey.isEmpty()) {
        off->setText(QVLocalizedString("Quiv Station Off"));
        off->setCheckable(true);
        off->setChecked(true);
    }
    connect(off, &QAction::triggered, this, [this] { turnRadioOffMenuItemSelected(); });
    _builtMenu = menu;
    return menu;
}

void QVRadioStationPopupMenuButtton::radioStationMenuSelected(QAction* item)
{
    const QVariantMap station = item ? item->data().toMap() : QVariantMap();
    if (!station.isEmpty())
        _playbackService->switchRadioStation(station);
}

void QVRadioStationPopupMenuButtton::turnRadioOffMenuItemSelected()
{
    _playbackService->turnRadioStationOff();
    _stationKey.clear();
}

void QVRadioStationPopupMenuButtton::mousePressEvent(QMouseEvent* event)
{
    if (isEnabled() && event->button() == Qt::LeftButton)
        setMenu(buildMenu());
    QVPopupMenuPushButton::mousePressEvent(event);
}

void QVRadioStationPopupMenuButtton::keyPressEvent(QKeyEvent* event)
{
    // The keyboard opens the same menu as the pointer.
    const int key = event->key();
    if (isEnabled()
        && (key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Down)) {
        if (QMenu* menu = buildMenu()) {
            setMenu(menu);
            menu->popup(mapToGlobal(menuPosition()));
        }
        event->accept();
        return;
    }
    QVPopupMenuPushButton::keyPressEvent(event);
}
