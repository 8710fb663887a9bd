#pragma once

#include "QVFakeWebView.h"
#include "QVPlayState.h"

#include <QApplication>
#include <QImage>
#include <QPainter>

#include <cstdio>

// Labelled pictures stacked into one PNG, for the screenshot sheets.
using QVSheetShots = QList<std::pair<QString, QImage>>;

// `picture` with `side` to its right, as an open menu beside its owner.
inline QImage besideSheetPicture(const QImage& picture, const QImage& side)
{
    QImage both(picture.width() + 16 + side.width(), qMax(picture.height(), side.height()),
        QImage::Format_ARGB32_Premultiplied);
    both.fill(Qt::transparent);
    QPainter painter(&both);
    painter.drawImage(0, 0, picture);
    painter.drawImage(picture.width() + 16, 0, side);
    return both;
}

inline int writeSheet(const QVSheetShots& shots, const QString& path)
{
    int width = 0;
    int height = 16;
    for (const auto& [label, image] : shots) {
        width = qMax(width, int(image.deviceIndependentSize().width()) + 24);
        height += 36 + int(image.deviceIndependentSize().height());
    }
    QImage sheet(width, height, QImage::Format_RGB32);
    sheet.fill(QColor(236, 237, 239));
    QPainter painter(&sheet);
    QFont font = QApplication::font();
    font.setPixelSize(13);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(QColor(40, 40, 44));
    int y = 16;
    for (const auto& [label, image] : shots) {
        painter.drawText(QPoint(12, y + 15), label);
        painter.drawImage(QPoint(12, y + 22), image);
        y += 36 + int(image.deviceIndependentSize().height());
    }
    painter.end();
    if (!sheet.save(path)) {
        std::fprintf(stderr, "could not write %s\n", qPrintable(path));
        return 1;
    }
    std::printf("wrote %s\n", qPrintable(path));
    return 0;
}

// A page whose player is in `state`, with a track or a station when asked.
inline void answerSheetPage(QVFakeWebView& page, QVPlayState state, bool track, bool station = false,
    const QString& elapsed = QStringLiteral("1:02"))
{
    page.answers["Q.player != null"] = "true";
    page.answers["Q.player != null && Q.player.playingTrack() != null"] = track ? "true" : "false";
    page.answers["Q.player.playState()"] = QString::number(int(state) - 1);
    page.answers["Q.player.repeat()"] = "2";
    page.answers["Q.player.volume()"] = "0.7";
    page.answers["Q.player.shuffle()"] = "true";
    page.answers["Q.player.playingTrack().get('name')"] = station ? "Night Drive" : "Song for the Sheet";
    page.answers["Q.player.playingTrack().get('artist')"] = "The Demo Ensemble";
    page.answers["Q.player.playingTrack().get('album')"] = "Album";
    page.answers["Q.player.playingTrack().get('duration')"] = "187";
    page.answers["Q.player.position()"] = "62";
    page.answers["window.Q && Q.player && Q.player.isNotMaster()"] = "false";
    page.answers
        ["Q.player != null && Q.player.playingTrack() != null && Q.isStation(Q.player.playingSource())"]
        = station ? "true" : "false";
    page.answers["window.$ && $('.time').text()"] = elapsed;
    page.answers["JSON.stringify(Q.stationList)"]
        = R"([{"key":"s1","name":"Indie Quiv Station"},{"key":"s2","name":"Jazz & Soul Quiv Station"},)"
          R"({"key":"s3","name":"Night Drive Quiv Station"},{"key":"s4","name":"Classical Quiv Station"}])";
}
