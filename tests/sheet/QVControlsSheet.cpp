// The faceplate in labelled states in one PNG: quiv-controls-sheet out.png.
// Each row's page answers from a table that sets the state shown.
#include "QVAlbumArtHandler.h"
#include "QVFaceplateController.h"
#include "QVFaceplateView.h"
#include "QVFakeWebView.h"
#include "QVNowPlayingView.h"
#include "QVRadioStationPopupMenuButtton.h"
#include "QVSheet.h"
#include "QVWebPlaybackService.h"

#include <QMenu>

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

// A cover of two halves, so the art's placing shows.
QImage coverArt()
{
    QImage image(200, 200, QImage::Format_RGB32);
    image.fill(QColor(230, 120, 40));
    QPainter(&image).fillRect(QRect(0, 100, 200, 100), QColor(120, 30, 110));
    return image;
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

    QVSheetShots shots;
    for (const Row& row : rows) {
        QVFakeWebView page;
        answerSheetPage(page, row.state, row.track, row.station, row.elapsed);
        QVWebPlaybackService service;
        service.setWebView(&page);
        service.webViewFinishedLoading();
        if (row.muted)
            service.playerScriptObject()->setIsMuted(true);

        QVFaceplateView faceplate(
            QVFaceplateView::Kind::Main, nullptr, nullptr, &service, service.albumArtHandler());
        faceplate.resize(736, 60);
        if (row.track)
            faceplate.nowPlayingView()->onAlbumArtAvailable(coverArt());
        faceplate.show();
        QApplication::setActiveWindow(row.background ? nullptr : &faceplate);
        faceplate.controller()->onPlaybackLoaded();
        if (row.station)
            faceplate.controller()->onRadioStationChanged(QVariantMap { { "key", "s3" } });
        if (row.muted)
            faceplate.controller()->playbackMuteChanged(true);
        // Let a fade run to its end and stripes move a little.
        for (int i = 0; i < 20; ++i)
            faceplate.nowPlayingView()->_fadeTimerTick();
        QCoreApplication::processEvents();
        // Activation hands the focus to the first control; the sheet shows the pointer's look.
        if (QWidget* focus = QApplication::focusWidget())
            focus->clearFocus();
        QImage picture = faceplate.grab().toImage();
        if (row.menu) {
            if (QMenu* menu = faceplate.radioButton()->buildMenu()) {
                menu->adjustSize();
                picture = besideSheetPicture(picture, menu->grab().toImage());
            }
        }
        shots.append({ row.label, picture });
        faceplate.hide();
    }
    return writeSheet(shots, out);
}
