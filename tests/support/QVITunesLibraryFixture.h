#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <QStringList>

// Writes iTunes-style XML libraries for tests and benchmarks: about twenty
// keys a track in varying order, playlists, non-ASCII names, and artists with
// anywhere from one to a hundred and twenty tracks.
class QVITunesLibraryFixture
{
public:
    struct Track {
        QString artist;
        QString album;
        QString name;
    };

    // The track `index` of a generated library.
    static Track track(int index)
    {
        const int artist = artistOf(index);
        return { QStringLiteral("Artíst %1 ñ").arg(artist),
            QStringLiteral("Albüm %1-%2").arg(artist).arg(index % 3),
            QStringLiteral("Sóng %1 «%2»").arg(index).arg(index % 7) };
    }
    // Runs of tracks share an artist; run lengths cycle through 1 to 120.
    static int artistOf(int index)
    {
        static const int lengths[] = { 3, 12, 1, 49, 50, 7, 120, 20, 2, 33 };
        constexpr int cycle = 297; // the lengths' sum
        int artist = index / cycle * 10;
        for (int first = index / cycle * cycle;; ++artist) {
            const int length = lengths[artist % 10];
            if (index < first + length)
                return artist;
            first += length;
        }
    }
    static QByteArray escaped(const QString& text) { return text.toHtmlEscaped().toUtf8(); }

    static void write(QIODevice* out, int trackCount, int playlistCount = 3)
    {
        out->write(
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST "
            "1.0//EN\" \"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n<plist version=\"1.0\">\n<dict>\n"
            "\t<key>Major Version</key><integer>1</integer>\n\t<key>Minor Version</key><integer>1</integer>\n"
            "\t<key>Application Version</key><string>12.9.5.5</string>\n"
            "\t<key>Music Folder</key><string>file:///Users/r/Music/iTunes/iTunes%20Media/</string>\n"
            "\t<key>Tracks</key>\n\t<dict>\n");
        for (int i = 0; i < trackCount; ++i) {
            const Track t = track(i);
            QByteArray entry;
            entry.reserve(1400);
            entry += "\t\t<key>" + QByteArray::number(1000 + i) + "</key>\n\t\t<dict>\n";
            entry += "\t\t\t<key>Track ID</key><integer>" + QByteArray::number(1000 + i) + "</integer>\n";
            const QByteArray fields[] = {
                "\t\t\t<key>Name</key><string>" + escaped(t.name) + "</string>\n",
                "\t\t\t<key>Artist</key><string>" + escaped(t.artist) + "</string>\n",
                "\t\t\t<key>Album</key><string>" + escaped(t.album) + "</string>\n",
            };
            // The three keys the reader keeps come in a different order each time.
            for (int k = 0; k < 3; ++k)
                entry += fields[(i + k) % 3];
            entry += "\t\t\t<key>Album Artist</key><string>" + escaped(t.artist)
                + "</string>\n"
                  "\t\t\t<key>Composer</key><string>Cómposer &amp; Co</string>\n"
                  "\t\t\t<key>Genre</key><string>Jazz</string>\n"
                  "\t\t\t<key>Kind</key><string>MPEG audio file</string>\n"
                  "\t\t\t<key>Size</key><integer>"
                + QByteArray::number(3000000 + i) + "</integer>\n\t\t\t<key>Total Time</key><integer>"
                + QByteArray::number(180000 + i)
                + "</integer>\n"
                  "\t\t\t<key>Disc Number</key><integer>1</integer>\n"
                  "\t\t\t<key>Track Number</key><integer>"
                + QByteArray::number(i % 15 + 1)
                + "</integer>\n"
                  "\t\t\t<key>Year</key><integer>1999</integer>\n"
                  "\t\t\t<key>Date Modified</key><date>2012-01-01T10:00:00Z</date>\n"
                  "\t\t\t<key>Date Added</key><date>2012-01-02T10:00:00Z</date>\n"
                  "\t\t\t<key>Bit Rate</key><integer>256</integer>\n"
                  "\t\t\t<key>Sample Rate</key><integer>44100</integer>\n"
                  "\t\t\t<key>Play Count</key><integer>"
                + QByteArray::number(i % 40)
                + "</integer>\n"
                  "\t\t\t<key>Compilation</key><true/>\n"
                  "\t\t\t<key>Persistent ID</key><string>"
                + QByteArray::number(0x1234567890ABCULL + i, 16).toUpper()
                + "</string>\n"
                  "\t\t\t<key>Track Type</key><string>File</string>\n"
                  "\t\t\t<key>Location</key><string>file:///Users/r/Music/iTunes/iTunes%20Media/Music/"
                + QByteArray::number(i) + ".mp3</string>\n\t\t</dict>\n";
            out->write(entry);
        }
        out->write("\t</dict>\n\t<key>Playlists</key>\n\t<array>\n");
        for (int p = 0; p < playlistCount; ++p) {
            out->write("\t\t<dict>\n\t\t\t<key>Name</key><string>Pláylist " + QByteArray::number(p)
                + "</string>\n\t\t\t<key>Playlist ID</key><integer>" + QByteArray::number(p)
                + "</integer>\n\t\t\t<key>Playlist Items</key>\n\t\t\t<array>\n");
            for (int i = p; i < trackCount; i += 1 + p)
                out->write("\t\t\t\t<dict><key>Track ID</key><integer>" + QByteArray::number(1000 + i)
                    + "</integer></dict>\n");
            out->write("\t\t\t</array>\n\t\t</dict>\n");
        }
        out->write("\t</array>\n</dict>\n</plist>\n");
    }
};
