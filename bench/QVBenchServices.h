#pragma once

#include "QVDemoService.h"
#include "QVNotificationCenter.h"
#include "QVUIConstantsService.h"
#include "QVUserDefaults.h"
#include "QVWebNavigationService.h"

#include <QTemporaryDir>

#include <cstdio>
#include <memory>

// The demo service and fresh services pointed at it, for benchmarks that
// drive the demo page.
struct QVBenchServices {
    QVDemoService demo;
    QTemporaryDir dir;
    QVNotificationCenter center;
    std::unique_ptr<QVUserDefaults> defaults;
    std::unique_ptr<QVUIConstantsService> constants;
    std::unique_ptr<QVWebNavigationService> navigation;

    bool start()
    {
        if (!demo.start()) {
            std::fprintf(stderr, "demo service: %s\n", qPrintable(demo.errorString()));
            return false;
        }
        qputenv("QUIV_DEVELOPER_HOST", demo.hostAndPort().toUtf8());
        defaults = std::make_unique<QVUserDefaults>(dir.filePath("Quiv.conf"), &center);
        constants = std::make_unique<QVUIConstantsService>(&center, defaults.get(), "10.10");
        constants->setShouldUseLocalhost(true);
        navigation = std::make_unique<QVWebNavigationService>(&center, constants.get());
        return true;
    }
};
