#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>

// Synthesised audio for the demo catalogue: each track is a short melody of its
// own (a 16-bit mono PCM WAV file), made on first request and kept in memory.
class QVDemoAudio
{
public:
    static constexpr int sampleRate = 22050;
    static constexpr size_t headerSize = 44;

    // The track's WAV file; the same bytes on every call.
    std::shared_ptr<const std::string> wav(const std::string& trackKey, int seed, int seconds);

    // A WAV file of exactly `seconds` seconds; `seed` picks key, scale, tempo and timbre.
    static std::string synthesise(int seed, int seconds);

private:
    std::mutex _mutex;
    std::map<std::string, std::shared_ptr<const std::string>> _cache;
};
