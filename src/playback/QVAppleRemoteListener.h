#pragma once

#include "QVInputDevice.h"
#include "QVInputDeviceMonitor.h"

#include <QObject>
#include <QPointer>

#include <map>
#include <memory>

class QSocketNotifier;
class QVAppleRemoteListenerDelegate;

// Listens to infrared remote receivers (the hid-appleir driver's, and any
// below an rc-core device), each taken for us alone, and tells the delegate
// of button presses, holds and their ends. Receivers may come and go while
// it listens. Main thread only; the delegate is called through the event queue.
class QVAppleRemoteListener : public QObject
{
    Q_OBJECT
public:
    explicit QVAppleRemoteListener(QObject* parent = nullptr);
    explicit QVAppleRemoteListener(QVAppleRemoteListenerDelegate* delegate, QObject* parent = nullptr);
    ~QVAppleRemoteListener() override;

    void setDelegate(QVAppleRemoteListenerDelegate* delegate) { mDelegate = delegate; }

    // Opens every receiver present and follows plugging.
    void startListening();
    void stopListening();
    // YES only while a receiver is open.
    bool IsListening() const { return !_receivers.empty(); }

    static bool isReceiver(const QVInputDeviceInfo& info);
    // The button a key stands for, or -1.
    static int buttonForKeyCode(int code);

    // Takes an opened receiver: the monitor's, or a test's.
    void addDevice(std::unique_ptr<QVInputDevice> device);
    void removeDevice(const QString& path);

private:
    enum class KeyState { WaitingForRelease, WaitingForHoldOrRelease, Holding };
    struct Receiver {
        std::unique_ptr<QVInputDevice> device;
        std::unique_ptr<QSocketNotifier> notifier;
        bool dropping = false; // the kernel dropped events: skip to the next report
        std::map<int, KeyState> keys; // key code -> what that key is doing
    };

    void _onDeviceAdded(const QVInputDeviceInfo& info);
    void _onReadable(QVInputDevice* device);
    void _handleKey(Receiver& receiver, int code, int value);
    void _catchUp(Receiver& receiver);
    void _closeReceiver(const QString& path, bool vanished);
    void _pressed(int button, bool isHold);
    void _released(int button);

    QVAppleRemoteListenerDelegate* mDelegate = nullptr;
    QVInputDeviceMonitor* _monitor = nullptr;
    std::map<QString, Receiver> _receivers;
};
