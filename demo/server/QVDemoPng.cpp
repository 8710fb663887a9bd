#include "QVDemoPng.h"

#include <zlib.h>

namespace {

void appendBigEndian(std::string& out, uint32_t value)
{
    out += static_cast<char>(value >> 24);
    out += static_cast<char>(value >> 16);
    out += static_cast<char>(value >> 8);
    out += static_cast<char>(value);
}

// Length, type, data and the CRC over type and data.
void appendChunk(std::string& out, const char* type, const std::string& data)
{
    appendBigEndian(out, static_cast<uint32_t>(data.size()));
    const std::string typed = std::string(type, 4) + data;
    out += typed;
    const uLong crc = crc32(
        crc32(0L, Z_NULL, 0), reinterpret_cast<const Bytef*>(typed.data()), static_cast<uInt>(typed.size()));
    appendBigEndian(out, static_cast<uint32_t>(crc));
}

} // namespace

std::string QVDemoPng::encode(int width, int height, const std::vector<uint8_t>& rgb)
{
    if (width <= 0 || height <= 0 || rgb.size() != static_cast<size_t>(width) * height * 3)
        return {};
    const size_t stride = static_cast<size_t>(width) * 3;
    // Each row starts with its filter type, 0 (none).
    std::string raw;
    raw.reserve((stride + 1) * height);
    for (int y = 0; y < height; ++y) {
        raw += '\0';
        raw.append(reinterpret_cast<const char*>(rgb.data()) + y * stride, stride);
    }
    uLongf compressedLength = compressBound(static_cast<uLong>(raw.size()));
    std::string compressed(compressedLength, '\0');
    if (compress2(reinterpret_cast<Bytef*>(compressed.data()), &compressedLength,
            reinterpret_cast<const Bytef*>(raw.data()), static_cast<uLong>(raw.size()), Z_BEST_SPEED)
        != Z_OK)
        return {};
    compressed.resize(compressedLength);

    std::string header;
    appendBigEndian(header, static_cast<uint32_t>(width));
    appendBigEndian(header, static_cast<uint32_t>(height));
    header += '\x08'; // bits per sample
    header += '\x02'; // colour type: RGB
    header += '\0'; // compression: deflate
    header += '\0'; // filter method
    header += '\0'; // no interlace

    std::string png("\x89PNG\r\n\x1a\n", 8);
    appendChunk(png, "IHDR", header);
    appendChunk(png, "IDAT", compressed);
    appendChunk(png, "IEND", {});
    return png;
}
