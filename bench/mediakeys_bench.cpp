// How long a key press takes to become the play/pause command at the page,
// by each road a key may take: the settings daemon's signal, our X11 grab
// (keys pressed through XTest on a private X server) and the infrared remote
// (a receiver fed through a pipe), with MPRIS's PlayPause as the baseline.
// Run it under dbus-run-session for the two bus roads.
#include "QVAppleRemoteListener.h"
#include "QVBenchPlayback.h"
#include "QVBenchStats.h"
#include "QVConstants.h"
#include "QVDesktopAppDelegate.h"
#include "QVFakeSettingsDaemon.h"
#include "QVFakeWebView.h"
#include "QVMprisService.h"
#include "QVNotificationCenter.h"
#include "QVTestEnvironment.h"
#include "QVUserDefaults.h"
#include "QVWebNavigationService.h"
#include "QVWebPlaybackService.h"
#include "QVWindowService.h"
#include "QVXvfb.h"
#include "SPMediaKeyTap.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <unistd.h>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>
#include <xcb/xtest.h>

namespace {
constexpr int kPresses = 1000;
constexpr qint64 kTimeoutNs = 2'000'000'000;

// Notes when the play/pause command reaches the page.
class TimingWebView : public QVFakeWebView
{
public:
    void executeJavascript(const QString& script) override
    {
        if (script.contains(QLatin1String("togglePause")))
            ++commands;
    }
    int commands = 0;
};

// A receiver fed through a pipe.
class PipeReceiver : public QVInputDevice
{
public:
    PipeReceiver() { [[maybe_unused]] const int ok = ::pipe2(_pipe, O_NONBLOCK | O_CLOEXEC); }
    ~PipeReceiver() override
    {
        ::close(_pipe[0]);
        ::close(_pipe[1]);
    }
    QString path() const override { return QStringLiteral("/dev/input/event99"); }
    int fd() const override { return _pipe[0]; }
    ReadStatus readEvents(std::vector<input_event>& events) override
    {
        input_event event;
        while (::read(_pipe[0], &event, sizeof event) == sizeof event)
            events.push_back(event);
        return ReadStatus::Ok;
    }
    bool isKeyDown(int) const override { return false; }
    void press(int code)
    {
        input_event events[4] = {};
        events[0] = { {}, EV_KEY, quint16(code), 1 };
        events[1] = { {}, EV_SYN, SYN_REPORT, 0 };
        events[2] = { {}, EV_KEY, quint16(code), 0 };
        events[3] = { {}, EV_SYN, SYN_REPORT, 0 };
        [[maybe_unused]] const ssize_t written = ::write(_pipe[1], events, sizeof events);
    }

private:
    int _pipe[2] = { -1, -1 };
};

// Times `press` until the page has one more command, kPresses times.
void measure(const char* label, TimingWebView& page, const std::function<void()>& press)
{
    QList<double> samples;
    QElapsedTimer clock;
    for (int i = 0; i < kPresses; ++i) {
        const int before = page.commands;
        clock.start();
        press();
        while (page.commands == before && clock.nsecsElapsed() < kTimeoutNs)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        if (page.commands == before) {
            std::printf("%-44s no command within 2 s: stopped after %d presses\n", label, i);
            break;
        }
        samples.append(double(clock.nsecsElapsed()) / 1e6);
        // The key-up and any late duplicate land before the next press.
        QCoreApplication::processEvents();
    }
    QVBenchStats::of(samples).print(label);
}
} // namespace

int main(int argc, char** argv)
{
    QVPrepareTestEnvironment();
    QApplication application(argc, argv);

    QTemporaryDir dir;
    QVNotificationCenter center;
    QVUserDefaults defaults(dir.filePath(QStringLiteral("Quiv.conf")), &center);
    QVWebNavigationService navigation(&center);
    QVBenchPlayback quiet(QVWebPlaybackService::Services { &center, &defaults, &navigation });
    QVWebPlaybackService& playback = quiet.service;
    TimingWebView page;
    playback.setWebView(&page);
    playback.webViewFinishedLoading();
    QVWindowService windowService;
    QVDesktopAppDelegate delegate(
        QVDesktopAppDelegate::Services { &windowService, &navigation, &playback, &center, &defaults });

    const bool haveBus = QDBusConnection::sessionBus().isConnected();
    if (haveBus) {
        QVMprisService mpris(&playback);
        if (mpris.registerOn(QDBusConnection::sessionBus())) {
            QDBusConnection client
                = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "bench-client");
            const QDBusMessage call = QDBusMessage::createMethodCall(
                QStringLiteral("org.mpris.MediaPlayer2.quiv"), QStringLiteral("/org/mpris/MediaPlayer2"),
                QStringLiteral("org.mpris.MediaPlayer2.Player"), QStringLiteral("PlayPause"));
            measure("MPRIS PlayPause (baseline)", page, [&] { client.send(call); });
        }

        QVFakeSettingsDaemon daemon(QStringLiteral("org.gnome.SettingsDaemon.MediaKeys"),
            QStringLiteral("/org/gnome/SettingsDaemon/MediaKeys"), QStringLiteral("bench-gsd"));
        SPMediaKeyTap::Environment environment;
        SPMediaKeyTap tap(&delegate, environment);
        tap.startWatchingMediaKeys();
        QElapsedTimer wait;
        wait.start();
        while (tap.backend() == SPMediaKeyTap::Backend::Choosing && wait.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        if (tap.backend() == SPMediaKeyTap::Backend::SettingsDaemon)
            measure("settings daemon MediaPlayerKeyPressed", page,
                [&] { daemon.press(QStringLiteral("com.quiv.desktop"), QStringLiteral("Play")); });
    } else {
        std::printf("no session bus: run under dbus-run-session for the MPRIS and daemon roads\n");
    }

    QVXvfb xvfb;
    if (xvfb.isRunning()) {
        SPMediaKeyTap::Environment environment;
        environment.bus
            = QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent/bus"), "no-bus");
        environment.display = xvfb.display();
        SPMediaKeyTap tap(&delegate, environment);
        tap.startWatchingMediaKeys();
        xcb_connection_t* x = xcb_connect(xvfb.display().constData(), nullptr);
        xcb_key_symbols_t* symbols = xcb_key_symbols_alloc(x);
        xcb_keycode_t* codes = xcb_key_symbols_get_keycode(symbols, 0x1008FF14); // XF86AudioPlay
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(x)).data->root;
        if (codes && *codes != XCB_NO_SYMBOL && tap.backend() == SPMediaKeyTap::Backend::X11KeyGrab) {
            const xcb_keycode_t code = codes[0];
            measure("X11 grab (XTest key press)", page, [&] {
                xcb_test_fake_input(x, XCB_KEY_PRESS, code, XCB_CURRENT_TIME, root, 0, 0, 0);
                xcb_test_fake_input(x, XCB_KEY_RELEASE, code, XCB_CURRENT_TIME, root, 0, 0, 0);
                xcb_flush(x);
            });
        }
        std::free(codes);
        xcb_key_symbols_free(symbols);
        xcb_disconnect(x);
    } else {
        std::printf("no Xvfb: the X11 road is not measured\n");
    }

    QVAppleRemoteListener remote(&playback);
    auto receiver = std::make_unique<PipeReceiver>();
    PipeReceiver* pipe = receiver.get();
    remote.addDevice(std::move(receiver));
    measure("infrared remote (evdev events)", page, [&] { pipe->press(KEY_PLAYPAUSE); });
    return 0;
}
