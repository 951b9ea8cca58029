#include "DibBytes.h"
#include "platform/Bitmap.h"
#include "platform/BmpFile.h"
#include "platform/Exceptions.h"
#include "platform/Streams.h"
#include "support/Rasters.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace gz;
using namespace gz::test;

namespace {

TBitmap ReadBytes(const Bytes& bytes)
{
    TMemoryViewStream in(bytes.data(), bytes.size());
    TBitmap bitmap;
    bitmap.LoadFromStream(in);
    return bitmap;
}

std::string RefusalOf(const Bytes& bytes)
{
    try {
        ReadBytes(bytes);
    } catch (const EInvalidGraphic& e) {
        return e.what();
    }
    return "(read)";
}

Bytes WriteBitmap(const TBitmap& bitmap)
{
    TMemoryStream out;
    bitmap.SaveToStream(out);
    return Bytes(out.Memory(), out.Memory() + out.Size());
}

// An 8-bit RLE file of the given size whose compressed data is rle.
Bytes RleFile(int width, int height, const Bytes& rle)
{
    DibLayout s;
    s.width = width;
    s.height = height;
    s.bitCount = 8;
    s.compression = 1;
    s.table = {0x000000, 0xFF0000, 0x00FF00};
    s.clrUsed = 3;
    s.rawBits = rle;
    return MakeBmpFile(s);
}

} // namespace

TEST(BitmapFile, EveryPixelFormatSurvivesWriteAndRead)
{
    struct Case {
        TPixelFormat written, read;
    };
    const Case cases[] = {{pf1bit, pf1bit},   {pf4bit, pf4bit},   {pf8bit, pf8bit},     {pf15bit, pf15bit},
                          {pf16bit, pf16bit}, {pf24bit, pf24bit}, {pf32bit, pf32bit},   {pfDevice, pf24bit},
                          {pfCustom, pf15bit}};
    for (const Case& c : cases)
        for (int width : {1, 3, 6, 13}) {
            SCOPED_TRACE(testing::Message() << "format " << c.written << ", width " << width);
            TBitmap source = NoiseBitmap(width, 3, std::uint32_t(width));
            source.SetPixelFormat(c.written);
            if (c.written == pf8bit) // a short palette of its own
                source.SetPalette({{10, 20, 30}, {200, 100, 0}, {1, 2, 3}});
            if (c.written == pf32bit)
                source.ScanLine(1)[3] = 0x5A; // the fourth byte is kept as it is

            const TBitmap back = ReadBytes(WriteBitmap(source));
            ASSERT_EQ(back.PixelFormat(), c.read);
            ASSERT_EQ(back.Width(), width);
            ASSERT_EQ(back.Height(), 3);
            EXPECT_EQ(back.Palette(), source.Palette());
            for (int y = 0; y < 3; ++y)
                EXPECT_EQ(std::memcmp(back.ScanLine(y), source.ScanLine(y), source.RowBytes()), 0) << "row " << y;
        }

    const TBitmap empty = ReadBytes(WriteBitmap(TBitmap()));
    EXPECT_TRUE(empty.Empty());
}

TEST(BitmapFile, ReadsImagesLaidOutByOtherWriters)
{
    // What an outside decoder hands over: a colour table of biClrUsed entries or of the
    // default count, rows padded to 4 bytes, bottom row first or (negative height) top row first.
    const std::uint32_t red = 0xFF0000, green = 0x00FF00, blue = 0x0000FF;
    struct Case {
        const char* name;
        DibLayout layout;
        TPixelFormat pf;
    };
    auto indexRows = [](unsigned bits) {
        return [bits](int r) { // file row r holds index r at x = 0 and index 1 elsewhere
            Bytes b(bits == 8 ? 3 : 1, 0);
            if (bits == 8)
                b = {std::uint8_t(r), 1, 1};
            else if (bits == 4)
                b = {std::uint8_t((r << 4) | 1), 0x10};
            else
                b = {std::uint8_t((r << 7) | 0x60)};
            return b;
        };
    };
    std::vector<Case> cases;
    {
        DibLayout s{3, 2, 8, 0, 2, {red, green}, {}, 1, indexRows(8), {}};
        cases.push_back({"8-bit, biClrUsed entries, bottom-up", s, pf8bit});
        s.height = -2;
        s.clrUsed = 0;
        s.table.resize(256, blue);
        cases.push_back({"8-bit, default count, top-down", s, pf8bit});
    }
    {
        DibLayout s{3, 2, 4, 0, 0, std::vector<std::uint32_t>(16, blue), {}, 1, indexRows(4), {}};
        s.table[0] = red, s.table[1] = green;
        cases.push_back({"4-bit, default count, bottom-up", s, pf4bit});
    }
    {
        DibLayout s{3, -2, 1, 0, 2, {red, green}, {}, 1, indexRows(1), {}};
        cases.push_back({"1-bit, top-down", s, pf1bit});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const TBitmap bmp = ReadBytes(MakeBmpFile(c.layout));
        ASSERT_EQ(bmp.PixelFormat(), c.pf);
        const bool topDown = c.layout.height < 0;
        // File row 0 used index 0 (red) at x = 0, file row 1 index 1 (green).
        EXPECT_EQ(bmp.Pixel(0, topDown ? 0 : 1), RGBColor(255, 0, 0));
        EXPECT_EQ(bmp.Pixel(0, topDown ? 1 : 0), RGBColor(0, 255, 0));
        EXPECT_EQ(bmp.Pixel(2, 0), RGBColor(0, 255, 0));
    }

    // 24 bits, odd width (padded rows), top row first.
    DibLayout s{3, -2, 24, 0, 0, {}, {}, 1, [](int r) { return Bytes{1, 2, std::uint8_t(r), 4, 5, 6, 7, 8, 9}; }, {}};
    const TBitmap bmp = ReadBytes(MakeBmpFile(s));
    EXPECT_EQ(bmp.PixelFormat(), pf24bit);
    EXPECT_EQ(bmp.Pixel(0, 1), RGBColor(1, 2, 1));
    EXPECT_EQ(bmp.Pixel(2, 0), RGBColor(9, 8, 7));
}

