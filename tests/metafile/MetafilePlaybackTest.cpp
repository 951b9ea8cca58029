// Playing records: mapping, object tables, saved states, clipping, paths, bitmaps and text,
// drawing onto a canvas, and malformed records that must end or be skipped.

#include "MetafileBuilder.h"

#include "platform/Canvas.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdlib>

namespace gz::test {
namespace {

class HeadlessFonts : public ::testing::Environment {
public:
    void SetUp() override { StartHeadlessFontSupport(); }
};
[[maybe_unused]] const auto* const kFonts = ::testing::AddGlobalTestEnvironment(new HeadlessFonts);

constexpr std::uint32_t kRed = 0x0000FF, kGreen = 0x00FF00, kBlue = 0xFF0000;
constexpr TColor clRed = RGBColor(255, 0, 0), clGreen = RGBColor(0, 255, 0), clBlue = RGBColor(0, 0, 255);
constexpr std::uint32_t kNullPen = 0x80000008;

bool Near(TColor a, TColor b)
{
    return std::abs(ColorRed(a) - ColorRed(b)) < 40 && std::abs(ColorGreen(a) - ColorGreen(b)) < 40 &&
           std::abs(ColorBlue(a) - ColorBlue(b)) < 40;
}

#define EXPECT_COLOR_AT(bitmap, x, y, colour)                                                                  \
    EXPECT_TRUE(Near((bitmap).Pixel(x, y), colour)) << "at (" << (x) << ", " << (y) << "): 0x" << std::hex    \
                                                    << (bitmap).Pixel(x, y)

// WMF rectangles are stored bottom, right, top, left.
WmfBuilder& WmfRect(WmfBuilder& b, int left, int top, int right, int bottom)
{
    return b.Record(0x041B, {bottom, right, top, left});
}

WmfBuilder RedPainter(int w = 96, int h = 96)
{
    WmfBuilder b(w, h);
    b.NullPen().Record(0x012D, {0}).SolidBrush(kRed).Record(0x012D, {1});
    return b;
}

EmfBuilder& EmfBrush(EmfBuilder& b, int handle, std::uint32_t colour)
{
    return b.Record(39, {handle, 0, colour, 0}).Record(37, {handle});
}

EmfBuilder RedEmf(int w = 96, int h = 96)
{
    EmfBuilder b(w, h);
    b.Record(37, {kNullPen});
    EmfBrush(b, 1, kRed);
    return b;
}

TEST(WmfPlayback, MapsTheWindowOntoThePicture)
{
    // No window: logical units are those of the bounding box.
    WmfBuilder plain = RedPainter();
    const TBitmap left = RenderOnWhite(*LoadMetafile(WmfRect(plain, 0, 0, 48, 96).Finish()));
    EXPECT_COLOR_AT(left, 10, 50, clRed);
    EXPECT_COLOR_AT(left, 80, 50, clWhite);

    // A window with y running upwards: the logical lower half is the picture's bottom half.
    WmfBuilder flipped = RedPainter();
    flipped.Record(0x020B, {96, 0}).Record(0x020C, {-96, 96});
    const TBitmap bottom = RenderOnWhite(*LoadMetafile(WmfRect(flipped, 0, 0, 96, 48).Finish()));
    EXPECT_COLOR_AT(bottom, 50, 80, clRed);
    EXPECT_COLOR_AT(bottom, 50, 10, clWhite);

    // A window ten times the box is scaled down onto it.
    WmfBuilder scaled = RedPainter();
    scaled.Record(0x020C, {960, 960});
    const TBitmap quarter = RenderOnWhite(*LoadMetafile(WmfRect(scaled, 0, 0, 480, 480).Finish()));
    EXPECT_COLOR_AT(quarter, 20, 20, clRed);
    EXPECT_COLOR_AT(quarter, 70, 70, clWhite);
}

TEST(WmfPlayback, ObjectTableReusesTheLowestFreeSlot)
{
    WmfBuilder b(96, 96);
    b.SolidBrush(kRed).SolidBrush(kBlue).Record(0x01F0, {0}).SolidBrush(kGreen); // green takes slot 0
    b.NullPen().Record(0x012D, {2}).Record(0x012D, {0});
    const TBitmap bitmap = RenderOnWhite(*LoadMetafile(WmfRect(b, 0, 0, 96, 96).Finish()));
    EXPECT_COLOR_AT(bitmap, 48, 48, clGreen);
}

TEST(WmfPlayback, RestoreDcBringsBackTheSavedBrushAndClip)
{
    WmfBuilder b = RedPainter();
    b.Record(0x001E, {}).SolidBrush(kBlue).Record(0x012D, {2});
    b.Record(0x0416, {96, 48, 0, 0}); // clip to the left half
    b.Record(0x0127, {-1});
    const TBitmap bitmap = RenderOnWhite(*LoadMetafile(WmfRect(b, 0, 0, 96, 96).Finish()));
    EXPECT_COLOR_AT(bitmap, 20, 48, clRed);
    EXPECT_COLOR_AT(bitmap, 76, 48, clRed);
}

TEST(WmfPlayback, ClipRectanglesLimitDrawing)
{
    WmfBuilder b = RedPainter();
    b.Record(0x0416, {96, 48, 0, 0});  // intersect: left half
    b.Record(0x0415, {48, 48, 0, 0});  // exclude: top-left quarter
    const TBitmap bitmap = RenderOnWhite(*LoadMetafile(WmfRect(b, 0, 0, 96, 96).Finish()));
    EXPECT_COLOR_AT(bitmap, 20, 70, clRed);
    EXPECT_COLOR_AT(bitmap, 20, 20, clWhite);
    EXPECT_COLOR_AT(bitmap, 70, 70, clWhite);
}

TEST(WmfPlayback, MalformedRecordsEndOrAreSkipped)
{
    const Bytes fewPoints = {0xE8, 0x03, 0, 0, 10, 0}; // a polygon of 1000 points with one given
    const struct {
        const char* name;
        bool laterRecordsPlay;
        void (*damage)(WmfBuilder&, const Bytes&);
    } cases[] = {
        {"record of size zero", false, [](WmfBuilder& b, const Bytes&) { b.RawRecord(0, 0x041B, {}); }},
        {"record past the end of the file", false,
         [](WmfBuilder& b, const Bytes&) { b.RawRecord(0x7FFFFFFF, 0x041B, {1, 0, 2, 0}); }},
        {"point count past its record", true, [](WmfBuilder& b, const Bytes& p) { b.RecordBytes(0x0324, p); }},
        {"rectangle missing its words", true, [](WmfBuilder& b, const Bytes&) { b.Record(0x041B, {10}); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WmfBuilder b = RedPainter();
        WmfRect(b, 0, 0, 48, 96);
        c.damage(b, fewPoints);
        WmfRect(b, 48, 0, 96, 96);
        const TBitmap bitmap = RenderOnWhite(*LoadMetafile(b.Finish()));
        EXPECT_COLOR_AT(bitmap, 20, 48, clRed);
        EXPECT_COLOR_AT(bitmap, 76, 48, c.laterRecordsPlay ? clRed : clWhite);
    }
}

TEST(WmfPlayback, TextIsDrawnInItsCharacterSet)
{
    // CreateFontIndirect: height -40, weight 700, Shift-JIS, then "日本" in Shift-JIS.
    Bytes font;
    for (int v : {-40, 0, 0, 0, 700})
        Put16(font, v);
    for (int v : {0, 0, 0, 128, 0, 0, 0, 0})
        font.push_back(std::uint8_t(v));
    const Bytes text = {4, 0, 0x93, 0xFA, 0x96, 0x7B, 20, 0, 8, 0}; // length, text, y, x
    WmfBuilder b(96, 96);
    b.RecordBytes(0x02FB, font).Record(0x012D, {0}).Record(0x0102, {1}).RecordBytes(0x0521, text);
    const TBitmap bitmap = RenderOnWhite(*LoadMetafile(b.Finish()));
    int dark = 0, darkOutside = 0;
    for (int y = 0; y < 96; ++y)
        for (int x = 0; x < 96; ++x)
            if (ColorRed(bitmap.Pixel(x, y)) < 100)
                (y >= 18 && y < 72 && x >= 6 && x < 94 ? dark : darkOutside)++;
    EXPECT_GT(dark, 200);
    EXPECT_EQ(darkOutside, 0);
}

TEST(EmfPlayback, MappingModesAndWorldTransformPlaceShapes)
{
    // Anisotropic: a window of 10 x 10 units fills the 96-pixel viewport.
    EmfBuilder mapped = RedEmf();
    mapped.Record(17, {8}).Record(9, {10, 10}).Record(11, {96, 96}).Record(43, {5, 0, 10, 5});
    const TBitmap topRight = RenderOnWhite(*LoadMetafile(mapped.Finish()));
    EXPECT_COLOR_AT(topRight, 72, 24, clRed);
    EXPECT_COLOR_AT(topRight, 24, 24, clWhite);
    EXPECT_COLOR_AT(topRight, 72, 72, clWhite);

    // A world transform moving everything 48 pixels down.
    EmfBuilder moved = RedEmf();
    moved.Record(35, {std::bit_cast<std::uint32_t>(1.0f), 0, 0, std::bit_cast<std::uint32_t>(1.0f), 0,
                      std::bit_cast<std::uint32_t>(48.0f)});
    moved.Record(43, {0, 0, 96, 48});
    const TBitmap lower = RenderOnWhite(*LoadMetafile(moved.Finish()));
    EXPECT_COLOR_AT(lower, 48, 72, clRed);
    EXPECT_COLOR_AT(lower, 48, 24, clWhite);
}

TEST(EmfPlayback, PathsAreFilledAndClipped)
{
    EmfBuilder b = RedEmf();
    b.Record(59, {}).Record(3, {0, 0, 0, 0, 3, 0, 0, 96, 0, 0, 96}).Record(60, {}); // triangle, top-left
    b.Record(62, {0, 0, 96, 96});
    EmfBrush(b, 2, kBlue).Record(30, {48, 48, 96, 96}).Record(43, {0, 0, 96, 96}); // clipped to a quarter
    const TBitmap bitmap = RenderOnWhite(*LoadMetafile(b.Finish()));
    EXPECT_COLOR_AT(bitmap, 15, 15, clRed);
    EXPECT_COLOR_AT(bitmap, 80, 30, clWhite);
    EXPECT_COLOR_AT(bitmap, 72, 72, clBlue);
}

// StretchDIBits of a 2 x 2 picture: blue, yellow on top; red, green below.
Bytes StretchDib(int srcX, int srcY, int srcW, int srcH, bool topDown)
{
    Bytes p;
    for (std::int64_t v : {0, 0, 95, 95, 0, 0, srcX, srcY, srcW, srcH, 80, 40, 120, 16, 0, 0x00CC0020, 96, 96})
        Put32(p, v);
    for (std::int64_t v : {40, 2, topDown ? -2 : 2, 1 | (24 << 16), 0, 16, 0, 0, 0, 0})
        Put32(p, v);
    const Bytes bottomRow = {0, 0, 255, 0, 255, 0, 0, 0}, topRow = {255, 0, 0, 0, 255, 255, 0, 0};
    const Bytes& first = topDown ? topRow : bottomRow;
    const Bytes& second = topDown ? bottomRow : topRow;
    p.insert(p.end(), first.begin(), first.end());
    p.insert(p.end(), second.begin(), second.end());
    return p;
}

TEST(EmfPlayback, StretchDibitsKeepsRowOrderAndSourceOrigin)
{
    for (bool topDown : {false, true}) {
        SCOPED_TRACE(topDown ? "top-down" : "bottom-up");
        const TBitmap whole = RenderOnWhite(*LoadMetafile(EmfBuilder(96, 96).RecordBytes(81, StretchDib(0, 0, 2, 2, topDown)).Finish()));
        EXPECT_COLOR_AT(whole, 24, 24, clBlue);
        EXPECT_COLOR_AT(whole, 72, 24, RGBColor(255, 255, 0));
        EXPECT_COLOR_AT(whole, 24, 72, clRed);
        EXPECT_COLOR_AT(whole, 72, 72, clGreen);
    }
    // The source origin of a bottom-up bitmap is its lower-left corner.
    const TBitmap corner = RenderOnWhite(*LoadMetafile(EmfBuilder(96, 96).RecordBytes(81, StretchDib(0, 0, 1, 1, false)).Finish()));
    EXPECT_COLOR_AT(corner, 48, 48, clRed);
}

TEST(EmfPlayback, MalformedRecordsEndOrAreSkipped)
{
    Bytes hugeDib = StretchDib(0, 0, 2, 2, false);
    for (std::size_t at : {72 + 4, 72 + 8}) // width and height 1048575
        hugeDib[at] = 0xFF, hugeDib[at + 1] = 0xFF, hugeDib[at + 2] = 0x0F;
    Bytes bitsPastRecord = StretchDib(0, 0, 2, 2, false);
    bitsPastRecord[52] = 0xFF; // cbBits 255
    const struct {
        const char* name;
        bool laterRecordsPlay;
        Bytes record;
    } cases[] = {
        {"record of size zero", false, {43, 0, 0, 0, 0, 0, 0, 0}},
        {"record size far past the end", false, {43, 0, 0, 0, 0x27, 0, 0xFF, 0xFF}},
        {"polygon count past its record", true, {3, 0, 0, 0, 32, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                                 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0x0F, 0, 0, 0, 0}},
        {"bitmap too large to exist", true, {}},
        {"bitmap bits past the record", true, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EmfBuilder b = RedEmf();
        b.Record(43, {0, 0, 48, 96});
        Bytes bytes;
        if (c.record.empty()) {
            b.RecordBytes(81, std::string(c.name).find("large") != std::string::npos ? hugeDib : bitsPastRecord);
        }
        b.Record(43, {48, 0, 96, 96});
        bytes = b.Finish();
        if (!c.record.empty()) {
            // Put the damaged record before the second rectangle (EOF stays last).
            const std::size_t second = bytes.size() - 20 - 24;
            bytes.insert(bytes.begin() + std::ptrdiff_t(second), c.record.begin(), c.record.end());
        }
        const TBitmap bitmap = RenderOnWhite(*LoadMetafile(bytes));
        EXPECT_COLOR_AT(bitmap, 20, 48, clRed);
        EXPECT_COLOR_AT(bitmap, 76, 48, c.laterRecordsPlay ? clRed : clWhite);
    }
}

TEST(MetafilePlayback, RegionsOldBitmapsAndGradientsPaintTheirArea)
{
    // FillRgn in logical units, under a mapping of 10 units onto the 96-pixel picture.
    EmfBuilder region(96, 96);
    region.Record(17, {8}).Record(9, {10, 10}).Record(11, {96, 96}).Record(39, {1, 0, kRed, 0});
    region.Record(71, {0, 0, 5, 10, 48, 1, 32, 1, 1, 16, 0, 0, 5, 10, 0, 0, 5, 10});
    const TBitmap filled = RenderOnWhite(*LoadMetafile(region.Finish()));

    // An old BitBlt of a 2 x 1 device-dependent bitmap (red, blue) stretched over the picture.
    Bytes blit;
    for (int w : {0x0020, 0x00CC, 0, 0, 96, 96, 0, 0, 0, 2, 1, 6, (24 << 8) | 1})
        Put16(blit, w);
    for (int b : {0, 0, 255, 255, 0, 0})
        blit.push_back(std::uint8_t(b));
    const TBitmap blitted = RenderOnWhite(*LoadMetafile(WmfBuilder(96, 96).RecordBytes(0x0922, blit).Finish()));

    // A horizontal gradient rectangle from red to blue.
    EmfBuilder gradient(96, 96);
    gradient.Record(118, {0, 0, 96, 96, 2, 1, 0, 0, 0, 0xFF00, 0, 96, 96, 0, 0xFF00, 0, 1});
    const TBitmap shaded = RenderOnWhite(*LoadMetafile(gradient.Finish()));

    const struct {
        const char* name;
        const TBitmap& bitmap;
        TColor left, right;
    } cases[] = {
        {"region fill", filled, clRed, clWhite},
        {"old blit", blitted, clRed, clBlue},
        {"gradient", shaded, clRed, clBlue},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_COLOR_AT(c.bitmap, 2, 48, c.left);
        EXPECT_COLOR_AT(c.bitmap, 93, 48, c.right);
    }
}

TEST(MetafileDraw, StretchesIntoTheRectangleAndKeepsWhatItDoesNotPaint)
{
    EmfBuilder b = RedEmf(96, 96);
    const auto picture = LoadMetafile(b.Record(43, {0, 0, 48, 96}).Finish());

    TBitmap canvas(120, 100, pf24bit);
    canvas.Canvas().Brush.Color = clBlue;
    canvas.Canvas().FillRect({0, 0, 120, 100});
    picture->Draw(canvas.Canvas(), {20, 10, 68, 58}); // half size, offset
    EXPECT_COLOR_AT(canvas, 30, 30, clRed);  // the picture's left half
    EXPECT_COLOR_AT(canvas, 60, 30, clBlue); // its right half paints nothing
    EXPECT_COLOR_AT(canvas, 10, 5, clBlue);  // outside the rectangle
    EXPECT_COLOR_AT(canvas, 30, 80, clBlue);

    TBitmap assigned;
    assigned.Assign(*picture);
    EXPECT_EQ(assigned.Width(), 96);
    EXPECT_EQ(assigned.Height(), 96);
    EXPECT_EQ(assigned.PixelFormat(), pf24bit);
    EXPECT_COLOR_AT(assigned, 80, 48, clWhite);
}

} // namespace
} // namespace gz::test
