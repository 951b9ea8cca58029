#include "DibBytes.h"
#include "platform/Bitmap.h"
#include "platform/Canvas.h"
#include "platform/Exceptions.h"
#include "platform/Icon.h"
#include "platform/PixelMemory.h"
#include "platform/Streams.h"
#include "png/KroPNG.h"
#include "support/Rasters.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>

using namespace gz;
using namespace gz::test;

namespace {

// One icon image: a DIB whose height counts colour and mask rows, then the mask rows.
// colour(x, y) gives the pixel bytes of a 32-bit image (B, G, R, A) or a palette index.
Bytes IconImage(int size, unsigned bits, const std::function<std::uint32_t(int x, int y)>& colour,
                const std::function<bool(int x, int y)>& masked, std::vector<std::uint32_t> table = {})
{
    DibLayout s;
    s.width = size;
    s.height = 2 * size;
    s.bitCount = bits;
    s.clrUsed = std::uint32_t(table.size());
    s.table = std::move(table);
    Bytes b = MakeDib(s);
    const std::size_t rowBytes = (std::size_t(size) * bits + 31) / 32 * 4;
    for (int r = 0; r < size; ++r) { // bottom row first
        Bytes row(rowBytes, 0);
        for (int x = 0; x < size; ++x) {
            const std::uint32_t v = colour(x, size - 1 - r);
            if (bits == 32)
                for (int i = 0; i < 4; ++i)
                    row[4 * std::size_t(x) + i] = std::uint8_t(v >> (8 * i));
            else if (bits == 8)
                row[std::size_t(x)] = std::uint8_t(v);
            else if (bits == 4)
                row[std::size_t(x) / 2] |= std::uint8_t((x & 1) ? v : v << 4);
        }
        b.insert(b.end(), row.begin(), row.end());
    }
    const std::size_t maskBytes = (std::size_t(size) + 31) / 32 * 4;
    for (int r = 0; r < size; ++r) {
        Bytes row(maskBytes, 0);
        for (int x = 0; x < size; ++x)
            if (masked(x, size - 1 - r))
                row[std::size_t(x) / 8] |= std::uint8_t(0x80 >> (x & 7));
        b.insert(b.end(), row.begin(), row.end());
    }
    return b;
}

// An icon file; the directory's sizes are left 0 so that the images' own headers count.
Bytes IconFile(const std::vector<Bytes>& images)
{
    Bytes b;
    Put16(b, 0);
    Put16(b, 1);
    Put16(b, unsigned(images.size()));
    std::uint32_t offset = std::uint32_t(6 + 16 * images.size());
    for (const Bytes& image : images) {
        b.insert(b.end(), {0, 0, 0, 0});
        Put16(b, 1);
        Put16(b, 0);
        Put32(b, std::uint32_t(image.size()));
        Put32(b, offset);
        offset += std::uint32_t(image.size());
    }
    for (const Bytes& image : images)
        b.insert(b.end(), image.begin(), image.end());
    return b;
}

TIcon ReadIcon(const Bytes& bytes)
{
    TMemoryViewStream in(bytes.data(), bytes.size());
    TIcon icon;
    icon.LoadFromStream(in);
    return icon;
}

std::string RefusalOf(const Bytes& bytes)
{
    try {
        ReadIcon(bytes);
    } catch (const EInvalidGraphic& e) {
        return e.what();
    }
    return "(read)";
}

const auto noMask = [](int, int) { return false; };

Bytes PngFileOf(const TKroPNG& png)
{
    TMemoryStream out;
    png.SaveToStream(out);
    return Bytes(out.Memory(), out.Memory() + out.Size());
}

} // namespace

