#pragma once

#include <QObject>
#include <QSet>
#include <QString>

class QFileSystemWatcher;
class QSocketNotifier;
struct udev;
struct udev_monitor;

// What is known of an input device before it is opened.
struct QVInputDeviceInfo {
    QString path; // /dev/input/eventN
    int vendor = 0;
    int product = 0;
    bool belowRemoteControl = false; // hangs below an rc-core device (/sys/class/rc)
};

// Finds evdev devices and tells of those plugged in and out while running:
// through udev, or, where udev does not run, by watching /dev/input.
class QVInputDeviceMonitor : public QObject
{
    Q_OBJECT
public:
    explicit QVInputDeviceMonitor(QObject* parent = nullptr);
    ~QVInputDeviceMonitor() override;

    // Reports every present device as added, then follows changes. False,
    // with one log line, when there is nothing to watch.
    bool start();
    void stop();

signals:
    void deviceAdded(const QVInputDeviceInfo& info);
    void deviceRemoved(const QString& path);

private:
    bool _startUdev();
    bool _startDirectoryWatch();
    void _onUdevEvent();
    void _rescanDirectory();
    static QVInputDeviceInfo _infoFromSysfs(const QString& path);

    udev* _udev = nullptr;
    udev_monitor* _monitor = nullptr;
    QSocketNotifier* _notifier = nullptr;
    QFileSystemWatcher* _watcher = nullptr;
    QSet<QString> _known; // without udev: what the last scan saw
};
