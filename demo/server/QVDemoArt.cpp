#include "QVDemoArt.h"

#include <png.h>

#include <algorithm>
#include <cctype>
#include <charconv>

namespace {

// 5 by 7 glyphs, one string per row, for A-Z then 0-9.
constexpr const char* glyphs[36][7] = {
    { "01110", "10001", "10001", "11111", "10001", "10001", "10001" }, // A
    { "11110", "10001", "10001", "11110", "10001", "10001", "11110" }, // B
    { "01110", "10001", "10000", "10000", "10000", "10001", "01110" }, // C
    { "11110", "10001", "10001", "10001", "10001", "10001", "11110" }, // D
    { "11111", "10000", "10000", "11110", "10000", "10000", "11111" }, // E
    { "11111", "10000", "10000", "11110", "10000", "10000", "10000" }, // F
    { "01110", "10001", "10000", "10111", "10001", "10001", "01111" }, // G
    { "10001", "10001", "10001", "11111", "10001", "10001", "10001" }, // H
    { "01110", "00100", "00100", "00100", "00100", "00100", "01110" }, // I
    { "00111", "00010", "00010", "00010", "00010", "10010", "01100" }, // J
    { "10001", "10010", "10100", "11000", "10100", "10010", "10001" }, // K
    { "10000", "10000", "10000", "10000", "10000", "10000", "11111" }, // L
    { "10001", "11011", "10101", "10101", "10001", "10001", "10001" }, // M
    { "10001", "10001", "11001", "10101", "10011", "10001", "10001" }, // N
    { "01110", "10001", "10001", "10001", "10001", "10001", "01110" }, // O
    { "11110", "10001", "10001", "11110", "10000", "10000", "10000" }, // P
    { "01110", "10001", "10001", "10001", "10101", "10010", "01101" }, // Q
    { "11110", "10001", "10001", "11110", "10100", "10010", "10001" }, // R
    { "01111", "10000", "10000", "01110", "00001", "00001", "11110" }, // S
    { "11111", "00100", "00100", "00100", "00100", "00100", "00100" }, // T
    { "10001", "10001", "10001", "10001", "10001", "10001", "01110" }, // U
    { "10001", "10001", "10001", "10001", "10001", "01010", "00100" }, // V
    { "10001", "10001", "10001", "10101", "10101", "10101", "01010" }, // W
    { "10001", "10001", "01010", "00100", "01010", "10001", "10001" }, // X
    { "10001", "10001", "10001", "01010", "00100", "00100", "00100" }, // Y
    { "11111", "00001", "00010", "00100", "01000", "10000", "11111" }, // Z
    { "01110", "10001", "10011", "10101", "11001", "10001", "01110" }, // 0
    { "00100", "01100", "00100", "00100", "00100", "00100", "01110" }, // 1
    { "01110", "10001", "00001", "00010", "00100", "01000", "11111" }, // 2
    { "11111", "00010", "00100", "00010", "00001", "10001", "01110" }, // 3
    { "00010", "00110", "01010", "10010", "11111", "00010", "00010" }, // 4
    { "11111", "10000", "11110", "00001", "00001", "10001", "01110" }, // 5
    { "00110", "01000", "10000", "11110", "10001", "10001", "01110" }, // 6
    { "11111", "00001", "00010", "00100", "01000", "01000", "01000" }, // 7
    { "01110", "10001", "10001", "01110", "10001", "10001", "01110" }, // 8
    { "01110", "10001", "10001", "01111", "00001", "00010", "01100" }, // 9
};
constexpr int glyphWidth = 5;
constexpr int glyphHeight = 7;

const char* const* glyph(char c)
{
    if (c >= 'A' && c <= 'Z')
        return glyphs[c - 'A'];
    if (c >= '0' && c <= '9')
        return glyphs[26 + (c - '0')];
    return nullptr;
}

struct Rgb {
    double r, g, b;
};

// "#rrggbb"; anything else is grey. from_chars takes no sign or prefix here.
Rgb parseColor(const std::string& color)
{
    unsigned int value = 0;
    const char* end = color.data() + color.size();
    if (color.size() != 7 || color[0] != '#' || std::from_chars(color.data() + 1, end, value, 16).ptr != end)
        return { 128, 128, 128 };
    return { double(value >> 16), double((value >> 8) & 0xFF), double(value & 0xFF) };
}

uint8_t clampByte(double value)
{
    return static_cast<uint8_t>(std::clamp(value, 0.0, 255.0) + 0.5);
}

// 8-bit RGB rows as a PNG file, empty on failure. libpng's fast mode skips
// row filters and compresses lightly: a cover is made on request.
std::string encodePng(int width, int height, const std::vector<uint8_t>& rgb)
{
    png_image image {};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = PNG_FORMAT_RGB;
    image.flags = PNG_IMAGE_FLAG_FAST;
    png_alloc_size_t size = PNG_IMAGE_PNG_SIZE_MAX(image);
    std::string png(size, '\0');
    if (!png_image_write_to_memory(&image, png.data(), &size, 0, rgb.data(), 0, nullptr))
        return {};
    png.resize(size);
    return png;
}

} // namespace

