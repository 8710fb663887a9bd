// Demo service, library matching: one bulkAddToLibrary call with a library of
// 49 tracks (form-encoded JSON, as the client posts it), parsed and answered.
// Timed over loopback HTTP against the quiv-demo-service binary, a connection
// per request as the client's request pool makes them (a kept-alive one would
// time the 40 ms of Nagle against delayed acknowledgements instead), beside
// the reachability image fetched the same way, so the part that is HTTP alone
// can be told apart; and against a baseline build of the service when given.
#include "QVBenchStats.h"
#include "QVDemoService.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>

#include <httplib.h>

#include <cstdio>
#include <memory>
#include <vector>

namespace {

int fail(const char* what)
{
    std::fprintf(stderr, "%s\n", what);
    return 1;
}

// The twelve catalogue tracks under their artists and albums, in mixed case,
// and 37 tracks the catalogue does not have, some with non-ASCII names.
QJsonObject libraryOf49Tracks()
{
    QJsonObject library {
        { QStringLiteral("The Paper Lanterns"),
            QJsonObject { { QStringLiteral("Harbour Lights"),
                              QJsonArray { QStringLiteral("Lanterns on the Water"),
                                  QStringLiteral("PIER AT MIDNIGHT"), QStringLiteral("saltwind") } },
                { QStringLiteral("Small Rooms"),
                    QJsonArray { QStringLiteral("Kitchen Radio"), QStringLiteral("Stairwell Echo"),
                        QStringLiteral("Paper Walls") } } } },
        { QStringLiteral("mira okafor"),
            QJsonObject { { QStringLiteral("Blue Hour Sessions"),
                QJsonArray { QStringLiteral("Blue Hour"), QStringLiteral("Smoke & Brass"),
                    QStringLiteral("Quiet Avenue") } } } },
        { QStringLiteral("Northbound Static"),
            QJsonObject { { QStringLiteral("Signal Drift"),
                QJsonArray { QStringLiteral("Carrier Wave"), QStringLiteral("Low Orbit"),
                    QStringLiteral("Static Bloom") } } } },
    };
    for (int artist = 0; artist < 4; ++artist) {
        QJsonObject albums;
        for (int album = 0; album < 3; ++album) {
            QJsonArray songs;
            for (int song = 0; song < 3 + (artist == 0 && album == 0); ++song)
                songs.append(QStringLiteral("Søng %1 – \"%2\" & más 🎸").arg(song + 1).arg(album));
            albums.insert(QStringLiteral("Album %1 (Ünïcødé)").arg(album + 1), songs);
        }
        library.insert(QStringLiteral("Artist %1 / Ärtist").arg(artist + 1), albums);
    }
    return library;
}

// One service binary's samples, in milliseconds.
struct Timed {
    QString program;
    std::unique_ptr<QVDemoService> service;
    std::unique_ptr<httplib::Client> client;
    QList<double> library;
    QList<double> pixel;
    QList<double> difference; // of each round's pair
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(100, atoi(argv[1])) : 2000;
    const int warmUp = std::max(20, rounds / 20);

    const QByteArray data = QJsonDocument(libraryOf49Tracks()).toJson(QJsonDocument::Compact);
    const std::string body = "data=" + QUrl::toPercentEncoding(QString::fromUtf8(data)).toStdString();

    // QUIV_DEMO_SERVICE_BASELINE names another build of the service (an older
    // commit's) to time in the same run, a request of each in turn, so both
    // see the same load on the machine.
    std::vector<Timed> timed;
    for (const char* variable : { "QUIV_DEMO_SERVICE", "QUIV_DEMO_SERVICE_BASELINE" }) {
        const QString program = qEnvironmentVariable(variable);
        if (program.isEmpty())
            continue;
        qputenv("QUIV_DEMO_SERVICE", program.toUtf8());
        Timed entry { program, std::make_unique<QVDemoService>(), nullptr, {}, {}, {} };
        if (!entry.service->start())
            return fail(qPrintable(QStringLiteral("demo service: ") + entry.service->errorString()));
        entry.client = std::make_unique<httplib::Client>("127.0.0.1", entry.service->port());
        entry.client->set_tcp_nodelay(true);
        timed.push_back(std::move(entry));
    }
    if (timed.empty())
        return fail("QUIV_DEMO_SERVICE names no service");

    // The answer is checked every time, so a refusal cannot pass for speed.
    QElapsedTimer clock;
    for (int round = 0; round < warmUp + rounds; ++round) {
        for (Timed& entry : timed) {
            clock.start();
            const auto answer = entry.client->Post(
                "/api/json/bulkAddToLibrary/", body, "application/x-www-form-urlencoded");
            const double libraryMs = double(clock.nsecsElapsed()) / 1e6;
            if (!answer || answer->status != 200)
                return fail("bulkAddToLibrary was not answered with 200");
            const QJsonObject json
                = QJsonDocument::fromJson(QByteArray::fromStdString(answer->body)).object();
            if (json.value(QStringLiteral("found")).toInt() != 12
                || json.value(QStringLiteral("albums")).toArray().size() != 4)
                return fail("bulkAddToLibrary did not find the twelve catalogue tracks");

            clock.start();
            const auto gif = entry.client->Get("/media/images/trans.gif");
            const double pixelMs = double(clock.nsecsElapsed()) / 1e6;
            if (!gif || gif->status != 200)
                return fail("the reachability image was not answered");
            if (round >= warmUp) {
                entry.library << libraryMs;
                entry.pixel << pixelMs;
                entry.difference << libraryMs - pixelMs;
            }
        }
    }

    int tracks = 0;
    for (const auto& albums : libraryOf49Tracks())
        for (const auto& songs : albums.toObject())
            tracks += int(songs.toArray().size());
    std::printf("demo service over loopback HTTP, a connection per request (%d rounds)\n", rounds);
    std::printf("bulkAddToLibrary body: %d tracks, %zu bytes form-encoded\n", tracks, body.size());
    for (const Timed& entry : timed) {
        std::printf("%s%s\n", &entry == &timed.front() ? "" : "baseline: ", qPrintable(entry.program));
        QVBenchStats::of(entry.library).print("bulkAddToLibrary, 49 tracks, parsed+answered");
        QVBenchStats::of(entry.pixel).print("GET trans.gif, the same way (HTTP alone)");
        QVBenchStats::of(entry.difference).print("bulkAddToLibrary less the HTTP alone");
    }
    if (timed.size() == 2) {
        const auto ratio = [&](const char* label, QList<double> Timed::*samples) {
            const QVBenchStats now = QVBenchStats::of(timed[0].*samples);
            const QVBenchStats before = QVBenchStats::of(timed[1].*samples);
            std::printf(
                "%-44s median %.2fx   p95 %.2fx\n", label, now.median / before.median, now.p95 / before.p95);
        };
        ratio("over the baseline, whole call", &Timed::library);
        ratio("over the baseline, less the HTTP alone", &Timed::difference);
    }
    return 0;
}
