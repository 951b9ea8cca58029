#include "png/PngWriterRows.h"

#include "platform/Bitmap.h"
#include "platform/SwapRedBlue.h"
#include "png/PngFormat.h"

#include <cstdlib>
#include <cstring>

namespace gz::png {

namespace {

// Value of packed pixel x (bits 1, 4 or 8, most significant bits first).
inline unsigned PackedAt(const std::uint8_t* row, int x, int bits)
{
    switch (bits) {
    case 1: return (row[x >> 3] >> (7 - (x & 7))) & 1u;
    case 4: return (row[x >> 1] >> ((x & 1) ? 0 : 4)) & 15u;
    default: return row[x];
    }
}

// Writes count packed values into out, padding a trailing partial byte with zero bits.
template <typename Value>
void PackValues(int bits, int count, std::uint8_t* out, Value value)
{
    if (bits == 8) {
        for (int i = 0; i < count; ++i)
            out[i] = std::uint8_t(value(i));
        return;
    }
    const int perByte = 8 / bits;
    const std::size_t bytes = (std::size_t(count) * bits + 7) / 8;
    std::memset(out, 0, bytes);
    for (int i = 0; i < count; ++i) {
        const int shift = 8 - bits * (i % perByte + 1);
        out[i / perByte] |= std::uint8_t(value(i) << shift);
    }
}

inline void DirectPixel(const std::uint8_t* src, int x, int bits, unsigned& r, unsigned& g, unsigned& b)
{
    switch (bits) {
    case 24: src += 3 * x; b = src[0]; g = src[1]; r = src[2]; return;
    case 32: src += 4 * x; b = src[0]; g = src[1]; r = src[2]; return;
    case 15: {
        const unsigned v = unsigned(src[2 * x]) | (unsigned(src[2 * x + 1]) << 8);
        r = Widen5((v >> 10) & 31); g = Widen5((v >> 5) & 31); b = Widen5(v & 31);
        return;
    }
    default: {
        const unsigned v = unsigned(src[2 * x]) | (unsigned(src[2 * x + 1]) << 8);
        r = Widen5((v >> 11) & 31); g = Widen6((v >> 5) & 63); b = Widen5(v & 31);
        return;
    }
    }
}

void ConvertDirect(const TRowConverter& c, const std::uint8_t* src, const std::uint8_t* mask, int first,
                   int step, int count, std::uint8_t* out)
{
    // The plain case of the export: 24-bit colour, every pixel, no mask.
    if (c.SourceBits == 24 && !c.Grey && !c.Alpha && step == 1) {
        SwapRedBlue(src + 3 * std::size_t(first), out, std::size_t(count));
        return;
    }
    for (int i = 0, x = first; i < count; ++i, x += step) {
        unsigned r, g, b;
        DirectPixel(src, x, c.SourceBits, r, g, b);
        if (c.Grey) {
            *out++ = Luma(r, g, b);
        } else {
            *out++ = std::uint8_t(r);
            *out++ = std::uint8_t(g);
            *out++ = std::uint8_t(b);
        }
        if (c.Alpha)
            *out++ = std::uint8_t(255 - mask[x]);
    }
}

} // namespace

void TRowConverter::Convert(const std::uint8_t* src, const std::uint8_t* mask, int first, int step, int count,
                            std::uint8_t* out) const
{
    if (SourceBits > 8) {
        ConvertDirect(*this, src, mask, first, step, count, out);
        return;
    }
    const int bits = SourceBits;
    if (Grey && bits == 8) {
        for (int i = 0, x = first; i < count; ++i, x += step) {
            *out++ = GreyMap[src[x]];
            if (Alpha)
                *out++ = std::uint8_t(255 - mask[x]);
        }
        return;
    }
    if (Grey && bits == 4) {
        PackValues(4, count, out, [&](int i) { return GreyMap[PackedAt(src, first + i * step, 4)] & 15u; });
        return;
    }
    // Palette indices, and 1-bit grey: the bits as they are.
    const std::size_t bytes = (std::size_t(count) * bits + 7) / 8;
    if (step == 1 && first == 0)
        std::memcpy(out, src, bytes);
    else
        PackValues(bits, count, out, [&](int i) { return PackedAt(src, first + i * step, bits); });
    if (Invert)
        for (std::size_t i = 0; i < bytes; ++i)
            out[i] = std::uint8_t(~out[i]);
}

void FilterRow(TFilterType type, const std::uint8_t* raw, const std::uint8_t* prev, std::uint8_t* out,
               std::size_t len, std::size_t bpp)
{
    out[0] = type;
    std::uint8_t* o = out + 1;
    const std::size_t head = bpp < len ? bpp : len;
    switch (type) {
    case ftNone:
        std::memcpy(o, raw, len);
        break;
    case ftSub:
        std::memcpy(o, raw, head);
        for (std::size_t i = bpp; i < len; ++i)
            o[i] = std::uint8_t(raw[i] - raw[i - bpp]);
        break;
    case ftUp:
        for (std::size_t i = 0; i < len; ++i)
            o[i] = std::uint8_t(raw[i] - prev[i]);
        break;
    case ftAverage:
        for (std::size_t i = 0; i < head; ++i)
            o[i] = std::uint8_t(raw[i] - (prev[i] >> 1));
        for (std::size_t i = bpp; i < len; ++i)
            o[i] = std::uint8_t(raw[i] - ((unsigned(raw[i - bpp]) + prev[i]) >> 1));
        break;
    case ftPaeth:
        for (std::size_t i = 0; i < head; ++i)
            o[i] = std::uint8_t(raw[i] - prev[i]);
        for (std::size_t i = bpp; i < len; ++i) {
            const int a = raw[i - bpp], b = prev[i], c = prev[i - bpp];
            const int p = a + b - c;
            const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
            const int pred = (pa <= pb && pa <= pc) ? a : (pb <= pc ? b : c);
            o[i] = std::uint8_t(raw[i] - pred);
        }
        break;
    }
}

std::int64_t ScoreRow(const std::uint8_t* row, std::size_t n, int pixelBits, std::uint32_t* hist, bool& flat)
{
    std::memset(hist, 0, 256 * sizeof(std::uint32_t));
    for (std::size_t i = 0; i < n; ++i)
        ++hist[row[i]];
    unsigned distinct = 0;
    std::uint32_t t1 = 0, t2 = 0, t3 = 0;
    for (int v = 0; v < 256; ++v) {
        const std::uint32_t c = hist[v];
        if (c == 0)
            continue;
        ++distinct;
        if (c >= t1) {
            t3 = t2;
            t2 = t1;
            t1 = c;
        } else if (c >= t2) {
            t3 = t2;
            t2 = c;
        } else if (c > t3) {
            t3 = c;
        }
    }
    flat = distinct <= 8;
    if (flat)
        return 0;
    const double len = double(n);
    const double spread = len / 1.5 / double(distinct);
    const double score = pixelBits < 8 ? spread * 1500 + (double(t1) + t2) / len * 1000
                                       : spread * 1000 + (double(t1) + t2 + t3) / len * 1000;
    return std::int64_t(score);
}

} // namespace gz::png
