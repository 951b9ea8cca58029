#include "platform/metafile/Dib.h"

#include <algorithm>
#include <bit>
#include <cstdlib>

namespace gz::metafile {

namespace {

enum Compression : std::uint32_t { kRgb = 0, kRle8 = 1, kRle4 = 2, kBitfields = 3, kAlphaBitfields = 6 };

struct DibHeader {
    std::int64_t width = 0, height = 0;
    bool topDown = false;
    int bits = 0;
    std::uint32_t compression = kRgb;
    std::uint32_t colorsUsed = 0;
    std::uint32_t masks[4] = {};
    std::size_t tableOffset = 0, tableEntrySize = 4;
};

bool ReadHeader(const RecordReader& info, DibHeader& h)
{
    const std::uint32_t size = info.U32(0);
    if (size == 12) {
        h.width = info.U16(4), h.height = info.U16(6), h.bits = info.U16(10);
        h.tableOffset = 12, h.tableEntrySize = 3;
        return true;
    }
    if (size < 40 || !info.Has(0, size))
        return false;
    h.width = info.I32(4);
    const std::int32_t height = info.I32(8);
    h.topDown = height < 0;
    h.height = std::llabs(std::int64_t(height));
    h.bits = info.U16(14), h.compression = info.U32(16), h.colorsUsed = info.U32(32);
    h.tableOffset = size;
    if (h.compression == kBitfields || h.compression == kAlphaBitfields) {
        const int count = h.compression == kAlphaBitfields ? 4 : 3;
        // A 40-byte header keeps its masks right after it; larger headers hold them at the same place.
        for (int i = 0; i < count; ++i)
            h.masks[i] = info.U32(40 + 4 * std::size_t(i));
        if (size == 40)
            h.tableOffset += 4 * std::size_t(count);
    }
    return true;
}

struct Channel {
    std::uint32_t mask = 0;
    int shift = 0, width = 0;
    explicit Channel(std::uint32_t m) : mask(m)
    {
        if (m) {
            shift = std::countr_zero(m);
            width = std::popcount(m >> shift);
        }
    }
    int Value(std::uint32_t pixel) const
    {
        if (!mask)
            return 0;
        const std::uint32_t v = (pixel & mask) >> shift;
        const std::uint32_t max = width >= 32 ? 0xFFFFFFFFu : ((1u << width) - 1);
        return int((std::uint64_t(v) * 255 + max / 2) / max);
    }
};

std::vector<QRgb> ReadColorTable(const RecordReader& info, const DibHeader& h, bool paletteIndices,
                                 const std::vector<QRgb>& palette)
{
    std::vector<QRgb> table;
    if (h.bits > 8)
        return table;
    const std::uint32_t capacity = 1u << h.bits;
    const std::uint32_t count = h.colorsUsed == 0 ? capacity : std::min(h.colorsUsed, capacity);
    const std::size_t entry = paletteIndices ? 2 : h.tableEntrySize;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::size_t at = h.tableOffset + entry * i;
        if (!info.Has(at, entry))
            break;
        if (paletteIndices) {
            const std::uint16_t index = info.U16(at);
            table.push_back(index < palette.size() ? palette[index] : qRgb(index & 0xFF, index & 0xFF, index & 0xFF));
        } else {
            table.push_back(qRgb(info.U8(at + 2), info.U8(at + 1), info.U8(at)));
        }
    }
    // Indices past a short table draw black, as the platform does.
    table.resize(capacity, qRgb(0, 0, 0));
    return table;
}

std::size_t TableBytes(const DibHeader& h, bool paletteIndices)
{
    if (h.bits > 8)
        return 0;
    const std::uint32_t capacity = 1u << h.bits;
    const std::uint32_t count = h.colorsUsed == 0 ? capacity : h.colorsUsed;
    return std::size_t(count) * (paletteIndices ? 2 : h.tableEntrySize);
}

// Run-length encoded 8- or 4-bit rows; runs that leave the picture are cut off.
void DecodeRle(const RecordReader& bits, const DibHeader& h, const std::vector<QRgb>& table, QImage& image)
{
    const int w = int(h.width), hgt = int(h.height);
    const bool four = h.compression == kRle4;
    image.fill(table.empty() ? qRgb(0, 0, 0) : table[0]);
    auto put = [&](int x, int y, unsigned index) {
        if (x >= 0 && x < w && y >= 0 && y < hgt)
            reinterpret_cast<QRgb*>(image.scanLine(hgt - 1 - y))[x] = table[index % table.size()];
    };
    int x = 0, y = 0;
    std::size_t pos = 0;
    while (pos + 1 < bits.Size() && y < hgt) {
        const unsigned count = bits.U8(pos), value = bits.U8(pos + 1);
        pos += 2;
        if (count > 0) {
            for (unsigned i = 0; i < count && x < w; ++i, ++x)
                put(x, y, four ? ((i & 1) ? value & 0x0F : value >> 4) : value);
            continue;
        }
        if (value == 0) {
            x = 0, ++y;
        } else if (value == 1) {
            break;
        } else if (value == 2) {
            if (pos + 1 >= bits.Size())
                break;
            x += bits.U8(pos), y += bits.U8(pos + 1);
            pos += 2;
        } else {
            const std::size_t bytes = four ? (value + 1) / 2 : value;
            if (!bits.Has(pos, bytes))
                break;
            for (unsigned i = 0; i < value && x < w; ++i, ++x) {
                const unsigned byte = bits.U8(pos + (four ? i / 2 : i));
                put(x, y, four ? ((i & 1) ? byte & 0x0F : byte >> 4) : byte);
            }
            pos += (bytes + 1) & ~std::size_t(1);
        }
    }
}

} // namespace

