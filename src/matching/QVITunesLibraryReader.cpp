#include "QVITunesLibraryReader.h"

#include <QFile>
#include <QHash>
#include <QXmlStreamReader>

#include <plist/plist.h>

#include <cstdlib>
#include <memory>
#include <sys/stat.h>

namespace {

using Result = QVITunesLibraryReader::Result;

Result stopped()
{
    Result result;
    result.status = QVITunesLibraryReader::Status::Stopped;
    return result;
}

Result unreadable(const QString& why)
{
    Result result;
    result.status = QVITunesLibraryReader::Status::Unreadable;
    result.error = why;
    return result;
}

enum class Field { None, Artist, Album, Name, PlaylistName, TrackID };

// What an open element is to the reader.
enum class Role {
    Plist,
    RootDict,
    TracksDict,
    TrackDict,
    PlaylistsArray,
    PlaylistDict,
    ItemsArray,
    ItemDict,
    OtherDict,
    OtherArray,
    Key, // a dictionary key
    Text, // a scalar the reader keeps (Field says which)
    Skipped, // a scalar nobody reads
};

// The dictionary keys the reader acts on; every other key is Other.
enum class Key { Other, Tracks, Playlists, Artist, Album, Name, PlaylistItems, TrackID };

Key keyNamed(QStringView text)
{
    static const std::pair<QStringView, Key> known[] = { { u"Tracks", Key::Tracks },
        { u"Playlists", Key::Playlists }, { u"Artist", Key::Artist }, { u"Album", Key::Album },
        { u"Name", Key::Name }, { u"Playlist Items", Key::PlaylistItems }, { u"Track ID", Key::TrackID } };
    for (const auto& [name, key] : known) {
        if (text == name)
            return key;
    }
    return Key::Other;
}

// Small and free of strings: a library has millions of elements. The text
// of the one key or scalar open at a time lives in the parser.
struct Frame {
    Frame(Role role_, Field field_ = Field::None, bool expectsKey_ = true, bool keepsKeys_ = false)
        : role(role_)
        , field(field_)
        , expectsKey(expectsKey_)
        , keepsKeys(keepsKeys_)
    {
    }

    Role role;
    Field field = Field::None;
    bool expectsKey = true; // dictionaries: the next child is a key
    bool keepsKeys = false; // dictionaries whose keys pick what is kept
    bool hasValue = false; // the plist element: its one root was seen
    Key key = Key::Other; // dictionaries: the key of the value that follows
};

bool isDictRole(Role role)
{
    return role == Role::RootDict || role == Role::TracksDict || role == Role::TrackDict
        || role == Role::PlaylistDict || role == Role::ItemDict || role == Role::OtherDict;
}

bool isScalarName(QStringView name)
{
    static const QStringView names[]
        = { u"string", u"integer", u"real", u"true", u"false", u"date", u"data" };
    for (QStringView known : names) {
        if (name == known)
            return true;
    }
    return false;
}

class XmlLibraryParser
{
public:
    // Empty while well-formed, else why not.
    QString startElement(QStringView name)
    {
        if (_stack.size() >= QVITunesLibraryReader::maximumDepth)
            return QStringLiteral("nested deeper than %1 elements").arg(QVITunesLibraryReader::maximumDepth);
        if (_stack.isEmpty()) {
            if (_sawRoot || name != u"plist")
                return QStringLiteral("not a property list");
            _sawRoot = true;
            _stack.append(Frame(Role::Plist));
            return {};
        }
        Frame& parent = _stack.last();
        switch (parent.role) {
        case Role::Key:
        case Role::Text:
        case Role::Skipped:
            return QStringLiteral("element inside a value");
        case Role::Plist:
            if (parent.hasValue)
                return QStringLiteral("more than one root value");
            parent.hasValue = true;
            if (name != u"dict")
                return QStringLiteral("the root is not a dictionary");
            _stack.append(Frame(Role::RootDict, Field::None, true, true));
            _result.tracks.reset();
            return {};
        default:
            break;
        }
        if (isDictRole(parent.role)) {
            if (parent.expectsKey) {
                if (name != u"key")
                    return QStringLiteral("a dictionary value without a key");
                parent.expectsKey = false;
                Frame key { Role::Key };
                key.field = parent.keepsKeys ? Field::Name : Field::None;
                _stack.append(key);
                _startText();
                return {};
            }
            parent.expectsKey = true;
        } else if (name == u"key") {
            return QStringLiteral("a key outside a dictionary");
        }
        return _startValue(name);
    }

