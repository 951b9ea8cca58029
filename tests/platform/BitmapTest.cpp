#include "platform/Bitmap.h"
#include <cstring>
#include "platform/Canvas.h"
#include "platform/Exceptions.h"
#include "platform/PixelMemory.h"
#include "support/Rasters.h"

#include <gtest/gtest.h>

using namespace gz;
using gz::test::MakeBitmap;

TEST(Bitmap, CopiesShareStorageUntilOneSideWrites)
{
    TBitmap a = MakeBitmap(4, 3, [](int x, int y) { return RGBColor(x * 10, y * 10, 7); });
    TBitmap b(a);
    TBitmap c;
    c.Assign(a);
    EXPECT_TRUE(b.SharesImageWith(a));
    EXPECT_TRUE(c.SharesImageWith(a));

    b.ScanLine(1)[0] = 99;
    EXPECT_FALSE(b.SharesImageWith(a));
    EXPECT_TRUE(c.SharesImageWith(a));
    EXPECT_EQ(a.ScanLine(1)[0], 7) << "the original must not see a copy's write";
    EXPECT_EQ(b.ScanLine(1)[0], 99);
}

TEST(Bitmap, RowsAreTopFirstAndPaddedToFourBytes)
{
    TBitmap bmp(5, 2, pf24bit);
    EXPECT_EQ(bmp.RowBytes(), 16u);
    bmp.SetPixel(0, 0, RGBColor(1, 2, 3));
    EXPECT_EQ(bmp.ScanLine(0)[0], 3); // blue first
    EXPECT_EQ(bmp.ScanLine(0)[2], 1);
    EXPECT_EQ(TBitmap(9, 1, pf1bit).RowBytes(), 4u);
    EXPECT_EQ(TBitmap(3, 1, pf4bit).RowBytes(), 4u);
    EXPECT_EQ(TBitmap(3, 1, pf15bit).RowBytes(), 8u);
    EXPECT_THROW(bmp.ScanLine(2), EInvalidGraphicOperation);
}

TEST(Bitmap, GrowingKeepsTopLeftAndFillsWhite)
{
    for (TPixelFormat pf : {pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit}) {
        SCOPED_TRACE(BitsPerPixel(pf));
        TBitmap bmp(3, 2, pf);
        bmp.SetPixel(2, 1, clBlack);
        bmp.SetPixel(0, 0, clBlack);
        bmp.SetSize(11, 5);
        EXPECT_EQ(bmp.Pixel(2, 1), clBlack);
        EXPECT_EQ(bmp.Pixel(0, 0), clBlack);
        EXPECT_EQ(bmp.Pixel(1, 0), clWhite);
        EXPECT_EQ(bmp.Pixel(3, 1), clWhite);
        EXPECT_EQ(bmp.Pixel(10, 4), clWhite);
    }
}

