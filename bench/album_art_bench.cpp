// Album art: how long a cache hit takes to answer (the file read, the property
// list parsed, the data checked against its hash, the image decoded), against
// fetching the same art from the demo service through the request pool in the
// same run. Both go through QVAlbumArtHandler::requestAlbumArt, as the search
// suggestions ask; the property-list read alone is shown too.
#include "QVAlbumArtHandler.h"
#include "QVAudioOutputMonitor.h"
#include "QVBenchPlayback.h"
#include "QVBenchStats.h"
#include "QVDemoService.h"
#include "QVFakeWebView.h"
#include "QVNotificationCenter.h"
#include "QVPlayStateSignal.h"
#include "QVServerConnection.h"
#include "QVSleepMonitor.h"
#include "QVTestEnvironment.h"
#include "QVUserDefaults.h"
#include "QVWebNavigationService.h"
#include "QVWebPlaybackService.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

namespace {

// Notes when the answer came, and ends a wait for it.
class TimedRequester : public QVAlbumArtListener
{
public:
    void albumArtRequestCompleted(const QImage& image, const QString&) override { done(!image.isNull()); }
    void albumArtRequestFailedForBaseIcon(const QString&) override { done(false); }
    void done(bool ok)
    {
        answeredAt = clock.nsecsElapsed();
        succeeded = ok;
        if (loop)
            loop->quit();
    }
    QElapsedTimer clock;
    qint64 answeredAt = -1;
    bool succeeded = false;
    QEventLoop* loop = nullptr;
};

int fail(const char* what)
{
    std::fprintf(stderr, "%s\n", what);
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    QVPrepareTestEnvironment();
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(20, atoi(argv[1])) : 200;

    QVDemoService demo;
    if (!demo.start())
        return fail(qPrintable("demo service: " + demo.errorString()));

    QTemporaryDir dir;
    QVNotificationCenter center;
    QVUserDefaults defaults(dir.filePath("Quiv.conf"), &center);
    QVWebNavigationService navigation(&center);
    QVBenchPlayback quiet(QVWebPlaybackService::Services { &center, &defaults, &navigation });
    QVWebPlaybackService& playback = quiet.service;
    // The page only has to name its image server.
    QVFakeWebView page;
    page.answers["window.Q && Q.serverInfo && Q.serverInfo.get('is_address')"]
        = demo.baseUrl() + "/images/art";
    playback.setWebView(&page);

    QVServerConnection pool;
    QVAlbumArtHandler::Services services;
    services.notificationCenter = &center;
    services.serverConnection = &pool;
    services.cacheDirectory = dir.filePath("AlbumArtCache");
    services.cleanupDelayMs = -1;
    QVAlbumArtHandler handler(&playback, services);
    QVAlbumArtCacheController* cache = handler.cacheController();

    const QStringList albums { "a11", "a12", "a13", "a14" };
    const auto request = [&](const QString& icon, TimedRequester& requester) {
        QEventLoop loop;
        QTimer::singleShot(10000, &loop, &QEventLoop::quit);
        requester.answeredAt = -1;
        requester.clock.start();
        handler.requestAlbumArt(icon, &requester);
        if (requester.answeredAt < 0) {
            requester.loop = &loop;
            loop.exec();
            requester.loop = nullptr;
        }
        return requester.succeeded ? double(requester.answeredAt) / 1e6 : -1.0;
    };

    // Warm up: every album fetched once and on disk.
    TimedRequester requester;
    for (const QString& icon : albums)
        if (request(icon, requester) < 0)
            return fail("the demo service gave no art");
    const qint64 fileSize = QFileInfo(cache->_baseIconCachFilePath("a11")).size();

    QList<double> hits;
    QList<double> reads;
    QList<double> fetches;
    QElapsedTimer clock;
    for (int i = 0; i < rounds; ++i) {
        const QString icon = albums.at(i % albums.size());
        // A hit answers before requestAlbumArt returns.
        const double hit = request(icon, requester);
        if (hit < 0)
            return fail("a cached icon was not answered");
        hits.append(hit);

        clock.start();
        if (!cache->albumArtDataFromCache(icon))
            return fail("the cache lost an entry");
        reads.append(double(clock.nsecsElapsed()) / 1e6);

        // The baseline: the same art from the network, cached again on arrival.
        cache->removeAlbumArt(icon);
        const double fetch = request(icon, requester);
        if (fetch < 0)
            return fail("a fetch failed");
        fetches.append(fetch);
    }

    std::printf("album art, 200x200 PNG from the demo service, cache file %lld bytes, %d rounds\n",
        qlonglong(fileSize), rounds);
    const QVBenchStats hit = QVBenchStats::of(hits);
    const QVBenchStats fetch = QVBenchStats::of(fetches);
    hit.print("cache hit (read, check, decode)");
    QVBenchStats::of(reads).print("cache hit, property list read only");
    fetch.print("baseline: fetch from the demo service");
    std::printf("%-44s median %.1fx   p95 %.1fx\n", "fetch / cache hit", fetch.median / hit.median,
        fetch.p95 / hit.p95);
    return 0;
}
