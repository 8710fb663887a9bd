// Cold start of the client to the page's initialisation, and the memory of
// the client with its web engine processes once the page has settled; the
// baseline is a bare Qt WebEngine view loading the same page, in the same run.
#include "QVBenchStats.h"
#include "QVTestEnvironment.h"
#include "QVTestWait.h"
#include "QVDemoService.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEngineView>

#include <csignal>
#include <cstdio>

namespace {

// The bare view, when this program runs as its own baseline.
int runBareView(int argc, char** argv, const QString& url)
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QWebEngineView view;
    view.resize(1100, 720);
    view.show();
    QObject::connect(&view, &QWebEngineView::loadFinished, [](bool) {
        std::fprintf(stderr, "bare view loaded\n");
        std::fflush(stderr);
    });
    view.load(QUrl(url));
    return app.exec();
}

// Proportional set size of a process and all its descendants, in MiB.
double treePss(qint64 root)
{
    QMap<qint64, qint64> parents;
    for (const QString& entry : QDir("/proc").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool ok = false;
        const qint64 pid = entry.toLongLong(&ok);
        if (!ok)
            continue;
        QFile stat("/proc/" + entry + "/stat");
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray text = stat.read(4096);
        const qsizetype close = text.lastIndexOf(')');
        const QList<QByteArray> fields = text.mid(close + 2).split(' ');
        if (fields.size() > 1)
            parents.insert(pid, fields.at(1).toLongLong());
    }
    double kib = 0;
    for (auto it = parents.begin(); it != parents.end(); ++it) {
        qint64 pid = it.key();
        int depth = 0;
        while (pid != root && pid > 1 && depth++ < 16)
            pid = parents.value(pid, 0);
        if (pid != root)
            continue;
        QFile smaps(QStringLiteral("/proc/%1/smaps_rollup").arg(it.key()));
        if (!smaps.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray& line : smaps.readAll().split('\n'))
            if (line.startsWith("Pss:"))
                kib += line.mid(4).trimmed().split(' ').first().toDouble();
    }
    return kib / 1024.0;
}

struct Run {
    double startMs = -1;
    double pssMiB = 0;
};

// Starts a program, waits for `marker` on its standard error, lets the page
// settle, measures, then ends it.
Run measure(const QString& program, const QStringList& arguments, const QProcessEnvironment& environment,
            const QByteArray& marker, int settleMs)
{
    Run run;
    QProcess process;
    process.setProcessEnvironment(environment);
    QElapsedTimer clock;
    clock.start();
    process.start(program, arguments);
    if (!process.waitForStarted(5000))
        return run;
    QByteArray log;
    while (clock.elapsed() < 30000 && process.state() == QProcess::Running) {
        process.waitForReadyRead(5);
        log += process.readAllStandardError();
        if (log.contains(marker)) {
            run.startMs = double(clock.nsecsElapsed()) / 1e6;
            break;
        }
    }
    if (run.startMs >= 0) {
        QTest::qWait(settleMs);
        run.pssMiB = treePss(process.processId());
    }
    ::kill(pid_t(process.processId()), SIGTERM);
    if (!process.waitForFinished(10000))
        process.kill();
    return run;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc > 2 && QByteArray(argv[1]) == "--bare")
        return runBareView(argc, argv, QString::fromLocal8Bit(argv[2]));

    QVPrepareTestEnvironment();
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(3, atoi(argv[1])) : 7;

    QVDemoService demo;
    if (!demo.start()) {
        std::fprintf(stderr, "demo service: %s\n", qPrintable(demo.errorString()));
        return 1;
    }
    QList<double> clientStart, bareStart, clientPss, barePss;
    for (int i = 0; i < runs; ++i) {
        // A fresh profile each time: a cold start.
        QTemporaryDir home;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME"})
            environment.insert(name, home.filePath(name));
        environment.insert("QUIV_USE_LOCALHOST", "1");
        environment.insert("QUIV_DEVELOPER_HOST", demo.hostAndPort());

        // The page reports its user right after it initialised.
        const Run client = measure(QStringLiteral(QUIV_BINARY_PATH), {}, environment, "User id changed!", 3000);
        const Run bare = measure(QCoreApplication::applicationFilePath(), {"--bare", demo.baseUrl() + "/"},
                                 environment, "bare view loaded", 3000);
        if (client.startMs < 0 || bare.startMs < 0) {
            std::fprintf(stderr, "a run did not reach its page\n");
            return 1;
        }
        clientStart << client.startMs;
        bareStart << bare.startMs;
        clientPss << client.pssMiB;
        barePss << bare.pssMiB;
    }
    std::printf("cold start and memory against the demo service (%d runs each)\n", runs);
    const QVBenchStats cs = QVBenchStats::of(clientStart), bs = QVBenchStats::of(bareStart);
    cs.print("client: start to page initialised");
    bs.print("bare view: start to page loaded (baseline)");
    std::printf("%-44s median %.2fx\n", "client / baseline", cs.median / bs.median);
    const QVBenchStats cm = QVBenchStats::of(clientPss), bm = QVBenchStats::of(barePss);
    cm.print("client: PSS with engine processes", "MiB");
    bm.print("bare view: PSS with engine processes", "MiB");
    std::printf("%-44s median %.2fx\n", "client / baseline", cm.median / bm.median);
    return 0;
}
