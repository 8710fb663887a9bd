#pragma once

#include <nlohmann/json_fwd.hpp>

#include <string>
#include <vector>

// The demo service's small, fixed music catalogue. Keys carry a kind prefix and
// the numeric id the client's collection queries use: artist "r1", album "a11",
// track "t101", station "sr1".
class QVDemoCatalogue
{
public:
    struct Artist {
        std::string key;
        int id;
        std::string name;
    };
    struct Album {
        std::string key;
        int id;
        std::string name;
        std::string artistKey;
        int year;
        std::string color; // cover colour in the page, "#rrggbb"
        std::vector<std::string> trackKeys;
    };
    struct Track {
        std::string key;
        int id;
        std::string name;
        std::string artistKey;
        std::string albumKey;
        int trackNumber;
        int duration; // whole seconds; the synthesised audio is exactly this long
        int seed; // picks the melody
    };
    struct Station {
        std::string key;
        int id;
        std::string name;
        std::string type;
        std::string description;
        std::vector<std::string> trackKeys;
    };

    struct Playlist {
        std::string key; // "p1"
        int id;
        std::string name;
        std::string owner; // a person's name
        std::vector<std::string> trackKeys;
    };
    struct Person {
        std::string key; // "s1"
        int id;
        std::string name;
        std::string vanity; // the person's page is /people/<vanity>/
        bool followed; // the demo account follows them
    };

    QVDemoCatalogue();

    const std::vector<Artist>& artists() const { return _artists; }
    const std::vector<Album>& albums() const { return _albums; }
    const std::vector<Track>& tracks() const { return _tracks; }
    const std::vector<Station>& stations() const { return _stations; }
    const std::vector<Playlist>& playlists() const { return _playlists; }
    const std::vector<Person>& people() const { return _people; }

    const Artist* artist(const std::string& key) const;
    const Album* album(const std::string& key) const;
    const Track* track(const std::string& key) const;
    const Track* trackWithId(int id) const;
    const Station* station(const std::string& key) const;
    const Playlist* playlist(const std::string& key) const;

    // The whole catalogue as the web application loads it.
    nlohmann::json json() const;

private:
    std::vector<Artist> _artists;
    std::vector<Album> _albums;
    std::vector<Track> _tracks;
    std::vector<Station> _stations;
    std::vector<Playlist> _playlists;
    std::vector<Person> _people;
};
