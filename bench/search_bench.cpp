// The search field: from an answer's arrival to the list painted, for a full
// answer (a top hit and five groups of five), and a typing burst against the
// demo service answering slowly: requests started, aborted and lists shown.
#include "QVAlbumArtHandler.h"
#include "QVBenchStats.h"
#include "QVDemoService.h"
#include "QVFakeWebView.h"
#include "QVNotificationCenter.h"
#include "QVSearchField.h"
#include "QVSearchTableView.h"
#include "QVSearchWindow.h"
#include "QVServerConnection.h"
#include "QVTestEnvironment.h"
#include "QVTestWait.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTemporaryDir>
#include <QUrlQuery>

#include <cstdio>

namespace {

QByteArray fullAnswer(int variant)
{
    QJsonObject answer { { "top",
        QJsonObject { { "type", "r" }, { "id", 1 }, { "name", QString("Top hit %1").arg(variant) },
            { "url", "/artist/r1/" } } } };
    const char* keys[] = { "r", "a", "t", "p", "s" };
    int id = 0;
    for (const char* key : keys) {
        QJsonArray group;
        for (int i = 0; i < 5; ++i, ++id) {
            QJsonObject item { { "type", key }, { "id", id },
                { "name", QString("%1 %2 %3").arg(key).arg(i).arg(variant) },
                { "url", QString("/x/%1/").arg(id) } };
            if (QByteArray(key) == "a" || QByteArray(key) == "t")
                item.insert("artist", "Some Artist");
            if (QByteArray(key) == "a")
                item.insert("baseIcon", QString("a1%1").arg(1 + i % 4));
            if (QByteArray(key) == "s")
                item.insert("canUnfollow", i % 2 == 0);
            group.append(item);
        }
        answer.insert(key, group);
    }
    return QJsonDocument(answer).toJson(QJsonDocument::Compact);
}

bool setSuggestionDelay(const QVDemoService& demo, int ms)
{
    QNetworkAccessManager network;
    QNetworkRequest request(QUrl(demo.baseUrl() + "/api/demo/control"));
    request.setHeader(QNetworkRequest::ContentTypeHeader, "application/x-www-form-urlencoded");
    QUrlQuery form;
    form.addQueryItem("call", "groupedSearchSuggestions");
    form.addQueryItem("mode", ms > 0 ? QString("delay:%1").arg(ms) : QString("ok"));
    QNetworkReply* reply = network.post(request, form.query(QUrl::FullyEncoded).toUtf8());
    QVWaitUntil([&] { return reply->isFinished(); }, 5000);
    const bool ok = reply->error() == QNetworkReply::NoError;
    delete reply;
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    QVPrepareTestEnvironment();
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(10, atoi(argv[1])) : 200;

    QVDemoService demo;
    if (!demo.start()) {
        std::fprintf(stderr, "demo service: %s\n", qPrintable(demo.errorString()));
        return 1;
    }
    QVNotificationCenter center;
    QVFakeWebView page;
    page.answers["window.Q && Q.serverInfo && Q.serverInfo.get('is_address')"]
        = demo.baseUrl() + "/images/art";
    for (int id = 0; id < 25; id += 2) {
        page.answers[QString("Q.Library.contains('t', [%1])").arg(id)] = "true";
        page.answers[QString("Q.Library.contains('a', [%1])").arg(id)] = "true";
    }
    QVWebPlaybackService playback(QVWebPlaybackService::Services { &center });
    playback.setWebView(&page);
    QTemporaryDir cache;
    QVServerConnection pool;
    QVAlbumArtHandler::Services artServices;
    artServices.notificationCenter = &center;
    artServices.serverConnection = &pool;
    artServices.cacheDirectory = cache.path();
    artServices.cleanupDelayMs = -1;
    QVAlbumArtHandler art(&playback, artServices);

    QVSearchField::Services services;
    services.notificationCenter = &center;
    services.baseURL = demo.baseUrl();
    services.albumArtHandler = &art;
    services.collectionReader = [&](const QList<unsigned int>& tracks, const QList<unsigned int>& albums) {
        return QVWebPlaybackService::readCollectionMembership(&page, tracks, albums);
    };
    QWidget host;
    host.resize(900, 700);
    auto* field = new QVSearchField(&host, services);
    field->move(680, 8);
    field->setWebView(&page);
    host.show();

    // Warm the art cache: the albums' art then arrives with the list, as after a first search.
    field->_connectionDidFinishLoading(fullAnswer(0));
    QVWaitUntil([&] { return art.pendingAlbumArtRequestCount() == 0; }, 10000);

    QList<double> samples;
    QList<double> building;
    QList<double> painting;
    for (int i = 0; i < runs; ++i) {
        const QByteArray body = fullAnswer(i);
        QElapsedTimer clock;
        clock.start();
        field->_connectionDidFinishLoading(body);
        const qint64 built = clock.nsecsElapsed();
        field->searchWindow()->repaint();
        const qint64 painted = clock.nsecsElapsed();
        samples.append(double(painted) / 1e6);
        building.append(double(built) / 1e6);
        painting.append(double(painted - built) / 1e6);
        QCoreApplication::processEvents();
    }
    std::printf("search_bench: %d answers of 27 rows (top hit, five groups of five)\n", runs);
    QVBenchStats::of(samples).print("answer arrival to list painted");
    QVBenchStats::of(building).print("  of which: list built and shown");
    QVBenchStats::of(painting).print("  of which: window painted");

    // Typing: one key every `gap` ms against answers taking 600 ms.
    if (!setSuggestionDelay(demo, 600)) {
        std::fprintf(stderr, "could not slow the demo service\n");
        return 1;
    }
    for (const int gap : { 50, 200, 400 }) {
        field->hideSearchWindow();
        field->clear();
        QVWaitUntil([] { return false; }, 800); // let earlier answers drain
        const QVSearchField::Statistics before = field->statistics();
        int mostInFlight = 0;
        for (const QChar c : QString("lanterns")) {
            QTest::keyClick(field, c.toLatin1());
            QElapsedTimer clock;
            clock.start();
            while (clock.elapsed() < gap) {
                int running = 0;
                for (QNetworkReply* reply : field->findChildren<QNetworkReply*>())
                    running += reply->isRunning() ? 1 : 0;
                mostInFlight = std::max(mostInFlight, running);
                QTest::qWait(2);
            }
        }
        QVWaitUntil([&] { return field->statistics().listsShown > before.listsShown; }, 5000);
        const QVSearchField::Statistics after = field->statistics();
        std::printf(
            "typing 8 keys %3d ms apart, answers in 600 ms: requests started %d, aborted %d, lists shown %d, "
            "most in flight %d, last list for \"%s\"\n",
            gap, after.requestsStarted - before.requestsStarted,
            after.requestsAborted - before.requestsAborted, after.listsShown - before.listsShown,
            mostInFlight,
            field->suggestions().size() > 1 ? qPrintable(field->suggestions().at(1)->title()) : "");
    }
    setSuggestionDelay(demo, 0);
    delete field;
    return 0;
}
