#include "QVAppleRemoteListener.h"

#include "QVAppleRemoteListenerDelegate.h"
#include "QVEvdevDevice.h"
#include "QVEventQueue.h"
#include "QVLog.h"
#include "QVRemoteButton.h"

#include <QSocketNotifier>

namespace {
constexpr int kAppleVendor = 0x05ac;
constexpr int kKeyUp = 0;
constexpr int kKeyDown = 1;
constexpr int kKeyRepeat = 2;

// The keys the remote's mapping gives, for catching up after dropped events.
constexpr int kRemoteKeys[] = { KEY_VOLUMEUP, KEY_VOLUMEDOWN, KEY_MENU, KEY_PLAYPAUSE, KEY_PLAY, KEY_FORWARD,
    KEY_NEXTSONG, KEY_NEXT, KEY_BACK, KEY_PREVIOUSSONG, KEY_PREVIOUS };

bool isVolume(int button)
{
    return button == QVRemoteButtonVolumeUp || button == QVRemoteButtonVolumeDown;
}

bool isSkip(int button)
{
    return button == QVRemoteButtonNext || button == QVRemoteButtonPrevious;
}
} // namespace

QVAppleRemoteListener::QVAppleRemoteListener(QObject* parent)
    : QObject(parent)
{
}

QVAppleRemoteListener::QVAppleRemoteListener(QVAppleRemoteListenerDelegate* delegate, QObject* parent)
    : QObject(parent)
    , mDelegate(delegate)
{
}

QVAppleRemoteListener::~QVAppleRemoteListener()
{
    mDelegate = nullptr; // nothing more is said on the way out
    stopListening();
}

bool QVAppleRemoteListener::isReceiver(const QVInputDeviceInfo& info)
{
    if (info.belowRemoteControl)
        return true;
    // hid-appleir's receivers.
    return info.vendor == kAppleVendor
        && (info.product == 0x1440 || (info.product >= 0x8240 && info.product <= 0x8243));
}

int QVAppleRemoteListener::buttonForKeyCode(int code)
{
    switch (code) {
    case KEY_VOLUMEUP:
        return QVRemoteButtonVolumeUp;
    case KEY_VOLUMEDOWN:
        return QVRemoteButtonVolumeDown;
    case KEY_MENU:
        return QVRemoteButtonMenu;
    case KEY_PLAYPAUSE:
    case KEY_PLAY:
        return QVRemoteButtonPlay;
    case KEY_FORWARD:
    case KEY_NEXTSONG:
    case KEY_NEXT:
        return QVRemoteButtonNext;
    case KEY_BACK:
    case KEY_PREVIOUSSONG:
    case KEY_PREVIOUS:
        return QVRemoteButtonPrevious;
    default:
        return -1;
    }
}

void QVAppleRemoteListener::startListening()
{
    if (_monitor)
        return;
    _monitor = new QVInputDeviceMonitor(this);
    connect(_monitor, &QVInputDeviceMonitor::deviceAdded, this, &QVAppleRemoteListener::_onDeviceAdded);
    connect(_monitor, &QVInputDeviceMonitor::deviceRemoved, this,
        [this](const QString& path) { _closeReceiver(path, true); });
    _monitor->start();
}

void QVAppleRemoteListener::stopListening()
{
    delete _monitor;
    _monitor = nullptr;
    while (!_receivers.empty())
        _closeReceiver(_receivers.begin()->first, false);
}

void QVAppleRemoteListener::_onDeviceAdded(const QVInputDeviceInfo& info)
{
    if (!isReceiver(info) || _receivers.count(info.path))
        return;
    QString error;
    std::unique_ptr<QVEvdevDevice> device = QVEvdevDevice::open(info.path, true, &error);
    if (!device) {
        QVLog("[WARNING] Could not open the remote's receiver %s: %s", qPrintable(info.path),
            qPrintable(error));
        return;
    }
    addDevice(std::move(device));
}

void QVAppleRemoteListener::addDevice(std::unique_ptr<QVInputDevice> device)
{
    const QString path = device->path();
    _closeReceiver(path, true);
    Receiver& receiver = _receivers[path];
    receiver.notifier = std::make_unique<QSocketNotifier>(device->fd(), QSocketNotifier::Read);
    QVInputDevice* raw = device.get();
    connect(receiver.notifier.get(), &QSocketNotifier::activated, this, [this, raw] { _onReadable(raw); });
    receiver.device = std::move(device);
}

