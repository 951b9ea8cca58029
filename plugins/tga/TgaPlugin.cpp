// Targa pictures: colour-mapped, true-colour and grey, uncompressed or run-length encoded.
// Grey pictures become 8-bit grey bitmaps, everything else 24-bit colour (alpha is dropped).

#include "PluginKit.h"

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

// A pixel or colour-map entry of the given size as blue, green, red.
void ToBGR(const std::uint8_t* p, int bits, std::uint8_t* out)
{
    if (bits == 15 || bits == 16) {
        const unsigned v = unsigned(p[0] | p[1] << 8);
        const unsigned r = (v >> 10) & 31, g = (v >> 5) & 31, b = v & 31;
        out[0] = std::uint8_t(b << 3 | b >> 2);
        out[1] = std::uint8_t(g << 3 | g >> 2);
        out[2] = std::uint8_t(r << 3 | r >> 2);
    } else {
        out[0] = p[0];
        out[1] = p[1];
        out[2] = p[2];
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

    // Colour map, as blue, green, red triples indexed from mapFirst.
    std::vector<std::uint8_t> map;
    if (h.colorMapType == 1) {
        const int entryBytes = (h.mapEntryBits + 7) / 8;
        const std::uint8_t* entries = nullptr;
        if (!r.Bytes(std::size_t(h.mapLength) * entryBytes, entries))
            return SPI_OUT_OF_ORDER;
        map.resize(std::size_t(h.mapLength) * 3);
        for (int i = 0; i < h.mapLength; ++i)
            ToBGR(entries + i * entryBytes, h.mapEntryBits, &map[std::size_t(i) * 3]);
    }

    const int pixelBytes = (h.pixelBits + 7) / 8;
    const std::uint64_t pixels = std::uint64_t(h.width) * h.height;
    // Uncompressed data must be all there; a run packet gives at most 128 pixels.
    if (!rle && pixels * pixelBytes > r.Remaining())
        return SPI_OUT_OF_ORDER;
    if (rle && pixels > std::uint64_t(r.Remaining()) * 128)
        return SPI_OUT_OF_ORDER;

    const bool grey = type == 3;
    int res = grey ? dib.Create(h.width, h.height, 8, 256) : dib.Create(h.width, h.height, 24, 0);
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
        std::uint8_t* out = dib.Row(y);
        if (grey) {
            out[x] = p[0];
        } else if (type == 1) {
            const int i = int(p[0]) - h.mapFirst;
            if (i >= 0 && i < h.mapLength) {
                const std::uint8_t* c = &map[std::size_t(i) * 3];
                out[3 * x] = c[0];
                out[3 * x + 1] = c[1];
                out[3 * x + 2] = c[2];
            }
        } else {
            ToBGR(p, h.pixelBits, out + 3 * x);
        }
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
    return SPI_ALL_RIGHT;
}

} // namespace spi
