#include "QVDemoAudio.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

namespace {

constexpr double twoPi = 6.283185307179586;

void putLE(std::string& out, uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

// A small deterministic generator so a track sounds the same on every run.
struct Lcg {
    uint32_t state;
    uint32_t next()
    {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    }
    int below(int n) { return static_cast<int>(next() % static_cast<uint32_t>(n)); }
};

} // namespace

std::shared_ptr<const std::string> QVDemoAudio::wav(const std::string& trackKey, int seed, int seconds)
{
    std::lock_guard lock(_mutex);
    auto& slot = _cache[trackKey];
    if (!slot)
        slot = std::make_shared<const std::string>(synthesise(seed, seconds));
    return slot;
}

std::string QVDemoAudio::synthesise(int seed, int seconds)
{
    seconds = std::clamp(seconds, 1, 600);
    const size_t frames = static_cast<size_t>(seconds) * sampleRate;

    Lcg rng { static_cast<uint32_t>(seed) * 2654435761u + 12345u };
    static constexpr std::array<int, 8> majorPentatonic { 0, 2, 4, 7, 9, 12, 14, 16 };
    static constexpr std::array<int, 8> minorPentatonic { 0, 3, 5, 7, 10, 12, 15, 17 };
    const auto& scale = (seed % 2) ? majorPentatonic : minorPentatonic;
    const double root = 220.0 * std::pow(2.0, ((seed * 5) % 12) / 12.0);
    const double bpm = 84.0 + (seed * 7) % 48;
    const double noteSeconds = 30.0 / bpm; // eighth notes
    const std::array<double, 3> harmonics { 1.0, 0.15 + 0.2 * (seed % 3), 0.1 * (seed % 4) };

    // A 16-note phrase by random walk over the scale; every other phrase is varied.
    std::vector<int> phrase(16);
    int degree = rng.below(4);
    for (int& note : phrase) {
        degree = std::clamp(degree + rng.below(5) - 2, 0, static_cast<int>(scale.size()) - 1);
        note = scale[static_cast<size_t>(degree)];
    }

    std::string out;
    out.reserve(headerSize + frames * 2);
    const uint32_t dataBytes = static_cast<uint32_t>(frames * 2);
    out += "RIFF";
    putLE(out, 36 + dataBytes, 4);
    out += "WAVEfmt ";
    putLE(out, 16, 4);
    putLE(out, 1, 2); // PCM
    putLE(out, 1, 2); // mono
    putLE(out, sampleRate, 4);
    putLE(out, sampleRate * 2, 4);
    putLE(out, 2, 2);
    putLE(out, 16, 2);
    out += "data";
    putLE(out, dataBytes, 4);

    const size_t noteFrames = static_cast<size_t>(noteSeconds * sampleRate);
    const size_t barFrames = noteFrames * 8;
    double melodyPhase = 0;
    double bassPhase = 0;
    for (size_t i = 0; i < frames; ++i) {
        const size_t noteIndex = i / noteFrames;
        const size_t phraseIndex = noteIndex / phrase.size();
        int semitones = phrase[noteIndex % phrase.size()];
        if (phraseIndex % 2 == 1 && noteIndex % 4 == 3)
            semitones += 5;
        const double t = static_cast<double>(i % noteFrames) / sampleRate;
        const double envelope = std::min(1.0, t / 0.01) * std::exp(-t / (noteSeconds * 0.6));
        melodyPhase += twoPi * root * std::pow(2.0, semitones / 12.0) / sampleRate;
        double melody = 0;
        for (size_t h = 0; h < harmonics.size(); ++h)
            melody += harmonics[h] * std::sin(melodyPhase * static_cast<double>(h + 1));

        const double bar = static_cast<double>(i % barFrames) / sampleRate;
        const int bassStep = static_cast<int>((i / barFrames) % 4);
        static constexpr std::array<int, 4> bassLine { 0, 5, 7, 5 };
        bassPhase
            += twoPi * root / 2 * std::pow(2.0, bassLine[static_cast<size_t>(bassStep)] / 12.0) / sampleRate;
        const double bass = std::sin(bassPhase) * std::exp(-bar / (noteSeconds * 6));

        const double position = static_cast<double>(i) / sampleRate;
        const double fade = std::min({ 1.0, position / 0.05, (seconds - position) / 1.0 });
        const double value = (0.25 * envelope * melody + 0.18 * bass) * std::max(0.0, fade);
        const auto sample = static_cast<int16_t>(std::lround(std::clamp(value, -1.0, 1.0) * 32767.0));
        putLE(out, static_cast<uint16_t>(sample), 2);
    }
    return out;
}
