// Writer and reader together: every source pixel format in colour and grey, with and without
// interlace, under every filter mode; masks, the high-colour option and the row hooks.

#include "ReaderTestKit.h"

#include "support/Rasters.h"

#include <gtest/gtest.h>

namespace gz::test {
namespace {

// A bitmap of the format with varied pixels; palette formats get a palette of their own.
TBitmap SourceBitmap(TPixelFormat pf, int w, int h, std::uint32_t seed)
{
    TBitmap noise = NoiseBitmap(w, h, seed);
    if (!IsPaletteFormat(pf)) {
        noise.SetPixelFormat(pf);
        return noise;
    }
    const int entries = 1 << BitsPerPixel(pf);
    std::vector<TPaletteEntry> pal(static_cast<std::size_t>(entries));
    for (int i = 0; i < entries; ++i)
        pal[std::size_t(i)] = {std::uint8_t(255 - i * 7), std::uint8_t(i * 13), std::uint8_t(i * 29)};
    TBitmap bmp(w, h, pf);
    bmp.SetPalette(pal);
    std::uint32_t state = seed;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            state = state * 1103515245u + 12345u;
            const unsigned i = (state >> 16) % unsigned(entries);
            std::uint8_t* row = bmp.ScanLine(y);
            if (pf == pf8bit)
                row[x] = std::uint8_t(i);
            else if (pf == pf4bit)
                row[x >> 1] = std::uint8_t((x & 1) ? (row[x >> 1] & 0xF0) | i : (row[x >> 1] & 0x0F) | (i << 4));
            else
                row[x >> 3] = std::uint8_t((row[x >> 3] & ~(0x80 >> (x & 7))) | (i << (7 - (x & 7))));
        }
    return bmp;
}

// Grey level the pair writes and reads for pixel (x, y) of a source.
std::uint8_t ExpectedGrey(const TBitmap& src, int x, int y)
{
    const TColor c = src.Pixel(x, y);
    const std::uint8_t luma = png::Luma(ColorRed(c), ColorGreen(c), ColorBlue(c));
    switch (src.PixelFormat()) {
    case pf1bit: {
        const auto pal = src.Palette();
        const bool invert = png::Luma(pal[1].Red, pal[1].Green, pal[1].Blue) < png::Luma(pal[0].Red, pal[0].Green, pal[0].Blue);
        const unsigned bit = PaletteIndexAt(src.ScanLine(y), 1, x) ^ (invert ? 1u : 0u);
        return bit ? 255 : 0;
    }
    case pf4bit: return std::uint8_t((luma >> 4) * 17);
    default: return luma;
    }
}

struct TFormatCase {
    TPixelFormat pf;
    TPixelFormat colourBack, greyBack;
};

TEST(PngRoundTrip, EveryPixelFormatInColourAndGrey)
{
    const TFormatCase cases[] = {
        {pf1bit, pf1bit, pf1bit},   {pf4bit, pf4bit, pf4bit},   {pf8bit, pf8bit, pf8bit},
        {pf15bit, pf24bit, pf8bit}, {pf16bit, pf24bit, pf8bit}, {pf24bit, pf24bit, pf8bit},
        {pf32bit, pf24bit, pf8bit}, {pfDevice, pf24bit, pf8bit},
    };
    int filter = 0;
    for (const auto& c : cases)
        for (int interlace : {0, 1})
            for (bool grey : {false, true}) {
                const TBitmap src = SourceBitmap(c.pf, 19, 13, std::uint32_t(filter + 1));
                SCOPED_TRACE(::testing::Message() << "format " << int(c.pf) << " interlace " << interlace << " grey "
                                                  << grey << " filter " << filter % 6);
                TKroPNG out;
                out.Assign(src);
                out.Interlace = std::uint8_t(interlace);
                out.GrayScale = grey;
                out.FilterMode = std::uint8_t(filter++ % 6);
                TMemoryStream stream;
                out.SaveToStream(stream);
                stream.SetPosition(0);
                TKroPNG back;
                back.LoadFromStream(stream);
                const TBitmap& img = back.ImageBitmap();
                ASSERT_EQ(img.PixelFormat(), grey ? c.greyBack : c.colourBack);
                EXPECT_EQ(back.Interlace, interlace);
                EXPECT_EQ(back.GrayScale, grey);
                if (!grey) {
                    EXPECT_EQ(FirstDifference(img, src), "");
                    continue;
                }
                for (int y = 0; y < src.Height(); ++y)
                    for (int x = 0; x < src.Width(); ++x) {
                        const std::uint8_t g = ExpectedGrey(src, x, y);
                        ASSERT_EQ(img.Pixel(x, y), RGBColor(g, g, g)) << "at " << x << ", " << y;
                    }
            }
}

TEST(PngRoundTrip, MasksTravelAsAlphaChannels)
{
    for (bool grey : {false, true})
        for (int interlace : {0, 1}) {
            SCOPED_TRACE(::testing::Message() << "grey " << grey << " interlace " << interlace);
            TKroPNG out;
            out.Assign(NoiseBitmap(11, 9, 4));
            TBitmap mask = NoiseBitmap(11, 9, 5);
            mask.SetPixelFormat(pf8bit);
            for (int y = 0; y < 9; ++y)
                for (int x = 0; x < 11; ++x)
                    mask.ScanLine(y)[x] = std::uint8_t(x * 23 + y);
            out.AlphaBitmap().Assign(mask);
            out.HasAlpha = true;
            out.GrayScale = grey;
            out.Interlace = std::uint8_t(interlace);
            TMemoryStream stream;
            out.SaveToStream(stream);
            stream.SetPosition(0);
            TKroPNG back;
            back.LoadFromStream(stream);
            ASSERT_TRUE(back.HasAlpha);
            ASSERT_EQ(back.AlphaBitmap().PixelFormat(), pf8bit);
            for (int y = 0; y < 9; ++y)
                ASSERT_EQ(std::memcmp(back.AlphaBitmap().ScanLine(y), mask.ScanLine(y), 11), 0) << "row " << y;
            if (!grey) {
                EXPECT_EQ(FirstDifference(back.ImageBitmap(), out.ImageBitmap()), "");
            }
        }
}

TEST(PngRoundTrip, HighColourOptionGivesBackFiveSixFivePixels)
{
    const TBitmap src = SourceBitmap(pf16bit, 17, 6, 9);
    TKroPNG out;
    out.Assign(src);
    TMemoryStream stream;
    out.SaveToStream(stream);
    stream.SetPosition(0);
    TKroPNG back;
    back.ReadHighColor = true;
    back.LoadFromStream(stream);
    ASSERT_EQ(back.ImageBitmap().PixelFormat(), pf16bit);
    EXPECT_EQ(back.FileBits, 16);
    for (int y = 0; y < 6; ++y)
        EXPECT_EQ(std::memcmp(back.ImageBitmap().ScanLine(y), src.ScanLine(y), 17 * 2), 0) << "row " << y;
}

TEST(PngRoundTrip, RowHooksUndoEachOther)
{
    auto scramble = [](auto&, std::uint8_t* row, const std::string& key, int rowNumber, int length) {
        for (int i = 0; i < length; ++i)
            row[i] = std::uint8_t(row[i] ^ std::uint8_t(key[std::size_t(i) % key.size()] + rowNumber));
    };
    const TBitmap src = NoiseBitmap(13, 10, 6);
    TKroPNG out;
    out.Assign(src);
    out.Interlace = 1;
    out.FilterMode = 0;
    out.RowKey = "secret";
    out.OnWriteRow = scramble;
    TMemoryStream stream;
    out.SaveToStream(stream);

    {
        // The key comes from the request; the row hook gives back the pixels.
        TKroPNG back;
        back.OnRowKeyRequest = [](TKroPNGReadStream&, std::string& key) { key = "secret"; };
        back.OnReadRow = scramble;
        stream.SetPosition(0);
        back.LoadFromStream(stream);
        EXPECT_EQ(FirstDifference(back.ImageBitmap(), src), "");
    }
    {
        // Without the hook the stored, transformed rows come out.
        TKroPNG back;
        stream.SetPosition(0);
        back.LoadFromStream(stream);
        EXPECT_NE(FirstDifference(back.ImageBitmap(), src), "");
    }
}

TEST(PngRoundTrip, ManySmallIDATChunks)
{
    const TBitmap src = NoiseBitmap(150, 120, 8);
    TKroPNG out;
    out.Assign(src);
    out.IDATSize = 256;
    out.CompressionLevel = 0;
    TMemoryStream stream;
    out.SaveToStream(stream);
    stream.SetPosition(0);
    TPieceStream piece(TBytes(stream.Memory(), stream.Memory() + stream.Size()));
    TKroPNG back;
    back.LoadFromStream(piece);
    EXPECT_EQ(FirstDifference(back.ImageBitmap(), src), "");
}

} // namespace
} // namespace gz::test

namespace gz::test {

TEST(PngRoundTrip, PicturesBeyondTwoHundredMillionPixelsReadBack)
{
    // 16385 x 16385 pixels (more than 2^28) at one bit each: 33 MB of pixels, a small file.
    TBitmap big;
    big.AllocateZeroed(16385, 16385, pf1bit);
    big.SetPalette({{0, 0, 0}, {255, 255, 255}});
    big.ScanLine(16384)[2048] = 0x80; // the last pixel is white
    TKroPNG png;
    png.Assign(big);
    TMemoryStream file;
    png.SaveToStream(file);
    big.Clear();
    file.SetPosition(0);
    TKroPNG back;
    back.LoadFromStream(file);
    ASSERT_EQ(back.Width(), 16385);
    ASSERT_EQ(back.Height(), 16385);
    EXPECT_EQ(back.ImageBitmap().Pixel(16384, 16384), clWhite);
    EXPECT_EQ(back.ImageBitmap().Pixel(16383, 16384), clBlack);
}

} // namespace gz::test
