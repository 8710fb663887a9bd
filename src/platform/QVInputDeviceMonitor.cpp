#include "QVInputDeviceMonitor.h"

#include "QVLog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QSocketNotifier>

#include <fcntl.h>
#include <libudev.h>
#include <linux/input.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {
const QString kInputDirectory = QStringLiteral("/dev/input");

bool isEventNode(const char* devnode)
{
    return devnode && QByteArray(devnode).startsWith("/dev/input/event");
}

QVInputDeviceInfo infoFromUdev(udev_device* device)
{
    QVInputDeviceInfo info;
    info.path = QString::fromLocal8Bit(udev_device_get_devnode(device));
    // The vendor and product live on the input device, the node's parent.
    if (udev_device* input = udev_device_get_parent_with_subsystem_devtype(device, "input", nullptr)) {
        info.vendor = QByteArray(udev_device_get_sysattr_value(input, "id/vendor")).toInt(nullptr, 16);
        info.product = QByteArray(udev_device_get_sysattr_value(input, "id/product")).toInt(nullptr, 16);
    }
    info.belowRemoteControl = udev_device_get_parent_with_subsystem_devtype(device, "rc", nullptr) != nullptr;
    return info;
}
} // namespace

QVInputDeviceMonitor::QVInputDeviceMonitor(QObject* parent)
    : QObject(parent)
{
}

QVInputDeviceMonitor::~QVInputDeviceMonitor()
{
    stop();
}

bool QVInputDeviceMonitor::start()
{
    if (_monitor || _watcher)
        return true;
    if (!QFileInfo(kInputDirectory).isDir()) {
        QVLog("[WARNING] There is no %s: the remote is not available", qPrintable(kInputDirectory));
        return false;
    }
    // udev's monitor needs its daemon; without it, watch the directory.
    if (QFileInfo::exists(QStringLiteral("/run/udev/control")) && _startUdev())
        return true;
    return _startDirectoryWatch();
}

void QVInputDeviceMonitor::stop()
{
    delete _notifier;
    _notifier = nullptr;
    if (_monitor)
        udev_monitor_unref(_monitor);
    _monitor = nullptr;
    if (_udev)
        udev_unref(_udev);
    _udev = nullptr;
    delete _watcher;
    _watcher = nullptr;
    _known.clear();
}

bool QVInputDeviceMonitor::_startUdev()
{
    _udev = udev_new();
    if (_udev)
        _monitor = udev_monitor_new_from_netlink(_udev, "udev");
    if (!_monitor || udev_monitor_filter_add_match_subsystem_devtype(_monitor, "input", nullptr) < 0
        || udev_monitor_enable_receiving(_monitor) < 0) {
        QVLog("[WARNING] Could not watch input devices through udev; watching %s instead",
            qPrintable(kInputDirectory));
        stop();
        return false;
    }
    _notifier = new QSocketNotifier(udev_monitor_get_fd(_monitor), QSocketNotifier::Read, this);
    connect(_notifier, &QSocketNotifier::activated, this, &QVInputDeviceMonitor::_onUdevEvent);

    udev_enumerate* enumerate = udev_enumerate_new(_udev);
    udev_enumerate_add_match_subsystem(enumerate, "input");
    udev_enumerate_scan_devices(enumerate);
    udev_list_entry* entry;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumerate))
    {
        udev_device* device = udev_device_new_from_syspath(_udev, udev_list_entry_get_name(entry));
        if (device && isEventNode(udev_device_get_devnode(device)))
            emit deviceAdded(infoFromUdev(device));
        if (device)
            udev_device_unref(device);
    }
    udev_enumerate_unref(enumerate);
    return true;
}

void QVInputDeviceMonitor::_onUdevEvent()
{
    udev_device* device = udev_monitor_receive_device(_monitor);
    if (!device)
        return;
    const char* devnode = udev_device_get_devnode(device);
    const QByteArray action = udev_device_get_action(device);
    if (isEventNode(devnode)) {
        if (action == "add")
            emit deviceAdded(infoFromUdev(device));
        else if (action == "remove")
            emit deviceRemoved(QString::fromLocal8Bit(devnode));
    }
    udev_device_unref(device);
}

bool QVInputDeviceMonitor::_startDirectoryWatch()
{
    _watcher = new QFileSystemWatcher(this);
    if (!_watcher->addPath(kInputDirectory)) {
        QVLog("[WARNING] Could not watch %s: a remote plugged in later is not seen",
            qPrintable(kInputDirectory));
    }
    connect(_watcher, &QFileSystemWatcher::directoryChanged, this, &QVInputDeviceMonitor::_rescanDirectory);
    _rescanDirectory();
    return true;
}

void QVInputDeviceMonitor::_rescanDirectory()
{
    QSet<QString> now;
    const QStringList names = QDir(kInputDirectory).entryList({ QStringLiteral("event*") }, QDir::System);
    for (const QString& name : names)
        now.insert(kInputDirectory + QLatin1Char('/') + name);
    for (const QString& gone : QSet<QString>(_known).subtract(now))
        emit deviceRemoved(gone);
    const QSet<QString> added = QSet<QString>(now).subtract(_known);
    _known = now;
    for (const QString& path : added)
        emit deviceAdded(_infoFromSysfs(path));
}

QVInputDeviceInfo QVInputDeviceMonitor::_infoFromSysfs(const QString& path)
{
    QVInputDeviceInfo info;
    info.path = path;
    const QString sys = QStringLiteral("/sys/class/input/%1/device").arg(QFileInfo(path).fileName());
    auto readHex = [&](const char* name) {
        QFile file(sys + QStringLiteral("/id/") + QLatin1String(name));
        return file.open(QIODevice::ReadOnly) ? file.read(16).trimmed().toInt(nullptr, 16) : 0;
    };
    info.vendor = readHex("vendor");
    info.product = readHex("product");
    // /sys/devices/.../rc/rc0/input5: the input device's parent is an rc device.
    const QString real = QFileInfo(sys).canonicalFilePath();
    info.belowRemoteControl = QFileInfo(real).dir().dirName().startsWith(QLatin1String("rc"))
        && real.contains(QLatin1String("/rc/"));
    return info;
}
