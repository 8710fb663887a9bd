// The account snapshot refresh, read one value at a time (baseline) against
// the batched refresh, and one page load to the page's initialisation.
#include "QVBenchServices.h"
#include "QVBenchStats.h"
#include "QVCountingWebView.h"
#include "QVTestEnvironment.h"
#include "QVTestWait.h"
#include "QVClientManagerScriptObject.h"
#include "QVConstants.h"
#include "QVDemoService.h"
#include "QVNotificationCenter.h"
#include "QVTextValue.h"
#include "QVUIConstantsService.h"
#include "QVUtils.h"
#include "QVWebNavigationService.h"
#include "QVWebView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

namespace {


// The refresh read value by value, step by step: the baseline.
void refreshOneAtATime(QVAbstractWebView* page, QVClientManagerScriptObject* snapshot)
{
    const QString u = QStringLiteral("clientManager.current_user");
    if (!page->javascriptBoolValue("typeof clientManager != 'undefined'") || !page->javascriptBoolValue(u + " != null"))
        return;
    snapshot->setUserID(page->javascriptIntValue(u + ".id"));
    if (page->javascriptBoolValue("('subscription_type' in " + u + ")"))
        snapshot->setSubscriptionType(page->javascriptIntValue(u + ".subscription_type"));
    snapshot->setIsSubscriber(page->javascriptBoolValue(u + ".subscription != null"));
    snapshot->setRealName(page->javascriptStringValue(u + ".firstName") + " " + page->javascriptStringValue(u + ".lastName"));
    snapshot->setVanityName(page->javascriptStringValue(u + ".vanity_name"));
    if (page->javascriptBoolValue("('free_trial' in " + u + ")"))
        snapshot->setTrialEndDate(QVUtils::dateWithISOString(page->javascriptStringValue(u + ".free_trial.trial_end_date")));
    snapshot->setHasBillingFailure(page->javascriptBoolValue("('has_subscription_failure' in " + u + ")")
                                   && page->javascriptBoolValue(u + ".has_subscription_failure"));
    if (page->javascriptBoolValue("('freeLimited' in " + u + ")")) {
        snapshot->setIsFreeLimitedAccount(page->javascriptBoolValue(u + ".freeLimited != null"));
        if (snapshot->isFreeLimitedAccount())
            snapshot->setFreeLimitedPercentRemaining(page->javascriptIntValue(u + ".freeLimited.remaining"));
    }
    snapshot->setIsUsingQuiv2(page->javascriptBoolValue(u + ".features.quiv2"));
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
    QVNotificationCenter& center = services.center;
    QVUIConstantsService& constants = *services.constants;
    QVWebNavigationService& service = *services.navigation;
    int initialized = 0;
    center.addObserver(&initialized, QVJavascriptContentInitializedNotification,
                       [&](const QVNotification&) { ++initialized; });
    QVWebView view;
    view.resize(1000, 700);
    service.setWebView(&view);

    view.loadURL(QUrl(constants.quivURL() + "/accounts/login/"));
    if (!QVWaitUntil([&] { return initialized > 0; }, 15000)) {
        std::fprintf(stderr, "the page did not initialise\n");
        return 1;
    }
    view.executeJavascript(QVDemoService::signInScript());
    if (!QVWaitUntil([&] { return view.javascriptBoolValue("clientManager.current_user != null"); }, 10000)) {
        std::fprintf(stderr, "the demo sign-in did not work\n");
        return 1;
    }

    QVCountingWebView counting(&view);
    QVClientManagerScriptObject batched, single;
    batched.setWebView(&counting);
    QList<double> batchedTimes, singleTimes;
    int batchedTrips = 0, singleTrips = 0;
    QElapsedTimer clock;
    for (int i = 0; i < runs; ++i) {
        counting.trips = 0;
        clock.start();
        refreshOneAtATime(&counting, &single);
        singleTimes.append(double(clock.nsecsElapsed()) / 1e6);
        singleTrips = counting.trips;

        counting.trips = 0;
        clock.start();
        batched.forceRefreshProperties();
        batchedTimes.append(double(clock.nsecsElapsed()) / 1e6);
        batchedTrips = counting.trips;
    }
    if (batched.userID() != single.userID() || batched.realName() != single.realName()
        || batched.trialEndDate() != single.trialEndDate()) {
        std::fprintf(stderr, "the two refreshes disagree\n");
        return 1;
    }

    // Whole page loads, signed in, to the page's initialisation.
    QList<double> loads;
    for (int i = 0; i < std::max(10, runs / 20); ++i) {
        const int before = initialized;
        clock.start();
        view.reload();
        if (!QVWaitUntil([&] { return initialized > before; }, 15000, 1)) {
            std::fprintf(stderr, "a reload did not initialise\n");
            return 1;
        }
        loads.append(double(clock.nsecsElapsed()) / 1e6);
    }

    std::printf("account snapshot refresh against the demo page (%d runs, signed in)\n", runs);
    std::printf("  round trips: one value at a time %d, batched %d\n", singleTrips, batchedTrips);
    const QVBenchStats s = QVBenchStats::of(singleTimes), b = QVBenchStats::of(batchedTimes);
    s.print("refresh, one value at a time (baseline)");
    b.print("refresh, batched");
    std::printf("%-44s median %.1fx   p95 %.1fx\n", "batched speed-up", s.median / b.median, s.p95 / b.p95);
    QVBenchStats::of(loads).print("page load to initialisation (reload)");
    return 0;
}
