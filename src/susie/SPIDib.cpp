#include "susie/SPIDib.h"

#include "susie_plugin.h"

#include <cstring>
#include <limits>

namespace gz {

std::optional<TSPIDibGeometry> CheckPluginBitmap(const void* info, std::size_t infoBlockSize,
                                                 std::size_t bitsBlockSize)
{
    if (!info || infoBlockSize < sizeof(SusieBitmapInfoHeader))
        return std::nullopt;
    SusieBitmapInfoHeader h;
    std::memcpy(&h, info, sizeof h);
    if (h.biSize != sizeof(SusieBitmapInfoHeader) || h.biCompression != 0)
        return std::nullopt;
    if (h.biWidth <= 0 || h.biHeight == 0 || h.biHeight == std::numeric_limits<std::int32_t>::min())
        return std::nullopt;
    switch (h.biBitCount) {
    case 1: case 4: case 8: case 16: case 24: case 32: break;
    default: return std::nullopt;
    }

    std::uint32_t colors = h.biClrUsed;
    if (colors == 0)
        colors = h.biBitCount == 1 ? 2 : h.biBitCount == 4 ? 16 : h.biBitCount == 8 ? 256 : 0;
    if (colors > 256)
        return std::nullopt;
    const std::uint64_t infoSize = 40 + 4 * std::uint64_t(colors);
    if (infoSize > infoBlockSize)
        return std::nullopt;

    const std::uint64_t height = h.biHeight < 0 ? std::uint64_t(-std::int64_t(h.biHeight)) : std::uint64_t(h.biHeight);
    const std::uint64_t rowBytes = (std::uint64_t(h.biWidth) * h.biBitCount + 31) / 32 * 4;
    if (rowBytes > bitsBlockSize / height)
        return std::nullopt;
    const std::uint64_t imageSize = rowBytes * height; // fits: at most bitsBlockSize
    if (14 + infoSize + imageSize > std::uint64_t(std::numeric_limits<std::int32_t>::max()))
        return std::nullopt;

    TSPIDibGeometry g;
    g.Width = h.biWidth;
    g.Height = h.biHeight;
    g.BitCount = h.biBitCount;
    g.Colors = std::int32_t(colors);
    g.InfoSize = std::int32_t(infoSize);
    g.ImageSize = std::int32_t(imageSize);
    return g;
}

} // namespace gz
