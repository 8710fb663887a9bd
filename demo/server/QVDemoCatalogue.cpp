#include "QVDemoCatalogue.h"

#include <nlohmann/json.hpp>

#include <algorithm>

namespace {

template <typename T> const T* findByKey(const std::vector<T>& items, const std::string& key)
{
    const auto it = std::find_if(items.begin(), items.end(), [&](const T& item) { return item.key == key; });
    return it == items.end() ? nullptr : &*it;
}

} // namespace

QVDemoCatalogue::QVDemoCatalogue()
{
    _artists = {
        { "r1", 1, "The Paper Lanterns" },
        { "r2", 2, "Mira Okafor" },
        { "r3", 3, "Northbound Static" },
    };
    _albums = {
        { "a11", 11, "Harbour Lights", "r1", 2019, "#d9822b", { "t101", "t102", "t103" } },
        { "a12", 12, "Small Rooms", "r1", 2021, "#5b8c5a", { "t104", "t105", "t106" } },
        { "a13", 13, "Blue Hour Sessions", "r2", 2020, "#3a6ea5", { "t107", "t108", "t109" } },
        { "a14", 14, "Signal Drift", "r3", 2022, "#8e44ad", { "t110", "t111", "t112" } },
    };
    _tracks = {
        { "t101", 101, "Lanterns on the Water", "r1", "a11", 1, 34, 1 },
        { "t102", 102, "Pier at Midnight", "r1", "a11", 2, 41, 2 },
        { "t103", 103, "Saltwind", "r1", "a11", 3, 37, 3 },
        { "t104", 104, "Kitchen Radio", "r1", "a12", 1, 32, 4 },
        { "t105", 105, "Stairwell Echo", "r1", "a12", 2, 45, 5 },
        { "t106", 106, "Paper Walls", "r1", "a12", 3, 38, 6 },
        { "t107", 107, "Blue Hour", "r2", "a13", 1, 47, 7 },
        { "t108", 108, "Smoke & Brass", "r2", "a13", 2, 36, 8 },
        { "t109", 109, "Quiet Avenue", "r2", "a13", 3, 42, 9 },
        { "t110", 110, "Carrier Wave", "r3", "a14", 1, 39, 10 },
        { "t111", 111, "Low Orbit", "r3", "a14", 2, 44, 11 },
        { "t112", 112, "Static Bloom", "r3", "a14", 3, 31, 12 },
    };
    _stations = {
        { "sr1", 1, "The Paper Lanterns Radio", "artist", "The Paper Lanterns and artists like them",
            { "t101", "t104", "t107", "t102", "t105", "t103", "t106" } },
        { "sr2", 2, "Late Night Jazz", "genre", "Slow, warm and after hours",
            { "t107", "t108", "t109", "t105" } },
        { "sr3", 3, "Electronic Focus", "genre", "Steady electronic music to work to",
            { "t110", "t111", "t112", "t103" } },
    };
    _playlists = {
        { "p1", 1, "Harbour Evenings", "Lena Brandt", { "t101", "t102", "t107", "t109" } },
        { "p2", 2, "Static & Signals", "Omar Reyes", { "t110", "t111", "t112" } },
        { "p3", 3, "Small Hours", "Lena Brandt", { "t104", "t108", "t105" } },
    };
    _people = {
        { "s1", 1, "Lena Brandt", "lenab", true },
        { "s2", 2, "Omar Reyes", "omarr", false },
        { "s3", 3, "Mira Okafor Fans", "miraokafans", false },
    };
}

const QVDemoCatalogue::Artist* QVDemoCatalogue::artist(const std::string& key) const
{
    return findByKey(_artists, key);
}

const QVDemoCatalogue::Album* QVDemoCatalogue::album(const std::string& key) const
{
    return findByKey(_albums, key);
}

const QVDemoCatalogue::Track* QVDemoCatalogue::track(const std::string& key) const
{
    return findByKey(_tracks, key);
}

const QVDemoCatalogue::Track* QVDemoCatalogue::trackWithId(int id) const
{
    const auto it = std::find_if(_tracks.begin(), _tracks.end(), [&](const Track& t) { return t.id == id; });
    return it == _tracks.end() ? nullptr : &*it;
}

const QVDemoCatalogue::Station* QVDemoCatalogue::station(const std::string& key) const
{
    return findByKey(_stations, key);
}

const QVDemoCatalogue::Playlist* QVDemoCatalogue::playlist(const std::string& key) const
{
    return findByKey(_playlists, key);
}

nlohmann::json QVDemoCatalogue::json() const
{
    nlohmann::json out = { { "artists", nlohmann::json::array() }, { "albums", nlohmann::json::array() },
        { "tracks", nlohmann::json::array() }, { "stations", nlohmann::json::array() },
        { "playlists", nlohmann::json::array() }, { "people", nlohmann::json::array() } };
    const auto nameOf = [](const auto* item) { return item ? item->name : std::string(); };
    for (const Artist& a : _artists)
        out["artists"].push_back(
            { { "key", a.key }, { "id", a.id }, { "name", a.name }, { "url", "/artist/" + a.key + "/" } });
    for (const Album& a : _albums)
        out["albums"].push_back({ { "key", a.key }, { "id", a.id }, { "name", a.name },
            { "artistKey", a.artistKey }, { "artist", nameOf(artist(a.artistKey)) }, { "year", a.year },
            { "color", a.color }, { "baseIcon", a.key }, { "url", "/album/" + a.key + "/" },
            { "artistUrl", "/artist/" + a.artistKey + "/" }, { "tracks", a.trackKeys } });
    for (const Track& t : _tracks)
        out["tracks"].push_back({ { "key", t.key }, { "id", t.id }, { "name", t.name },
            { "artistKey", t.artistKey }, { "artist", nameOf(artist(t.artistKey)) },
            { "albumKey", t.albumKey }, { "album", nameOf(album(t.albumKey)) }, { "trackNum", t.trackNumber },
            { "duration", t.duration }, { "url", "/track/" + t.key + "/" },
            { "artistUrl", "/artist/" + t.artistKey + "/" }, { "albumUrl", "/album/" + t.albumKey + "/" },
            { "baseIcon", t.albumKey }, { "audioUrl", "/media/audio/" + t.key + ".wav" } });
    for (const Station& s : _stations)
        out["stations"].push_back({ { "key", s.key }, { "id", s.id }, { "name", s.name }, { "type", s.type },
            { "description", s.description }, { "url", "/station/" + s.key + "/" },
            { "tracks", s.trackKeys } });
    for (const Playlist& p : _playlists)
        out["playlists"].push_back({ { "key", p.key }, { "id", p.id }, { "name", p.name },
            { "owner", p.owner }, { "url", "/playlist/" + p.key + "/" }, { "tracks", p.trackKeys } });
    for (const Person& p : _people)
        out["people"].push_back({ { "key", p.key }, { "id", p.id }, { "name", p.name },
            { "vanity", p.vanity }, { "url", "/people/" + p.vanity + "/" } });
    return out;
}
