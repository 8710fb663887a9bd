#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Writes 8-bit RGB images as PNG files (zlib-compressed, no filtering).
class QVDemoPng
{
public:
    // `rgb` holds width * height * 3 bytes, rows top to bottom. Empty on a
    // size mismatch or a compression failure.
    static std::string encode(int width, int height, const std::vector<uint8_t>& rgb);
};