TEST(Icon, KeepsTheLargestThenDeepestImage)
{
    const Bytes small32 = IconImage(2, 32, [](int, int) { return 0xFF0000FFu; }, noMask);
    const Bytes large4 = IconImage(4, 4, [](int, int) { return 1u; }, noMask, std::vector<std::uint32_t>(16, 0x00FF00));
    const Bytes large32 = IconImage(4, 32, [](int, int) { return 0xFFFF0000u; }, noMask);
    const Bytes large8 = IconImage(4, 8, [](int, int) { return 0u; }, noMask, {0x0000FF});
    const TIcon icon = ReadIcon(IconFile({small32, large4, large32, large8}));
    ASSERT_EQ(icon.Width(), 4);
    EXPECT_EQ(icon.Image().Pixel(1, 1), RGBColor(255, 0, 0)) << "the 32-bit 4 x 4 image";
}

TEST(Icon, MaskedPartsStayWhatTheyAreDrawnOn)
{
    // Index 1 is blue; the mask hides the left column.
    const Bytes image =
        IconImage(3, 4, [](int, int) { return 1u; }, [](int x, int) { return x == 0; }, {0, 0x0000FF});
    const TIcon icon = ReadIcon(IconFile({image}));

    TBitmap onWhite;
    onWhite.Assign(icon);
    EXPECT_EQ(onWhite.PixelFormat(), pf24bit);
    EXPECT_EQ(onWhite.Pixel(0, 2), clWhite);
    EXPECT_EQ(onWhite.Pixel(1, 2), RGBColor(0, 0, 255));

    TBitmap onRed(3, 3, pf24bit);
    onRed.Canvas().Brush.Color = RGBColor(255, 0, 0);
    onRed.Canvas().FillRect({0, 0, 3, 3});
    onRed.Canvas().Draw(0, 0, icon);
    EXPECT_EQ(onRed.Pixel(0, 1), RGBColor(255, 0, 0));
    EXPECT_EQ(onRed.Pixel(2, 1), RGBColor(0, 0, 255));
}

TEST(Icon, AlphaIsBlendedAndOverridesTheMask)
{
    // Opacity by column: 0, 128, 255; colour black. The mask (hiding everything) is ignored
    // because the image has an alpha channel.
    const Bytes withAlpha = IconImage(3, 32, [](int x, int) { return std::uint32_t(x == 0 ? 0 : x == 1 ? 128 : 255) << 24; },
                                      [](int, int) { return true; });
    TBitmap onWhite;
    onWhite.Assign(ReadIcon(IconFile({withAlpha})));
    EXPECT_EQ(onWhite.Pixel(0, 0), clWhite);
    EXPECT_EQ(onWhite.Pixel(1, 0), RGBColor(127, 127, 127));
    EXPECT_EQ(onWhite.Pixel(2, 0), clBlack);

    // Without any alpha the mask decides.
    const Bytes noAlpha = IconImage(3, 32, [](int, int) { return 0u; }, [](int x, int) { return x == 2; });
    const TIcon icon = ReadIcon(IconFile({noAlpha}));
    EXPECT_EQ(icon.Image().ScanLine(0)[3], 255);
    EXPECT_EQ(icon.Image().ScanLine(0)[4 * 2 + 3], 0);
}

TEST(Icon, SeeThroughShowsWhatLiesBeneathItsClearParts)
{
    // Magenta under opacity 0 on the left, black at rising opacity, opaque green below.
    const TStraightPicture logo{6, 6, [](int x, int y) {
                                    if (x < 2)
                                        return TStraightPixel{255, 0, 255, 0};
                                    return y < 3 ? TStraightPixel{0, 0, 0, std::uint8_t(60 * x + 10 * y)}
                                                 : TStraightPixel{0, 200, 0, 255};
                                }};
    const TPictureRaster raster = MakePictureRaster(ReadIcon(IconFile({IconImage(6, 32, [&](int x, int y) {
        const TStraightPixel p = logo.pixel(x, y);
        return std::uint32_t(p.a) << 24 | std::uint32_t(p.r) << 16 | std::uint32_t(p.g) << 8 | p.b;
    }, noMask)})));
    EXPECT_EQ(OverlayDifference(raster, logo), "");
}

