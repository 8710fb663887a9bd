#include "QVSearchSuggestion.h"

#include "QVConstants.h"
#include "QVLocalizedString.h"
#include "QVNotificationCenter.h"

namespace {

QString cutForDisplay(const QString& text)
{
    if (text.size() <= QVSearchSuggestion::kMaximumTextLength)
        return text;
    qsizetype end = QVSearchSuggestion::kMaximumTextLength;
    if (text.at(end - 1).isHighSurrogate())
        --end; // never half a pair
    return text.left(end);
}

} // namespace

QVSearchSuggestion::QVSearchSuggestion(QVNotificationCenter* center)
    : _center(center ? center : QVNotificationCenter::defaultCenter())
{
}

QVSearchSuggestion::QVSearchSuggestion(const QVariantMap& dictionary, QVNotificationCenter* center)
    : QVSearchSuggestion(center)
{
    _type = suggestionType(dictionary.value(QStringLiteral("type")));
    if (const QVariant id = dictionary.value(QStringLiteral("id")); id.isValid())
        _typeId = id.value<quint32>();
    const QVariant name = dictionary.value(QStringLiteral("name"));
    setTitle(name.isValid() ? name.toString() : dictionary.value(QStringLiteral("displayName")).toString());
    if (_type == TypeAlbum || _type == TypeSong)
        setSubTitle(dictionary.value(QStringLiteral("artist")).toString());
    _path = pathFromURL(dictionary.value(QStringLiteral("url")).toString());
    if (_type == TypePerson)
        _indicated = dictionary.value(QStringLiteral("canUnfollow")).toBool();
    if (_type == TypeAlbum)
        _baseIcon = dictionary.value(QStringLiteral("baseIcon")).toString();
}

int QVSearchSuggestion::suggestionType(const QVariant& type)
{
    if (type.typeId() != QMetaType::QString)
        return TypeNone;
    static const QString letters = QStringLiteral("ratps");
    const QString text = type.toString().toLower();
    if (text.size() != 1)
        return TypeNone;
    const qsizetype index = letters.indexOf(text.at(0));
    return index < 0 ? TypeNone : int(index) + 1;
}

QString QVSearchSuggestion::categoryForType(int type)
{
    switch (type) {
    case TypeArtist:
        return QVLocalizedString("Artists");
    case TypeAlbum:
        return QVLocalizedString("Albums");
    case TypeSong:
        return QVLocalizedString("Songs");
    case TypePlaylist:
        return QVLocalizedString("Playlists");
    case TypePerson:
        return QVLocalizedString("People");
    default:
        return {};
    }
}

QString QVSearchSuggestion::iconWordForType(int type)
{
    static const char* const words[] = { "search", "artist", "album", "song", "playlist", "person" };
    return QString::fromLatin1(type >= TypeArtist && type <= TypePerson ? words[type] : words[0]);
}

QString QVSearchSuggestion::pathFromURL(const QString& url)
{
    if (url.size() < 1 || url.size() > kMaximumPathLength || !url.startsWith(QLatin1Char('/'))
        || url.startsWith(QLatin1String("//")) || url.startsWith(QLatin1String("/\\")))
        return {};
    for (const QChar c : url) {
        if (c.category() == QChar::Other_Control || c == QChar(0x2028) || c == QChar(0x2029))
            return {};
    }
    return url;
}

void QVSearchSuggestion::setTitle(const QString& title)
{
    _title = cutForDisplay(title);
}

void QVSearchSuggestion::setSubTitle(const QString& subTitle)
{
    _subTitle = cutForDisplay(subTitle);
}

void QVSearchSuggestion::albumArtRequestCompleted(const QImage& image, const QString& baseIcon)
{
    if (baseIcon != _baseIcon || image.isNull())
        return;
    _albumArtImage
        = image.scaled(kAlbumArtSide * 2, kAlbumArtSide * 2, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    // Drawn at 16 x 16 points, sharp on a doubled screen.
    _albumArtImage.setDevicePixelRatio(2.0);
    _center->postNotificationName(QString::fromLatin1(QVSuggestionAlbumArtReadyNotification));
}
