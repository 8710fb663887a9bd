// The window chrome against the demo page, median and 95th percentile:
// (1) main player to mini player and back, until the mini player shows the
// playing track; (2) measuring six of the header's click-through areas, one
// page read per area against the title bar's one batched read, side by side;
// (3) one repaint of the wide mini player.
#include "QVBenchPlayback.h"
#include "QVBenchPlayingPage.h"
#include "QVBenchServices.h"
#include "QVBenchStats.h"
#include "QVFloatingTitlebarView.h"
#include "QVMainPlayerWindow2.h"
#include "QVMiniPlayerView.h"
#include "QVMiniPlayerWindow.h"
#include "QVTestEnvironment.h"
#include "QVTestWait.h"
#include "QVTextPushButton.h"
#include "QVWebPlaybackService.h"
#include "QVWindowService.h"

#include <QApplication>
#include <QElapsedTimer>

#include <cstdio>

namespace {

double elapsedMs(const QElapsedTimer& clock)
{
    return double(clock.nsecsElapsed()) / 1e6;
}

// The six areas, each read on its own as the title bar did before batching.
const char* const kAreas[] = { "document.getElementsByClassName('Search_Box')[0]",
    "document.getElementsByClassName('App_Nav')[0]", "document.getElementsByClassName('Header_Account')[0]",
    "document.getElementsByClassName('Header_User')[0]", "document.getElementById('header_logo')",
    "document.getElementById('header_notices')" };

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
    QVBenchPlayback quiet(services);
    QVWebPlaybackService& playback = quiet.service;

    QVMainPlayerWindow2 main(nullptr, services.navigation.get(), services.defaults.get());
    QVMiniPlayerWindow mini(nullptr, services.defaults.get(), &playback, &services.center);
    mini.resize(420, 64);
    QVWindowService windows(QVWindowService::Services {
        services.navigation.get(), &services.center, services.defaults.get(), services.constants.get() });
    windows.setMainPlayerWindow(&main, &mini);
    // As at start: the window service loads the page into the main player.
    windows.showCurrentWindow();
    if (!QVWaitUntil([&] { return playback.isPlaybackLoaded(); }, 15000)) {
        std::fprintf(stderr, "the page did not load\n");
        return 1;
    }
    if (!QVBenchStartPlaying(services, *main.webView(), playback))
        return 1;
    QCoreApplication::processEvents();

    // (1) The swap and back.
    const QString title = playback.playingTrackName();
    QVTextPushButton* miniTitle = mini.miniPlayerView()->trackTitleButton();
    QList<double> swaps;
    for (int i = 0; i < std::max(20, runs / 4); ++i) {
        QElapsedTimer clock;
        clock.start();
        windows.showMiniPlayerWindow();
        if (!QVWaitUntil(
                [&] { return mini.isVisible() && miniTitle->isVisible() && miniTitle->title() == title; },
                5000, 0)) {
            std::fprintf(stderr, "the mini player did not show the track\n");
            return 1;
        }
        mini.miniPlayerView()->repaint();
        windows.showMainPlayerWindow();
        QCoreApplication::processEvents();
        swaps.append(elapsedMs(clock));
    }

    // (2) Six areas: one read each, against one batched read; interleaved.
    QVFloatingTitlebarView* bar = main.titlebarView();
    QVWebView* page = main.webView();
    // The demo header names five areas; a sixth for the comparison.
    page->executeJavascript("Q.Models.Desktop.IGNORED_DOM_CLASSES.push('Header_User');");
    QList<double> single;
    QList<double> batched;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer clock;
        clock.start();
        int found = 0;
        for (const char* area : kAreas)
            found += page->evaluate(
                             QStringLiteral("(function(e){if(!e)return '';var r=e.getBoundingClientRect();"
                                            "return JSON.stringify([r.left,r.top,r.width,r.height]);})(%1)")
                                 .arg(QLatin1String(area)))
                         .isEmpty()
                ? 0
                : 1;
        single.append(elapsedMs(clock));
        if (found < 5) {
            std::fprintf(stderr, "the page named %d of the areas\n", found);
            return 1;
        }
        clock.start();
        bar->invalidateIgnoredWebRectsArray();
        bar->updateIgnoredWebRects();
        batched.append(elapsedMs(clock));
    }

    // (3) One repaint of the wide mini player.
    windows.showMiniPlayerWindow();
    QCoreApplication::processEvents();
    QList<double> repaints;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer clock;
        clock.start();
        mini.miniPlayerView()->repaint();
        repaints.append(elapsedMs(clock));
    }

    std::printf("chrome_bench (%d areas measured per batched read)\n", int(bar->ignoredWebRects().size()));
    QVBenchStats::of(swaps).print("main -> mini (track shown) -> main");
    const QVBenchStats one = QVBenchStats::of(single);
    const QVBenchStats batch = QVBenchStats::of(batched);
    one.print("six areas, one read each (baseline)");
    batch.print("six areas, one batched read");
    std::printf("%-44s median %.1fx   p95 %.1fx faster\n", "batched vs one read each",
        one.median / batch.median, one.p95 / batch.p95);
    QVBenchStats::of(repaints).print("one wide mini player repaint");
    return 0;
}