TEST(Icon, PngImagesWaitForTheirDecoder)
{
    Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
    Put32(png, 0x00010000); // 256 wide, big-endian
    Put32(png, 0x00010000);
    png.insert(png.end(), {8, 6, 0, 0, 0});
    const Bytes file = IconFile({IconImage(2, 32, [](int, int) { return 0xFF000000u; }, noMask), png});
    EXPECT_NE(RefusalOf(file).find("PNG-compressed icon images cannot be read yet"), std::string::npos);

    Bytes seen;
    SetIconPngDecoder([&](const std::uint8_t* data, std::size_t size) {
        seen.assign(data, data + size);
        return TBitmap(5, 4, pf24bit);
    });
    const TIcon icon = ReadIcon(file);
    SetIconPngDecoder(nullptr);
    EXPECT_EQ(seen, png);
    EXPECT_EQ(icon.Width(), 5);
    EXPECT_EQ(icon.Image().ScanLine(0)[3], 255) << "pictures without alpha are opaque";
}

TEST(Icon, DamagedFilesAreRefusedWithTheReason)
{
    const Bytes image = IconImage(4, 8, [](int, int) { return 0u; }, noMask, {0});
    const Bytes good = IconFile({image});
    ASSERT_EQ(RefusalOf(good), "(read)");
    for (std::size_t n = 0; n < good.size(); ++n)
        EXPECT_NE(RefusalOf(Bytes(good.begin(), good.begin() + std::ptrdiff_t(n))), "(read)") << n << " bytes";

    struct Case {
        const char* name;
        std::function<void(Bytes&)> damage;
        const char* reason;
    };
    const Case cases[] = {
        {"type", [](Bytes& b) { b[2] = 3; }, "not an icon file"},
        {"no images", [](Bytes& b) { b[4] = 0; }, "no images"},
        {"directory", [](Bytes& b) { b[4] = 200; }, "directory is cut off"},
        {"offset past the end", [](Bytes& b) { Set32(b, 18, 0xFFFFFFF0u); }, "inside the file"},
        {"length past the end", [](Bytes& b) { Set32(b, 14, 0xFFFFFFF0u); }, "inside the file"},
        {"mask cut off", [](Bytes& b) { Set32(b, 14, std::uint32_t(b.size() - 22 - 4)); }, "mask is cut off"},
        {"compressed image", [](Bytes& b) { b[22 + 16] = 1; }, "compressed icon images"},
    };
    for (const Case& c : cases) {
        Bytes damaged = good;
        c.damage(damaged);
        EXPECT_NE(RefusalOf(damaged).find(c.reason), std::string::npos) << c.name << ": " << RefusalOf(damaged);
    }
}

TEST(Icon, SavedIconsReadBackUnchanged)
{
    const Bytes image = IconImage(5, 32, [](int x, int y) { return std::uint32_t(x * 50) << 24 | std::uint32_t(y * 40 + x); },
                                  noMask);
    const TIcon icon = ReadIcon(IconFile({image}));
    TMemoryStream out;
    icon.SaveToStream(out);
    const TIcon back = ReadIcon(Bytes(out.Memory(), out.Memory() + out.Size()));
    ASSERT_EQ(back.Width(), 5);
    for (int y = 0; y < 5; ++y)
        EXPECT_EQ(std::memcmp(back.Image().ScanLine(y), icon.Image().ScanLine(y), 20), 0) << "row " << y;
    EXPECT_THROW(TIcon().SaveToStream(out), EInvalidGraphicOperation);
}

