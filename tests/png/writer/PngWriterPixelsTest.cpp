// Pixels of every output the writer makes, decoded by libpng, and the row filters.

#include "PngOracle.h"

#include "png/PngWriterRows.h"
#include "support/Rasters.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <tuple>

namespace gz::test {
namespace {

std::uint32_t Lcg(std::uint32_t& state)
{
    state = state * 1664525u + 1013904223u;
    return state >> 8;
}

// A source of the given format with pseudo-random pixels (and a palette of spread lumas).
TBitmap Source(TPixelFormat pf, int w, int h, std::uint32_t seed)
{
    TBitmap bmp(w, h, pf);
    if (pf == pf1bit)
        bmp.SetPalette({{250, 250, 240}, {20, 40, 10}}); // brighter entry first: grey output inverts
    else if (IsPaletteFormat(pf)) {
        std::vector<TPaletteEntry> pal;
        for (int i = 0; i < (pf == pf4bit ? 16 : 256); ++i)
            pal.push_back({std::uint8_t(i * 37), std::uint8_t(255 - i * 11), std::uint8_t(i * 101)});
        bmp.SetPalette(pal);
    }
    const std::size_t used = (std::size_t(w) * BitsPerPixel(pf) + 7) / 8;
    for (int y = 0; y < h; ++y) {
        std::uint8_t* row = bmp.ScanLine(y);
        for (std::size_t i = 0; i < used; ++i)
            row[i] = std::uint8_t(Lcg(seed));
    }
    return bmp;
}

TBitmap Mask(int w, int h)
{
    TBitmap m(w, h, pf8bit);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            m.ScanLine(y)[x] = std::uint8_t(x * 19 + y * 7);
    return m;
}

int SourceBits(TPixelFormat pf)
{
    switch (pf) {
    case pf1bit: return 1;
    case pf4bit: return 4;
    case pf8bit: return 8;
    case pf15bit: case pfCustom: return 15;
    case pf16bit: return 16;
    case pf32bit: return 32;
    default: return 24;
    }
}

std::uint32_t Expected(const TBitmap& src, const TBitmap* mask, bool grey, int x, int y)
{
    const int bits = SourceBits(src.PixelFormat());
    const TColor c = src.Pixel(x, y);
    const unsigned luma = png::Luma(ColorRed(c), ColorGreen(c), ColorBlue(c));
    unsigned r = ColorRed(c), g = ColorGreen(c), b = ColorBlue(c), a = 255;
    if (grey) {
        if (bits == 1) {
            const unsigned index = (src.ScanLine(y)[x / 8] >> (7 - x % 8)) & 1;
            r = g = b = (index ^ 1) * 255; // the first entry is the brighter one
        } else {
            r = g = b = bits == 4 ? (luma >> 4) * 17 : luma;
        }
    }
    const bool alpha = mask && (bits > 8 || (grey && bits == 8));
    if (alpha)
        a = 255 - mask->ScanLine(y)[x];
    return r | (g << 8) | (b << 16) | (a << 24);
}

// Filter bytes of every row in the inflated image data; checks that the rows fill it exactly.
std::vector<int> FilterBytes(const Bytes& data, int w, int h, int pixelBits, bool interlaced)
{
    std::vector<int> types;
    std::size_t pos = 0;
    for (int p = 0; p < (interlaced ? 7 : 1); ++p) {
        const std::int64_t pw = interlaced ? png::PassColumns(p, w) : w;
        const std::int64_t ph = interlaced ? png::PassRows(p, h) : h;
        if (pw == 0)
            continue;
        for (std::int64_t r = 0; r < ph; ++r) {
            if (pos >= data.size())
                break;
            types.push_back(data[pos]);
            pos += 1 + std::size_t((pw * pixelBits + 7) / 8);
        }
    }
    EXPECT_EQ(pos, data.size());
    return types;
}

using FormatCase = std::tuple<TPixelFormat, bool /*grey*/, bool /*mask*/, bool /*interlace*/>;

class PngWriterPixels : public ::testing::TestWithParam<FormatCase> {};

TEST_P(PngWriterPixels, LibpngDecodesTheSourceForEveryFilterMode)
{
    const auto [pf, grey, withMask, interlace] = GetParam();
    const int w = 13, h = 11;
    const TBitmap src = Source(pf, w, h, 77);
    const TBitmap mask = Mask(w, h);
    const int bits = SourceBits(pf);
    const bool alpha = withMask && (bits > 8 || (grey && bits == 8));
    const int depth = bits <= 8 ? bits : 8;
    const int colourType = grey ? (alpha ? 4 : 0) : bits <= 8 ? 3 : (alpha ? 6 : 2);
    const int pixelBits = grey ? (alpha ? 16 : depth) : bits <= 8 ? bits : (alpha ? 32 : 24);

    for (int mode = 0; mode <= 6; ++mode) {
        SCOPED_TRACE("filter mode " + std::to_string(mode));
        const Bytes f = WritePng(src, [&, grey = grey, withMask = withMask, interlace = interlace](TKroPNGWriteStream& wr) {
            wr.SetGrayScale(grey);
            wr.SetInterlace(interlace ? 1 : 0);
            wr.SetFilterMode(std::uint8_t(mode));
            if (withMask)
                wr.SetAlphaBitmap(&mask);
        });
        const Decoded d = DecodeWithLibpng(f);
        ASSERT_EQ(d.error, "");
        EXPECT_EQ(d.bitDepth, depth);
        EXPECT_EQ(d.colorType, colourType);
        EXPECT_EQ(d.interlace, interlace ? 1 : 0);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                ASSERT_EQ(d.At(x, y), Expected(src, withMask ? &mask : nullptr, grey, x, y))
                    << "pixel " << x << ", " << y;

        const auto types = FilterBytes(InflateImageData(ParseChunks(f)), w, h, pixelBits, interlace);
        if (mode >= 1) {
            for (int t : types)
                ASSERT_EQ(t, mode >= 2 && mode <= 5 ? mode - 1 : 0);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(AllFormats, PngWriterPixels,
                         ::testing::Combine(::testing::Values(pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit,
                                                              pf32bit, pfCustom, pfDevice),
                                            ::testing::Bool(), ::testing::Bool(), ::testing::Bool()));

TEST(PngWriterInterlace, EmptyPassesAreSkipped)
{
    // 1x1: pass 1 only; 4x4: passes 2 (width >= 5) and 3 (height >= 5) are left out.
    for (int size : {1, 4}) {
        const TBitmap src = NoiseBitmap(size, size, 2);
        const Bytes f = WritePng(src, [](TKroPNGWriteStream& w) { w.SetInterlace(1); });
        const Bytes data = InflateImageData(ParseChunks(f));
        EXPECT_EQ(data.size(), size == 1 ? 4u : (1 + 3) + (1 + 3) + (1 + 6) + 2 * (1 + 6) + 2 * (1 + 12)) << size;
        const Decoded d = DecodeWithLibpng(f);
        ASSERT_EQ(d.error, "");
        EXPECT_EQ(d.At(size - 1, size - 1) & 0xFFFFFF, std::uint32_t(src.Pixel(size - 1, size - 1)));
    }
}

TEST(PngWriterRows, RowHookChangesWhatIsWritten)
{
    const TBitmap src = NoiseBitmap(9, 9, 6);
    std::vector<int> numbers;
    const Bytes f = WritePng(src, [&](TKroPNGWriteStream& w) {
        w.SetInterlace(1);
        w.SetFilterMode(0);
        w.SetRowKey("secret");
        w.OnWriteRow = [&](TKroPNGWriteStream&, std::uint8_t* row, const std::string& key, int number, int length) {
            EXPECT_EQ(key, "secret");
            numbers.push_back(number);
            for (int i = 0; i < length; ++i)
                row[i] ^= 0x5A;
        };
    });
    ASSERT_EQ(numbers.size(), 2u + 2 + 1 + 3 + 2 + 5 + 4); // rows of the seven passes of 9x9
    for (std::size_t i = 0; i < numbers.size(); ++i)
        EXPECT_EQ(numbers[i], int(i));
    const Decoded d = DecodeWithLibpng(f);
    ASSERT_EQ(d.error, "");
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 9; ++x)
            ASSERT_EQ(d.At(x, y) & 0xFFFFFF, std::uint32_t(src.Pixel(x, y)) ^ 0x5A5A5A);
}

// Two-row 24-bit pictures whose second row one filter turns into a single repeated byte.
TBitmap FavouringFilter(int filter)
{
    const int w = 64;
    std::uint32_t seed = 99;
    Bytes top(3 * w), row(3 * w);
    for (auto& v : top)
        v = std::uint8_t(Lcg(seed));
    for (int i = 0; i < 3 * w; ++i) {
        const int noise = int(Lcg(seed) & 0xFF);
        const int a = i >= 3 ? row[i - 3] : 0, b = top[i], c = i >= 3 ? top[i - 3] : 0;
        switch (filter) {
        case png::ftNone: row[i] = 7; break;
        case png::ftSub: row[i] = std::uint8_t(a + 5 + (i < 3 ? noise : 0)); break;
        case png::ftUp: row[i] = std::uint8_t(b + 5); break;
        case png::ftAverage: row[i] = std::uint8_t((a + b) / 2 + 5); break;
        default: {
            const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
            row[i] = std::uint8_t((pa <= pb && pa <= pc ? a : pb <= pc ? b : c) + 5);
        }
        }
    }
    TBitmap bmp(w, 2, pf24bit);
    for (int x = 0; x < w; ++x)
        for (int k = 0; k < 3; ++k) {
            bmp.ScanLine(0)[3 * x + 2 - k] = top[3 * x + k];
            bmp.ScanLine(1)[3 * x + 2 - k] = row[3 * x + k];
        }
    return bmp;
}

TEST(PngWriterFilter, AdaptiveChoiceTakesTheFlatCandidate)
{
    for (int filter = png::ftNone; filter <= png::ftPaeth; ++filter) {
        const TBitmap src = FavouringFilter(filter);
        const Bytes f = WritePng(src, [](TKroPNGWriteStream& w) { w.SetFilterMode(0); });
        const auto types = FilterBytes(InflateImageData(ParseChunks(f)), src.Width(), 2, 24, false);
        ASSERT_EQ(types.size(), 2u);
        EXPECT_EQ(types[1], filter);
        EXPECT_EQ(DecodeWithLibpng(f).error, "");
    }
}

TEST(PngWriterFilter, AdaptiveChoiceKeepsNoneAtFourBits)
{
    // Two equal rows of varied indices: Up is flat, yet 4-bit pictures always use None.
    for (TPixelFormat pf : {pf4bit, pf8bit}) {
        TBitmap src = Source(pf, 64, 2, 5);
        std::memcpy(src.ScanLine(1), src.ScanLine(0), src.RowBytes());
        const Bytes f = WritePng(src, [](TKroPNGWriteStream& w) { w.SetFilterMode(0); });
        const auto types = FilterBytes(InflateImageData(ParseChunks(f)), 64, 2, SourceBits(pf), false);
        EXPECT_EQ(types[1], pf == pf4bit ? png::ftNone : png::ftUp);
    }
}

TEST(PngWriterFilter, ScoreFavoursFewAndFrequentValues)
{
    std::uint32_t hist[256];
    bool flat = true;
    Bytes row;
    for (int v = 0; v < 10; ++v)
        row.insert(row.end(), {std::uint8_t(v), std::uint8_t(v)}); // 20 bytes, 10 values twice
    // trunc(20 / 1.5 / 10 * 1000 + 6 / 20 * 1000) and trunc(20 / 1.5 / 10 * 1500 + 4 / 20 * 1000)
    EXPECT_EQ(png::ScoreRow(row.data(), row.size(), 8, hist, flat), 1633);
    EXPECT_FALSE(flat);
    EXPECT_EQ(png::ScoreRow(row.data(), row.size(), 4, hist, flat), 2200);
    row.push_back(0);
    row.push_back(0);
    row.push_back(3); // counts 4, 3, 2: t1 + t2 + t3 = 9 of 23
    EXPECT_EQ(png::ScoreRow(row.data(), row.size(), 24, hist, flat), std::int64_t(23 / 1.5 / 10 * 1000 + 9.0 / 23 * 1000));
    EXPECT_EQ(png::ScoreRow(row.data(), 16, 24, hist, flat), 0); // 8 distinct values: flat
    EXPECT_TRUE(flat);
}

} // namespace
} // namespace gz::test
