#include "QVDemoCatalogue.h"

#include "QVDemoJson.h"

#include <algorithm>

namespace {

template <typename T> const T* findByKey(const std::vector<T>& items, const std::string& key)
{
    const auto it = std::find_if(items.begin(), items.end(), [&](const T& item) { return item.key == key; });
    return it == items.end() ? nullptr : &*it;
}

std::string keyList(const std::vector<std::string>& keys)
{
    std::string out = "[";
    for (size_t i = 0; i < keys.size(); ++i)
        out += (i ? "," : "") + QVDemoJson::quote(keys[i]);
    return out + "]";
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

std::string QVDemoCatalogue::json() const
{
    std::string out = "{\"artists\":[";
    for (size_t i = 0; i < _artists.size(); ++i) {
        const Artist& a = _artists[i];
        out += std::string(i ? "," : "") + "{\"key\":" + QVDemoJson::quote(a.key)
            + ",\"id\":" + std::to_string(a.id) + ",\"name\":" + QVDemoJson::quote(a.name)
            + ",\"url\":" + QVDemoJson::quote("/artist/" + a.key + "/") + "}";
    }
    out += "],\"albums\":[";
    for (size_t i = 0; i < _albums.size(); ++i) {
        const Album& a = _albums[i];
        const Artist* ar = artist(a.artistKey);
        out += std::string(i ? "," : "") + "{\"key\":" + QVDemoJson::quote(a.key)
            + ",\"id\":" + std::to_string(a.id) + ",\"name\":" + QVDemoJson::quote(a.name)
            + ",\"artistKey\":" + QVDemoJson::quote(a.artistKey)
            + ",\"artist\":" + QVDemoJson::quote(ar ? ar->name : "") + ",\"year\":" + std::to_string(a.year)
            + ",\"color\":" + QVDemoJson::quote(a.color) + ",\"baseIcon\":" + QVDemoJson::quote(a.key)
            + ",\"url\":" + QVDemoJson::quote("/album/" + a.key + "/") + ",\"artistUrl\":"
            + QVDemoJson::quote("/artist/" + a.artistKey + "/") + ",\"tracks\":" + keyList(a.trackKeys) + "}";
    }
    out += "],\"tracks\":[";
    for (size_t i = 0; i < _tracks.size(); ++i) {
        const Track& t = _tracks[i];
        const Artist* ar = artist(t.artistKey);
        const Album* al = album(t.albumKey);
        out += std::string(i ? "," : "") + "{\"key\":" + QVDemoJson::quote(t.key)
            + ",\"id\":" + std::to_string(t.id) + ",\"name\":" + QVDemoJson::quote(t.name) + ",\"artistKey\":"
            + QVDemoJson::quote(t.artistKey) + ",\"artist\":" + QVDemoJson::quote(ar ? ar->name : "")
            + ",\"albumKey\":" + QVDemoJson::quote(t.albumKey)
            + ",\"album\":" + QVDemoJson::quote(al ? al->name : "")
            + ",\"trackNum\":" + std::to_string(t.trackNumber) + ",\"duration\":" + std::to_string(t.duration)
            + ",\"url\":" + QVDemoJson::quote("/track/" + t.key + "/")
            + ",\"artistUrl\":" + QVDemoJson::quote("/artist/" + t.artistKey + "/")
            + ",\"albumUrl\":" + QVDemoJson::quote("/album/" + t.albumKey + "/")
            + ",\"baseIcon\":" + QVDemoJson::quote(t.albumKey)
            + ",\"audioUrl\":" + QVDemoJson::quote("/media/audio/" + t.key + ".wav") + "}";
    }
    out += "],\"stations\":[";
    for (size_t i = 0; i < _stations.size(); ++i) {
        const Station& s = _stations[i];
        out += std::string(i ? "," : "") + "{\"key\":" + QVDemoJson::quote(s.key)
            + ",\"id\":" + std::to_string(s.id) + ",\"name\":" + QVDemoJson::quote(s.name) + ",\"type\":"
            + QVDemoJson::quote(s.type) + ",\"description\":" + QVDemoJson::quote(s.description) + ",\"url\":"
            + QVDemoJson::quote("/station/" + s.key + "/") + ",\"tracks\":" + keyList(s.trackKeys) + "}";
    }
    return out + "]}";
}
