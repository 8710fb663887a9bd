// The transport controls against the demo page: one update and repaint of the
// main and mini faceplates on a play-state change and on a position tick, with
// the page read value by value (as each display routine asks) and in one
// batch, side by side in one run; the page round trips each costs; one tick of
// the loading stripes.
#include "QVAudioOutputMonitor.h"
#include "QVBenchPlayback.h"
#include "QVBenchPlayingPage.h"
#include "QVBenchServices.h"
#include "QVBenchStats.h"
#include "QVCountingWebView.h"
#include "QVDemoService.h"
#include "QVFaceplateController.h"
#include "QVFaceplateSliderButton.h"
#include "QVFaceplateSliderButtonCell.h"
#include "QVFaceplateView.h"
#include "QVMiniPlayerFaceplateController.h"
#include "QVTestEnvironment.h"
#include "QVTestWait.h"
#include "QVUIConstantsService.h"
#include "QVWebNavigationService.h"
#include "QVWebPlaybackService.h"
#include "QVWebView.h"

#include <QApplication>
#include <QElapsedTimer>

#include <cstdio>
#include <functional>

namespace {

struct Measured {
    QList<double> times;
    int trips = 0;
};

Measured measure(int runs, QVCountingWebView& counting, const std::function<void()>& work)
{
    Measured measured;
    QElapsedTimer clock;
    for (int i = 0; i < runs; ++i) {
        counting.trips = 0;
        clock.start();
        work();
        measured.times.append(double(clock.nsecsElapsed()) / 1e6);
        measured.trips = counting.trips;
    }
    return measured;
}

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
    QVBenchPlayback pagePlayback(services);
    QVWebPlaybackService& playback = pagePlayback.service;
    QVWebView view;
    if (!QVBenchStartPlaying(services, view, playback))
        return 1;
    if (!QVWaitUntil([&] { return playback.playingTrackElapsedSeconds() > 0; }, 10000)) {
        std::fprintf(stderr, "the demo player shows no position\n");
        return 1;
    }

    // The faceplates' own service reads the same page through a counter.
    QVCountingWebView counting(&view);
    QVNotificationCenter quiet;
    QVBenchPlayback faceplatePlayback(
        QVWebPlaybackService::Services { &quiet, services.defaults.get(), services.navigation.get() });
    QVWebPlaybackService& controls = faceplatePlayback.service;
    controls.setWebView(&counting);
    controls.webViewFinishedLoading();
    const QVFaceplateController::Services faceplateServices { &controls, services.navigation.get(), &quiet };
    QVFaceplateView main(QVFaceplateView::Kind::Main, nullptr, new QVFaceplateController(faceplateServices),
        &controls, controls.albumArtHandler());
    QVFaceplateView mini(QVFaceplateView::Kind::MiniPlayer, nullptr,
        new QVMiniPlayerFaceplateController(faceplateServices), &controls, controls.albumArtHandler());
    main.show();
    mini.show();
    // Made after the page loaded: tell them, and let the windows appear.
    main.controller()->onPlaybackLoaded();
    mini.controller()->onPlaybackLoaded();
    if (!QVWaitUntil([&] { return main.isVisible() && !main.visibleRegion().isEmpty(); }, 5000)) {
        std::fprintf(stderr, "the faceplates did not appear\n");
        return 1;
    }

    const auto both = [&](const std::function<void(QVFaceplateController*)>& event) {
        event(main.controller());
        event(mini.controller());
        main.repaint();
        mini.repaint();
    };
    const auto stateChange
        = [&] { both([&](QVFaceplateController* c) { c->playbackPlayStateChanged(controls.playState()); }); };
    // A position tick as the page reports it: the service tells both.
    const auto positionTick = [&] {
        controls.playbackPositionChanged(0.5f);
        main.repaint();
        mini.repaint();
    };
    const auto setBatched = [&](bool batched) {
        main.controller()->setUsesBatchedReads(batched);
        mini.controller()->setUsesBatchedReads(batched);
    };

    // Interleaved, so that both see the same machine.
    Measured stateSingle, stateBatched, tickSingle, tickBatched;
    for (int i = 0; i < runs; ++i) {
        setBatched(false);
        Measured m = measure(1, counting, stateChange);
        stateSingle.times += m.times;
        stateSingle.trips = m.trips;
        m = measure(1, counting, positionTick);
        tickSingle.times += m.times;
        tickSingle.trips = m.trips;
        setBatched(true);
        m = measure(1, counting, stateChange);
        stateBatched.times += m.times;
        stateBatched.trips = m.trips;
        m = measure(1, counting, positionTick);
        tickBatched.times += m.times;
        tickBatched.trips = m.trips;
    }

    // One stripe tick: the offset moves and the slider repaints.
    QVFaceplateSliderButton* slider = main.trackProgressSlider();
    slider->show();
    slider->setIsLoading(true);
    QList<double> stripeTimes;
    QElapsedTimer clock;
    for (int i = 0; i < runs * 5; ++i) {
        clock.start();
        slider->cell()->_loadingTimerTick();
        slider->repaint();
        stripeTimes.append(double(clock.nsecsElapsed()) / 1e6);
    }

    std::printf(
        "transport controls against the demo page (%d runs, a track playing, two faceplates)\n", runs);
    std::printf("  round trips, play-state change: value by value %d, batched %d\n", stateSingle.trips,
        stateBatched.trips);
    std::printf("  round trips, position tick:     value by value %d, batched %d\n", tickSingle.trips,
        tickBatched.trips);
    QVBenchStats::of(stateSingle.times).print("state change, value by value");
    QVBenchStats::of(stateBatched.times).print("state change, batched");
    QVBenchStats::of(tickSingle.times).print("position tick, value by value");
    QVBenchStats::of(tickBatched.times).print("position tick, batched");
    const QVBenchStats a = QVBenchStats::of(stateSingle.times), b = QVBenchStats::of(stateBatched.times);
    if (b.median > 0)
        std::printf("  state change: batched takes %.2f of the time (median)\n", b.median / a.median);
    QVBenchStats::of(stripeTimes).print("one stripe tick and repaint");
    return 0;
}