TEST(Icon, PngImagesReadThroughTheRegisteredPngFormat)
{
    // Three 3 x 1 pictures whose left pixel is clear, the middle one half clear (where the
    // file can say so) and the right one opaque blue; each is drawn on white.
    struct Case {
        const char* name;
        std::function<void(TKroPNG&)> build;
        TColor middleOnWhite;
    };
    const Case cases[] = {
        {"alpha channel",
         [](TKroPNG& png) {
             png.Assign(test::MakeBitmap(3, 1, [](int, int) { return RGBColor(0, 0, 255); }));
             TBitmap& mask = png.AlphaBitmap();
             mask = TBitmap(3, 1, pf8bit);
             mask.SetPalette(GreyPalette(256));
             mask.ScanLine(0)[0] = 255, mask.ScanLine(0)[1] = 128, mask.ScanLine(0)[2] = 0;
             png.HasAlpha = true;
         },
         RGBColor(128, 128, 255)},
        {"transparent palette index",
         [](TKroPNG& png) {
             TBitmap image(3, 1, pf8bit);
             image.SetPalette({{0, 0, 0}, {0, 0, 255}, {255, 0, 0}});
             image.ScanLine(0)[0] = 2, image.ScanLine(0)[1] = 0, image.ScanLine(0)[2] = 1;
             png.Assign(image);
             png.TransparentColor = png::PaletteIndexColor(2);
         },
         clBlack},
        {"transparent colour",
         [](TKroPNG& png) {
             png.Assign(test::MakeBitmap(3, 1, [](int x, int) {
                 return x == 0 ? RGBColor(255, 0, 0) : x == 1 ? RGBColor(0, 255, 0) : RGBColor(0, 0, 255);
             }));
             png.TransparentColor = png::RGBColorValue(255, 0, 0);
         },
         RGBColor(0, 255, 0)},
    };
    RegisterKroPNGFormat();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TKroPNG png;
        c.build(png);
        const TIcon icon = ReadIcon(IconFile({IconImage(1, 32, [](int, int) { return 0xFF000000u; }, noMask),
                                              PngFileOf(png)}));
        ASSERT_EQ(icon.Width(), 3) << "the larger, PNG-compressed image";
        EXPECT_EQ(icon.Image().ScanLine(0)[3], 0);
        EXPECT_EQ(icon.Image().ScanLine(0)[4 * 2 + 3], 255);
        TBitmap onWhite;
        onWhite.Assign(icon);
        EXPECT_EQ(onWhite.Pixel(0, 0), clWhite);
        EXPECT_EQ(onWhite.Pixel(1, 0), c.middleOnWhite);
        EXPECT_EQ(onWhite.Pixel(2, 0), RGBColor(0, 0, 255));
    }

    // A broken PNG image says so; without the PNG format such images are refused again.
    TKroPNG png;
    png.Assign(test::MakeBitmap(4, 4, [](int, int) { return clBlack; }));
    Bytes broken = PngFileOf(png);
    const std::string idat = "IDAT";
    const auto at = std::search(broken.begin(), broken.end(), idat.begin(), idat.end());
    ASSERT_NE(at, broken.end());
    broken.erase(at + 6, broken.end()); // the image data is cut off after two bytes
    EXPECT_NE(RefusalOf(IconFile({broken})).find("the PNG image: Read Image (PNG): Read Error"), std::string::npos)
        << RefusalOf(IconFile({broken}));
    UnregisterKroPNGFormat();
    EXPECT_NE(RefusalOf(IconFile({PngFileOf(png)})).find("cannot be read yet"), std::string::npos);
}

TEST(Icon, PngImageClaimingMoreRowsThanItsBytesIsRefusedWithoutAllocating)
{
    // A fuzzer's find: 457 bytes whose PNG image claims 1 x 251,658,272 grey pixels.
    std::ifstream in(std::string(ICON_TEST_DATA_DIR) + "/png-image-claims-251m-rows.ico", std::ios::binary);
    const Bytes file((std::istreambuf_iterator<char>(in)), {});
    ASSERT_EQ(file.size(), 457u);
    RegisterKroPNGFormat();
    PixelMemory::ResetPeak();
    const std::size_t before = PixelMemory::Current();
    EXPECT_NE(RefusalOf(file).find("Read Error"), std::string::npos);
    EXPECT_LT(PixelMemory::Peak() - before, std::size_t(1) << 20);
    UnregisterKroPNGFormat();
}
