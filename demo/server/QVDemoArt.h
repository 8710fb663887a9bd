#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// Album covers for the demo catalogue: a diagonal gradient of the album's
// colour with its initials, as PNG files made on request. The last few are kept
// in memory so range requests for one cover see the same bytes cheaply; the
// bytes for a given album and size never change anyway.
class QVDemoArt
{
public:
    static constexpr int minimumSize = 16;
    static constexpr int maximumSize = 1024;
    static constexpr size_t maxCached = 32;

    // Empty on a size out of bounds. Safe from any thread.
    std::shared_ptr<const std::string> cover(const std::string& albumKey, const std::string& name,
        const std::string& color, int width, int height);

    // The first ASCII letter or digit of each of the first two words that have
    // one, upper case: "Small Rooms" -> "SR", "Smoke & Brass" -> "SB".
    static std::string initials(const std::string& name);
    // width * height * 3 bytes of RGB, rows top to bottom. `color` is "#rrggbb";
    // anything else draws grey.
    static std::vector<uint8_t> render(
        const std::string& name, const std::string& color, int width, int height);

private:
    std::mutex _mutex;
    std::map<std::string, std::shared_ptr<const std::string>> _cache;
    std::deque<std::string> _order; // oldest first
};
