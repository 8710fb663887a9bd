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
#include "QVSheet.h"
#include "QVUserDefaults.h"
#include "QVWebPlaybackService.h"

#include <QEnterEvent>
#include <QMenu>
#include <QTemporaryDir>

namespace {

struct Row {
    QString label;
    int width = 128;
    bool playing = false;
    bool background = false;
    bool hover = false;
    bool menu = false;
};

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
    QVSheetShots shots;
    for (const Row& row : rows) {
        QVFakeWebView page;
        answerSheetPage(page, row.playing ? QVPlayStatePlaying : QVPlayStatePaused, row.playing);
        QVWebPlaybackService service;
        service.setWebView(&page);
        service.webViewFinishedLoading();
        QVMiniPlayerWindow window(nullptr, &defaults, &service);
        window.resize(row.width, 64);
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
        // Rendered on a clear ground, so the round corners show.
        QImage picture(window.size(), QImage::Format_ARGB32_Premultiplied);
        picture.fill(Qt::transparent);
        window.render(&picture, QPoint(), QRegion(), QWidget::DrawChildren);
        if (row.menu) {
            std::unique_ptr<QMenu> menu(view->menu());
            menu->adjustSize();
            picture = besideSheetPicture(picture, menu->grab().toImage());
        }
        shots.append({ row.label, picture });
        window.hide();
    }
    return writeSheet(shots, out);
}