TEST(Bitmap, ConvertsEveryFormatTo24Bits)
{
    // 5-5-5 and 5-6-5 widen each channel by repeating its high bits.
    TBitmap b15(1, 1, pf15bit);
    b15.ScanLine(0)[0] = 0x1F; // blue 31, green 0, red 1 (bits 10..14)
    b15.ScanLine(0)[1] = 0x04;
    b15.SetPixelFormat(pf24bit);
    EXPECT_EQ(b15.ScanLine(0)[0], 255);
    EXPECT_EQ(b15.ScanLine(0)[1], 0);
    EXPECT_EQ(b15.ScanLine(0)[2], (1 << 3) | (1 >> 2));

    TBitmap b16(1, 1, pf16bit);
    const unsigned v = (3u << 11) | (33u << 5) | 17u;
    b16.ScanLine(0)[0] = std::uint8_t(v);
    b16.ScanLine(0)[1] = std::uint8_t(v >> 8);
    b16.SetPixelFormat(pf24bit);
    EXPECT_EQ(b16.ScanLine(0)[0], (17 << 3) | (17 >> 2));
    EXPECT_EQ(b16.ScanLine(0)[1], (33 << 2) | (33 >> 4));
    EXPECT_EQ(b16.ScanLine(0)[2], (3 << 3) | (3 >> 2));

    TBitmap b32(2, 1, pf32bit);
    std::uint8_t* p = b32.ScanLine(0);
    for (int i = 0; i < 8; ++i)
        p[i] = std::uint8_t(10 + i);
    b32.SetPixelFormat(pf24bit);
    const std::uint8_t expected[] = {10, 11, 12, 14, 15, 16};
    EXPECT_EQ(std::memcmp(b32.ScanLine(0), expected, 6), 0) << "the fourth byte is dropped";

    TBitmap b4(3, 1, pf4bit);
    b4.SetPalette(std::vector<TPaletteEntry>(16, {1, 2, 3}));
    auto pal = b4.Palette();
    pal[5] = {200, 100, 50};
    b4.SetPalette(pal);
    b4.ScanLine(0)[0] = 0x05; // pixel 0 -> index 0, pixel 1 -> index 5
    b4.SetPixelFormat(pf24bit);
    EXPECT_EQ(b4.Pixel(0, 0), RGBColor(1, 2, 3));
    EXPECT_EQ(b4.Pixel(1, 0), RGBColor(200, 100, 50));

    TBitmap b1(9, 1, pf1bit);
    b1.ScanLine(0)[0] = 0x00; // pixels 0..7 -> index 0 (black)
    b1.ScanLine(0)[1] = 0x80; // pixel 8 -> index 1 (white)
    b1.SetPixelFormat(pf24bit);
    EXPECT_EQ(b1.Pixel(7, 0), clBlack);
    EXPECT_EQ(b1.Pixel(8, 0), clWhite);
}

TEST(Bitmap, PaletteFormatsKeepTheirIndexesWhenWidened)
{
    TBitmap bmp(10, 2, pf4bit);
    std::vector<TPaletteEntry> pal(16);
    for (int i = 0; i < 16; ++i)
        pal[i] = {std::uint8_t(i * 16), 0, 0};
    bmp.SetPalette(pal);
    for (int x = 0; x < 10; ++x)
        bmp.SetPixel(x, 1, RGBColor(std::uint8_t(x * 16), 0, 0));
    bmp.SetPixelFormat(pf8bit);
    EXPECT_EQ(bmp.Palette(), pal);
    for (int x = 0; x < 10; ++x)
        EXPECT_EQ(bmp.ScanLine(1)[x], x);
}

TEST(Bitmap, NarrowingMatchesTheNearestPaletteColour)
{
    TBitmap bmp = MakeBitmap(3, 1, [](int x, int) { return x == 0 ? RGBColor(250, 5, 5) : x == 1 ? clWhite : RGBColor(20, 20, 20); });
    bmp.SetPixelFormat(pf1bit);
    EXPECT_EQ(bmp.Pixel(1, 0), clWhite);
    EXPECT_EQ(bmp.Pixel(2, 0), clBlack);
    bmp = MakeBitmap(1, 1, [](int, int) { return RGBColor(250, 5, 5); });
    bmp.SetPixelFormat(pf4bit);
    EXPECT_EQ(bmp.Pixel(0, 0), RGBColor(255, 0, 0));
}

TEST(Bitmap, RefusesOversizedPalettesAndImpossibleSizes)
{
    TBitmap bmp(1, 1, pf8bit);
    EXPECT_THROW(bmp.SetPalette(std::vector<TPaletteEntry>(257)), EInvalidGraphicOperation);
    EXPECT_THROW(bmp.SetSize(-1, 4), EInvalidGraphicOperation);
    EXPECT_THROW(TBitmap(1 << 30, 1 << 30, pf32bit), EOutOfResources);
    EXPECT_EQ(bmp.Width(), 1) << "a failed resize keeps the old pixels";
}

TEST(Bitmap, PixelStorageIsAccountedAndReleased)
{
    const std::size_t before = PixelMemory::Current();
    {
        TBitmap a(100, 10, pf24bit);
        TBitmap b(a);
        EXPECT_EQ(PixelMemory::Current() - before, 300u * 10) << "a shared copy costs nothing";
        b.ScanLine(0);
        EXPECT_EQ(PixelMemory::Current() - before, 600u * 10);
    }
    EXPECT_EQ(PixelMemory::Current(), before);
}