TEST(BitmapFile, ColourMasksOtherThanTheNativeOnesAreConverted)
{
    // 4-4-4-4 with alpha becomes 32 bits with the opacity in the fourth byte.
    DibLayout s{1, 1, 16, 3, 0, {}, {0x0F00, 0x00F0, 0x000F, 0xF000}, 1, [](int) { return Bytes{0x80, 0x7F}; }, {}};
    s.compression = 6; // four masks
    TBitmap bmp = ReadBytes(MakeBmpFile(s));
    ASSERT_EQ(bmp.PixelFormat(), pf32bit);
    EXPECT_EQ(bmp.Pixel(0, 0), RGBColor(0xFF, 0x88, 0x00));
    EXPECT_EQ(bmp.ScanLine(0)[3], 0x77);

    // 10-10-10 without alpha becomes 24 bits, each channel scaled.
    DibLayout t{1, 1, 32, 3, 0, {}, {0x3FF00000, 0xFFC00, 0x3FF}, 1,
              [](int) { return Bytes{0xFF, 0x03, 0x00, 0x00}; }, {}};
    bmp = ReadBytes(MakeBmpFile(t));
    ASSERT_EQ(bmp.PixelFormat(), pf24bit);
    EXPECT_EQ(bmp.Pixel(0, 0), RGBColor(0, 0, 255));

    // 5-6-5 given as masks stays 16 bits.
    DibLayout u{1, 1, 16, 3, 0, {}, {0xF800, 0x7E0, 0x1F}, 1, [](int) { return Bytes{0xE0, 0x07}; }, {}};
    bmp = ReadBytes(MakeBmpFile(u));
    EXPECT_EQ(bmp.PixelFormat(), pf16bit);
    EXPECT_EQ(bmp.Pixel(0, 0), RGBColor(0, 255, 0));

    for (const auto& masks : std::vector<std::vector<std::uint32_t>>{
             {0xF0F0, 0x0F00, 0x000F}, {0xFF00, 0x0FF0, 0x000F}, {0, 0, 0}, {0xF0000, 0xF0, 0xF}}) {
        u.masks = masks;
        EXPECT_NE(RefusalOf(MakeBmpFile(u)).find("mask"), std::string::npos) << RefusalOf(MakeBmpFile(u));
    }
}

TEST(BitmapFile, RleDataDecodesRunsLiteralsJumpsAndEndMarks)
{
    // Bottom row: run of 2 x index 1, literal 2, 1; end of line. Then a jump of (1, 0)
    // and one index-2 pixel in the top row; end of bitmap. Skipped pixels keep index 0.
    const Bytes rle = {2, 1, 0, 3, 2, 1, 2, 0, 0, 0, 0, 2, 1, 0, 1, 2, 0, 1};
    const TBitmap bmp = ReadBytes(RleFile(5, 2, rle));
    ASSERT_EQ(bmp.PixelFormat(), pf8bit);
    const TColor black = 0, red = RGBColor(255, 0, 0), green = RGBColor(0, 255, 0);
    const TColor expected[2][5] = {{black, green, black, black, black}, {red, red, green, red, green}};
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(bmp.Pixel(x, y), expected[y][x]) << x << ", " << y;
}

