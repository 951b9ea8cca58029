// Targa pictures: colour-mapped, true-colour and grey, uncompressed or run-length encoded.
// Grey pictures become 8-bit grey bitmaps, everything else 24-bit colour; 32-bit pixels (or
// colour-map entries) whose header gives them 8 attribute bits come as 32-bit bitmaps laid
// over white with their opacity, unless the extension area says the attribute bits are not
// opacity, or every one of them is 0.

#include "PluginKit.h"

#include <algorithm>
#include <cstring>

namespace spi {

const char* const kPluginInfo[] = {
    "00IN",
    "Gazorin Targa plug-in (uncompressed and RLE)",
    "*.tga;*.tpic",
    "Targa",
    nullptr,
};

const std::size_t kPictureInfoBytes = 18; // the header

namespace {

struct Header {
    std::uint8_t idLength, colorMapType, imageType;
    std::uint16_t mapFirst, mapLength;
    std::uint8_t mapEntryBits;
    std::uint16_t width, height;
    std::uint8_t pixelBits, descriptor;
};

Header ParseHeader(const std::uint8_t* p)
{
    Header h;
    h.idLength = p[0];
    h.colorMapType = p[1];
    h.imageType = p[2];
    h.mapFirst = std::uint16_t(p[3] | p[4] << 8);
    h.mapLength = std::uint16_t(p[5] | p[6] << 8);
    h.mapEntryBits = p[7];
    h.width = std::uint16_t(p[12] | p[13] << 8);
    h.height = std::uint16_t(p[14] | p[15] << 8);
    h.pixelBits = p[16];
    h.descriptor = p[17];
    return h;
}

bool ValidMapEntry(int bits) { return bits == 15 || bits == 16 || bits == 24 || bits == 32; }

bool Plausible(const Header& h)
{
    const int type = h.imageType & 7;
    if (h.imageType != type && h.imageType != (type | 8))
        return false;
    if (h.width == 0 || h.height == 0 || (h.descriptor & 0xC0) != 0 || h.colorMapType > 1)
        return false;
    if (h.colorMapType == 1) {
        if (!ValidMapEntry(h.mapEntryBits) || h.mapLength == 0)
            return false;
    } else if (h.mapFirst != 0 || h.mapLength != 0 || h.mapEntryBits != 0) {
        return false;
    }
    switch (type) {
    case 1: return h.colorMapType == 1 && h.pixelBits == 8;
    case 2: return h.pixelBits == 15 || h.pixelBits == 16 || h.pixelBits == 24 || h.pixelBits == 32;
    case 3: return h.pixelBits == 8;
    default: return false;
    }
}

// A pixel or colour-map entry of the given size as blue, green, red, opacity.
void ToBGRA(const std::uint8_t* p, int bits, std::uint8_t* out)
{
    if (bits == 15 || bits == 16) {
        const unsigned v = unsigned(p[0] | p[1] << 8);
        const unsigned r = (v >> 10) & 31, g = (v >> 5) & 31, b = v & 31;
        out[0] = std::uint8_t(b << 3 | b >> 2);
        out[1] = std::uint8_t(g << 3 | g >> 2);
        out[2] = std::uint8_t(r << 3 | r >> 2);
        out[3] = 255;
    } else {
        out[0] = p[0];
        out[1] = p[1];
        out[2] = p[2];
        out[3] = bits == 32 ? p[3] : 255;
    }
}

// What the attribute bits of 32-bit pixels are. The version 2 footer points to an extension
// area whose attributes type says it: 3 opacity, 4 opacity with the colours multiplied by it;
// 0, 1 and 2 no opacity. Without one, the header's 8 attribute bits are taken as opacity.
enum class Attributes { None, Opacity, Premultiplied };

Attributes AttributesOf(const Header& h, const std::uint8_t* data, std::size_t size)
{
    const bool thirtyTwo = ((h.imageType & 7) == 2 && h.pixelBits == 32) ||
                           ((h.imageType & 7) == 1 && h.mapEntryBits == 32);
    if (!thirtyTwo || (h.descriptor & 0x0F) != 8)
        return Attributes::None;
    static const char kSignature[] = "TRUEVISION-XFILE.";
    if (size < 18 + 26 || std::memcmp(data + size - 18, kSignature, sizeof kSignature) != 0)
        return Attributes::Opacity;
    const std::uint8_t* f = data + size - 26;
    const std::size_t extension = std::size_t(f[0] | f[1] << 8 | f[2] << 16) | std::size_t(f[3]) << 24;
    if (extension == 0 || extension < 18 || extension > size - 26 || size - 26 - extension < 495)
        return Attributes::Opacity;
    switch (data[extension + 494]) {
    case 3: return Attributes::Opacity;
    case 4: return Attributes::Premultiplied;
    default: return Attributes::None;
    }
}

// Lays the 32-bit rows over white; attribute bits that are 0 everywhere are no opacity at all.
void LayOverWhite(Dib& dib, bool premultiplied)
{
    bool anyOpacity = false;
    for (int y = 0; y < dib.Height() && !anyOpacity; ++y)
        for (int x = 0; x < dib.Width() && !anyOpacity; ++x)
            anyOpacity = dib.Row(y)[4 * x + 3] != 0;
    for (int y = 0; y < dib.Height(); ++y) {
        std::uint8_t* p = dib.Row(y);
        for (int x = 0; x < dib.Width(); ++x, p += 4) {
            const unsigned a = anyOpacity ? p[3] : 255;
            if (premultiplied) { // the colour is c * a / 255 already: add the white behind it
                for (int c = 0; c < 3; ++c)
                    p[c] = std::uint8_t(std::min(255u, p[c] + 255u - a));
                p[3] = std::uint8_t(a);
            } else {
                PutOverWhite(p, p[2], p[1], p[0], a);
            }
        }
    }
}

} // namespace

bool PluginIsSupported(const char*, const std::uint8_t* head) { return Plausible(ParseHeader(head)); }

int PluginPictureInfo(const std::uint8_t* data, std::size_t size, SusiePictureInfo& info)
{
    if (size < 18 || !Plausible(ParseHeader(data)))
        return SPI_NOT_SUPPORT;
    const Header h = ParseHeader(data);
    info.width = h.width;
    info.height = h.height;
    info.colorDepth = std::int16_t((h.imageType & 7) == 3 ? 8 : (h.imageType & 7) == 1 ? 8 : h.pixelBits);
    return SPI_ALL_RIGHT;
}

int PluginDecode(const std::uint8_t* data, std::size_t size, bool, Dib& dib, Progress& progress)
{
    if (size < 18)
        return SPI_NOT_SUPPORT;
    const Header h = ParseHeader(data);
    if (!Plausible(h))
        return SPI_NOT_SUPPORT;
    const int type = h.imageType & 7;
    const bool rle = (h.imageType & 8) != 0;
    ByteReader r(data, size);
    r.Skip(18);
    if (!r.Skip(h.idLength))
        return SPI_OUT_OF_ORDER;

    // Colour map, as blue, green, red, opacity indexed from mapFirst.
    std::vector<std::uint8_t> map;
    if (h.colorMapType == 1) {
        const int entryBytes = (h.mapEntryBits + 7) / 8;
        const std::uint8_t* entries = nullptr;
        if (!r.Bytes(std::size_t(h.mapLength) * entryBytes, entries))
            return SPI_OUT_OF_ORDER;
        map.resize(std::size_t(h.mapLength) * 4);
        for (int i = 0; i < h.mapLength; ++i)
            ToBGRA(entries + i * entryBytes, h.mapEntryBits, &map[std::size_t(i) * 4]);
    }

    const int pixelBytes = (h.pixelBits + 7) / 8;
    const std::uint64_t pixels = std::uint64_t(h.width) * h.height;
    // Uncompressed data must be all there; a run packet gives at most 128 pixels.
    if (!rle && pixels * pixelBytes > r.Remaining())
        return SPI_OUT_OF_ORDER;
    if (rle && pixels > std::uint64_t(r.Remaining()) * 128)
        return SPI_OUT_OF_ORDER;

    const bool grey = type == 3;
    const Attributes attributes = AttributesOf(h, data, size);
    const int bytes = grey ? 1 : attributes == Attributes::None ? 3 : 4;
    int res = dib.Create(h.width, h.height, bytes * 8, grey ? 256 : 0);
    if (res != SPI_ALL_RIGHT)
        return res;
    if (grey)
        dib.SetGreyPalette();

    const bool topFirst = (h.descriptor & 0x20) != 0;
    const bool rightFirst = (h.descriptor & 0x10) != 0;
    auto store = [&](std::uint64_t index, const std::uint8_t* p) {
        const int row = int(index / h.width), col = int(index % h.width);
        const int y = topFirst ? row : h.height - 1 - row;
        const int x = rightFirst ? h.width - 1 - col : col;
        std::uint8_t* out = dib.Row(y) + std::size_t(x) * std::size_t(bytes);
        std::uint8_t bgra[4] = {0, 0, 0, 255};
        if (grey) {
            out[0] = p[0];
            return;
        }
        if (type == 1) {
            const int i = int(p[0]) - h.mapFirst;
            if (i >= 0 && i < h.mapLength)
                std::memcpy(bgra, &map[std::size_t(i) * 4], 4);
        } else {
            ToBGRA(p, h.pixelBits, bgra);
        }
        std::memcpy(out, bgra, std::size_t(bytes));
    };

    const std::uint64_t step = std::uint64_t(h.width) * 64;
    std::uint64_t index = 0;
    while (index < pixels) {
        std::uint64_t count = 1;
        bool run = false;
        if (rle) {
            std::uint8_t packet = 0;
            if (!r.U8(packet))
                return SPI_OUT_OF_ORDER;
            count = (packet & 0x7Fu) + 1;
            run = (packet & 0x80u) != 0;
        }
        if (count > pixels - index)
            count = pixels - index; // a packet that runs past the end is cut
        const std::uint8_t* p = nullptr;
        if (run) {
            if (!r.Bytes(std::size_t(pixelBytes), p))
                return SPI_OUT_OF_ORDER;
            for (std::uint64_t i = 0; i < count; ++i)
                store(index + i, p);
        } else {
            for (std::uint64_t i = 0; i < count; ++i) {
                if (!r.Bytes(std::size_t(pixelBytes), p))
                    return SPI_OUT_OF_ORDER;
                store(index + i, p);
            }
        }
        const std::uint64_t before = index;
        index += count;
        if (index / step != before / step && progress.Step(std::int64_t(index), std::int64_t(pixels)))
            return SPI_ABORT;
    }
    if (bytes == 4)
        LayOverWhite(dib, attributes == Attributes::Premultiplied);
    return SPI_ALL_RIGHT;
}

} // namespace spi
