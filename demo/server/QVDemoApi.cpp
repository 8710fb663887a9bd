#include "QVDemoApi.h"

#include "QVDemoJson.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <set>
#include <vector>

namespace {

using Answer = QVDemoApi::Answer;

Answer refuse(int status, std::string message)
{
    return { status, nullptr, std::move(message) };
}

// Lower-case ASCII, surrounding spaces removed. Names in the catalogue are ASCII.
std::string folded(const std::string& text)
{
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    const size_t last = text.find_last_not_of(" \t");
    std::string out = text.substr(first, last - first + 1);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

// A name quoted for a message, cut so messages stay short, but not inside a
// UTF-8 sequence: the answer could not be written.
std::string named(const std::string& name)
{
    if (name.size() <= 60)
        return "\"" + name + "\"";
    size_t cut = 60;
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80)
        --cut;
    return "\"" + name.substr(0, cut) + "...\"";
}

// How well a catalogue name answers a query: 3 exact, 2 prefix, 1 a word's
// prefix, 0 elsewhere in the name, -1 not at all.
int rank(const std::string& name, const std::string& query)
{
    const std::string text = folded(name);
    const size_t at = text.find(query);
    if (at == std::string::npos)
        return -1;
    if (text == query)
        return 3;
    if (at == 0)
        return 2;
    for (size_t from = at; from != std::string::npos; from = text.find(query, from + 1)) {
        if (text[from - 1] == ' ')
            return 1;
    }
    return 0;
}

// The identifiers of one array of the completion notice, or a message.
std::optional<std::string> readIdentifiers(
    const nlohmann::json& data, const char* name, std::vector<int>& ids)
{
    const auto array = data.find(name);
    if (array == data.end() || !array->is_array())
        return std::string("Field \"data\" needs an array \"") + name + "\".";
    if (array->size() > QVDemoApi::maxCompletedIdentifiers)
        return std::string("Too many identifiers in \"") + name + "\".";
    for (const nlohmann::json& item : *array) {
        const double number = item.is_number() ? item.get<double>() : -1;
        if (number < 0 || number > 1e9 || std::trunc(number) != number)
            return std::string("\"") + name + "\" must hold whole-number identifiers.";
        ids.push_back(static_cast<int>(number));
    }
    return std::nullopt;
}

} // namespace

QVDemoApi::QVDemoApi(const QVDemoCatalogue& catalogue, QVDemoAccounts& accounts)
    : _catalogue(catalogue)
    , _accounts(accounts)
{
}

