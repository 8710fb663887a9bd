// Page reads: one read, and 20 single reads against one 20-value batch, in the
// same run against the demo service's bridge test page; then a page that stops
// answering: the read that times out, and the first read after it against a
// read of the answering page.
#include "QVBenchStats.h"
#include "QVTestEnvironment.h"
#include "QVTestWait.h"
#include "QVDemoService.h"
#include "QVWebView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

#include <cstdio>

int main(int argc, char** argv)
{
    QVPrepareTestEnvironment();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(50, atoi(argv[1])) : 100; // 20 reads per round

    QVDemoService service;
    if (!service.start()) {
        std::fprintf(stderr, "demo service: %s\n", qPrintable(service.errorString()));
        return 1;
    }
    QVWebView view;
    view.setServiceURL(QUrl(service.baseUrl())); // reads go to the service's origin only
    view.resize(800, 600);
    view.show();
    QSignalSpy loaded(&view, &QWebEngineView::loadFinished);
    view.load(QUrl(service.baseUrl() + QStringLiteral("/test/bridge.html")));
    if (!loaded.wait(15000) || !loaded.first().first().toBool()) {
        std::fprintf(stderr, "the bridge test page did not load\n");
        return 1;
    }
    QStringList expressions;
    for (int i = 0; i < 20; ++i)
        expressions << QStringLiteral("quivTest.value + %1").arg(i);
    // Warm up the engine and the channel.
    for (int i = 0; i < 50; ++i)
        view.evaluate(expressions.first());

    QList<double> single, twentySingles, batch;
    QElapsedTimer clock;
    for (int round = 0; round < rounds; ++round) {
        clock.start();
        for (const QString& expression : expressions) {
            const qint64 start = clock.nsecsElapsed();
            view.evaluate(expression);
            single.append(double(clock.nsecsElapsed() - start) / 1e6);
        }
        twentySingles.append(double(clock.nsecsElapsed()) / 1e6);
        clock.start();
        const QStringList values = view.evaluateBatch(expressions);
        batch.append(double(clock.nsecsElapsed()) / 1e6);
        if (values.size() != 20 || values.last() != QStringLiteral("18")) {
            std::fprintf(stderr, "batch gave a wrong answer\n");
            return 1;
        }
    }

    // The page hangs a little longer than a read waits; each round costs one stall.
    QList<double> stalls, afterStall;
    const int hangs = std::max(5, rounds / 20);
    for (int round = 0; round < hangs; ++round) {
        view.evaluate(QStringLiteral("quivTest.hang(%1)").arg(view.evaluationTimeout() + 500));
        QTest::qWait(100); // the loop starts after the call returns
        clock.start();
        view.evaluate(expressions.first());
        stalls.append(double(clock.nsecsElapsed()) / 1e6);
        clock.start();
        const QString late = view.evaluate(expressions.first());
        afterStall.append(double(clock.nsecsElapsed()) / 1e6);
        if (!late.isEmpty() || view.isResponsive()) {
            std::fprintf(stderr, "the read after a timed-out one waited for the page\n");
            return 1;
        }
        if (!QVWaitUntil([&] { return view.isResponsive(); }, 10000)) {
            std::fprintf(stderr, "the page did not answer again\n");
            return 1;
        }
    }

    const QVBenchStats one = QVBenchStats::of(single);
    const QVBenchStats twenty = QVBenchStats::of(twentySingles);
    const QVBenchStats batched = QVBenchStats::of(batch);
    std::printf("page reads against %s (%d rounds)\n", qPrintable(service.baseUrl()), rounds);
    one.print("one read");
    twenty.print("20 single reads (baseline)");
    batched.print("one batch of 20 values");
    std::printf("%-44s median %.1fx   p95 %.1fx\n", "batch speed-up over 20 single reads",
                twenty.median / batched.median, twenty.p95 / batched.p95);
    QVBenchStats::of(stalls).print("a read of a hung page (times out)");
    QVBenchStats::of(afterStall).print("the first read after it (no wait)");
    return 0;
}
