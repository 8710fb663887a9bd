#pragma once

#include <QList>
#include <QString>

#include <optional>

// What the matcher reads of one library track. A field is absent when the
// library has no such key or it is not a string; an empty string is present.
// Repeated artist and album texts of one library share one string.
struct QVITunesTrack {
    std::optional<QString> artist;
    std::optional<QString> album;
    std::optional<QString> name;
};

// A playlist of the library: its name and the identifiers of its tracks.
struct QVITunesPlaylist {
    QString name;
    QList<qint64> trackIDs;
};