Answer QVDemoApi::groupedSearchSuggestions(const std::string& query) const
{
    if (!QVDemoJson::isValidUtf8(query))
        return refuse(400, "Query is not valid UTF-8.");
    const std::string wanted = folded(query);
    if (wanted.empty())
        return { 200, nlohmann::json::object(), {} };

    struct Hit {
        int rank;
        nlohmann::json json;
    };
    const auto artistName = [this](const std::string& key) {
        const QVDemoCatalogue::Artist* artist = _catalogue.artist(key);
        return artist ? artist->name : std::string();
    };
    std::vector<Hit> artists;
    for (const auto& a : _catalogue.artists()) {
        if (const int r = rank(a.name, wanted); r >= 0)
            artists.push_back({ r,
                { { "type", "r" }, { "id", a.id }, { "name", a.name },
                    { "url", "/artist/" + a.key + "/" } } });
    }
    std::vector<Hit> albums;
    for (const auto& a : _catalogue.albums()) {
        if (const int r = rank(a.name, wanted); r >= 0)
            albums.push_back({ r,
                { { "type", "a" }, { "id", a.id }, { "name", a.name }, { "artist", artistName(a.artistKey) },
                    { "url", "/album/" + a.key + "/" }, { "baseIcon", a.key } } });
    }
    std::vector<Hit> tracks;
    for (const auto& t : _catalogue.tracks()) {
        if (const int r = rank(t.name, wanted); r >= 0)
            tracks.push_back({ r,
                { { "type", "t" }, { "id", t.id }, { "name", t.name }, { "artist", artistName(t.artistKey) },
                    { "url", "/track/" + t.key + "/" } } });
    }

    std::vector<Hit> playlists;
    for (const auto& p : _catalogue.playlists()) {
        if (const int r = rank(p.name, wanted); r >= 0)
            playlists.push_back({ r,
                { { "type", "p" }, { "id", p.id }, { "name", p.name },
                    { "url", "/playlist/" + p.key + "/" } } });
    }
    std::vector<Hit> people;
    for (const auto& p : _catalogue.people()) {
        if (const int r = rank(p.name, wanted); r >= 0)
            people.push_back({ r,
                { { "type", "s" }, { "id", p.id }, { "displayName", p.name }, { "canUnfollow", p.followed },
                    { "url", "/people/" + p.vanity + "/" } } });
    }

    // Best first within a group, catalogue order among equals.
    std::vector<Hit>* groups[] = { &artists, &albums, &tracks, &playlists, &people };
    for (std::vector<Hit>* group : groups)
        std::stable_sort(
            group->begin(), group->end(), [](const Hit& a, const Hit& b) { return a.rank > b.rank; });
    // The top hit: the best-ranked first entry, artists before albums before
    // songs on a tie; a match in the middle of a word is no top hit.
    std::vector<Hit>* topGroup = nullptr;
    for (std::vector<Hit>* group : groups) {
        if (!group->empty() && group->front().rank >= 1
            && (!topGroup || group->front().rank > topGroup->front().rank))
            topGroup = group;
    }
    nlohmann::json out = nlohmann::json::object();
    if (topGroup) {
        out["top"] = std::move(topGroup->front().json);
        topGroup->erase(topGroup->begin());
    }
    const char* keys[] = { "r", "a", "t", "p", "s" };
    for (size_t g = 0; g < 5; ++g) {
        const size_t count = std::min(groups[g]->size(), maxSuggestionsPerGroup);
        for (size_t i = 0; i < count; ++i)
            out[keys[g]].push_back(std::move((*groups[g])[i].json));
    }
    return { 200, std::move(out), {} };
}

Answer QVDemoApi::bulkAddToLibrary(const std::string& data, std::optional<int> user)
{
    std::string error;
    const auto parsed = QVDemoJson::parse(data, error, { 8, 2 * maxLibrarySongs });
    if (!parsed)
        return refuse(400, "Field \"data\" is not valid JSON (" + error + ").");
    if (!parsed->is_object())
        return refuse(400, "Field \"data\" must be a JSON object of artists.");

    std::set<int> matched;
    size_t songs = 0;
    for (const auto& [artistName, albums] : parsed->items()) {
        if (!albums.is_object())
            return refuse(400, "Artist " + named(artistName) + " must map to an object of albums.");
        const std::string artist = folded(artistName);
        for (const auto& [albumName, names] : albums.items()) {
            if (!names.is_array())
                return refuse(400,
                    "Album " + named(albumName) + " of " + named(artistName)
                        + " must map to an array of song names.");
            songs += names.size();
            if (songs > maxLibrarySongs)
                return refuse(
                    413, "Too many songs in one call: at most " + std::to_string(maxLibrarySongs) + ".");
            const std::string album = folded(albumName);
            for (const nlohmann::json& name : names) {
                if (!name.is_string())
                    return refuse(400, "Song names of album " + named(albumName) + " must be strings.");
                const std::string song = folded(name.get_ref<const std::string&>());
                for (const auto& track : _catalogue.tracks()) {
                    const QVDemoCatalogue::Artist* ar = _catalogue.artist(track.artistKey);
                    const QVDemoCatalogue::Album* al = _catalogue.album(track.albumKey);
                    if (ar && al && folded(track.name) == song && folded(al->name) == album
                        && folded(ar->name) == artist)
                        matched.insert(track.id);
                }
            }
        }
    }

    std::vector<int> added;
    for (int id : matched) {
        if (!user || !_accounts.isInCollection(*user, id))
            added.push_back(id);
    }
    std::vector<int> addedAlbums;
    for (const auto& album : _catalogue.albums()) {
        bool whole = !album.trackKeys.empty();
        bool anyNew = false;
        for (const std::string& key : album.trackKeys) {
            const QVDemoCatalogue::Track* track = _catalogue.track(key);
            whole = whole && track && matched.count(track->id);
            anyNew = anyNew || (track && std::find(added.begin(), added.end(), track->id) != added.end());
        }
        if (whole && anyNew)
            addedAlbums.push_back(album.id);
    }
    if (user)
        _accounts.changeCollection(*user, QVDemoAccounts::CollectionAction::Add, added);
    return { 200,
        { { "found", matched.size() }, { "new", added.size() }, { "tracks", added },
            { "albums", addedAlbums } },
        {} };
}

