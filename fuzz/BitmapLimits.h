#pragma once
// Size caps shared by the fuzz targets that read bitmap files.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace gz::fuzz {

// Largest raster a bitmap target reads; larger ones are skipped, as reading them is slow, not
// different.
constexpr std::uint64_t kMaxBitmapPixels = std::uint64_t(1) << 16;

// Width times height a bitmap file's header declares (0 when there is no header to look at).
inline std::uint64_t DeclaredBitmapPixels(const std::uint8_t* data, std::size_t size)
{
    const std::size_t at = size >= 2 && data[0] == 'B' && data[1] == 'A' ? 28 : 14;
    if (size < at + 12)
        return 0;
    std::uint32_t headerSize;
    std::memcpy(&headerSize, data + at, 4);
    if (headerSize == 12) {
        std::uint16_t wh[2];
        std::memcpy(wh, data + at + 4, 4);
        return std::uint64_t(wh[0]) * wh[1];
    }
    std::int32_t wh[2];
    std::memcpy(wh, data + at + 4, 8);
    return std::uint64_t(std::abs(std::int64_t(wh[0]))) * std::uint64_t(std::abs(std::int64_t(wh[1])));
}

} // namespace gz::fuzz