QImage DecodeDib(const DibSource& source, const std::vector<QRgb>& palette, bool withAlpha, bool* bottomUp)
{
    try {
        DibHeader h;
        if (!ReadHeader(source.Info, h))
            return {};
        if (h.width <= 0 || h.height <= 0 || h.width * h.height > kMaxDibPixels)
            return {};
        if (bottomUp)
            *bottomUp = !h.topDown;
        const bool rle = h.compression == kRle8 || h.compression == kRle4;
        if (rle ? (h.bits != (h.compression == kRle8 ? 8 : 4) || h.topDown)
                : (h.compression != kRgb && h.compression != kBitfields && h.compression != kAlphaBitfields))
            return {};
        if (h.bits != 1 && h.bits != 4 && h.bits != 8 && h.bits != 16 && h.bits != 24 && h.bits != 32)
            return {};
        const std::vector<QRgb> table = ReadColorTable(source.Info, h, source.PaletteIndices, palette);
        RecordReader bits = source.Bits;
        if (!bits.Data()) {
            const std::size_t start = h.tableOffset + TableBytes(h, source.PaletteIndices);
            if (start > source.Info.Size())
                return {};
            bits = source.Info.Sub(start, source.Info.Size() - start);
        }
        const int w = int(h.width), hgt = int(h.height);
        QImage image(w, hgt, withAlpha && h.bits == 32 ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
        if (image.isNull())
            return {};
        if (rle) {
            DecodeRle(bits, h, table, image);
            return image;
        }
        const std::size_t stride = ((std::size_t(w) * h.bits + 31) / 32) * 4;
        const std::size_t lastRow = (std::size_t(w) * h.bits + 7) / 8;
        if (bits.Size() < stride * std::size_t(hgt - 1) + lastRow)
            return {};
        std::uint32_t masks[4] = {h.masks[0], h.masks[1], h.masks[2], h.masks[3]};
        if (h.compression == kRgb && h.bits == 16)
            masks[0] = 0x7C00, masks[1] = 0x03E0, masks[2] = 0x001F, masks[3] = 0;
        if (h.compression == kRgb && h.bits == 32)
            masks[0] = 0x00FF0000, masks[1] = 0x0000FF00, masks[2] = 0x000000FF, masks[3] = withAlpha ? 0xFF000000 : 0;
        if (!withAlpha || h.bits != 32)
            masks[3] = 0;
        const Channel red(masks[0]), green(masks[1]), blue(masks[2]), alpha(masks[3]);
        for (int y = 0; y < hgt; ++y) {
            const std::uint8_t* row = bits.Data() + stride * std::size_t(h.topDown ? y : hgt - 1 - y);
            QRgb* out = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < w; ++x) {
                switch (h.bits) {
                case 1: out[x] = table[(row[x >> 3] >> (7 - (x & 7))) & 1]; break;
                case 4: out[x] = table[(row[x >> 1] >> ((x & 1) ? 0 : 4)) & 0x0F]; break;
                case 8: out[x] = table[row[x]]; break;
                case 24: out[x] = qRgb(row[3 * x + 2], row[3 * x + 1], row[3 * x]); break;
                default: {
                    const std::uint32_t p = h.bits == 16 ? std::uint32_t(row[2 * x] | (row[2 * x + 1] << 8))
                                                         : std::uint32_t(row[4 * x]) | (std::uint32_t(row[4 * x + 1]) << 8) |
                                                               (std::uint32_t(row[4 * x + 2]) << 16) |
                                                               (std::uint32_t(row[4 * x + 3]) << 24);
                    const int a = masks[3] ? alpha.Value(p) : 255;
                    // Premultiplied pixels never exceed their alpha.
                    out[x] = qRgba(std::min(red.Value(p), a), std::min(green.Value(p), a), std::min(blue.Value(p), a), a);
                }
                }
            }
        }
        return image;
    } catch (const RecordTruncated&) {
        return {};
    }
}

QImage DecodeBitmap16(const RecordReader& bitmap, QRgb zeroColor, QRgb oneColor)
{
    try {
        const std::int64_t w = bitmap.I16(2), h = bitmap.I16(4);
        const std::size_t stride = bitmap.U16(6);
        const int bits = bitmap.U8(9);
        if (w <= 0 || h <= 0 || w * h > kMaxDibPixels || (bits != 1 && bits != 24 && bits != 32) ||
            stride < (std::size_t(w) * bits + 7) / 8)
            return {};
        const RecordReader rows = bitmap.Sub(10, stride * std::size_t(h));
        QImage image(int(w), int(h), QImage::Format_RGB32);
        if (image.isNull())
            return {};
        for (int y = 0; y < h; ++y) {
            const std::uint8_t* row = rows.Data() + stride * std::size_t(y);
            QRgb* out = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < w; ++x) {
                if (bits == 1)
                    out[x] = (row[x >> 3] >> (7 - (x & 7))) & 1 ? oneColor : zeroColor;
                else
                    out[x] = qRgb(row[x * (bits / 8) + 2], row[x * (bits / 8) + 1], row[x * (bits / 8)]);
            }
        }
        return image;
    } catch (const RecordTruncated&) {
        return {};
    }
}

} // namespace gz::metafile
