// Reachability and crash logs: the probe's round trip on loopback and its CPU
// cost, timer wake-ups while reachable; the crash reporter's pass over 20 logs
// of 64 KiB (main-thread CPU); the crash handler from the signal to the
// parent seeing the exit, beside the same crash with no handler.
#include "QVBenchStats.h"
#include "QVCrashReporter.h"
#include "QVCrashSignalHandler.h"
#include "QVDemoService.h"
#include "QVNetworkListener.h"
#include "QVServerConnection.h"
#include "QVUserDefaults.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <ctime>
#include <functional>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

double nowMs(clockid_t clock = CLOCK_MONOTONIC)
{
    timespec t {};
    ::clock_gettime(clock, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

double processCpuMs()
{
    rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

bool spinUntil(const std::function<bool()>& done, int timeoutMs = 30000)
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

class QuietSource : public QVNetworkChangeSource
{
public:
    bool start() override { return true; }
    State state() const override { return { true, true, true }; }
};

class TimerCounter : public QObject
{
public:
    int timers = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Timer)
            ++timers;
        return false;
    }
};

// Signal to reaped exit, in ms, for one child that crashes with or without the handler.
double crashOnce(bool withHandler, const QByteArray& folder)
{
    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
        return -1;
    const pid_t pid = ::fork();
    if (pid == 0) {
        const rlimit none { 0, 0 };
        ::setrlimit(RLIMIT_CORE, &none);
        if (withHandler && !QVCrashSignalHandler::install(folder.constData(), "quiv", "bench"))
            ::_exit(2);
        const double at = nowMs();
        [[maybe_unused]] const ssize_t n = ::write(pipeFds[1], &at, sizeof at);
        *static_cast<volatile int*>(nullptr) = 1;
        ::_exit(3);
    }
    ::close(pipeFds[1]);
    double at = 0;
    const ssize_t n = ::read(pipeFds[0], &at, sizeof at);
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    const double ended = nowMs();
    if (n != sizeof at || !WIFSIGNALED(status) || WTERMSIG(status) != SIGSEGV)
        return -1;
    return ended - at;
}

int fail(const char* what)
{
    std::fprintf(stderr, "%s\n", what);
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    // Children are forked before Qt starts any thread.
    QTemporaryDir crashes;
    QList<double> handled;
    QList<double> bare;
    for (int i = 0; i < 30; ++i) {
        handled.append(crashOnce(true, QFile::encodeName(crashes.filePath(QStringLiteral("c%1").arg(i)))));
        bare.append(crashOnce(false, {}));
        if (handled.last() < 0 || bare.last() < 0)
            return fail("a crash did not end by SIGSEGV");
    }

    QApplication app(argc, argv);
    QVDemoService demo;
    if (!demo.start())
        return fail("the demo service did not start");

    // The probe.
    QVNetworkListener listener(std::make_unique<QuietSource>(), {});
    listener.setHostName(demo.baseUrl());
    listener.startListening();
    if (!spinUntil([&] { return !listener.isRunningReachabilityCheck(); }))
        return fail("no answer to the first probe");
    QList<double> roundTrips;
    const double cpuBefore = processCpuMs();
    constexpr int probes = 300;
    for (int i = 0; i < probes; ++i) {
        const double start = nowMs();
        listener.checkIsHostReachable();
        if (!spinUntil([&] { return !listener.isRunningReachabilityCheck(); }))
            return fail("a probe had no answer");
        roundTrips.append(nowMs() - start);
    }
    const double cpuPerProbe = (processCpuMs() - cpuBefore) / probes;
    if (!listener.isHostReachable())
        return fail("the demo service counted as unreachable");
    TimerCounter counter;
    listener.installEventFilter(&counter);
    QTimer::singleShot(2000, &app, [] {});
    spinUntil([] { return false; }, 2000);

    // The reporter.
    QTemporaryDir logs;
    const QByteArray line
        = "#12 0x00007f0000001234 in QVSomething::someMethod(int, QString const&) () at x.cpp:42 & ; + % =\n";
    for (int i = 0; i < 20; ++i) {
        QFile file(logs.filePath(QStringLiteral("quiv-%1.crash").arg(i)));
        file.open(QIODevice::WriteOnly);
        while (file.size() < 64 * 1024)
            file.write(line);
        file.flush();
        file.setFileTime(QDateTime::currentDateTimeUtc().addSecs(i - 100), QFileDevice::FileModificationTime);
    }
    QTemporaryDir settings;
    QVUserDefaults defaults(settings.filePath(QStringLiteral("Quiv.conf")));
    QVServerConnection pool;
    QList<double> passWall;
    QList<double> passMainCpu;
    for (int run = 0; run < 15; ++run) {
        defaults.removeObjectForKey(QStringLiteral("QVCrashReporter.lastCrashSubmissionDate"));
        QVCrashReporter reporter({ logs.path(), QStringLiteral("quiv"), &defaults, &pool, demo.baseUrl() });
        int sent = -1;
        QObject::connect(&reporter, &QVCrashReporter::passEnded, [&](int count, bool) { sent = count; });
        const double wall = nowMs();
        const double cpu = nowMs(CLOCK_THREAD_CPUTIME_ID);
        reporter.run();
        if (!spinUntil([&] { return sent >= 0; }))
            return fail("the reporter's pass did not end");
        passMainCpu.append(nowMs(CLOCK_THREAD_CPUTIME_ID) - cpu);
        passWall.append(nowMs() - wall);
        if (sent != 20)
            return fail("the reporter did not send all 20 logs");
    }

    QVBenchStats::of(roundTrips).print("probe round trip on loopback");
    std::printf("%-44s %.3f ms a probe (process CPU over %d)\n", "probe CPU", cpuPerProbe, probes);
    std::printf("%-44s %d timer events in 2 s, timers active: %s\n", "while reachable, with a change source",
        counter.timers, listener.hasActiveTimer() ? "yes" : "no");
    QVBenchStats::of(passMainCpu).print("reporter pass, 20 x 64 KiB: main-thread CPU");
    QVBenchStats::of(passWall).print("reporter pass, 20 x 64 KiB: wall (uploads)");
    QVBenchStats::of(handled).print("crash handler: signal to exit");
    QVBenchStats::of(bare).print("no handler: signal to exit (baseline)");
    std::printf("%-44s %.2fx\n", "handler / baseline (median)",
        QVBenchStats::of(handled).median / std::max(0.001, QVBenchStats::of(bare).median));
    return 0;
}