void QVAppleRemoteListener::removeDevice(const QString& path)
{
    _closeReceiver(path, true);
}

void QVAppleRemoteListener::_closeReceiver(const QString& path, bool vanished)
{
    const auto found = _receivers.find(path);
    if (found == _receivers.end())
        return;
    Receiver receiver = std::move(found->second);
    _receivers.erase(found);
    // We may be inside its own signal: it goes once that has returned.
    receiver.notifier->setEnabled(false);
    receiver.notifier.release()->deleteLater();
    // Its key-up may never come: a hold in progress ends here.
    if (vanished)
        for (const auto& [code, state] : receiver.keys)
            if (state == KeyState::Holding)
                _released(buttonForKeyCode(code));
}

void QVAppleRemoteListener::_onReadable(QVInputDevice* device)
{
    const QString path = device->path();
    std::vector<input_event> events;
    const QVInputDevice::ReadStatus status = device->readEvents(events);
    auto found = _receivers.find(path);
    if (found == _receivers.end())
        return;
    for (const input_event& event : events) {
        Receiver& receiver = found->second;
        if (event.type == EV_SYN && event.code == SYN_DROPPED) {
            receiver.dropping = true;
        } else if (event.type == EV_SYN && event.code == SYN_REPORT) {
            if (receiver.dropping) {
                receiver.dropping = false;
                _catchUp(receiver);
            }
        } else if (event.type == EV_KEY && !receiver.dropping) {
            _handleKey(receiver, event.code, event.value);
        }
    }
    if (status == QVInputDevice::ReadStatus::Ok)
        return;
    if (status == QVInputDevice::ReadStatus::Failed)
        QVLog("[WARNING] Could not read the remote's receiver %s; closing it", qPrintable(path));
    _closeReceiver(path, true);
}

void QVAppleRemoteListener::_catchUp(Receiver& receiver)
{
    // Events were lost: compare what we believe with what the kernel holds.
    for (int code : kRemoteKeys) {
        const bool down = receiver.device->isKeyDown(code);
        const bool known = receiver.keys.count(code) != 0;
        if (known && !down)
            _handleKey(receiver, code, kKeyUp);
        else if (!known && down)
            _handleKey(receiver, code, kKeyDown);
    }
}

void QVAppleRemoteListener::_handleKey(Receiver& receiver, int code, int value)
{
    const int button = buttonForKeyCode(code);
    if (button < 0)
        return;
    const auto found = receiver.keys.find(code);
    switch (value) {
    case kKeyDown:
        if (found != receiver.keys.end())
            return; // already down: the kernel does not send two
        if (isVolume(button)) {
            receiver.keys[code] = KeyState::Holding;
            _pressed(button, true);
        } else if (isSkip(button)) {
            // A press or a hold, which only the next event tells.
            receiver.keys[code] = KeyState::WaitingForHoldOrRelease;
        } else {
            receiver.keys[code] = KeyState::WaitingForRelease;
            _pressed(button, false);
        }
        return;
    case kKeyRepeat:
        if (found != receiver.keys.end() && found->second == KeyState::WaitingForHoldOrRelease) {
            found->second = KeyState::Holding;
            _pressed(button, true);
        }
        return;
    case kKeyUp:
        if (found == receiver.keys.end())
            return;
        if (found->second == KeyState::Holding)
            _released(button);
        else if (found->second == KeyState::WaitingForHoldOrRelease)
            _pressed(button, false);
        receiver.keys.erase(found);
        return;
    default:
        return;
    }
}

void QVAppleRemoteListener::_pressed(int button, bool isHold)
{
    // The press commands the page: it waits its turn on the event queue.
    QVEventQueue::sharedInstance()->post(this, [this, button, isHold] {
        if (mDelegate)
            mDelegate->onButtonPressed(button, isHold);
    });
}

void QVAppleRemoteListener::_released(int button)
{
    QVEventQueue::sharedInstance()->post(this, [this, button] {
        if (mDelegate)
            mDelegate->onButtonReleased(button);
    });
}
