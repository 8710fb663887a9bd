// Collection matching: the streaming library reader on generated libraries of
// 50,000 and 100,000 tracks (time over 10 runs and peak resident growth),
// beside libplist parsing the same file in the same run; grouping and batching
// of 100,000 tracks; one 50,000-track upload to the demo service.
#include "QVBenchStats.h"
#include "QVCollectionMatcher.h"
#include "QVDemoService.h"
#include "QVITunesLibraryFixture.h"
#include "QVITunesLibraryReader.h"
#include "QVServerConnection.h"
#include "QVTestDefaults.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>

#include <plist/plist.h>

#include <cstdio>
#include <cstdlib>
#include <functional>

#include <ctime>

#include <sys/wait.h>
#include <unistd.h>

namespace {

// Kilobytes of a /proc/self/status field.
long statusKb(const char* field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(int(qstrlen(field))).trimmed().split(' ').value(0).toLong();
    }
    return 0;
}

// Resets the peak so the next reading is this run's own.
void resetPeak()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

struct Sample {
    QList<double> ms;
    QList<double> mb;
    QList<double> cpuMs; // the child's CPU time: comparable on a busy machine
};

double cpuMs()
{
    timespec now {};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

// Each run in a child of its own, so one run's freed memory, kept by the
// allocator, does not hide the next run's growth.
Sample measure(int runs, const std::function<void()>& work)
{
    Sample sample;
    for (int i = 0; i < runs; ++i) {
        int fds[2];
        if (::pipe(fds) != 0)
            break;
        const pid_t child = ::fork();
        if (child == 0) {
            ::close(fds[0]);
            resetPeak();
            const long before = statusKb("VmRSS:");
            QElapsedTimer clock;
            const double cpuBefore = cpuMs();
            clock.start();
            work();
            const double result[3] = { double(clock.nsecsElapsed()) / 1e6,
                double(statusKb("VmHWM:") - before) / 1024.0, cpuMs() - cpuBefore };
            const ssize_t written = ::write(fds[1], result, sizeof result);
            ::_exit(written == sizeof result ? 0 : 1);
        }
        ::close(fds[1]);
        double result[3] = { 0, 0, 0 };
        const ssize_t got = child > 0 ? ::read(fds[0], result, sizeof result) : 0;
        ::close(fds[0]);
        if (child > 0)
            ::waitpid(child, nullptr, 0);
        if (got == sizeof result) {
            sample.ms.append(result[0]);
            sample.mb.append(result[1]);
            sample.cpuMs.append(result[2]);
        }
    }
    return sample;
}

bool spinUntil(const std::function<bool()>& done, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    QTimer tick;
    tick.start(20);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

struct Listener : QVCollectionMatchingListener {
    bool ended = false;
    void onCollectionMatchingStarted() override { }
    void onCollectionMatchingProgress(quint32) override { }
    void onCollectionMatchingFinished() override { ended = true; }
    void onCollectionMatchingCanceled() override { ended = true; }
};

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // "reader": only the reader, three runs a size, for a quick comparison.
    const bool readerOnly = argc > 1 && qstrcmp(argv[1], "reader") == 0;
    QTemporaryDir dir;
    const int libplistRuns = 3;
    for (const int size : { 50000, 100000 }) {
        const QString path = dir.filePath(QStringLiteral("library-%1.xml").arg(size));
        {
            QFile file(path);
            file.open(QIODevice::WriteOnly);
            QVITunesLibraryFixture::write(&file, size, 20);
        }
        std::printf("library of %d tracks: %.1f MB\n", size, double(QFileInfo(path).size()) / 1e6);

        const auto check = QVITunesLibraryReader::read(path);
        const qsizetype tracks = check.tracks ? check.tracks->size() : -1;
        const Sample reader = measure(readerOnly ? 3 : 10, [&] { QVITunesLibraryReader::read(path); });
        if (tracks != size)
            std::fprintf(stderr, "reader read %lld tracks\n", static_cast<long long>(tracks));
        QVBenchStats::of(reader.ms).print(
            qPrintable(QStringLiteral("streaming reader, %1 tracks").arg(size)));
        QVBenchStats::of(reader.cpuMs).print(qPrintable(QStringLiteral("  CPU time")));
        QVBenchStats::of(reader.mb).print(qPrintable(QStringLiteral("  peak resident growth")), "MB");
        if (readerOnly)
            continue;

        const Sample baseline = measure(libplistRuns, [&] {
            QFile file(path);
            file.open(QIODevice::ReadOnly);
            const QByteArray xml = file.readAll();
            plist_t root = nullptr;
            plist_from_xml(xml.constData(), uint32_t(xml.size()), &root);
            plist_free(root);
        });
        QVBenchStats::of(baseline.ms).print(qPrintable(QStringLiteral("libplist, %1 tracks").arg(size)));
        QVBenchStats::of(baseline.cpuMs).print(qPrintable(QStringLiteral("  CPU time")));
        QVBenchStats::of(baseline.mb).print(qPrintable(QStringLiteral("  peak resident growth")), "MB");
        std::printf("  ratio libplist / reader (median time): %.2f\n",
            QVBenchStats::of(baseline.ms).median / QVBenchStats::of(reader.ms).median);
    }

    if (readerOnly)
        return 0;
    QList<QVITunesTrack> library;
    for (int i = 0; i < 100000; ++i) {
        const auto t = QVITunesLibraryFixture::track(i);
        library.append({ t.artist, t.album, t.name });
    }
    const int batchCount = int(QVCollectionMatcher::batchesFromTracks(library).size());
    const Sample batching = measure(10, [&] {
        const QVServiceHTTPInterface api(QStringLiteral("http://127.0.0.1"));
        for (const auto& batch : QVCollectionMatcher::batchesFromTracks(library))
            api.bulkAddToLibraryCall(batch.tracks);
    });
    QVBenchStats::of(batching.ms).print("grouping, batching and JSON of 100,000 tracks");
    std::printf("  %d batches\n", batchCount);

    QVDemoService service;
    if (!service.start()) {
        std::fprintf(stderr, "demo service: %s\n", qPrintable(service.errorString()));
        return 1;
    }
    const QList<QVITunesTrack> half = library.mid(0, 50000);
    qsizetype largest = 0;
    const QVServiceHTTPInterface api(service.baseUrl());
    const auto batches = QVCollectionMatcher::batchesFromTracks(half);
    for (const auto& batch : batches) {
        const auto call = api.bulkAddToLibraryCall(batch.tracks);
        largest = qMax(
            largest, 5 + QUrl::toPercentEncoding(call.parameters.value(QStringLiteral("data"))).size());
    }
    QVServerConnection pool;
    QVTestDefaults defaults;
    Listener listener;
    QVCollectionMatcher matcher(&listener);
    matcher.setServerConnection(&pool);
    matcher.setUserDefaults(defaults.get());
    matcher.setBaseURL(service.baseUrl());
    QElapsedTimer clock;
    clock.start();
    matcher.uploadITunesLibraryTracks(half);
    if (!spinUntil([&] { return listener.ended; }, 600000))
        std::fprintf(stderr, "upload did not end\n");
    std::printf("upload of 50,000 tracks: %.0f ms, %u batches (%u answered), largest body %lld bytes\n",
        double(clock.elapsed()), matcher.lastRun().batches, matcher.lastRun().answered,
        static_cast<long long>(largest));
    return 0;
}
