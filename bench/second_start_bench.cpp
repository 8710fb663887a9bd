// A second start's "quiv://" address to the router call in the running copy's
// page, against the same address handed over by a D-Bus Open call from this
// process (the baseline: everything but the second program's start), in one
// run. This process is the running copy: it owns the bus name, exports the
// scripting service and routes on the demo page. Needs a session bus.
#include "QVBenchPlayback.h"
#include "QVBenchServices.h"
#include "QVBenchStats.h"
#include "QVNavigationController.h"
#include "QVScriptingService.h"
#include "QVSingleInstance.h"
#include "QVTestWait.h"
#include "QVWebPlaybackService.h"
#include "QVWebView.h"
#include "QVWindowService.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QSignalSpy>
#include <QTimer>

#include <cstdio>

namespace {

// Waits until the page's router has been asked for `path` (the page puts it
// in its title); milliseconds since `clock` started, or -1 after 5 s.
double waitForRoute(QVWebView& view, const QString& path, const QElapsedTimer& clock)
{
    if (view.title() != path) {
        QEventLoop loop;
        const auto changed = QObject::connect(&view, &QWebEngineView::titleChanged, &loop, [&] {
            if (view.title() == path)
                loop.quit();
        });
        QTimer::singleShot(5000, &loop, &QEventLoop::quit);
        loop.exec();
        QObject::disconnect(changed);
    }
    return view.title() == path ? double(clock.nsecsElapsed()) / 1e6 : -1.0;
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
    QVBenchServices services;
    if (!services.start())
        return 1;
    if (QVSingleInstance(bus).claim() != QVSingleInstance::Claim::Primary) {
        std::fprintf(stderr, "another copy owns the bus name\n");
        return 1;
    }

    QVBenchPlayback quiet;
    QVWebPlaybackService& playback = quiet.service;
    QVScriptingService scripting(&playback);
    if (!scripting.registerOn(bus))
        return 1;

    QVWindowService windows(QVWindowService::Services {
        services.navigation.get(), &services.center, services.defaults.get(), services.constants.get() });
    QVNavigationController navigation(QVNavigationController::Services { &services.center,
        services.navigation.get(), services.constants.get(), &windows, [](const QUrl&) {}, false });
    QObject::connect(&scripting, &QVScriptingService::openURLRequested, &navigation,
        &QVNavigationController::handleURLLoad);

    QVWebView view;
    view.resize(1000, 700);
    view.setServiceURL(QUrl(services.demo.baseUrl()));
    navigation.setWebView(&view);
    QSignalSpy finished(&view, &QWebEngineView::loadFinished);
    view.load(QUrl(services.demo.baseUrl() + "/"));
    if (!finished.wait(15000)) {
        std::fprintf(stderr, "the demo page did not load\n");
        return 1;
    }
    // The router only notes the path: the page stays put between runs.
    view.evaluate("Q.router.navigate = function (p) { document.title = p; }; 1");

    const QString host = QStringLiteral("quiv://") + services.demo.hostAndPort();
    QDBusConnection client = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "bench-client");
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QUIV_DEVELOPER_HOST", services.demo.hostAndPort());
    environment.insert("QUIV_USE_LOCALHOST", "1");

    constexpr int kRuns = 30;
    QList<double> overBus, secondStart;
    int missed = 0;
    QElapsedTimer clock;
    for (int i = 0; i < kRuns; ++i) {
        // Interleaved, so both see the same machine; a new path each time.
        const QString busPath = QStringLiteral("/album/a%1/").arg(1000 + 2 * i);
        QDBusMessage open = QDBusMessage::createMethodCall(
            bus.baseService(), "/com/quiv/desktop", "org.freedesktop.Application", "Open");
        open.setArguments({ QStringList { host + busPath }, QVariantMap() });
        clock.start();
        client.asyncCall(open, 5000);
        const double a = waitForRoute(view, busPath, clock);

        const QString startPath = QStringLiteral("/album/a%1/").arg(1001 + 2 * i);
        QProcess second;
        second.setProcessEnvironment(environment);
        second.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        clock.start();
        second.start(QStringLiteral(QUIV_BINARY_PATH), { host + startPath });
        const double b = waitForRoute(view, startPath, clock);
        if (!second.waitForFinished(5000))
            second.kill();
        if (a < 0 || b < 0 || second.exitCode() != 0) {
            ++missed;
            continue;
        }
        overBus.append(a);
        secondStart.append(b);
    }

    std::printf("a \"quiv://\" address to the router call in the page (%d runs)\n", kRuns);
    QVBenchStats::of(overBus).print("Open over D-Bus from this process (baseline)");
    QVBenchStats::of(secondStart).print("a second start of the program");
    if (missed)
        std::printf("  %d runs not routed within 5 s or the second start failed\n", missed);
    return missed ? 1 : 0;
}
