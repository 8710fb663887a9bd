#include "QVServiceHTTPInterface.h"

#include "QVLog.h"
#include "QVUIConstantsService.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QUrl>

#include <cmath>
#include <limits>

namespace {

// At most `length` UTF-16 units, never ending inside a surrogate pair.
QString cut(const QString& text, qsizetype length)
{
    if (text.size() <= length)
        return text;
    if (length > 0 && text.at(length - 1).isHighSurrogate())
        --length;
    return text.left(length);
}

// At most `length` bytes of UTF-8, never ending inside a character.
QString percentEncoded(const QString& text)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(text));
}

std::optional<QJsonObject> readObject(const QByteArray& body, const char* call)
{
    if (body.size() > QVServiceHTTPInterface::maximumAnswerLength) {
        QVLog("[WARNING] Answer of %s refused: %lld bytes", call, static_cast<long long>(body.size()));
        return std::nullopt;
    }
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    return document.object();
}

// A whole number from 0 to `maximum`, or nothing for other values.
std::optional<qint64> wholeNumber(const QJsonValue& value, qint64 maximum)
{
    if (!value.isDouble())
        return std::nullopt;
    const double number = std::trunc(value.toDouble());
    if (!std::isfinite(number) || number < 0 || number > static_cast<double>(maximum))
        return std::nullopt;
    return static_cast<qint64>(number);
}

// A count in an answer: negative or unreadable counts count as none, huge ones
// as the most a 32-bit counter takes.
qint64 count(const QJsonValue& value)
{
    if (!value.isDouble() || !std::isfinite(value.toDouble()) || value.toDouble() <= 0)
        return 0;
    const double number = std::trunc(value.toDouble());
    constexpr qint64 most = std::numeric_limits<qint32>::max();
    return number >= static_cast<double>(most) ? most : static_cast<qint64>(number);
}

QVariantMap suggestion(const QJsonObject& object)
{
    static const char* const textKeys[] = { "type", "name", "displayName", "artist", "url", "baseIcon" };
    QVariantMap record;
    for (const char* key : textKeys) {
        const QJsonValue value = object.value(QLatin1String(key));
        if (value.isString()
            && value.toString().size() <= QVServiceHTTPInterface::maximumSuggestionFieldLength)
            record.insert(QLatin1String(key), value.toString());
    }
    // Identifiers are unsigned 32-bit; a numeric string is read as its number.
    QJsonValue id = object.value(QLatin1String("id"));
    if (id.isString()) {
        bool ok = false;
        const qulonglong number = id.toString().trimmed().toULongLong(&ok);
        id = ok ? QJsonValue(static_cast<double>(number)) : QJsonValue();
    }
    if (const auto number = wholeNumber(id, std::numeric_limits<quint32>::max()))
        record.insert(QStringLiteral("id"), *number);
    const QJsonValue canUnfollow = object.value(QLatin1String("canUnfollow"));
    if (canUnfollow.isBool())
        record.insert(QStringLiteral("canUnfollow"), canUnfollow.toBool());
    else if (canUnfollow.isDouble())
        record.insert(QStringLiteral("canUnfollow"), canUnfollow.toDouble() != 0);
    return record;
}

QVariantList identifiers(const QJsonValue& value, const char* name)
{
    QVariantList list;
    if (!value.isArray())
        return list;
    const QJsonArray array = value.toArray();
    if (array.size() > QVServiceHTTPInterface::maximumIdentifierCount) {
        QVLog("[WARNING] bulkAddToLibrary answer refused \"%s\": %lld identifiers", name,
            static_cast<long long>(array.size()));
        return list;
    }
    for (const QJsonValue& item : array) {
        if (const auto number = wholeNumber(item, std::numeric_limits<qint64>::max() / 2))
            list.append(*number);
        else if (item.isString() && !item.toString().isEmpty() && item.toString().size() <= 256)
            list.append(item.toString());
    }
    return list;
}

} // namespace

const QStringList QVServiceHTTPInterface::suggestionGroupKeys = { QStringLiteral("r"), QStringLiteral("a"),
    QStringLiteral("t"), QStringLiteral("p"), QStringLiteral("s") };

QVServiceHTTPInterface::QVServiceHTTPInterface()
    : QVServiceHTTPInterface(QVUIConstantsService::sharedInstance()->quivURL())
{
}

QVServiceHTTPInterface::QVServiceHTTPInterface(const QString& baseURL)
    : _baseURL(baseURL)
{
    while (_baseURL.endsWith(u'/'))
        _baseURL.chop(1);
}

QString QVServiceHTTPInterface::_apiURL(const char* call) const
{
    return _baseURL + QStringLiteral("/api/json/") + QLatin1String(call);
}

QString QVServiceHTTPInterface::uploadedName(const QString& name)
{
    return cut(name, maximumNameLength);
}

