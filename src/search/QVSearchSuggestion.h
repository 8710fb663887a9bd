#pragma once

#include "QVAlbumArtListener.h"

#include <QImage>
#include <QString>
#include <QVariantMap>

class QVNotificationCenter;

// One row of the suggestion list: the "Show all results..." row, the top hit
// or an artist, album, song, playlist or person. Built from a suggestion the
// service's reader has already checked; texts are cut for display. The
// collection marks come from the search field, which reads them for a whole
// list at once.
class QVSearchSuggestion : public QVAlbumArtListener
{
public:
    enum Type { TypeNone = 0, TypeArtist = 1, TypeAlbum = 2, TypeSong = 3, TypePlaylist = 4, TypePerson = 5 };

    // Displayed texts longer than this are cut.
    static constexpr int kMaximumTextLength = 1000;
    // Paths longer than this are dropped.
    static constexpr int kMaximumPathLength = 2048;
    static constexpr int kAlbumArtSide = 16;

    // Every field zero or empty, type 0.
    explicit QVSearchSuggestion(QVNotificationCenter* center = nullptr);
    QVSearchSuggestion(const QVariantMap& dictionary, QVNotificationCenter* center = nullptr);

    // The JSON "type" letter, in either case; 0 for anything else.
    static int suggestionType(const QVariant& type);
    // The group heading of a type, localised; empty for type 0.
    static QString categoryForType(int type);
    // The word in the type's icon names ("search_icon_<word>").
    static QString iconWordForType(int type);
    // A "url" that names a page of the service: an absolute path, bounded,
    // without control characters. Anything else reads as no path.
    static QString pathFromURL(const QString& url);

    QString category() const { return _category; }
    void setCategory(const QString& category) { _category = category; }
    int type() const { return _type; }
    void setType(int type) { _type = type; }
    QString title() const { return _title; }
    void setTitle(const QString& title);
    bool indicated() const { return _indicated; }
    void setIndicated(bool indicated) { _indicated = indicated; }
    QString subTitle() const { return _subTitle; }
    void setSubTitle(const QString& subTitle);
    // Empty: no page of its own.
    QString path() const { return _path; }
    void setPath(const QString& path) { _path = path; }
    QString baseIcon() const { return _baseIcon; }
    void setBaseIcon(const QString& baseIcon) { _baseIcon = baseIcon; }
    // Null until the art arrived.
    QImage albumArtImage() const { return _albumArtImage; }
    quint32 typeId() const { return _typeId; }
    void setTypeId(quint32 typeId) { _typeId = typeId; }
    unsigned int topPadding() const { return _topPadding; }
    void setTopPadding(unsigned int padding) { _topPadding = padding; }
    unsigned int bottomPadding() const { return _bottomPadding; }
    void setBottomPadding(unsigned int padding) { _bottomPadding = padding; }

    // QVAlbumArtListener: art for another base icon is ignored.
    void albumArtRequestCompleted(const QImage& image, const QString& baseIcon) override;

private:
    QVNotificationCenter* _center;
    QString _category;
    int _type = TypeNone;
    QString _title;
    bool _indicated = false;
    QString _subTitle;
    QString _path;
    QString _baseIcon;
    QImage _albumArtImage;
    quint32 _typeId = 0;
    unsigned int _topPadding = 0;
    unsigned int _bottomPadding = 0;
};
