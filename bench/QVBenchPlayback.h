#pragma once

#include "QVBenchServices.h"
#include "QVQuietPlatform.h"
#include "QVWebPlaybackService.h"

// The playback service as the benches build it: its platform monitors stay
// quiet; the rest comes from the bench.
struct QVBenchPlayback {
    QVQuietOutput output;
    QVQuietSleep sleep;
    QVQuietSignal signal;
    QVWebPlaybackService service;

    explicit QVBenchPlayback(QVWebPlaybackService::Services services = {})
        : service(quiet(services))
    {
    }

    // Over the demo page's services, as the desktop bridge's delegate.
    explicit QVBenchPlayback(QVBenchServices& bench)
        : QVBenchPlayback(
              QVWebPlaybackService::Services { &bench.center, bench.defaults.get(), bench.navigation.get() })
    {
        bench.navigation->desktopScriptObject()->setPlaybackDelegate(&service);
    }

private:
    QVWebPlaybackService::Services quiet(QVWebPlaybackService::Services services)
    {
        services.playStateSignal = &signal;
        services.audioOutput = &output;
        services.sleepMonitor = &sleep;
        return services;
    }
};
