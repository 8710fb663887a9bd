// A property read over our scripting service against the same read over MPRIS,
// in one run, from a second connection as another program reads them. Needs
// a session bus: without one it says so and skips.
#include "QVBenchPlayback.h"
#include "QVBenchStats.h"
#include "QVMprisService.h"
#include "QVScriptingService.h"
#include "QVWebPlaybackService.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QElapsedTimer>
#include <QEventLoop>

#include <cstdio>

namespace {

double readOnce(QDBusConnection& client, const QString& service, const QString& path,
    const QString& interface, const QString& name)
{
    QDBusMessage get
        = QDBusMessage::createMethodCall(service, path, "org.freedesktop.DBus.Properties", "Get");
    get.setArguments({ interface, name });
    QElapsedTimer clock;
    clock.start();
    QDBusPendingCallWatcher watcher(client.asyncCall(get, 5000));
    if (!watcher.isFinished()) {
        // The service answers on this thread: wait in a loop, not a block.
        QEventLoop loop;
        QObject::connect(&watcher, &QDBusPendingCallWatcher::finished, &loop, &QEventLoop::quit);
        loop.exec();
    }
    if (watcher.isError())
        std::fprintf(stderr, "%s: %s\n", qPrintable(name), qPrintable(watcher.error().message()));
    return double(clock.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        std::printf("skipped: no session bus (run under dbus-run-session)\n");
        return 0;
    }
    QVBenchPlayback quiet;
    QVWebPlaybackService& playback = quiet.service;
    QVScriptingService scripting(&playback);
    QVMprisService mpris(&playback);
    if (!scripting.registerOn(bus) || !mpris.registerOn(bus))
        return 1;
    QDBusConnection client = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "bench-client");
    const QString service = bus.baseService();

    constexpr int kWarmUp = 50;
    constexpr int kReads = 2000;
    QList<double> ours, theirs;
    for (int i = 0; i < kWarmUp + kReads; ++i) {
        // Interleaved, so both see the same machine.
        const double a = readOnce(client, service, "/com/quiv/desktop", "com.quiv.desktop", "PlayerState");
        const double b = readOnce(
            client, service, "/org/mpris/MediaPlayer2", "org.mpris.MediaPlayer2.Player", "PlaybackStatus");
        if (i >= kWarmUp) {
            ours.append(a);
            theirs.append(b);
        }
    }
    const QVBenchStats a = QVBenchStats::of(ours);
    const QVBenchStats b = QVBenchStats::of(theirs);
    a.print("PlayerState over com.quiv.desktop");
    b.print("PlaybackStatus over MPRIS (baseline)");
    std::printf("%-44s median %.2fx\n", "ratio (ours / MPRIS)", b.median > 0 ? a.median / b.median : 0.0);
    return 0;
}
