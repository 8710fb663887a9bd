// Request pool: how soon a queued request starts (pushed while the pump
// sleeps, when a slot frees, and into an idle pool), and the throughput of 200
// small requests on loopback against a plain QNetworkAccessManager fetching the
// same 200 in the same run. Requests go to the demo service.
#include "QVBenchStats.h"
#include "QVDemoService.h"
#include "QVServerConnection.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTcpServer>
#include <QTimer>

#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

namespace {

qint64 nowNs()
{
    return QDeadlineTimer::current().deadlineNSecs();
}

// Runs the event loop until `done` holds; false after `timeoutMs`.
bool spinUntil(const std::function<bool()>& done, int timeoutMs = 30000)
{
    const QDeadlineTimer deadline(timeoutMs);
    QTimer tick; // wakes the loop should nothing else arrive
    tick.start(50);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

struct Probe : QVServerRequestDelegate {
    qint64 startedAt = 0;
    bool ended = false;
    bool finished = false;
    void onConnectionStarted(QVServerRequestIdentifier) override { startedAt = nowNs(); }
    void onConnectionFinished(QVServerRequestIdentifier, const QByteArray&) override
    {
        ended = finished = true;
    }
    void onConnectionFailed(QVServerRequestIdentifier, const QVServerError&) override { ended = true; }
    void onConnectionCanceled(QVServerRequestIdentifier) override { ended = true; }
};

int fail(const char* what)
{
    std::fprintf(stderr, "%s\n", what);
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(10, atoi(argv[1])) : 100;
    const int batches = std::max(5, rounds / 10);
    constexpr int batchSize = 200;

    QVDemoService service;
    if (!service.start())
        return fail(qPrintable(QStringLiteral("demo service: ") + service.errorString()));
    const QString small = service.baseUrl() + QStringLiteral("/media/images/trans.gif");
    // Accepts and never answers: its requests hold their slots until cancelled.
    QTcpServer silent;
    if (!silent.listen(QHostAddress::LocalHost, 0))
        return fail("no port for the silent server");
    const QString hang = QStringLiteral("http://127.0.0.1:%1/hang").arg(silent.serverPort());
    QObject::connect(&silent, &QTcpServer::newConnection, &silent, [&] {
        while (QTcpSocket* socket = silent.nextPendingConnection())
            socket->setParent(&silent);
    });

    QVServerConnection pool;
    QList<double> asleep, slotFreed, idle;

    // Pushed while the pump sleeps: one hanging request keeps it alive.
    {
        Probe holder;
        const QVServerRequestIdentifier holderId = pool.addServerRequest(hang, std::nullopt, false, &holder);
        if (!spinUntil([&] { return holder.startedAt != 0; }))
            return fail("the holder did not start");
        for (int round = 0; round < rounds; ++round) {
            spinUntil([] { return false; }, 20); // let the pump go back to sleep
            Probe probe;
            const qint64 pushedAt = nowNs();
            pool.addServerRequest(small, std::nullopt, false, &probe);
            if (!spinUntil([&] { return probe.ended; }) || !probe.finished)
                return fail("a request did not finish");
            asleep << double(probe.startedAt - pushedAt) / 1e6;
        }
        pool.cancelServerRequest(holderId);
    }

    // Queued behind five hanging requests: from the cancel that frees a slot
    // to the start of the queued one.
    {
        std::vector<std::unique_ptr<Probe>> hanging;
        QList<QVServerRequestIdentifier> hangingIds;
        for (int i = 0; i < QVServerConnection::maximumRunningRequests; ++i) {
            hanging.push_back(std::make_unique<Probe>());
            hangingIds << pool.addServerRequest(hang, std::nullopt, false, hanging.back().get());
        }
        if (!spinUntil([&] {
                return std::all_of(
                    hanging.cbegin(), hanging.cend(), [](const auto& p) { return p->startedAt != 0; });
            }))
            return fail("the hanging requests did not start");
        for (int round = 0; round < rounds; ++round) {
            Probe queued;
            pool.addServerRequest(small, std::nullopt, false, &queued);
            spinUntil([] { return false; }, 20);
            if (queued.startedAt != 0)
                return fail("a sixth request started while five ran");
            const int slot = round % int(hanging.size());
            const qint64 freedAt = nowNs();
            pool.cancelServerRequest(hangingIds[slot]);
            if (!spinUntil([&] { return queued.ended; }) || !queued.finished)
                return fail("the queued request did not finish");
            slotFreed << double(queued.startedAt - freedAt) / 1e6;
            // Fill the slot again.
            hanging[slot] = std::make_unique<Probe>();
            hangingIds[slot] = pool.addServerRequest(hang, std::nullopt, false, hanging[slot].get());
            if (!spinUntil([&] { return hanging[slot]->startedAt != 0; }))
                return fail("a hanging request did not start");
        }
        pool.batchCancelServerRequests(hangingIds);
    }

    // Into an idle pool: the pump has stopped and must be started.
    const int idleRounds = std::max(5, rounds / 10);
    for (int round = 0; round < idleRounds; ++round) {
        if (!spinUntil([&] { return !pool.isPumpRunning(); }, 10000))
            return fail("the pump did not stop on an empty pool");
        Probe probe;
        const qint64 pushedAt = nowNs();
        pool.addServerRequest(small, std::nullopt, false, &probe);
        if (!spinUntil([&] { return probe.ended; }) || !probe.finished)
            return fail("a request did not finish");
        idle << double(probe.startedAt - pushedAt) / 1e6;
    }

    // Throughput: 200 small requests at once, pool against a plain manager.
    QList<double> poolBatch, managerBatch, managerCloseBatch;
    QNetworkAccessManager manager;
    for (int batch = 0; batch < batches; ++batch) {
        {
            std::vector<std::unique_ptr<Probe>> probes;
            const qint64 start = nowNs();
            for (int i = 0; i < batchSize; ++i) {
                probes.push_back(std::make_unique<Probe>());
                pool.addServerRequest(small, std::nullopt, false, probes.back().get());
            }
            if (!spinUntil([&] {
                    return std::all_of(
                        probes.cbegin(), probes.cend(), [](const auto& p) { return p->ended; });
                }))
                return fail("the pool's batch did not finish");
            poolBatch << double(nowNs() - start) / 1e6;
            if (!std::all_of(probes.cbegin(), probes.cend(), [](const auto& p) { return p->finished; }))
                return fail("a pooled request failed");
        }
        // The same 200 on one manager: on kept-alive connections, and with a
        // connection per request as the pool makes them.
        for (const bool keepAlive : { true, false }) {
            int done = 0;
            int failed = 0;
            const qint64 start = nowNs();
            for (int i = 0; i < batchSize; ++i) {
                QNetworkRequest request { QUrl(small) };
                if (!keepAlive)
                    request.setRawHeader("Connection", "close");
                QNetworkReply* reply = manager.get(request);
                QObject::connect(reply, &QNetworkReply::finished, reply, [&, reply] {
                    reply->readAll();
                    failed += reply->error() != QNetworkReply::NoError;
                    ++done;
                    reply->deleteLater();
                });
            }
            if (!spinUntil([&] { return done == batchSize; }))
                return fail("the manager's batch did not finish");
            (keepAlive ? managerBatch : managerCloseBatch) << double(nowNs() - start) / 1e6;
            if (failed)
                return fail("a plain request failed");
        }
    }

    std::printf("request pool against %s (%d rounds, %d batches of %d)\n", qPrintable(service.baseUrl()),
        rounds, batches, batchSize);
    QVBenchStats::of(asleep).print("push to start, pump asleep");
    QVBenchStats::of(slotFreed).print("slot freed to start of the queued one");
    QVBenchStats::of(idle).print("push to start, idle pool (pump started)");
    const QVBenchStats pooled = QVBenchStats::of(poolBatch);
    const QVBenchStats plain = QVBenchStats::of(managerBatch);
    const QVBenchStats plainClose = QVBenchStats::of(managerCloseBatch);
    pooled.print("200 requests through the pool");
    plain.print("200, plain manager, kept-alive (baseline)");
    plainClose.print("200, plain manager, Connection: close");
    const auto rate = [](const char* label, const QVBenchStats& stats) {
        std::printf("%-44s median %7.0f req/s   p95 %7.0f req/s\n", label, batchSize / stats.median * 1000,
            batchSize / stats.p95 * 1000);
    };
    rate("pool throughput", pooled);
    rate("plain manager, kept-alive", plain);
    rate("plain manager, Connection: close", plainClose);
    std::printf("%-44s median %.2fx   p95 %.2fx\n", "pool time over kept-alive baseline",
        pooled.median / plain.median, pooled.p95 / plain.p95);
    std::printf("%-44s median %.2fx   p95 %.2fx\n", "pool time over Connection: close",
        pooled.median / plainClose.median, pooled.p95 / plainClose.p95);
    std::printf("%-44s %d (limit %d)\n", "most requests running at once", QVServerRequest::peakRunningCount(),
        QVServerConnection::maximumRunningRequests);
    return 0;
}