    QString endElement()
    {
        const Frame frame = _stack.takeLast();
        if (isDictRole(frame.role) && !frame.expectsKey)
            return QStringLiteral("a key without a value");
        if (frame.role == Role::Plist && !frame.hasValue)
            return QStringLiteral("an empty property list");
        if (frame.role == Role::Key) {
            if (_overflowed)
                ++_result.oversizedStrings;
            // An over-long key matches nothing we keep.
            _stack.last().key = frame.field == Field::None || _overflowed ? Key::Other : keyNamed(_text);
        } else if (frame.role == Role::Text) {
            _deliver(frame.field);
        }
        return {};
    }

    void characters(QStringView text)
    {
        if (_stack.isEmpty())
            return;
        const Frame& frame = _stack.last();
        if (frame.role != Role::Text && !(frame.role == Role::Key && frame.field != Field::None))
            return;
        if (_overflowed)
            return;
        if (_text.size() + text.size() > QVITunesLibraryReader::maximumStringLength) {
            _overflowed = true;
            _text.clear();
            return;
        }
        _text.append(text);
    }

    bool isComplete() const { return _sawRoot && _stack.isEmpty(); }
    Result take()
    {
        _result.status = QVITunesLibraryReader::Status::Loaded;
        return std::move(_result);
    }

private:
    QString _startValue(QStringView name)
    {
        const Frame& parent = _stack.last();
        const Key key = parent.key;
        const bool isDict = name == u"dict";
        const bool isArray = name == u"array";
        const bool isString = name == u"string";
        if (!isDict && !isArray && !isScalarName(name))
            return QStringLiteral("unknown element <%1>").arg(name.left(64));

        Frame frame { isDict ? Role::OtherDict : isArray ? Role::OtherArray : Role::Skipped };
        switch (parent.role) {
        case Role::RootDict:
            if (key == Key::Tracks) {
                // Another type counts as absent; a second dictionary replaces the first.
                _result.tracks.reset();
                if (isDict) {
                    _result.tracks.emplace();
                    frame = { Role::TracksDict, Field::None, true, false };
                }
            } else if (key == Key::Playlists) {
                _result.playlists.reset();
                if (isArray) {
                    _result.playlists.emplace();
                    frame = { Role::PlaylistsArray };
                }
            }
            break;
        case Role::TracksDict:
            if (isDict) {
                _result.tracks->append(QVITunesTrack());
                frame = { Role::TrackDict, Field::None, true, true };
            }
            break;
        case Role::TrackDict:
            if (isString) {
                if (key == Key::Artist)
                    frame = { Role::Text, Field::Artist };
                else if (key == Key::Album)
                    frame = { Role::Text, Field::Album };
                else if (key == Key::Name)
                    frame = { Role::Text, Field::Name };
            }
            break;
        case Role::PlaylistsArray:
            if (isDict) {
                _result.playlists->append(QVITunesPlaylist());
                frame = { Role::PlaylistDict, Field::None, true, true };
            }
            break;
        case Role::PlaylistDict:
            if (isString && key == Key::Name)
                frame = { Role::Text, Field::PlaylistName };
            else if (isArray && key == Key::PlaylistItems)
                frame = { Role::ItemsArray };
            break;
        case Role::ItemsArray:
            if (isDict)
                frame = { Role::ItemDict, Field::None, true, true };
            break;
        case Role::ItemDict:
            if (name == u"integer" && key == Key::TrackID)
                frame = { Role::Text, Field::TrackID };
            break;
        default:
            break;
        }
        _stack.append(frame);
        if (frame.role == Role::Text)
            _startText();
        return {};
    }

