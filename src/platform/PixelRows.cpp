#include "platform/PixelRows.h"

#include "platform/Bitmap.h"
#include "platform/PackedIndexes.h"

#include <cstring>
#include <limits>

namespace gz {

namespace {

void PaletteToBGR(const std::vector<TPaletteEntry>& pal, unsigned index, std::uint8_t* out)
{
    if (index < pal.size()) {
        out[0] = pal[index].Blue;
        out[1] = pal[index].Green;
        out[2] = pal[index].Red;
    } else {
        out[0] = out[1] = out[2] = 0;
    }
}

} // namespace

void DecodeRowBGR(const TBitmapImage& image, int y, std::uint8_t* out)
{
    DecodeRowBGR(image.Row(y), image.width, image.pixelFormat, image.palette, out);
}

void DecodeRowBGR(const std::uint8_t* row, int w, TPixelFormat pf, const std::vector<TPaletteEntry>& palette,
                  std::uint8_t* out)
{
    switch (pf) {
    case pfDevice:
    case pf24bit:
        std::memcpy(out, row, std::size_t(w) * 3);
        break;
    case pf32bit:
        for (int x = 0; x < w; ++x, row += 4, out += 3) {
            out[0] = row[0];
            out[1] = row[1];
            out[2] = row[2];
        }
        break;
    case pf15bit:
    case pfCustom:
        for (int x = 0; x < w; ++x, out += 3) {
            const unsigned v = unsigned(row[2 * x]) | (unsigned(row[2 * x + 1]) << 8);
            out[0] = Widen5(v & 31);
            out[1] = Widen5((v >> 5) & 31);
            out[2] = Widen5((v >> 10) & 31);
        }
        break;
    case pf16bit:
        for (int x = 0; x < w; ++x, out += 3) {
            const unsigned v = unsigned(row[2 * x]) | (unsigned(row[2 * x + 1]) << 8);
            out[0] = Widen5(v & 31);
            out[1] = Widen6((v >> 5) & 63);
            out[2] = Widen5((v >> 11) & 31);
        }
        break;
    case pf8bit:
        for (int x = 0; x < w; ++x, out += 3)
            PaletteToBGR(palette, row[x], out);
        break;
    case pf4bit:
        for (int x = 0; x < w; ++x, out += 3)
            PaletteToBGR(palette, PackedIndex<4>(row, std::size_t(x)), out);
        break;
    case pf1bit:
        for (int x = 0; x < w; ++x, out += 3)
            PaletteToBGR(palette, PackedIndex<1>(row, std::size_t(x)), out);
        break;
    }
}

std::uint8_t NearestPaletteIndex(const std::vector<TPaletteEntry>& palette, int r, int g, int b)
{
    int best = 0;
    int bestDistance = std::numeric_limits<int>::max();
    for (std::size_t i = 0; i < palette.size() && bestDistance > 0; ++i) {
        const int dr = palette[i].Red - r, dg = palette[i].Green - g, db = palette[i].Blue - b;
        const int d = dr * dr + dg * dg + db * db;
        if (d < bestDistance) {
            bestDistance = d;
            best = int(i);
        }
    }
    return std::uint8_t(best);
}

TPaletteMatcher::TPaletteMatcher(const std::vector<TPaletteEntry>& palette)
    : palette_(palette), cache_(palette.empty() ? 0 : 32768, -1)
{
}

std::uint8_t TPaletteMatcher::Nearest(std::uint8_t r, std::uint8_t g, std::uint8_t b)
{
    if (palette_.empty())
        return 0;
    const unsigned key = (unsigned(r >> 3) << 10) | (unsigned(g >> 3) << 5) | unsigned(b >> 3);
    if (cache_[key] >= 0)
        return std::uint8_t(cache_[key]);
    // Search with the centre of the grid cell, so that the cache answers every member alike.
    const std::uint8_t best = NearestPaletteIndex(palette_, (r & 0xF8) | 4, (g & 0xF8) | 4, (b & 0xF8) | 4);
    cache_[key] = std::int16_t(best);
    return std::uint8_t(best);
}

void EncodeRowBGR(TBitmapImage& image, int y, const std::uint8_t* bgr, TPaletteMatcher* matcher)
{
    std::uint8_t* row = image.Row(y);
    const int w = image.width;
    switch (image.pixelFormat) {
    case pfDevice:
    case pf24bit:
        std::memcpy(row, bgr, std::size_t(w) * 3);
        break;
    case pf32bit:
        for (int x = 0; x < w; ++x, row += 4, bgr += 3) {
            row[0] = bgr[0];
            row[1] = bgr[1];
            row[2] = bgr[2];
            row[3] = 0;
        }
        break;
    case pf15bit:
    case pfCustom:
        for (int x = 0; x < w; ++x, bgr += 3) {
            const unsigned v = (unsigned(bgr[2] >> 3) << 10) | (unsigned(bgr[1] >> 3) << 5) | unsigned(bgr[0] >> 3);
            row[2 * x] = std::uint8_t(v);
            row[2 * x + 1] = std::uint8_t(v >> 8);
        }
        break;
    case pf16bit:
        for (int x = 0; x < w; ++x, bgr += 3) {
            const unsigned v = (unsigned(bgr[2] >> 3) << 11) | (unsigned(bgr[1] >> 2) << 5) | unsigned(bgr[0] >> 3);
            row[2 * x] = std::uint8_t(v);
            row[2 * x + 1] = std::uint8_t(v >> 8);
        }
        break;
    case pf8bit:
        for (int x = 0; x < w; ++x, bgr += 3)
            row[x] = matcher->Nearest(bgr[2], bgr[1], bgr[0]);
        break;
    case pf4bit:
        std::memset(row, 0, image.stride);
        for (int x = 0; x < w; ++x, bgr += 3)
            SetPackedIndex<4>(row, std::size_t(x), matcher->Nearest(bgr[2], bgr[1], bgr[0]));
        break;
    case pf1bit:
        std::memset(row, 0, image.stride);
        for (int x = 0; x < w; ++x, bgr += 3)
            SetPackedIndex<1>(row, std::size_t(x), matcher->Nearest(bgr[2], bgr[1], bgr[0]));
        break;
    }
}

} // namespace gz