TEST(BitmapFile, DamagedFilesAreRefusedWithTheReason)
{
    DibLayout good{4, 2, 8, 0, 2, {0xFF0000, 0x00FF00}, {}, 1, [](int) { return Bytes{0, 1, 0, 1}; }, {}};
    const Bytes file = MakeBmpFile(good);
    ASSERT_EQ(RefusalOf(file), "(read)");

    // Every shortened copy is refused (never read past its end).
    for (std::size_t n = 0; n < file.size(); ++n) {
        const Bytes cut(file.begin(), file.begin() + std::ptrdiff_t(n));
        EXPECT_NE(RefusalOf(cut), "(read)") << n << " bytes";
    }

    struct Case {
        const char* name;
        std::function<void(Bytes&)> damage;
        const char* reason;
    };
    const Case cases[] = {
        {"signature", [](Bytes& b) { b[0] = 'X'; }, "does not begin with \"BM\""},
        {"header size", [](Bytes& b) { Set32(b, 14, 41); }, "header size 41"},
        {"negative width", [](Bytes& b) { Set32(b, 18, std::uint32_t(-4)); }, "width is negative"},
        {"planes", [](Bytes& b) { b[26] = 2; }, "planes"},
        {"bit count", [](Bytes& b) { b[28] = 3; }, "bit count 3"},
        {"compression", [](Bytes& b) { b[30] = 9; }, "unknown compression 9"},
        {"RLE4 with 8 bits", [](Bytes& b) { b[30] = 2; }, "RLE4 compression needs 4 bits"},
        {"more rows than the data holds", [](Bytes& b) { Set32(b, 18, 1u << 15), Set32(b, 22, (1u << 13) + 1); },
         "cut off"},
        {"pixels past the end", [](Bytes& b) { Set32(b, 10, 5000); }, "past the end of the file"},
        {"colour table past the end", [](Bytes& b) { Set32(b, 10, 0), Set32(b, 46, 256); },
         "past the end of the file"},
        {"taller than the data", [](Bytes& b) { Set32(b, 22, 3); }, "cut off"},
    };
    for (const Case& c : cases) {
        Bytes damaged = file;
        c.damage(damaged);
        EXPECT_NE(RefusalOf(damaged).find(c.reason), std::string::npos) << c.name << ": " << RefusalOf(damaged);
    }

    // Compressed data that would write outside the raster.
    const std::pair<Bytes, const char*> rleCases[] = {
        {{5, 1}, "past the end of a row"},                  // run longer than the row
        {{0, 5, 1, 2, 3, 4, 5, 0}, "past the end of a row"}, // literal longer than the row
        {{0, 2, 5, 0}, "leaves the image"},                  // jump right of the row
        {{0, 2, 0, 3}, "leaves the image"},                  // jump above the top
        {{0, 0, 0, 0, 1, 1}, "past the last row"},           // pixels after the last row
        {{0, 4, 1, 2}, "cut off"},                           // literal cut off
        {{0, 2, 1}, "cut off"},                              // jump cut off
    };
    for (const auto& [rle, reason] : rleCases)
        EXPECT_NE(RefusalOf(RleFile(4, 2, rle)).find(reason), std::string::npos) << RefusalOf(RleFile(4, 2, rle));
    EXPECT_NE(RefusalOf(RleFile(4, -2, {0, 1})).find("top row first"), std::string::npos);
}

TEST(BitmapFile, StreamPositionEndsAfterTheImage)
{
    Bytes bytes = WriteBitmap(NoiseBitmap(3, 2, 1));
    const std::size_t length = bytes.size();
    bytes.insert(bytes.end(), {'t', 'a', 'i', 'l'});
    TMemoryViewStream in(bytes.data(), bytes.size());
    TBitmap bmp;
    bmp.LoadFromStream(in);
    EXPECT_EQ(in.Position(), std::int64_t(length));
}

TEST(BitmapFile, EverySizeTheDataHoldsReadsAndTooMuchForMemoryIsSaidSo)
{
    // More than 2^28 pixels: 16385 x 16385 at one bit, written by our writer.
    TBitmap big;
    big.AllocateZeroed(16385, 16385, pf1bit);
    big.SetPalette({{0, 0, 0}, {255, 255, 255}});
    big.ScanLine(0)[0] = 0x80;
    TMemoryStream file;
    big.SaveToStream(file);
    big.Clear();
    file.SetPosition(0);
    TBitmap back;
    back.LoadFromStream(file);
    ASSERT_EQ(back.Width(), 16385);
    ASSERT_EQ(back.Height(), 16385);
    EXPECT_EQ(back.Pixel(0, 0), clWhite);
    EXPECT_EQ(back.Pixel(1, 0), clBlack);

    // Compressed data can claim any size in a few bytes: what memory cannot hold ends in the
    // out-of-memory error, not a crash.
    DibLayout s;
    s.width = 0x7FFFFFFF;
    s.height = 0x7FFFFFFF;
    s.bitCount = 8;
    s.compression = 1;
    s.table = {0x000000};
    s.rawBits = {0, 1};
    try {
        ReadBytes(MakeBmpFile(s));
        FAIL() << "read";
    } catch (const EOutOfResources& e) {
        EXPECT_NE(std::string(e.what()).find("not enough memory for a 2147483647 x 2147483647"), std::string::npos)
            << e.what();
    }
}
