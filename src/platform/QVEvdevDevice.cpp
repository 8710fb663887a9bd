#include "QVEvdevDevice.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <libevdev/libevdev.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {
constexpr int kMaxEventsPerRead = 64;
// Bounds one wake-up: a stuck device cannot hold the main thread.
constexpr int kMaxEventsPerWake = 1024;
} // namespace

std::unique_ptr<QVEvdevDevice> QVEvdevDevice::open(const QString& path, bool grab, QString* error)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (error)
            *error = QString::fromLocal8Bit(std::strerror(errno));
        return nullptr;
    }
    libevdev* device = nullptr;
    int result = libevdev_new_from_fd(fd, &device);
    if (result == 0 && grab)
        result = libevdev_grab(device, LIBEVDEV_GRAB);
    if (result != 0) {
        if (error)
            *error = QString::fromLocal8Bit(std::strerror(-result));
        if (device)
            libevdev_free(device);
        ::close(fd);
        return nullptr;
    }
    return std::unique_ptr<QVEvdevDevice>(new QVEvdevDevice(path, fd, device));
}

QVEvdevDevice::QVEvdevDevice(const QString& path, int fd, libevdev* device)
    : _path(path)
    , _fd(fd)
    , _device(device)
{
}

QVEvdevDevice::~QVEvdevDevice()
{
    libevdev_free(_device); // closing the descriptor ends our grab
    ::close(_fd);
}

QVInputDevice::ReadStatus QVEvdevDevice::readEvents(std::vector<input_event>& events)
{
    input_event buffer[kMaxEventsPerRead];
    for (int total = 0; total < kMaxEventsPerWake;) {
        const ssize_t got = ::read(_fd, buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN)
                return ReadStatus::Ok;
            return errno == ENODEV ? ReadStatus::Gone : ReadStatus::Failed;
        }
        if (got == 0)
            return ReadStatus::Gone;
        const int count = int(size_t(got) / sizeof(input_event));
        events.insert(events.end(), buffer, buffer + count);
        total += count;
    }
    return ReadStatus::Ok;
}

bool QVEvdevDevice::isKeyDown(int code) const
{
    if (code < 0 || code > KEY_MAX)
        return false;
    unsigned char bits[KEY_MAX / 8 + 1] = {};
    if (::ioctl(_fd, EVIOCGKEY(sizeof bits), bits) < 0)
        return false;
    return bits[code / 8] & (1u << (code % 8));
}

int QVEvdevDevice::vendor() const
{
    return libevdev_get_id_vendor(_device);
}

int QVEvdevDevice::product() const
{
    return libevdev_get_id_product(_device);
}

QString QVEvdevDevice::name() const
{
    const char* name = libevdev_get_name(_device);
    return name ? QString::fromUtf8(name) : QString();
}
