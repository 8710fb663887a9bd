#pragma once

#include "QVServerRequest.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>

#include <optional>

// Every direct HTTP call the client makes to the service, built from the base
// URL, and readers of the answers the client acts on. Text from the page, the
// user or the music library only ever reaches a URL percent-encoded, and a form
// only through the pool (which encodes it whole). Answers are read tolerantly:
// a missing or wrong-typed field is skipped, never trusted.
class QVServiceHTTPInterface
{
public:
    // A POST through the request pool: its URL and form fields.
    struct FormCall {
        QString url;
        QVServerRequestParams parameters;
    };

    // Artist name -> album name -> song names, in library order.
    using GroupedTracks = QMap<QString, QMap<QString, QStringList>>;

    struct SearchSuggestions {
        bool isValid = false; // the body was a JSON object within bounds
        std::optional<QVariantMap> top;
        // Keyed "r", "a", "t", "p", "s"; a missing or refused array is absent.
        QMap<QString, QList<QVariantMap>> groups;
    };

    struct BulkAddResult {
        bool isValid = false;
        qint64 found = 0;
        qint64 added = 0; // the answer's "new"
        QVariantList tracks; // identifiers: numbers or strings as the service sent them
        QVariantList albums;
    };

    // The group keys of a suggestions answer, in the order they are listed.
    static const QStringList suggestionGroupKeys;

    // Queries are cut to this many characters; longer ones only slow the service.
    static constexpr int maximumQueryLength = 256;
    // Names of the library are cut to this many characters before upload.
    static constexpr int maximumNameLength = 1024;
    // Crash logs are cut to this many bytes of UTF-8 (the start, which names
    // the signal and the backtrace, is kept). The reporter cuts them first,
    // with a note; the demo service takes as much.
    static constexpr int maximumLogLength = 1024 * 1024;
    static constexpr int maximumImageAddressLength = 2048;
    static constexpr int maximumBaseIconLength = 1024;
    static constexpr int albumArtSize = 200;
    // Answers longer than this are refused unread.
    static constexpr qsizetype maximumAnswerLength = 4 * 1024 * 1024;
    // Arrays longer than these are refused whole.
    static constexpr qsizetype maximumSuggestionCount = 200;
    static constexpr qsizetype maximumIdentifierCount = 20000;
    // Text fields of a suggestion longer than this are dropped.
    static constexpr qsizetype maximumSuggestionFieldLength = 4096;

    // With the current base URL of QVUIConstantsService.
    QVServiceHTTPInterface();
    // A trailing "/" of `baseURL` is dropped.
    explicit QVServiceHTTPInterface(const QString& baseURL);

    QString baseURL() const { return _baseURL; }

    // A name of the library as it is uploaded: cut to maximumNameLength, never
    // inside a surrogate pair. Names equal after the cut count as one.
    static QString uploadedName(const QString& name);
    // At most `length` bytes of UTF-8 text, never ending inside a character.
    static QByteArray cutUtf8(const QByteArray& text, qsizetype length);

    // GET. The query is cut to maximumQueryLength and percent-encoded whole as
    // UTF-8, so "&", "=", "+", "#" and "/" stay part of it.
    QString groupedSearchSuggestionsURL(const QString& query) const;
    // POST, "data" = the grouped tracks as compact JSON.
    FormCall bulkAddToLibraryCall(const GroupedTracks& tracks) const;
    // POST, "data" = {"albums": [...], "tracks": [...]} as compact JSON.
    FormCall addToLibraryCompletedCall(const QVariantList& albums, const QVariantList& tracks) const;
    // POST, "appName" = "mac" (the service tells its clients apart by it) and "log".
    FormCall submitAppLogCall(const QString& log) const;
    // GET; any answer at all means the host is reachable.
    QString reachabilityProbeURL() const;

    // GET "<address>?m=<base icon>&w=200&h=200". Both come from the page: the
    // address must be an http or https URL with a host and no query or
    // fragment, and the base icon non-empty; otherwise the result is empty.
    static QString albumArtURL(const QString& imageServerAddress, const QString& baseIcon);

    static SearchSuggestions parseSearchSuggestions(const QByteArray& body);
    static BulkAddResult parseBulkAddToLibrary(const QByteArray& body);

private:
    QString _apiURL(const char* call) const;

    QString _baseURL;
};
