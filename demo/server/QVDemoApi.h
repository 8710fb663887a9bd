#pragma once

#include "QVDemoAccounts.h"
#include "QVDemoCatalogue.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>

// The service's JSON calls that the desktop client makes directly: search
// suggestions, library matching and crash logs. Each takes fields the server
// has extracted and held to the lengths below (form fields checked as UTF-8
// too), and answers a status with JSON, or a 4xx with a message. Safe from
// the server's worker threads.
class QVDemoApi
{
public:
    static constexpr size_t maxQueryLength = 1024; // bytes of UTF-8
    static constexpr size_t maxSuggestionsPerGroup = 5;
    static constexpr size_t maxLibraryDataLength = 4 << 20;
    static constexpr size_t maxLibrarySongs = 10000;
    static constexpr size_t maxCompletedIdentifiers = 10000;
    static constexpr size_t maxAppNameLength = 32;
    // The client cuts its crash logs to this many bytes.
    static constexpr size_t maxLogLength = 1 << 20;
    static constexpr size_t maxKeptLogs = 8;
    // What the matching calls received, kept for tests within these bounds.
    static constexpr size_t maxReceivedCalls = 20000;
    static constexpr size_t maxReceivedBytes = 64 << 20;

    struct Answer {
        int status = 200;
        nlohmann::json json; // when the status is 200
        std::string message; // else, for the client
    };

    QVDemoApi(const QVDemoCatalogue& catalogue, QVDemoAccounts& accounts);

    // {"top": {...}, "r": [...], "a": [...], "t": [...]}: names containing the
    // query, ignoring ASCII case; the top hit is the best name match and is
    // not listed again in its group. Groups without matches are left out.
    Answer groupedSearchSuggestions(const std::string& query) const;
    // `data`: {artist: {album: [song, ...]}}. Answers {"found", "new", "tracks",
    // "albums"}: catalogue tracks matched by name (ignoring ASCII case and
    // surrounding spaces), those not yet in the user's collection, their ids,
    // and the ids of albums all of whose tracks were matched with one of them
    // new. The new ones join the signed-in user's collection.
    Answer bulkAddToLibrary(const std::string& data, std::optional<int> user);
    // `data`: {"albums": [ids], "tracks": [ids]}; adds them to the user's
    // collection when someone is signed in.
    Answer addToLibraryCompleted(const std::string& data, std::optional<int> user);
    // Keeps the log among the last maxKeptLogs.
    Answer submitAppLog(const std::string& appName, const std::string& log);
    // {"logs": [{"appName", "log", "received"}]}, oldest first.
    nlohmann::json appLogs() const;

    // Keeps the "data" a matching call received and the status it answered.
    void recordReceived(const std::string& call, const std::string& data, int status);
    // {"received": [{"data", "status"}]}, oldest first; null for a call never kept.
    nlohmann::json received(const std::string& call) const;
    static bool isRecordedCall(const std::string& call);

private:
    struct AppLog {
        std::string appName;
        std::string log;
        int64_t received; // seconds since the epoch
    };

    const QVDemoCatalogue& _catalogue;
    QVDemoAccounts& _accounts;
    struct Received {
        std::string call;
        std::string data;
        int status;
    };

    mutable std::mutex _logMutex;
    std::deque<AppLog> _logs;
    std::deque<Received> _received; // under _logMutex
    size_t _receivedBytes = 0;
};