    // Keys and kept scalars hold no elements, so one buffer serves them all
    // and keeps its capacity from one to the next.
    void _startText()
    {
        _text.resize(0);
        _overflowed = false;
    }

    // Repeated artist and album names share one string.
    QString _shared()
    {
        auto known = _strings.constFind(_text);
        if (known != _strings.constEnd())
            return *known;
        const QString text = _copy();
        _strings.insert(text, text);
        return text;
    }

    // An empty element gives no characters: still a present, empty string.
    QString _copy() const
    {
        return _text.isEmpty() ? QStringLiteral("") : QString(_text.constData(), _text.size());
    }

    void _deliver(Field field)
    {
        if (_overflowed) {
            ++_result.oversizedStrings;
            return;
        }
        switch (field) {
        case Field::Artist:
            _result.tracks->last().artist = _shared();
            break;
        case Field::Album:
            _result.tracks->last().album = _shared();
            break;
        case Field::Name:
            _result.tracks->last().name = _copy();
            break;
        case Field::PlaylistName:
            _result.playlists->last().name = _copy();
            break;
        case Field::TrackID: {
            bool ok = false;
            const qint64 id = QStringView(_text).trimmed().toLongLong(&ok);
            if (ok)
                _result.playlists->last().trackIDs.append(id);
            break;
        }
        case Field::None:
            break;
        }
    }

    QList<Frame> _stack;
    QString _text;
    bool _overflowed = false;
    bool _sawRoot = false;
    QHash<QString, QString> _strings;
    Result _result;
};

// Binary libraries ----------------------------------------------------------

std::optional<QString> plistString(plist_t node)
{
    if (!node || plist_get_node_type(node) != PLIST_STRING)
        return std::nullopt;
    char* value = nullptr;
    plist_get_string_val(node, &value);
    if (!value)
        return std::nullopt;
    QString text = QString::fromUtf8(value);
    std::free(value);
    return text;
}

struct PlistDeleter {
    void operator()(void* node) const { plist_free(static_cast<plist_t>(node)); }
};

} // namespace

Result QVITunesLibraryReader::read(const QString& path, const std::atomic<bool>* stop)
{
    // A FIFO or a device would block the read for ever.
    struct stat info {
    };
    if (::stat(QFile::encodeName(path).constData(), &info) != 0 || !S_ISREG(info.st_mode))
        return unreadable(QStringLiteral("not a regular file"));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return unreadable(file.errorString());
    if (file.peek(8) == "bplist00") {
        if (file.size() > maximumBinaryFileSize)
            return unreadable(
                QStringLiteral("binary library larger than %1 bytes").arg(maximumBinaryFileSize));
        const QByteArray data = file.readAll();
        if (stop && stop->load())
            return stopped();
        return readBinary(data);
    }
    return readXml(&file, stop);
}

Result QVITunesLibraryReader::readXml(QIODevice* device, const std::atomic<bool>* stop)
{
    XmlLibraryParser parser;
    QXmlStreamReader xml;
    // Property lists have no namespaces; resolving them costs time per element.
    xml.setNamespaceProcessing(false);
    // Qt's entity-expansion limit stays at its default: a billion laughs ends
    // in an error. Data is fed a chunk at a time so a stop is seen quickly
    // and one huge text costs no more than its chunks.
    bool atEnd = false;
    for (;;) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::Invalid) {
            if (xml.error() != QXmlStreamReader::PrematureEndOfDocumentError || atEnd)
                return unreadable(xml.errorString());
            if (stop && stop->load())
                return stopped();
            const QByteArray chunk = device->read(chunkSize);
            if (chunk.isEmpty())
                atEnd = true;
            else
                xml.addData(chunk);
            continue;
        }
        QString problem;
        switch (token) {
        case QXmlStreamReader::StartElement:
            problem = parser.startElement(xml.name());
            break;
        case QXmlStreamReader::EndElement:
            problem = parser.endElement();
            break;
        case QXmlStreamReader::Characters:
            parser.characters(xml.text());
            break;
        default:
            break;
        }
        if (!problem.isEmpty())
            return unreadable(problem);
        if (token == QXmlStreamReader::EndDocument)
            break;
    }
    if (!parser.isComplete())
        return unreadable(QStringLiteral("not a property list"));
    return parser.take();
}