Answer QVDemoApi::addToLibraryCompleted(const std::string& data, std::optional<int> user)
{
    std::string error;
    const auto parsed = QVDemoJson::parse(data, error, { 4, 2 * maxCompletedIdentifiers + 2 });
    if (!parsed)
        return refuse(400, "Field \"data\" is not valid JSON (" + error + ").");
    if (!parsed->is_object())
        return refuse(400, "Field \"data\" must be a JSON object with \"albums\" and \"tracks\".");
    std::vector<int> albumIds;
    std::vector<int> trackIds;
    if (auto problem = readIdentifiers(*parsed, "albums", albumIds))
        return refuse(400, *problem);
    if (auto problem = readIdentifiers(*parsed, "tracks", trackIds))
        return refuse(400, *problem);

    std::vector<int> collection;
    for (int id : trackIds) {
        if (!_catalogue.trackWithId(id))
            return refuse(400, "Unknown track identifier " + std::to_string(id) + ".");
        collection.push_back(id);
    }
    for (int id : albumIds) {
        const auto& all = _catalogue.albums();
        const auto album = std::find_if(
            all.begin(), all.end(), [id](const QVDemoCatalogue::Album& a) { return a.id == id; });
        if (album == all.end())
            return refuse(400, "Unknown album identifier " + std::to_string(id) + ".");
        for (const std::string& key : album->trackKeys) {
            if (const QVDemoCatalogue::Track* track = _catalogue.track(key))
                collection.push_back(track->id);
        }
    }
    if (user)
        _accounts.changeCollection(*user, QVDemoAccounts::CollectionAction::Add, collection);
    return { 200, { { "signedIn", user.has_value() } }, {} };
}

Answer QVDemoApi::submitAppLog(const std::string& appName, const std::string& log)
{
    const bool nameIsPlain = !appName.empty() && appName.size() <= maxAppNameLength
        && appName.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789._-")
            == std::string::npos;
    if (!nameIsPlain)
        return refuse(400,
            "Field \"appName\" must be 1 to " + std::to_string(maxAppNameLength)
                + " letters, digits, dots, dashes or underscores.");
    if (log.empty())
        return refuse(400, "Field \"log\" is empty.");
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    std::lock_guard lock(_logMutex);
    _logs.push_back({ appName, log, std::chrono::duration_cast<std::chrono::seconds>(now).count() });
    while (_logs.size() > maxKeptLogs)
        _logs.pop_front();
    return { 200, { { "stored", true } }, {} };
}

nlohmann::json QVDemoApi::appLogs() const
{
    std::lock_guard lock(_logMutex);
    nlohmann::json logs = nlohmann::json::array();
    for (const AppLog& entry : _logs)
        logs.push_back(
            { { "appName", entry.appName }, { "log", entry.log }, { "received", entry.received } });
    return { { "logs", std::move(logs) } };
}

bool QVDemoApi::isRecordedCall(const std::string& call)
{
    return call == "bulkAddToLibrary" || call == "addToLibraryCompleted";
}

void QVDemoApi::recordReceived(const std::string& call, const std::string& data, int status)
{
    std::lock_guard lock(_logMutex);
    _received.push_back({ call, data, status });
    _receivedBytes += data.size();
    while (_received.size() > maxReceivedCalls || _receivedBytes > maxReceivedBytes) {
        _receivedBytes -= _received.front().data.size();
        _received.pop_front();
    }
}

nlohmann::json QVDemoApi::received(const std::string& call) const
{
    std::lock_guard lock(_logMutex);
    nlohmann::json list = nlohmann::json::array();
    for (const Received& entry : _received) {
        if (entry.call == call)
            list.push_back({ { "data", entry.data }, { "status", entry.status } });
    }
    return { { "received", std::move(list) } };
}
