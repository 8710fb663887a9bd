#pragma once

#include "SPMediaKeyEvent.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

class SPInvocationGrabber;

// The global media-key grab of last resort, for a bare X11 window manager:
// a connection of its own on the tap thread grabs the keys on the root
// window while interception is on, and watches which window is active so
// the most recently active media application keeps the keys.
//
// Everything X11 happens on the tap thread; the callbacks are called there
// too and must hand their work to the main thread themselves.
class SPX11KeyGrabber
{
public:
    struct Callbacks {
        std::function<void(const SPMediaKeyEvent&)> keyEvent;
        // The active window changed: its process and desktop-file id.
        std::function<void(qint64 pid, const QString& applicationId)> applicationActivated;
        // The last window of a process left the client list.
        std::function<void(qint64 pid)> applicationTerminated;
    };

    explicit SPX11KeyGrabber(Callbacks callbacks);
    ~SPX11KeyGrabber();
    SPX11KeyGrabber(const SPX11KeyGrabber&) = delete;
    SPX11KeyGrabber& operator=(const SPX11KeyGrabber&) = delete;

    // Connects to `display` (empty: $DISPLAY) on a new tap thread and grabs
    // when `intercept`. False, with `error` set, when no connection is made.
    bool start(const QByteArray& display, bool intercept, QString* error);
    // Stops the tap thread and waits for it, so nothing it uses is freed under it.
    void stop();
    bool isRunning() const { return _thread.joinable(); }

    // Runs the grabbed call on the tap thread at its next pass.
    void schedule(std::unique_ptr<SPInvocationGrabber> call);
    // Tap thread only: grab or let go of the keys.
    void pauseTapOnTapThread(bool enable);

    // Keys whose grab another client refused in the last round (tests).
    int refusedGrabCount() const { return _refusedGrabs.load(); }
    // Rounds of grabbing done (tests: a remap grabs again).
    int grabRoundCount() const { return _grabRounds.load(); }

private:
    struct Connection;
    void _run(std::shared_ptr<struct StartResult> result, QByteArray display, bool intercept);
    bool _connect(const QByteArray& display, QString* error);
    void _loop();
    void _runScheduled();
    void _grabKeys();
    void _ungrabKeys();
    void _handleEvent(void* event);
    void _activeWindowChanged();
    void _clientListChanged();
    QString _applicationIdOf(quint32 window);
    qint64 _pidOf(quint32 window);
    void _wake();

    Callbacks _callbacks;
    std::thread _thread;
    int _wakeFd = -1;
    std::atomic<bool> _stopping { false };
    std::atomic<int> _refusedGrabs { 0 };
    std::atomic<int> _grabRounds { 0 };

    std::mutex _scheduledLock;
    std::deque<std::unique_ptr<SPInvocationGrabber>> _scheduled;

    // Tap thread only.
    std::unique_ptr<Connection> _x;
    bool _grabbed = false;
    bool _loggedRefusal = false;
    std::map<int, int> _keyCodes; // X keycode -> media key code
    std::set<int> _keysDown;
    std::map<quint32, qint64> _clientPids; // window -> process, as last seen in the client list
};
