// Draws the faceplate in labelled states into one PNG, so that anyone can look
// at the controls without a service: quiv-controls-sheet out.png
//
// Each row is a faceplate over its own playback service, whose page answers
// from a table that sets the state shown.
#include "QVAlbumArtHandler.h"
#include "QVFaceplateController.h"
#include "QVFaceplateView.h"
#include "QVFakeWebView.h"
#include "QVNowPlayingView.h"
#include "QVRadioStationPopupMenuButtton.h"
#include "QVWebPlaybackService.h"

#include <QApplication>
#include <QMenu>
#include <QPainter>

#include <algorithm>
#include <cstdio>
#include <memory>

namespace {

struct Row {
    QString label;
    QVPlayState state = QVPlayStateUnknown;
    bool track = false;
    bool station = false;
    bool menu = false;
    bool muted = false;
    bool background = false;
    QString elapsed = QStringLiteral("1:02");
};

QImage coverArt()
{
    QImage image(200, 200, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&image);
    QLinearGradient gradient(0, 0, 200, 200);
    gradient.setColorAt(0, QColor(230, 120, 40));
    gradient.setColorAt(1, QColor(120, 30, 110));
    painter.fillRect(image.rect(), gradient);
    painter.setPen(QPen(QColor(255, 255, 255, 160), 10));
    painter.drawEllipse(QPoint(100, 100), 60, 60);
    return image;
}

void answer(QVFakeWebView& page, const Row& row)
{
    page.answers["Q.player != null"] = "true";
    page.answers["Q.player != null && Q.player.playingTrack() != null"] = row.track ? "true" : "false";
    page.answers["Q.player.playState()"] = QString::number(int(row.state) - 1);
    page.answers["Q.player.repeat()"] = "2";
    page.answers["Q.player.volume()"] = "0.7";
    page.answers["Q.player.shuffle()"] = "true";
    page.answers["Q.player.playingTrack().get('name')"] = row.station ? "Night Drive" : "Song for the Sheet";
    page.answers["Q.player.playingTrack().get('artist')"] = "The Demo Ensemble";
    page.answers["Q.player.playingTrack().get('album')"] = "Album";
    page.answers["Q.player.playingTrack().get('duration')"] = "187";
    page.answers["window.Q && Q.player && Q.player.isNotMaster()"] = "false";
    page.answers
        ["Q.player != null && Q.player.playingTrack() != null && Q.isStation(Q.player.playingSource())"]
        = row.station ? "true" : "false";
    page.answers["window.$ && $('.time').text()"] = row.elapsed;
    page.answers["JSON.stringify(Q.stationList)"]
        = R"([{"key":"s1","name":"Indie Quiv Station"},{"key":"s2","name":"Jazz & Soul Quiv Station"},)"
          R"({"key":"s3","name":"Night Drive Quiv Station"},{"key":"s4","name":"Classical Quiv Station"}])";
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("controls.png");

    const QList<Row> rows = {
        { "Idle: nothing played yet, the logo shows", QVPlayStateUnknown, false },
        { "Playing, with art and times", QVPlayStatePlaying, true },
        { "Buffering: the position stripes move", QVPlayStateBuffering, true, false, false, false, false,
            "" },
        { "A station plays, its menu open", QVPlayStatePlaying, true, true, true },
        { "Muted", QVPlayStatePaused, true, false, false, true },
        { "Background window: fills and toggles fade", QVPlayStatePlaying, true, false, false, false, true },
    };

    const int width = 760;
    const int rowHeight = 60;
    const int labelHeight = 22;
    const int menuRoom = 16;
    QImage sheet(width, 16 + rows.size() * (rowHeight + labelHeight + 14) + menuRoom, QImage::Format_RGB32);
    sheet.fill(QColor(236, 237, 239));
    QPainter painter(&sheet);
    QFont labelFont = app.font();
    labelFont.setPixelSize(13);
    labelFont.setBold(true);
    painter.setFont(labelFont);

    int y = 12;
    QImage openMenu;
    QPoint openMenuAt;
    for (const Row& row : rows) {
        QVFakeWebView page;
        answer(page, row);
        QVWebPlaybackService service;
        service.setWebView(&page);
        service.webViewFinishedLoading();
        if (row.muted)
            service.playerScriptObject()->setIsMuted(true);

        QVFaceplateView faceplate(
            QVFaceplateView::Kind::Main, nullptr, nullptr, &service, service.albumArtHandler());
        faceplate.resize(width - 24, rowHeight);
        if (row.track)
            faceplate.nowPlayingView()->onAlbumArtAvailable(coverArt());
        faceplate.show();
        QApplication::setActiveWindow(row.background ? nullptr : &faceplate);
        faceplate.controller()->onPlaybackLoaded();
        if (row.station) {
            faceplate.controller()->onRadioStationChanged(QVariantMap { { "key", "s3" } });
        }
        if (row.muted)
            faceplate.controller()->playbackMuteChanged(true);
        // Let a fade run to its end and stripes move a little.
        for (int i = 0; i < 20; ++i)
            faceplate.nowPlayingView()->_fadeTimerTick();
        QCoreApplication::processEvents();
        // Activation hands the focus to the first control; the sheet shows the pointer's look.
        if (QWidget* focus = QApplication::focusWidget())
            focus->clearFocus();

        painter.setPen(QColor(40, 40, 44));
        painter.drawText(QPoint(12, y + 15), row.label);
        y += labelHeight;
        painter.drawImage(QPoint(12, y), faceplate.grab().toImage());
        if (row.menu) {
            if (QMenu* menu = faceplate.radioButton()->buildMenu()) {
                menu->adjustSize();
                openMenu = menu->grab().toImage();
                openMenuAt = QPoint(12, y) + faceplate.radioButton()->geometry().bottomLeft() + QPoint(0, 5);
            }
        }
        y += rowHeight + 14;
        faceplate.hide();
    }
    if (!openMenu.isNull()) {
        openMenuAt.setX(std::min(openMenuAt.x(), width - openMenu.width() - 8));
        painter.fillRect(QRect(openMenuAt + QPoint(3, 3), openMenu.size()), QColor(0, 0, 0, 60));
        painter.drawImage(openMenuAt, openMenu);
    }
    painter.end();
    if (!sheet.save(out)) {
        std::fprintf(stderr, "could not write %s\n", qPrintable(out));
        return 1;
    }
    std::printf("wrote %s\n", qPrintable(out));
    return 0;
}
