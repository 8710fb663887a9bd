#include "QVDockTile.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QWidget>

namespace {
const char kDesktopEntryURI[] = "application://com.quiv.desktop.desktop";
const char kLauncherEntryPath[] = "/com/quiv/desktop/LauncherEntry";
} // namespace

QVDockTile::QVDockTile(QObject* parent)
    : QObject(parent)
{
}

QVDockTile* QVDockTile::sharedInstance()
{
    static auto* tile = new QVDockTile();
    return tile;
}

void QVDockTile::setBadgeLabel(const QString& label)
{
    const QString bounded = label.left(kMaxBadgeLength);
    if (bounded == _badgeLabel)
        return;
    _badgeLabel = bounded;
    _sendLauncherEntryUpdate();
    emit badgeLabelChanged(_badgeLabel);
}

void QVDockTile::_sendLauncherEntryUpdate()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    // Launchers show a count; a label that is not a number shows nothing there.
    bool isNumber = false;
    const qint64 count = _badgeLabel.trimmed().toLongLong(&isNumber);
    QDBusMessage update = QDBusMessage::createSignal(QString::fromLatin1(kLauncherEntryPath),
                                                     QStringLiteral("com.canonical.Unity.LauncherEntry"),
                                                     QStringLiteral("Update"));
    update << QString::fromLatin1(kDesktopEntryURI)
           << QVariantMap{{QStringLiteral("count"), isNumber ? count : qint64(0)},
                          {QStringLiteral("count-visible"), isNumber && !_badgeLabel.isEmpty()}};
    bus.send(update);
}

void QVDockTile::requestUserAttention()
{
    QWidget* window = QApplication::activeWindow();
    if (!window) {
        for (QWidget* candidate : QApplication::topLevelWidgets())
            if (candidate->isVisible() && candidate->isWindow()) {
                window = candidate;
                break;
            }
    }
    if (window)
        QApplication::alert(window, 1500);
}