Result QVITunesLibraryReader::readBinary(const QByteArray& data)
{
    plist_t rootNode = nullptr;
    plist_from_bin(data.constData(), static_cast<uint32_t>(data.size()), &rootNode);
    const std::unique_ptr<void, PlistDeleter> root(rootNode);
    if (!rootNode)
        return unreadable(QStringLiteral("not a binary property list"));
    if (plist_get_node_type(rootNode) != PLIST_DICT)
        return unreadable(QStringLiteral("the root is not a dictionary"));

    Result result;
    result.status = Status::Loaded;
    QHash<QString, QString> strings;
    const auto shared = [&strings](std::optional<QString> text) -> std::optional<QString> {
        if (!text)
            return text;
        auto known = strings.constFind(*text);
        if (known != strings.constEnd())
            return *known;
        strings.insert(*text, *text);
        return text;
    };
    const auto bounded = [&result](std::optional<QString> text) -> std::optional<QString> {
        if (text && text->size() > maximumStringLength) {
            ++result.oversizedStrings;
            return std::nullopt;
        }
        return text;
    };

    plist_t tracks = plist_dict_get_item(rootNode, "Tracks");
    if (tracks && plist_get_node_type(tracks) == PLIST_DICT) {
        result.tracks.emplace();
        plist_dict_iter iter = nullptr;
        plist_dict_new_iter(tracks, &iter);
        for (;;) {
            char* key = nullptr;
            plist_t track = nullptr;
            plist_dict_next_item(tracks, iter, &key, &track);
            std::free(key);
            if (!track)
                break;
            if (plist_get_node_type(track) != PLIST_DICT)
                continue;
            QVITunesTrack entry;
            entry.artist = shared(bounded(plistString(plist_dict_get_item(track, "Artist"))));
            entry.album = shared(bounded(plistString(plist_dict_get_item(track, "Album"))));
            entry.name = bounded(plistString(plist_dict_get_item(track, "Name")));
            result.tracks->append(entry);
        }
        std::free(iter);
    }

    plist_t playlists = plist_dict_get_item(rootNode, "Playlists");
    if (playlists && plist_get_node_type(playlists) == PLIST_ARRAY) {
        result.playlists.emplace();
        const uint32_t count = plist_array_get_size(playlists);
        for (uint32_t i = 0; i < count; ++i) {
            plist_t playlist = plist_array_get_item(playlists, i);
            if (plist_get_node_type(playlist) != PLIST_DICT)
                continue;
            QVITunesPlaylist entry;
            entry.name = bounded(plistString(plist_dict_get_item(playlist, "Name"))).value_or(QString());
            plist_t items = plist_dict_get_item(playlist, "Playlist Items");
            if (items && plist_get_node_type(items) == PLIST_ARRAY) {
                const uint32_t itemCount = plist_array_get_size(items);
                for (uint32_t j = 0; j < itemCount; ++j) {
                    plist_t item = plist_array_get_item(items, j);
                    plist_t id = plist_get_node_type(item) == PLIST_DICT
                        ? plist_dict_get_item(item, "Track ID")
                        : nullptr;
                    if (id && plist_get_node_type(id) == PLIST_UINT) {
                        uint64_t value = 0;
                        plist_get_uint_val(id, &value);
                        entry.trackIDs.append(static_cast<qint64>(value));
                    }
                }
            }
            result.playlists->append(entry);
        }
    }
    return result;
}
