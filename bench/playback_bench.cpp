// The player mirror's full refresh against the demo page (round trips and
// time), beside the same values read one at a time (the baseline), and how long a play/pause key press takes
// to reach the listeners as the new state: page command, the page's report with the values it brings, the
// fan-out.
#include "QVBenchPlayback.h"
#include "QVBenchPlayingPage.h"
#include "QVBenchServices.h"
#include "QVBenchStats.h"
#include "QVConstants.h"
#include "QVCountingWebView.h"
#include "QVDemoService.h"
#include "QVNotificationCenter.h"
#include "QVPageCommands.h"
#include "QVTestEnvironment.h"
#include "QVTestWait.h"
#include "QVTrack.h"
#include "QVUIConstantsService.h"
#include "QVWebPlaybackListener.h"
#include "QVWebPlaybackService.h"
#include "QVWebView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cstdio>

namespace {

// Notes when it first hears the state it waits for.
class WaitingListener : public QVWebPlaybackListener
{
public:
    void playbackPlayStateChanged(QVPlayState state) override
    {
        if (state == wanted && loop) {
            heardAt = clock.nsecsElapsed();
            loop->quit();
        }
    }
    QVPlayState wanted = QVPlayStateUnknown;
    QEventLoop* loop = nullptr;
    QElapsedTimer clock;
    qint64 heardAt = -1;
};

} // namespace

int main(int argc, char** argv)
{
    QVPrepareTestEnvironment();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(20, atoi(argv[1])) : 200;

    QVBenchServices services;
    if (!services.start())
        return 1;
    QVNotificationCenter& center = services.center;
    QVBenchPlayback quiet(services);
    QVWebPlaybackService& playback = quiet.service;
    QVWebView view;
    if (!QVBenchStartPlaying(services, view, playback))
        return 1;

    // One full refresh, as the service runs it after every state change.
    QVCountingWebView counting(&view);
    QVWebPlayerScriptObject bridge(&playback);
    bridge.setWebView(&counting);
    // The same values, one read each.
    QStringList reads { kQVHasPlayerScript, kQVHasPlayingTrackScript, QStringLiteral("Q.player.playState()"),
        QStringLiteral("Q.player.repeat()"), QStringLiteral("Q.player.position()"),
        QStringLiteral("Q.player.volume()"), QStringLiteral("Q.player.shuffle()") };
    for (const QString& key : QVTrack::pageKeys())
        reads.append(QVTrack::fieldScript(key));
    QList<double> refreshTimes, singleTimes;
    int refreshTrips = 0, singleTrips = 0;
    QElapsedTimer clock;
    for (int i = 0; i < runs; ++i) {
        counting.trips = 0;
        clock.start();
        for (const QString& read : reads)
            counting.evaluate(read);
        singleTimes.append(double(clock.nsecsElapsed()) / 1e6);
        singleTrips = counting.trips;

        counting.trips = 0;
        clock.start();
        bridge.forceRefreshProperties();
        refreshTimes.append(double(clock.nsecsElapsed()) / 1e6);
        refreshTrips = counting.trips;
    }
    if (bridge.playingTrack()->trackKey().isEmpty()) {
        std::fprintf(stderr, "the refresh read no track\n");
        return 1;
    }

    // Baseline: the same toggle sent to the page, its state read back until
    // the page itself has changed it. The key's path cannot beat this.
    QList<double> pageTimes;
    for (int i = 0; i < runs; ++i) {
        const QString before = view.evaluate(QStringLiteral("Q.player.playState()"));
        clock.start();
        view.executeJavascript(QStringLiteral("Q.player.togglePause();"));
        while (view.evaluate(QStringLiteral("Q.player.playState()")) == before && clock.elapsed() < 3000) { }
        pageTimes.append(double(clock.nsecsElapsed()) / 1e6);
        QTest::qWait(20); // its reports pass before the next
    }
    QTest::qWait(200);

    // The play/pause key to the listeners, alternately pausing and resuming.
    WaitingListener listener;
    playback.addWebPlaybackListener(&listener);
    QList<double> toggleTimes;
    int missed = 0;
    for (int i = 0; i < runs; ++i) {
        QEventLoop loop;
        listener.wanted = playback.playState() == QVPlayStatePlaying ? QVPlayStatePaused : QVPlayStatePlaying;
        listener.loop = &loop;
        listener.heardAt = -1;
        QTimer::singleShot(3000, &loop, &QEventLoop::quit);
        listener.clock.start();
        center.postNotificationName(QVPlayButtonPressedNotification);
        if (listener.heardAt < 0)
            loop.exec();
        listener.loop = nullptr;
        if (listener.heardAt < 0) {
            ++missed;
            QTest::qWait(100);
            continue;
        }
        toggleTimes.append(double(listener.heardAt) / 1e6);
        QTest::qWait(20); // let the second bridge's report of the same change pass
    }
    playback.removeWebPlaybackListener(&listener);

    std::printf("playback against the demo page (%d runs, signed in, a track playing)\n", runs);
    std::printf("  round trips of one full refresh: one value at a time %d, the mirror's refresh %d\n",
        singleTrips, refreshTrips);
    const QVBenchStats s = QVBenchStats::of(singleTimes), b = QVBenchStats::of(refreshTimes);
    s.print("the values one at a time (baseline)");
    b.print("full refresh of the player mirror");
    std::printf("%-44s median %.1fx   p95 %.1fx\n", "refresh speed-up", s.median / b.median, s.p95 / b.p95);
    QVBenchStats::of(pageTimes).print("toggle read back from the page (baseline)");
    QVBenchStats::of(toggleTimes).print("play/pause key to listeners (new state)");
    if (missed)
        std::printf("  %d toggles not heard within 3 s\n", missed);
    return missed ? 1 : 0;
}
