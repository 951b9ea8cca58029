#include "susie/SPIDib.h"

#include "susie_plugin.h"

#include <cstring>
#include <string_view>
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

TSPIPictureNotes ReadPictureNotes(void* textHandle)
{
    TSPIPictureNotes notes;
    const std::size_t size = LocalSize(textHandle);
    const auto* text = static_cast<const char*>(LocalLock(textHandle));
    if (!text)
        return notes;
    static constexpr std::string_view orientation = SUSIE_NOTE_ORIENTATION, alpha = SUSIE_NOTE_ALPHA_WHITE;
    // The text ends at its zero byte or at the end of the block, whichever comes first.
    const auto* zero = static_cast<const char*>(std::memchr(text, 0, size));
    std::string_view rest(text, zero ? std::size_t(zero - text) : size);
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line == alpha)
            notes.OpacityOverWhite = true;
        else if (line.size() == orientation.size() + 1 && line.substr(0, orientation.size()) == orientation &&
                 line.back() >= '1' && line.back() <= '8')
            notes.Orientation = line.back() - '0';
    }
    LocalUnlock(textHandle);
    return notes;
}

} // namespace gz
