// Draws the mini player in labelled states into one PNG: quiv-mini-sheet out.png
// (compact, wide and playing, a background window, hovered window buttons, its
// menu open). Each row is a mini player over a playback service whose page
// answers from a table.
#include "QVFaceplateController.h"
#include "QVFakeWebView.h"
#include "QVMiniPlayerView.h"
#include "QVMiniPlayerWindow.h"
#include "QVMiniPlayerWindowButtonsView.h"
#include "QVNowPlayingView.h"
#include "QVUserDefaults.h"
#include "QVWebPlaybackService.h"

#include <QApplication>
#include <QEnterEvent>
#include <QMenu>
#include <QPainter>
#include <QTemporaryDir>

#include <cstdio>

namespace {

struct Row {
    QString label;
    int width = 128;
    bool playing = false;
    bool background = false;
    bool hover = false;
    bool menu = false;
};

void answer(QVFakeWebView& page, bool playing)
{
    page.answers["Q.player != null"] = "true";
    page.answers["Q.player != null && Q.player.playingTrack() != null"] = playing ? "true" : "false";
    page.answers["Q.player.playState()"] = playing ? "1" : "0";
    page.answers["Q.player.volume()"] = "0.7";
    page.answers["Q.player.playingTrack().get('name')"] = "Song for the Sheet";
    page.answers["Q.player.playingTrack().get('artist')"] = "The Demo Ensemble";
    page.answers["Q.player.playingTrack().get('duration')"] = "187";
    page.answers["Q.player.position()"] = "62";
    page.answers["window.Q && Q.player && Q.player.isNotMaster()"] = "false";
    page.answers["window.$ && $('.time').text()"] = "1:02";
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("mini.png");
    QTemporaryDir dir;
    QVUserDefaults defaults(dir.filePath(QStringLiteral("Quiv.conf")));

    const QList<Row> rows = {
        { "Compact, idle" },
        { "Wide, playing", 420, true },
        { "Background window", 420, true, true },
        { "Hovered window buttons", 128, true, false, true },
        { "Its menu open", 420, true, false, false, true },
    };
    const int width = 640;
    const int rowHeight = 64;
    const int labelHeight = 22;
    QImage sheet(width, 12 + rows.size() * (rowHeight + labelHeight + 14), QImage::Format_RGB32);
    sheet.fill(QColor(236, 237, 239));
    QPainter painter(&sheet);
    QFont labelFont = app.font();
    labelFont.setPixelSize(13);
    labelFont.setBold(true);
    painter.setFont(labelFont);

    int y = 12;
    for (const Row& row : rows) {
        QVFakeWebView page;
        answer(page, row.playing);
        QVWebPlaybackService service;
        service.setWebView(&page);
        service.webViewFinishedLoading();
        QVMiniPlayerWindow window(nullptr, &defaults, &service);
        window.resize(row.width, rowHeight);
        window.show();
        QApplication::setActiveWindow(row.background ? nullptr : &window);
        QVMiniPlayerView* view = window.miniPlayerView();
        view->faceplateController()->onPlaybackLoaded();
        for (int i = 0; i < 20; ++i)
            view->nowPlayingView()->_fadeTimerTick();
        if (row.hover) {
            QWidget* buttons = view->windowButtonsView();
            QEnterEvent enter(QPointF(5, 5), QPointF(9, 10), buttons->mapToGlobal(QPointF(5, 5)));
            QApplication::sendEvent(buttons, &enter);
        }
        QCoreApplication::processEvents();
        if (QWidget* focus = QApplication::focusWidget())
            focus->clearFocus();

        painter.setPen(QColor(40, 40, 44));
        painter.drawText(QPoint(12, y + 15), row.label);
        y += labelHeight;
        // Rendered on a clear ground, so the round corners show.
        QImage picture(window.size(), QImage::Format_ARGB32_Premultiplied);
        picture.fill(Qt::transparent);
        window.render(&picture, QPoint(), QRegion(), QWidget::DrawChildren);
        painter.drawImage(QPoint(12, y), picture);
        if (row.menu) {
            std::unique_ptr<QMenu> menu(view->menu());
            menu->adjustSize();
            const QImage image = menu->grab().toImage();
            const QPoint at(row.width + 30, y);
            painter.fillRect(QRect(at + QPoint(3, 3), image.size()), QColor(0, 0, 0, 60));
            painter.drawImage(at, image);
        }
        y += rowHeight + 14;
        window.hide();
    }
    painter.end();
    if (!sheet.save(out)) {
        std::fprintf(stderr, "could not write %s\n", qPrintable(out));
        return 1;
    }
    std::printf("wrote %s\n", qPrintable(out));
    return 0;
}