TEST(Bitmap, ChangeNotificationFires)
{
    TBitmap bmp(2, 2, pf24bit);
    int changes = 0;
    bmp.OnChange = [&](TGraphic& sender) {
        EXPECT_EQ(&sender, &bmp);
        ++changes;
    };
    bmp.SetSize(3, 3);
    bmp.SetPixelFormat(pf8bit);
    bmp.Canvas().FillRect({0, 0, 1, 1});
    EXPECT_EQ(changes, 3);
    EXPECT_TRUE(bmp.Modified());
}

TEST(Canvas, StretchDrawIsNearestNeighbourAndClipped)
{
    TBitmap src = MakeBitmap(2, 2, [](int x, int y) { return RGBColor(x * 100, y * 100, 0); });
    TBitmap dst(7, 7, pf24bit);
    dst.Canvas().StretchDraw({-2, 1, 6, 5}, src); // 8 x 4 target: each source pixel 4 wide, 2 high
    EXPECT_EQ(dst.Pixel(0, 0), clWhite);
    EXPECT_EQ(dst.Pixel(0, 1), RGBColor(0, 0, 0));
    EXPECT_EQ(dst.Pixel(1, 2), RGBColor(0, 0, 0));
    EXPECT_EQ(dst.Pixel(2, 1), RGBColor(100, 0, 0));
    EXPECT_EQ(dst.Pixel(5, 4), RGBColor(100, 100, 0));
    EXPECT_EQ(dst.Pixel(6, 4), clWhite);
    EXPECT_EQ(dst.Pixel(0, 5), clWhite);

    TBitmap pal(7, 7, pf8bit);
    pal.Canvas().Draw(1, 1, src);
    EXPECT_EQ(pal.Pixel(1, 1), clBlack);
    EXPECT_EQ(pal.Pixel(0, 0), clWhite);
}

TEST(Canvas, DrawingOntoItselfUsesTheOriginalPixels)
{
    TBitmap bmp = MakeBitmap(4, 1, [](int x, int) { return RGBColor(x * 50, 0, 0); });
    bmp.Canvas().Draw(1, 0, bmp);
    EXPECT_EQ(bmp.Pixel(1, 0), RGBColor(0, 0, 0));
    EXPECT_EQ(bmp.Pixel(3, 0), RGBColor(100, 0, 0));
}

TEST(Canvas, LinesHatchAndRectangles)
{
    TBitmap bmp(16, 16, pf24bit);
    TCanvas& c = bmp.Canvas();
    c.Pen.Color = clBlack;
    c.MoveTo(0, 0);
    c.LineTo(5, 0);
    EXPECT_EQ(bmp.Pixel(4, 0), clBlack);
    EXPECT_EQ(bmp.Pixel(5, 0), clWhite) << "the end point is left out";

    c.Pen.Style = psDot;
    c.MoveTo(0, 2);
    c.LineTo(6, 2);
    int on = 0;
    for (int x = 0; x < 6; ++x)
        on += bmp.Pixel(x, 2) == clBlack;
    EXPECT_EQ(on, 3) << "a dotted line sets every other pixel";

    c.Brush.Style = bsDiagCross;
    c.Brush.Color = RGBColor(0, 0, 255);
    c.FillRect({0, 8, 16, 16});
    EXPECT_EQ(bmp.Pixel(0, 8), RGBColor(0, 0, 255));
    EXPECT_EQ(bmp.Pixel(1, 9), RGBColor(0, 0, 255));
    EXPECT_EQ(bmp.Pixel(7, 9), RGBColor(0, 0, 255)); // the other diagonal
    EXPECT_EQ(bmp.Pixel(2, 9), clWhite);

    c.Pen.Style = psSolid;
    c.Brush.Style = bsSolid;
    c.Brush.Color = RGBColor(0, 255, 0);
    c.Rectangle(10, 0, 14, 4);
    EXPECT_EQ(bmp.Pixel(10, 0), clBlack);
    EXPECT_EQ(bmp.Pixel(13, 3), clBlack);
    EXPECT_EQ(bmp.Pixel(11, 1), RGBColor(0, 255, 0));
    EXPECT_EQ(bmp.Pixel(14, 4), clWhite);
}
