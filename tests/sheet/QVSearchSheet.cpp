// The search field with its suggestion list open, answered by the demo
// service, written as a PNG (scripts/screenshot --search FILE).
#include "QVAlbumArtHandler.h"
#include "QVDemoService.h"
#include "QVFakeWebView.h"
#include "QVNotificationCenter.h"
#include "QVSearchField.h"
#include "QVSearchTableView.h"
#include "QVSearchWindow.h"
#include "QVServerConnection.h"
#include "QVTestWait.h"

#include <QApplication>
#include <QPainter>
#include <QTemporaryDir>

#include <cstdio>

namespace {

// A stand-in for the player window: the title bar strip and a page under it.
class Backdrop : public QWidget
{
protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), QColor(0xf4, 0xf5, 0xf6));
        painter.fillRect(QRect(0, 0, width(), 35), QColor(0x2c, 0x2e, 0x31));
        painter.setPen(QColor(0x9a, 0x9d, 0xa1));
        painter.drawText(QRect(20, 60, width() - 40, 30), Qt::AlignLeft, QStringLiteral("(the page)"));
    }
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: quiv-search-sheet FILE [QUERY]\n");
        return 2;
    }
    const QString query = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("ar");
    QVDemoService demo;
    if (!demo.start()) {
        std::fprintf(stderr, "demo service: %s\n", qPrintable(demo.errorString()));
        return 1;
    }
    QVNotificationCenter center;
    QVFakeWebView page;
    page.answers["window.Q && Q.serverInfo && Q.serverInfo.get('is_address')"]
        = demo.baseUrl() + "/images/art";
    QVWebPlaybackService playback(QVWebPlaybackService::Services { &center });
    playback.setWebView(&page);
    QTemporaryDir cache;
    QVServerConnection pool;
    QVAlbumArtHandler::Services artServices { &center, &pool, cache.path(), -1 };
    QVAlbumArtHandler art(&playback, artServices);

    QVSearchField::Services services;
    services.notificationCenter = &center;
    services.baseURL = demo.baseUrl();
    services.albumArtHandler = &art;
    // Every other song and album in the collection, to show the marks.
    services.collectionReader = [](const QList<unsigned int>& tracks, const QList<unsigned int>& albums) {
        QVWebPlaybackService::CollectionMembership marks;
        for (const unsigned int id : tracks)
            marks.tracks.append(id % 2 == 1);
        for (const unsigned int id : albums)
            marks.albums.append(id % 2 == 1);
        return marks;
    };
    Backdrop window;
    window.resize(760, 560);
    auto* titlebar = new QWidget(&window);
    titlebar->setGeometry(0, 0, window.width(), 35);
    auto* field = new QVSearchField(titlebar, services);
    field->pinToParentRightEdge(28);
    window.show();
    field->setFocus();
    field->setText(query);
    field->_startSearchRequest(query);
    if (!QVWaitUntil([&] { return field->isSearchWindowVisible(); }, 10000)) {
        std::fprintf(stderr, "no suggestions arrived\n");
        return 1;
    }
    QVWaitUntil([&] { return art.pendingAlbumArtRequestCount() == 0; }, 5000);
    QTest::qWait(200);
    // Hover the second row, as a pointer resting on the list would.
    field->searchWindow()->tableView()->setMouseOverRow(2);
    QTest::qWait(50);
    if (!window.grab().save(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "could not write %s\n", argv[1]);
        return 1;
    }
    std::printf(
        "wrote %s: %d rows for \"%s\"\n", argv[1], int(field->suggestions().size()), qPrintable(query));
    return 0;
}
