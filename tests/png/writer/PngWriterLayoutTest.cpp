// File layout of the PNG writer: the typical export file, chunk order and contents, the IDAT
// split, the parameter check and the failure rules.

#include "PngOracle.h"

#include "platform/Streams.h"
#include "support/Rasters.h"

#include <gtest/gtest.h>

#include <cstring>
#include <algorithm>
#include <numeric>

namespace gz::test {
namespace {

Bytes B(std::initializer_list<int> v)
{
    Bytes out;
    for (int x : v)
        out.push_back(std::uint8_t(x));
    return out;
}

Bytes Str(const std::string& s) { return Bytes(s.begin(), s.end()); }

TEST(PngWriterLayout, TypicalExportFileMatchesByteForByte)
{
    const TBitmap bmp = NoiseBitmap(150, 100, 11); // 45100 bytes of rows: two IDAT chunks at least
    const Bytes f = WritePng(bmp, [](TKroPNGWriteStream& w) { w.SetGamma(0.45455); });

    const Bytes head(f.begin(), f.begin() + 123);
    Bytes expected = B({0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13, 'I', 'H', 'D', 'R', 0, 0, 0, 150,
                        0, 0, 0, 100, 8, 2, 0, 0, 0});
    ASSERT_EQ(Bytes(head.begin(), head.begin() + 29), expected);
    EXPECT_EQ(Bytes(head.begin() + 33, head.begin() + 48),
              B({0, 0, 0, 7, 't', 'I', 'M', 'E', 0x07, 0xE8, 2, 29, 13, 45, 7}));
    Bytes software = B({0, 0, 0, 0x17, 't', 'E', 'X', 't'});
    const Bytes text = Str(std::string("Software") + '\0' + "KroPNG ver 3.4");
    software.insert(software.end(), text.begin(), text.end());
    EXPECT_EQ(Bytes(head.begin() + 52, head.begin() + 83), software);
    EXPECT_EQ(Bytes(head.begin() + 87, head.begin() + 103),
              B({0, 0, 0, 8, 't', 'p', 'N', 'G', 'K', 'r', 'o', '3', 0, 0, 0, 0}));
    EXPECT_EQ(Bytes(head.begin() + 107, head.begin() + 119), B({0, 0, 0, 4, 'g', 'A', 'M', 'A', 0, 0, 0xB1, 0x8F}));
    EXPECT_EQ(Bytes(f.end() - 12, f.end()), B({0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82}));

    const auto chunks = ParseChunks(f);
    EXPECT_EQ(ChunkTypes(chunks), (std::vector<std::string>{"IHDR", "tIME", "tEXt", "tpNG", "gAMA", "IDAT", "IEND"}));
    const std::size_t idats = std::count_if(chunks.begin(), chunks.end(), [](const Chunk& c) { return c.type == "IDAT"; });
    ASSERT_GE(idats, 2u);
    for (std::size_t i = 5; i < 5 + idats - 1; ++i)
        EXPECT_EQ(chunks[i].data.size(), 32768u);
    EXPECT_EQ(chunks[5].data[0], 0x78);
    EXPECT_EQ(chunks[5].data[1], 0x9C);

    Bytes rows;
    for (int y = 0; y < bmp.Height(); ++y) {
        rows.push_back(0);
        for (int x = 0; x < bmp.Width(); ++x) {
            const TColor c = bmp.Pixel(x, y);
            rows.insert(rows.end(), {ColorRed(c), ColorGreen(c), ColorBlue(c)});
        }
    }
    EXPECT_EQ(InflateImageData(chunks), rows);
}

TEST(PngWriterLayout, EveryOptionalChunkInItsPlace)
{
    TBitmap bmp(5, 3, pf8bit);
    bmp.SetPalette({{10, 20, 30}, {200, 100, 50}, {0, 0, 0}});
    const TKroPNGTime time{1999, 12, 31, 23, 59, 60};
    const TKroPNGChromaticity chrm{31270, 32900, 64000, 33000, 30000, 60000, 15000, 6000};
    const TKroPNGGifExtension gif{2, 1, 0x0102};
    const Bytes f = WritePng(bmp, [&](TKroPNGWriteStream& w) {
        w.SetUseCurrentTime(false);
        w.SetModifiedTime(&time);
        w.SetComment("hello");
        w.SetGifExtension(&gif);
        w.SetGamma(1.0);
        w.SetChromaticity(&chrm);
        w.SetSignificantBits(0x08070605);
        w.SetBackgroundColor(RGBColor(190, 110, 60)); // nearest entry: 1
        w.SetTransparentColor(png::PaletteIndexColor(2));
        w.SetPixelUnit(2);
        w.SetPixelsPerUnitX(72);
        w.SetPixelsPerUnitY(300);
        w.SetRowKey("key");
        w.OnWriteRow = [](TKroPNGWriteStream&, std::uint8_t*, const std::string&, int, int) {};
    });
    const auto chunks = ParseChunks(f);
    EXPECT_EQ(ChunkTypes(chunks), (std::vector<std::string>{"IHDR", "tIME", "tEXt", "tEXt", "tpNG", "gIFg", "gAMA",
                                                            "cHRM", "sBIT", "PLTE", "bKGD", "tRNS", "pHYs", "IDAT",
                                                            "IEND"}));
    EXPECT_EQ(chunks[0].data, B({0, 0, 0, 5, 0, 0, 0, 3, 8, 3, 0, 0, 0}));
    EXPECT_EQ(chunks[1].data, B({0x07, 0xCF, 12, 31, 23, 59, 60}));
    EXPECT_EQ(chunks[2].data, Str(std::string("Comment") + '\0' + "hello"));
    EXPECT_EQ(chunks[4].data, B({'K', 'r', 'o', '3', 1, 0, 0, 0}));
    EXPECT_EQ(chunks[5].data, B({2, 1, 1, 2}));
    EXPECT_EQ(chunks[6].data, B({0, 1, 0x86, 0xA0}));
    EXPECT_EQ(BigEndian32(&chunks[7].data[0]), 31270u);
    EXPECT_EQ(BigEndian32(&chunks[7].data[28]), 6000u);
    EXPECT_EQ(chunks[8].data, B({5, 6, 7}));
    EXPECT_EQ(chunks[9].data, B({10, 20, 30, 200, 100, 50, 0, 0, 0}));
    EXPECT_EQ(chunks[10].data, B({1}));
    EXPECT_EQ(chunks[11].data, B({255, 255, 0}));
    EXPECT_EQ(chunks[12].data, B({0, 0, 0x0B, 0x12, 0, 0, 0x2E, 0x23, 1})); // 2834 and 11811 per metre
    EXPECT_TRUE(DecodeWithLibpng(f).error.empty());
}

struct ColourChunkCase {
    TPixelFormat format;
    bool grey;
    std::int32_t colour;
    Bytes bkgd, trns, sbit; // empty: the chunk is absent
};

class PngWriterColourChunks : public ::testing::TestWithParam<ColourChunkCase> {};

TEST_P(PngWriterColourChunks, ResolveAgainstTheOutput)
{
    const ColourChunkCase& c = GetParam();
    TBitmap bmp(4, 2, c.format);
    if (c.format == pf4bit)
        bmp.SetPalette({{0, 0, 0}, {255, 255, 255}, {255, 0, 0}});
    const auto chunks = ParseChunks(WritePng(bmp, [&](TKroPNGWriteStream& w) {
        w.SetGrayScale(c.grey);
        w.SetBackgroundColor(c.colour);
        w.SetTransparentColor(c.colour);
        w.SetSignificantBits(0x00080808);
    }));
    auto data = [&](const char* type) { const Chunk* k = FindChunk(chunks, type); return k ? k->data : Bytes{}; };
    EXPECT_EQ(data("bKGD"), c.bkgd);
    EXPECT_EQ(data("tRNS"), c.trns);
    EXPECT_EQ(data("sBIT"), c.sbit);
    EXPECT_EQ(FindChunk(chunks, "PLTE") != nullptr, IsPaletteFormat(c.format) && !c.grey);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, PngWriterColourChunks,
    ::testing::Values(
        ColourChunkCase{pf24bit, false, RGBColor(1, 2, 3), B({0, 1, 0, 2, 0, 3}), B({0, 1, 0, 2, 0, 3}), B({8, 8, 8})},
        ColourChunkCase{pf24bit, true, RGBColor(255, 255, 255), B({0, 255}), B({0, 255}), {}},
        ColourChunkCase{pf16bit, false, RGBColor(9, 8, 7), B({0, 9, 0, 8, 0, 7}), B({0, 9, 0, 8, 0, 7}), B({5, 6, 5})},
        ColourChunkCase{pf15bit, false, RGBColor(9, 8, 7), B({0, 9, 0, 8, 0, 7}), B({0, 9, 0, 8, 0, 7}), B({5, 5, 5})},
        ColourChunkCase{pf4bit, false, RGBColor(250, 10, 10), B({2}), B({255, 255, 0}), B({8, 8, 8})},
        ColourChunkCase{pf4bit, false, png::PaletteIndexColor(9), {}, {}, B({8, 8, 8})}, // past the palette
        ColourChunkCase{pf4bit, true, png::PaletteIndexColor(2), B({0, 76 >> 4}), B({0, 76 >> 4}), {}},
        ColourChunkCase{pf1bit, true, RGBColor(200, 200, 200), B({0, 1}), B({0, 1}), {}}));

TEST(PngWriterLayout, TimeChunkOnlyForValidRecords)
{
    const TBitmap bmp = NoiseBitmap(2, 2, 1);
    for (const TKroPNGTime& t : {TKroPNGTime{2020, 13, 1, 0, 0, 0}, TKroPNGTime{2020, 1, 1, 0, 0, 61},
                                 TKroPNGTime{0, 1, 1, 0, 0, 0}}) {
        const auto chunks = ParseChunks(WritePng(bmp, [&](TKroPNGWriteStream& w) {
            w.SetUseCurrentTime(false);
            w.SetModifiedTime(&t);
        }));
        EXPECT_EQ(FindChunk(chunks, "tIME"), nullptr);
    }
    const auto none = ParseChunks(WritePng(bmp, [](TKroPNGWriteStream& w) { w.SetUseCurrentTime(false); }));
    EXPECT_EQ(FindChunk(none, "tIME"), nullptr);
    const TKroPNGTime now = CurrentPNGTimeUTC();
    EXPECT_TRUE(IsValidPNGTime(now));
}

TEST(PngWriterLayout, IDATSizeOutsideItsRangeIsRejected)
{
    TKroPNGWriteStream w;
    for (int bad : {255, 100001, -1, 0}) {
        try {
            w.SetIDATSize(bad);
            ADD_FAILURE() << bad << " accepted";
        } catch (const EKroPNG& e) {
            EXPECT_STREQ(e.what(), "Write PNG Param: Err IDAT Size(min:256  max:100000)");
        }
        EXPECT_EQ(w.IDATSize(), 32768);
    }
    w.SetIDATSize(256);
    EXPECT_EQ(w.IDATSize(), 256);
    w.SetIDATSize(100000);
    EXPECT_EQ(w.IDATSize(), 100000);
}

std::vector<std::size_t> IdatSizes(const Bytes& file)
{
    std::vector<std::size_t> sizes;
    for (const Chunk& c : ParseChunks(file))
        if (c.type == "IDAT")
            sizes.push_back(c.data.size());
    return sizes;
}

TEST(PngWriterLayout, IDATChunksHoldExactlyIDATSizeBytes)
{
    // The compressed length does not depend on the chunk size: find a size that divides it.
    const TBitmap bmp = NoiseBitmap(64, 64, 5);
    const auto whole = IdatSizes(WritePng(bmp, [](TKroPNGWriteStream& w) { w.SetIDATSize(100000); }));
    ASSERT_EQ(whole.size(), 1u);
    const std::size_t total = whole[0];
    std::size_t divisor = 0;
    for (std::size_t d = 256; d <= total / 2 && !divisor; ++d)
        if (total % d == 0)
            divisor = d;
    ASSERT_NE(divisor, 0u) << total;
    const auto exact = IdatSizes(WritePng(bmp, [&](TKroPNGWriteStream& w) { w.SetIDATSize(int(divisor)); }));
    EXPECT_EQ(exact, std::vector<std::size_t>(total / divisor, divisor));

    const auto split = IdatSizes(WritePng(bmp, [](TKroPNGWriteStream& w) { w.SetIDATSize(1000); }));
    ASSERT_EQ(split.size(), (total + 999) / 1000);
    EXPECT_EQ(split.back(), total % 1000 ? total % 1000 : 1000);
    EXPECT_EQ(std::accumulate(split.begin(), split.end(), std::size_t(0)), total);
}

TEST(PngWriterLayout, LevelOutsideZeroToNineIsTheDefaultLevel)
{
    const TBitmap bmp = NoiseBitmap(30, 20, 9);
    const Bytes byDefault = WritePng(bmp);
    for (int level : {10, -5})
        EXPECT_EQ(WritePng(bmp, [&](TKroPNGWriteStream& w) { w.SetCompressionLevel(level); }), byDefault);
    const auto stored = ParseChunks(WritePng(bmp, [](TKroPNGWriteStream& w) { w.SetCompressionLevel(0); }));
    EXPECT_EQ(FindChunk(stored, "IDAT")->data[1], 0x01);
}

TEST(PngWriterLayout, FailedRowEndsTheFileWithoutIEND)
{
    // A failing row hook on a picture large enough to have passed bytes to the stream.
    const TBitmap bmp = NoiseBitmap(300, 300, 4);
    TKroPNGWriteStream w;
    w.SetRowKey("k");
    w.OnWriteRow = [](TKroPNGWriteStream&, std::uint8_t*, const std::string&, int row, int) {
        if (row == 250)
            throw EAbort();
    };
    TMemoryStream out;
    EXPECT_THROW(w.WriteBitmap(bmp, out), EAbort);
    ASSERT_GT(out.Size(), 65536);
    const Bytes f(out.Memory(), out.Memory() + out.Size());
    const Bytes iend = B({'I', 'E', 'N', 'D'});
    EXPECT_EQ(std::search(f.begin(), f.end(), iend.begin(), iend.end()), f.end());
    // The writer is usable again afterwards.
    w.OnWriteRow = nullptr;
    TMemoryStream again;
    w.WriteBitmap(bmp, again);
    EXPECT_TRUE(DecodeWithLibpng(Bytes(again.Memory(), again.Memory() + again.Size())).error.empty());
}

class FailingStream : public TMemoryStream {
public:
    std::size_t Write(const void* buffer, std::size_t count) override
    {
        return Size() + std::int64_t(count) > 70000 ? 0 : TMemoryStream::Write(buffer, count);
    }
};

TEST(PngWriterLayout, StreamWriteErrorsPropagate)
{
    const TBitmap bmp = NoiseBitmap(300, 300, 4);
    TKroPNGWriteStream w;
    FailingStream out;
    EXPECT_THROW(w.WriteBitmap(bmp, out), EWriteError);
}

} // namespace
} // namespace gz::test