QString QVServiceHTTPInterface::groupedSearchSuggestionsURL(const QString& query) const
{
    return _apiURL("groupedSearchSuggestions/") + QStringLiteral("?query=")
        + percentEncoded(cut(query, maximumQueryLength));
}

QVServiceHTTPInterface::FormCall QVServiceHTTPInterface::bulkAddToLibraryCall(
    const GroupedTracks& tracks) const
{
    QJsonObject artists;
    for (auto artist = tracks.cbegin(); artist != tracks.cend(); ++artist) {
        QJsonObject albums;
        for (auto album = artist->cbegin(); album != artist->cend(); ++album) {
            QJsonArray songs;
            for (const QString& song : *album)
                songs.append(cut(song, maximumNameLength));
            albums.insert(cut(album.key(), maximumNameLength), songs);
        }
        artists.insert(cut(artist.key(), maximumNameLength), albums);
    }
    const QString data = QString::fromUtf8(QJsonDocument(artists).toJson(QJsonDocument::Compact));
    return { _apiURL("bulkAddToLibrary/"), { { QStringLiteral("data"), data } } };
}

QVServiceHTTPInterface::FormCall QVServiceHTTPInterface::addToLibraryCompletedCall(
    const QVariantList& albums, const QVariantList& tracks) const
{
    const QJsonObject object {
        { QStringLiteral("albums"), QJsonArray::fromVariantList(albums) },
        { QStringLiteral("tracks"), QJsonArray::fromVariantList(tracks) },
    };
    const QString data = QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
    return { _apiURL("addToLibraryCompleted/"), { { QStringLiteral("data"), data } } };
}

QByteArray QVServiceHTTPInterface::cutUtf8(const QByteArray& text, qsizetype length)
{
    if (text.size() <= length)
        return text;
    // Back off continuation bytes to the start of the character that crosses the limit.
    while (length > 0 && (static_cast<unsigned char>(text.at(length)) & 0xC0) == 0x80)
        --length;
    return text.left(length);
}

QVServiceHTTPInterface::FormCall QVServiceHTTPInterface::submitAppLogCall(const QString& log) const
{
    const QString text = QString::fromUtf8(cutUtf8(log.toUtf8(), maximumLogLength));
    return { _apiURL("submitAppLog/"),
        { { QStringLiteral("appName"), QStringLiteral("mac") }, { QStringLiteral("log"), text } } };
}

QString QVServiceHTTPInterface::reachabilityProbeURL() const
{
    return _baseURL + QStringLiteral("/media/images/trans.gif");
}

QString QVServiceHTTPInterface::albumArtURL(const QString& imageServerAddress, const QString& baseIcon)
{
    if (baseIcon.isEmpty() || baseIcon.size() > maximumBaseIconLength
        || imageServerAddress.size() > maximumImageAddressLength)
        return QString();
    const QUrl address(imageServerAddress, QUrl::StrictMode);
    const QString scheme = address.scheme();
    if (!address.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https"))
        || address.host().isEmpty() || address.hasQuery() || address.hasFragment())
        return QString();
    return address.toString(QUrl::FullyEncoded) + QStringLiteral("?m=") + percentEncoded(baseIcon)
        + QStringLiteral("&w=%1&h=%1").arg(albumArtSize);
}

QVServiceHTTPInterface::SearchSuggestions QVServiceHTTPInterface::parseSearchSuggestions(
    const QByteArray& body)
{
    SearchSuggestions result;
    const auto object = readObject(body, "groupedSearchSuggestions");
    if (!object)
        return result;
    result.isValid = true;
    if (const QJsonValue top = object->value(QLatin1String("top")); top.isObject())
        result.top = suggestion(top.toObject());
    for (const QString& key : suggestionGroupKeys) {
        const QJsonValue value = object->value(key);
        if (!value.isArray())
            continue;
        const QJsonArray array = value.toArray();
        if (array.size() > maximumSuggestionCount) {
            QVLog("[WARNING] groupedSearchSuggestions answer refused \"%s\": %lld suggestions",
                qPrintable(key), static_cast<long long>(array.size()));
            continue;
        }
        QList<QVariantMap> group;
        for (const QJsonValue& item : array) {
            if (item.isObject())
                group.append(suggestion(item.toObject()));
        }
        result.groups.insert(key, group);
    }
    return result;
}

QVServiceHTTPInterface::BulkAddResult QVServiceHTTPInterface::parseBulkAddToLibrary(const QByteArray& body)
{
    BulkAddResult result;
    const auto object = readObject(body, "bulkAddToLibrary");
    if (!object)
        return result;
    result.isValid = true;
    result.found = count(object->value(QLatin1String("found")));
    result.added = count(object->value(QLatin1String("new")));
    result.tracks = identifiers(object->value(QLatin1String("tracks")), "tracks");
    result.albums = identifiers(object->value(QLatin1String("albums")), "albums");
    return result;
}