std::string QVDemoArt::initials(const std::string& name)
{
    std::string out;
    bool wordTaken = false;
    for (const char raw : name) {
        if (out.size() == 2)
            break;
        if (raw == ' ') {
            wordTaken = false;
            continue;
        }
        const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(raw)));
        if (!wordTaken && glyph(c)) {
            out += c;
            wordTaken = true;
        }
    }
    return out;
}

std::vector<uint8_t> QVDemoArt::render(
    const std::string& name, const std::string& color, int width, int height)
{
    std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3);
    const Rgb base = parseColor(color);
    // Light at the top left, dark at the bottom right.
    const Rgb light { base.r * 0.7 + 255 * 0.3, base.g * 0.7 + 255 * 0.3, base.b * 0.7 + 255 * 0.3 };
    const Rgb dark { base.r * 0.45, base.g * 0.45, base.b * 0.45 };
    const double spanX = std::max(1, width - 1);
    const double spanY = std::max(1, height - 1);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const double t = (x / spanX + y / spanY) / 2;
            uint8_t* pixel = &rgb[(static_cast<size_t>(y) * width + x) * 3];
            pixel[0] = clampByte(light.r + (dark.r - light.r) * t);
            pixel[1] = clampByte(light.g + (dark.g - light.g) * t);
            pixel[2] = clampByte(light.b + (dark.b - light.b) * t);
        }
    }

    const std::string letters = initials(name);
    if (letters.empty())
        return rgb;
    // The letters fill about 60% of the width and half the height, centred.
    const int columns = static_cast<int>(letters.size()) * (glyphWidth + 1) - 1;
    const int scale = std::max(1, std::min(width * 6 / 10 / columns, height / 2 / glyphHeight));
    const int left = (width - columns * scale) / 2;
    const int top = (height - glyphHeight * scale) / 2;
    for (size_t i = 0; i < letters.size(); ++i) {
        const char* const* rows = glyph(letters[i]);
        const int glyphLeft = left + static_cast<int>(i) * (glyphWidth + 1) * scale;
        for (int row = 0; row < glyphHeight; ++row) {
            for (int column = 0; column < glyphWidth; ++column) {
                if (rows[row][column] != '1')
                    continue;
                for (int dy = 0; dy < scale; ++dy) {
                    for (int dx = 0; dx < scale; ++dx) {
                        const int x = glyphLeft + column * scale + dx;
                        const int y = top + row * scale + dy;
                        if (x < 0 || y < 0 || x >= width || y >= height)
                            continue;
                        uint8_t* pixel = &rgb[(static_cast<size_t>(y) * width + x) * 3];
                        pixel[0] = pixel[1] = pixel[2] = 250;
                    }
                }
            }
        }
    }
    return rgb;
}

std::shared_ptr<const std::string> QVDemoArt::cover(
    const std::string& albumKey, const std::string& name, const std::string& color, int width, int height)
{
    if (width < minimumSize || width > maximumSize || height < minimumSize || height > maximumSize)
        return nullptr;
    const std::string key = albumKey + "/" + std::to_string(width) + "x" + std::to_string(height);
    {
        std::lock_guard lock(_mutex);
        if (const auto found = _cache.find(key); found != _cache.end())
            return found->second;
    }
    // Made outside the lock: two threads may both make one cover, and get the same bytes.
    auto png
        = std::make_shared<const std::string>(encodePng(width, height, render(name, color, width, height)));
    if (png->empty())
        return nullptr;
    std::lock_guard lock(_mutex);
    if (_cache.emplace(key, png).second) {
        _order.push_back(key);
        if (_order.size() > maxCached) {
            _cache.erase(_order.front());
            _order.pop_front();
        }
    }
    return _cache.at(key);
}
