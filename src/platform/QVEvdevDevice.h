#pragma once

#include "QVInputDevice.h"

#include <memory>

struct libevdev;

// An evdev device node (/dev/input/eventN) through libevdev.
class QVEvdevDevice : public QVInputDevice
{
public:
    // Opens the node; with `grab`, takes it for us alone (the desktop then
    // does not act on the same press either). nullptr with `error` set on failure.
    static std::unique_ptr<QVEvdevDevice> open(const QString& path, bool grab, QString* error);
    ~QVEvdevDevice() override;

    QString path() const override { return _path; }
    int fd() const override { return _fd; }
    ReadStatus readEvents(std::vector<input_event>& events) override;
    bool isKeyDown(int code) const override;

    int vendor() const;
    int product() const;
    QString name() const;

private:
    QVEvdevDevice(const QString& path, int fd, libevdev* device);

    QString _path;
    int _fd;
    libevdev* _device;
};
