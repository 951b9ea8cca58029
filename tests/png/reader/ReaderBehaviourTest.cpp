// The PNG reader on files built here: refusals, chunk rules, transparency, comments, cut
// files, stream positions, the buffered path and progress.

#include "LibpngDecode.h"
#include "ReaderTestKit.h"

#include "platform/PixelMemory.h"
#include "support/Rasters.h"

#include <gtest/gtest.h>

#include <tuple>

namespace gz::test {
namespace {

// One 8-bit grey pixel (filter byte + sample).
const TBytes kOneGreyPixel = {0, 0x80};

std::string LoadMessage(const TBytes& bytes)
{
    TKroPNG png;
    try {
        LoadBytes(png, bytes);
    } catch (const EKroPNG& e) {
        return e.Message();
    }
    return "loaded";
}

struct THeaderCase {
    const char* name;
    std::uint32_t width, height;
    int depth, colorType, compression, filter, interlace;
    std::string message;
};

TEST(PngReaderRefusals, HeaderFieldsAreRefusedWithTheirMessages)
{
    const std::string size = "Read Header(PNG): Error Image Size ";
    const THeaderCase cases[] = {
        {"colour type 1", 1, 1, 8, 1, 0, 0, 0, png::kMsgColorType},
        {"colour type 5", 1, 1, 8, 5, 0, 0, 0, png::kMsgColorType},
        {"colour type 15", 1, 1, 8, 15, 0, 0, 0, png::kMsgColorType},
        {"compression 2", 1, 1, 8, 0, 2, 0, 0, png::kMsgCompression},
        {"filter 2", 1, 1, 8, 0, 0, 2, 0, png::kMsgFilter},
        {"interlace 2", 1, 1, 8, 0, 0, 0, 2, png::kMsgInterlace},
        {"grey depth 3", 1, 1, 3, 0, 0, 0, 0, png::kMsgGreyBitdepth},
        {"grey+alpha depth 4", 1, 1, 4, 4, 0, 0, 0, png::kMsgGreyAlpha},
        {"colour depth 4", 1, 1, 4, 2, 0, 0, 0, png::kMsgBitDepth},
        {"colour+alpha depth 1", 1, 1, 1, 6, 0, 0, 0, png::kMsgBitDepth},
        {"palette depth 16", 1, 1, 16, 3, 0, 0, 0, png::kMsgBitDepth},
        {"zero width", 0, 1, 8, 0, 0, 0, 0, size + "0 x 1"},
        {"zero height", 1, 0, 8, 0, 0, 0, 0, size + "1 x 0"},
        {"width above 2^31-1", 0x80000000u, 1, 8, 0, 0, 0, 0, size + "2147483648 x 1"},
        // Any size the format allows passes the header; the image data must then hold the rows.
        {"more rows than the data holds", 16385, 16385, 8, 2, 0, 0, 0, png::kMsgReadError},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::size_t before = PixelMemory::Current();
        const TBytes file = TPngBuilder()
                                .Header(c.width, c.height, c.depth, c.colorType, c.interlace, c.compression, c.filter)
                                .Data(kOneGreyPixel)
                                .End()
                                .Bytes();
        EXPECT_EQ(LoadMessage(file), c.message);
        EXPECT_EQ(PixelMemory::Current(), before);
    }
    EXPECT_EQ(LoadMessage({'G', 'I', 'F', '8', '9', 'a', 0, 0, 0, 0}), png::kMsgNotPNG);
    EXPECT_EQ(LoadMessage({0x89, 'P', 'N'}), png::kMsgNotPNG);
    EXPECT_EQ(LoadMessage(TPngBuilder().Header(1, 1, 8, 0).Header(1, 1, 8, 0).Bytes()), png::kMsgTwoIHDR);
}

TEST(PngReaderRefusals, FilesWithoutHeaderOrImageDataAreRefused)
{
    TBytes garbage = TPngBuilder().Bytes();
    for (int i = 0; i < 40; ++i)
        garbage.push_back(std::uint8_t(i * 37 + 11));
    const struct {
        const char* name;
        TBytes file;
        const char* message;
    } cases[] = {
        {"signature only", TPngBuilder().Bytes(), png::kMsgNoHeader},
        {"signature and garbage", garbage, png::kMsgNoHeader},
        {"IEND first", TPngBuilder().End().Header(1, 1, 8, 0).Data(kOneGreyPixel).Bytes(), png::kMsgNoHeader},
        {"image data before the header", TPngBuilder().Data(kOneGreyPixel).Header(1, 1, 8, 0).End().Bytes(),
         png::kMsgNoImage},
        {"IEND before the image data", TPngBuilder().Header(1, 1, 8, 0).End().Data(kOneGreyPixel).Bytes(),
         png::kMsgNoImage},
        {"cut before the image data", TPngBuilder().Header(1, 1, 8, 0).Text("Comment", "x").Bytes(),
         png::kMsgNoImage},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(LoadMessage(c.file), c.message);
    }
}

TEST(PngReaderRefusals, BrokenImageDataIsAReadError)
{
    const TBytes twoRows = {0, 1, 2, 3, 0, 4, 5, 6};
    const TBytes good = TPngBuilder().Header(3, 2, 8, 0).Data(twoRows).End().Bytes();
    ASSERT_EQ(LoadMessage(good), "loaded");

    const TBytes compressed = Deflate(twoRows);
    const TBytes firstHalf(compressed.begin(), compressed.begin() + 5), secondHalf(compressed.begin() + 5, compressed.end());
    const TBytes cases[] = {
        // filter type 5
        TPngBuilder().Header(3, 2, 8, 0).Data({0, 1, 2, 3, 5, 4, 5, 6}).End().Bytes(),
        // the compressed data holds one row of two
        TPngBuilder().Header(3, 2, 8, 0).Data({0, 1, 2, 3}).End().Bytes(),
        // another chunk between two IDAT chunks
        TPngBuilder().Header(3, 2, 8, 0).Chunk("IDAT", firstHalf).Text("Comment", "x").Chunk("IDAT", secondHalf).Bytes(),
        // the file ends inside the image data
        TBytes(good.begin(), good.begin() + 8 + 25 + 8 + 6),
        // not a deflate stream at all
        TPngBuilder().Header(3, 2, 8, 0).Chunk("IDAT", {1, 2, 3, 4, 5, 6, 7, 8}).End().Bytes(),
    };
    for (const TBytes& file : cases)
        EXPECT_EQ(LoadMessage(file), png::kMsgReadError);

    // A few bytes cannot hold a quarter of a billion rows: refused before the picture is allocated.
    PixelMemory::ResetPeak();
    const std::size_t before = PixelMemory::Current();
    EXPECT_EQ(LoadMessage(TPngBuilder().Header(1, 251658272, 8, 6).Data(TBytes(1000, 0)).End().Bytes()),
              png::kMsgReadError);
    EXPECT_LT(PixelMemory::Peak() - before, std::size_t(1) << 20);
    // Data that compresses as well as deflate allows is still read in full.
    const TBytes blackRows(std::size_t(4000) * (1 + 3 * 4000), 0);
    EXPECT_EQ(LoadMessage(TPngBuilder().Header(4000, 4000, 8, 2).Chunk("IDAT", Deflate(blackRows)).End().Bytes()),
              "loaded");

    // Split IDAT chunks, including empty ones, are followed.
    EXPECT_EQ(LoadMessage(TPngBuilder()
                              .Header(3, 2, 8, 0)
                              .Chunk("IDAT", firstHalf)
                              .Chunk("IDAT", {})
                              .Chunk("IDAT", secondHalf)
                              .End()
                              .Bytes()),
              "loaded");
}

TEST(PngReaderChunks, HeaderVariantsThatAreAccepted)
{
    // Colour type 10 reads as 2; compression and filter method 1 decode as 0.
    for (const auto& [colorType, compression, filter] : {std::tuple{10, 0, 0}, std::tuple{2, 1, 1}}) {
        TKroPNG png;
        LoadBytes(png, TPngBuilder()
                           .Header(2, 1, 8, colorType, 0, compression, filter)
                           .Data({0, 10, 20, 30, 40, 50, 60})
                           .End()
                           .Bytes());
        EXPECT_EQ(png.ImageBitmap().PixelFormat(), pf24bit);
        EXPECT_EQ(png.ImageBitmap().Pixel(0, 0), RGBColor(10, 20, 30));
        EXPECT_EQ(png.ImageBitmap().Pixel(1, 0), RGBColor(40, 50, 60));
    }
}

TEST(PngReaderChunks, PaletteTransparencyBecomesOneColourOrAMask)
{
    const TBytes plte = {255, 0, 0, 0, 255, 0, 0, 0, 255};
    const TBytes rows = {0, 0, 1, 2};
    {
        TKroPNG png;
        LoadBytes(png, TPngBuilder().Header(3, 1, 8, 3).Chunk("PLTE", plte).Chunk("tRNS", {255, 0}).Data(rows).End().Bytes());
        EXPECT_EQ(png.TransparentColor, png::PaletteIndexColor(1));
        EXPECT_TRUE(png.Transparent());
        EXPECT_TRUE(png.ImageBitmap().Transparent());
        EXPECT_EQ(png.ImageBitmap().TransparentColor(), png::PaletteIndexColor(1));
        EXPECT_FALSE(png.HasAlpha);
        EXPECT_TRUE(png.AlphaBitmap().Empty());
    }
    {
        // A partial alpha needs a mask; a tRNS longer than the palette is skipped to its end.
        TKroPNG png;
        LoadBytes(png, TPngBuilder()
                           .Header(3, 1, 8, 3)
                           .Chunk("PLTE", plte)
                           .Chunk("tRNS", {255, 128, 0, 7, 7, 7})
                           .Text("Comment", "after")
                           .Data(rows)
                           .End()
                           .Bytes());
        EXPECT_EQ(png.TransparentColor, png::kNoColor);
        EXPECT_FALSE(png.Transparent());
        ASSERT_TRUE(png.HasAlpha);
        ASSERT_EQ(png.AlphaBitmap().PixelFormat(), pf8bit);
        const std::uint8_t* mask = png.AlphaBitmap().ScanLine(0);
        EXPECT_EQ(mask[0], 0);
        EXPECT_EQ(mask[1], 127);
        EXPECT_EQ(mask[2], 255);
        EXPECT_EQ(png.Comment, "after\r\n");
    }
}

TEST(PngReaderChunks, ColourValuesOfTransparencyAndBackground)
{
    struct TCase {
        const char* name;
        TBytes file;
        std::int32_t transparent, background;
    };
    const TCase cases[] = {
        {"16-bit colour by high bytes",
         TPngBuilder().Header(1, 1, 16, 2).Chunk("tRNS", {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC})
             .Chunk("bKGD", {0xFE, 0, 0x01, 0, 0x80, 0}).Data({0, 0, 0, 0, 0, 0, 0}).End().Bytes(),
         RGBColor(0x12, 0x56, 0x9A), RGBColor(0xFE, 0x01, 0x80)},
        {"8-bit grey by low byte", TPngBuilder().Header(1, 1, 8, 0).Chunk("tRNS", {0, 0x40}).Chunk("bKGD", {0, 0x41})
             .Data(kOneGreyPixel).End().Bytes(),
         0x404040, 0x414141},
        {"1-bit grey at the grey palette's level", TPngBuilder().Header(1, 1, 1, 0).Chunk("tRNS", {0, 1}).Chunk("bKGD", {0, 0})
             .Data({0, 0x80}).End().Bytes(),
         0xFFFFFF, 0x000000},
        {"2-bit grey at the grey palette's level", TPngBuilder().Header(1, 1, 2, 0).Chunk("tRNS", {0, 2}).Chunk("bKGD", {0, 1})
             .Data({0, 0x80}).End().Bytes(),
         0xAAAAAA, 0x555555},
        {"palette background index, bKGD after the image ignored",
         TPngBuilder().Header(1, 1, 8, 3).Chunk("PLTE", {1, 2, 3, 4, 5, 6}).Chunk("bKGD", {1}).Data({0, 0})
             .Chunk("bKGD", {0}).End().Bytes(),
         png::kNoColor, png::PaletteIndexColor(1)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TKroPNG png;
        LoadBytes(png, c.file);
        EXPECT_EQ(png.TransparentColor, c.transparent);
        EXPECT_EQ(png.BackgroundColor, c.background);
        EXPECT_EQ(png.Transparent(), c.transparent != png::kNoColor);
    }
}

TEST(PngReaderChunks, MetadataChunksAndTheirConditions)
{
    TKroPNG png;
    LoadBytes(png, TPngBuilder()
                       .Text("Comment", "a")           // before IHDR: still read
                       .Header(1, 1, 8, 2)
                       .Chunk("tIME", {0x07, 0xE9, 12, 31, 23, 59, 60})
                       .Chunk("gAMA", {0, 0, 0xB1, 0x8F})
                       .Chunk("cHRM", TBytes(32, 1))
                       .Chunk("gIFg", {2, 1, 0x01, 0x02})
                       .Chunk("sBIT", {5, 6, 5})
                       .Chunk("pHYs", {0, 0, 0x0B, 0x13, 0, 0, 0x0B, 0x14, 1})
                       .Text("Title", "ignored")
                       .Text("Comment", "")
                       .Text("Comment", "b")
                       .Chunk("PLTE", {9, 9, 9})
                       .Chunk("gAMA", {0, 0, 0, 1})       // after PLTE: ignored
                       .Chunk("pHYs", {0, 0, 0, 1, 0, 0, 0, 1, 0}) // still before the image
                       .Data({0, 1, 2, 3})
                       .Chunk("pHYs", {0, 0, 0, 2, 0, 0, 0, 2, 1}) // after the image: ignored
                       .End()
                       .Bytes());
    EXPECT_EQ(png.Comment, "a\r\n\r\nb\r\n");
    EXPECT_EQ(png.ModifiedTime, (TKroPNGTime{2025, 12, 31, 23, 59, 60}));
    EXPECT_DOUBLE_EQ(png.Gamma, 0.45455);
    EXPECT_EQ(png.Chromaticity[7], 0x01010101);
    EXPECT_EQ(png.GifExtension, (TKroPNGGifExtension{2, 1, 0x0102}));
    EXPECT_EQ(png.SignificantBits, png::SignificantBitsValue(5, 6, 5, 0));
    EXPECT_EQ(png.PixelsPerUnitX, 1);
    EXPECT_EQ(png.PixelUnit, 0);

    // A second load without those chunks clears the records and the gamma.
    LoadBytes(png, TPngBuilder().Header(1, 1, 8, 0).Data(kOneGreyPixel).End().Bytes());
    EXPECT_EQ(png.ModifiedTime, TKroPNGTime{});
    EXPECT_EQ(png.GifExtension, TKroPNGGifExtension{});
    EXPECT_EQ(png.Gamma, 0.0);
    EXPECT_EQ(png.Comment, "");
}

TEST(PngReaderChunks, HighColourOptionReadsFiveSixFivePixels)
{
    for (const auto& [sbit, fileBits] : {std::pair{TBytes{5, 6, 5}, 16}, std::pair{TBytes{5, 5, 5}, 15}}) {
        const TBytes file = TPngBuilder().Header(1, 1, 8, 2).Chunk("sBIT", sbit).Data({0, 0xF8, 0xFC, 0x08}).End().Bytes();
        TKroPNG png;
        png.ReadHighColor = true;
        LoadBytes(png, file);
        ASSERT_EQ(png.ImageBitmap().PixelFormat(), pf16bit);
        const std::uint8_t* px = png.ImageBitmap().ScanLine(0);
        EXPECT_EQ(px[0] | (px[1] << 8), (0x1F << 11) | (0x3F << 5) | 0x01);
        EXPECT_EQ(png.FileBits, fileBits);
        png.ReadHighColor = false;
        LoadBytes(png, file);
        EXPECT_EQ(png.ImageBitmap().PixelFormat(), pf24bit);
        EXPECT_EQ(png.FileBits, 24);
    }
}

TEST(PngReaderStream, CutFilesAndFilesWithoutImageData)
{
    const TBytes plte = {0, 0, 0, 255, 255, 255};
    const TBytes whole =
        TPngBuilder().Header(2, 1, 8, 3).Chunk("PLTE", plte).Chunk("tRNS", {0}).Data({0, 0, 1}).End().Bytes();
    TKroPNG png;
    LoadBytes(png, TBytes(whole.begin(), whole.end() - 12)); // IEND missing
    EXPECT_EQ(png.Width(), 2);
    EXPECT_FALSE(png.ImageBitmap().Transparent()); // the data ran out: the colour is not applied

    // A cut interlaced image keeps the first pass; pixels no pass reached are cleared.
    const TBytes firstPassOnly = {0, 255, 255, 0, 255, 255};
    EXPECT_THROW(LoadBytes(png, TPngBuilder().Header(16, 16, 8, 0, 1).Data(firstPassOnly).End().Bytes()), EKroPNG);
    ASSERT_EQ(png.ImageBitmap().Width(), 16);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            ASSERT_EQ(png.ImageBitmap().ScanLine(y)[x], (x % 8 == 0 && y % 8 == 0) ? 255 : 0) << x << ", " << y;

    // Without IDAT the load is refused and the previous image stays.
    EXPECT_THROW(LoadBytes(png, TPngBuilder().Header(5, 5, 8, 0).End().Bytes()), EKroPNG);
    EXPECT_EQ(png.Width(), 16);
}

TEST(PngReaderStream, SourceIsLeftAfterTheBytesConsumed)
{
    const TBytes file = TPngBuilder().Header(1, 1, 8, 0).Data(kOneGreyPixel).End().Bytes();
    TBytes leading(128, 'm');
    leading[0] = leading[74] = 0;
    for (bool memory : {true, false}) {
        for (bool withHeader : {false, true}) {
            SCOPED_TRACE(std::string(memory ? "memory" : "buffered") + (withHeader ? ", leading header" : ""));
            TBytes all = {'x', 'y', 'z'};
            if (withHeader)
                all.insert(all.end(), leading.begin(), leading.end());
            all.insert(all.end(), file.begin(), file.end());
            all.insert(all.end(), {'t', 'a', 'i', 'l'});
            TMemoryViewStream mem(all.data(), all.size());
            TPieceStream piece(all);
            TStream& stream = memory ? static_cast<TStream&>(mem) : piece;
            stream.SetPosition(3);
            TKroPNG png;
            png.LoadFromStream(stream);
            EXPECT_EQ(png.ImageBitmap().Pixel(0, 0), 0x808080);
            EXPECT_EQ(stream.Position(), std::int64_t(all.size() - 4));
        }
    }
    // The leading header is only looked for when the data is longer than 128 bytes.
    TKroPNG png;
    png.SkipMacBinary = true;
    EXPECT_THROW(LoadBytes(png, leading), EKroPNG);
}

TEST(PngReaderStream, BufferedSourceMatchesInPlaceReading)
{
    // Rows of noise large enough for IDAT chunks and an ancillary chunk beyond the 64 KB buffer.
    const int w = 300, h = 200;
    TBytes raw;
    std::uint32_t state = 12345;
    for (int y = 0; y < h; ++y) {
        raw.push_back(std::uint8_t(y % 5));
        for (int i = 0; i < w * 3; ++i) {
            state = state * 1103515245u + 12345u;
            raw.push_back(std::uint8_t(state >> 23));
        }
    }
    const TBytes compressed = Deflate(raw);
    TPngBuilder builder;
    builder.Header(w, h, 8, 2).Chunk("zzZz", TBytes(150000, 7)).Text("Comment", std::string(100000, 'c'));
    for (std::size_t at = 0; at < compressed.size(); at += 70000)
        builder.Chunk("IDAT", TBytes(compressed.begin() + std::ptrdiff_t(at),
                                     compressed.begin() + std::ptrdiff_t(std::min(at + 70000, compressed.size()))));
    builder.End();

    TKroPNG inPlace, buffered;
    LoadBytes(inPlace, builder.Bytes());
    TPieceStream piece(builder.Bytes());
    buffered.LoadFromStream(piece);
    TOracleImage oracle;
    ASSERT_TRUE(DecodeWithLibpng(builder.Bytes(), oracle)) << oracle.Error;
    EXPECT_TRUE(FlattenRGBA(inPlace) == oracle.Rgba);
    EXPECT_EQ(FirstDifference(inPlace.ImageBitmap(), buffered.ImageBitmap()), "");
    EXPECT_EQ(buffered.Comment, std::string(100000, 'c') + "\r\n");
    EXPECT_EQ(piece.Position(), std::int64_t(builder.Bytes().size()));
}

TEST(PngReaderStream, ProgressRunsFromZeroToOneHundred)
{
    TBytes rows;
    for (int y = 0; y < 6; ++y)
        rows.insert(rows.end(), {0, std::uint8_t(y)});
    std::vector<int> seen;
    TKroPNG png;
    png.OnProgress = [&](TGraphic& sender, TProgressStage stage, std::uint8_t percent, bool, const TRect&,
                         const std::string&) {
        EXPECT_EQ(&sender, &png.ImageBitmap());
        EXPECT_EQ(stage, percent == 0 ? psStarting : percent == 100 ? psEnding : psRunning);
        seen.push_back(percent);
    };
    LoadBytes(png, TPngBuilder().Header(1, 6, 8, 0).Data(rows).End().Bytes());
    ASSERT_GE(seen.size(), 3u);
    EXPECT_EQ(seen.front(), 0);
    EXPECT_EQ(seen.back(), 100);
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_NE(std::find(seen.begin(), seen.end(), 97), seen.end()); // the last row
    EXPECT_FALSE(png.ImageBitmap().OnProgress); // the bitmap's own listener is back
}

} // namespace
} // namespace gz::test
