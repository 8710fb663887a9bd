#pragma once

#include <QString>
#include <QStringList>

class QVAbstractWebView;

// The playing track as the page's player describes it. A null string means
// unknown; the same record is updated in place for every track.
class QVTrack
{
public:
    QString trackName() const { return _trackName; }
    void setTrackName(const QString& value) { _trackName = value; }
    QString trackKey() const { return _trackKey; }
    void setTrackKey(const QString& value) { _trackKey = value; }
    QString artist() const { return _artist; }
    void setArtist(const QString& value) { _artist = value; }
    QString album() const { return _album; }
    void setAlbum(const QString& value) { _album = value; }
    QString url() const { return _url; }
    void setUrl(const QString& value) { _url = value; }
    QString artistURL() const { return _artistURL; }
    void setArtistURL(const QString& value) { _artistURL = value; }
    QString albumURL() const { return _albumURL; }
    void setAlbumURL(const QString& value) { _albumURL = value; }
    QString baseIcon() const { return _baseIcon; }
    void setBaseIcon(const QString& value) { _baseIcon = value; }
    unsigned int duration() const { return _duration; }
    void setDuration(unsigned int seconds) { _duration = seconds; }

    // Reloads every field from the page in one round trip; false (fields
    // kept) when the page did not answer.
    bool updatePropertiesWithWebView(QVAbstractWebView* webView);

    // Every field unknown.
    void clear();

    bool operator==(const QVTrack& other) const = default;

    // The page's field names of the eight strings, in the order they are read,
    // then "duration".
    static const QStringList& pageKeys();
    // The read of one field of the page's playing track.
    static QString fieldScript(const QString& key);
    // Stores page results given in pageKeys() order (strings bounded in size,
    // the duration rounded to whole seconds, a negative or unreadable one as 0).
    void setPageValues(const QStringList& values);

    // Page text is untrusted: longer strings are cut.
    static constexpr int kMaxFieldLength = 4096;

private:
    QString _trackName;
    QString _trackKey;
    QString _artist;
    QString _album;
    QString _url;
    QString _artistURL;
    QString _albumURL;
    QString _baseIcon;
    unsigned int _duration = 0;
};
