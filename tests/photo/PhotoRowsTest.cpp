// The photo helpers on their own: reading the orientation tag from untrusted bytes, turning
// rasters, colour profile conversion against Little CMS called directly, CMYK and white.

#include "join/PictureRaster.h"
#include "photo/ColourProfile.h"
#include "photo/Orientation.h"
#include "support/PhotoFiles.h"
#include "support/Rasters.h"

#include <lcms2.h>

#include <gtest/gtest.h>

namespace gz::test {
namespace {

using photo::TPixelLayout;
using photo::TSrgbConversion;

TEST(OrientationTag, ReadInBothByteOrdersAndOnlyWhenValid)
{
    for (bool big : {false, true})
        for (int o = 0; o <= 9; ++o) {
            const Bytes exif = ExifBlock(o, big);
            EXPECT_EQ(photo::ExifOrientation(exif.data(), exif.size()), o >= 1 && o <= 8 ? o : 1) << o << big;
            // The TIFF structure alone is what a TIFF file starts with.
            EXPECT_EQ(photo::TiffOrientation(exif.data() + 6, exif.size() - 6), o >= 1 && o <= 8 ? o : 1);
        }
    Bytes notExif = ExifBlock(6, false);
    notExif[0] = 'e';
    EXPECT_EQ(photo::ExifOrientation(notExif.data(), notExif.size()), 1);
}

TEST(OrientationTag, BrokenStructuresGiveUprightAndReadNothingOutside)
{
    const Bytes good = ExifBlock(8, true);
    // Every cut of the block: the tag is read only when all of its entry is there.
    for (std::size_t n = 0; n < good.size(); ++n) {
        const Bytes cut(good.begin(), good.begin() + long(n));
        const int o = photo::ExifOrientation(cut.data(), cut.size());
        EXPECT_EQ(o, n >= 6 + 8 + 2 + 24 ? 8 : 1) << n; // header, count, two entries
    }
    Bytes b = good;
    b[6 + 4] = 0x7F; // the directory lies far outside
    EXPECT_EQ(photo::ExifOrientation(b.data(), b.size()), 1);
    b = good;
    b[6 + 8] = 0xFF, b[6 + 9] = 0xFF; // 65535 entries claimed: those that are there still count
    EXPECT_EQ(photo::ExifOrientation(b.data(), b.size()), 8);
    b = good;
    b[6 + 10 + 12 + 7] = 2; // count 2
    EXPECT_EQ(photo::ExifOrientation(b.data(), b.size()), 1);
}

// Each orientation against the same turn built from quarter turns and mirrors in the test, on
// sizes that cross the tiles the turning works in.
TEST(OrientedRaster, AllEightOrientationsOnColourAndOpacityPlanes)
{
    for (auto [w, h] : {std::pair{5, 3}, std::pair{1, 7}, std::pair{150, 70}}) {
        const TBitmap picture = NoiseBitmap(w, h, std::uint32_t(w + h));
        for (int o = 1; o <= 8; ++o) {
            SCOPED_TRACE(testing::Message() << w << "x" << h << " orientation " << o);
            const TBitmap turned = OrientedRaster(picture, o);
            EXPECT_EQ(FirstDifference(turned, TurnedByTag(picture, o)), "");
            // 8-bit planes (opacity) turn the same way.
            TBitmap plane;
            plane.AllocateUninitialized(w, h, pf8bit);
            plane.SetPalette(GreyPalette(256));
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                    plane.ScanLine(y)[x] = std::uint8_t(picture.ScanLine(y)[3 * x]);
            const TBitmap turnedPlane = OrientedRaster(plane, o);
            ASSERT_EQ(turnedPlane.PixelFormat(), pf8bit);
            for (int y = 0; y < turned.Height(); ++y)
                for (int x = 0; x < turned.Width(); ++x)
                    ASSERT_EQ(turnedPlane.ScanLine(y)[x], turned.ScanLine(y)[3 * x]);
        }
    }
}

Bytes Ramp(std::size_t pixels, int bytes)
{
    Bytes b(pixels * std::size_t(bytes));
    for (std::size_t i = 0; i < b.size(); ++i)
        b[i] = std::uint8_t((i * 37 + i / 7) & 0xFF);
    return b;
}

TEST(ColourProfile, ConvertsAsLittleCmsDoes)
{
    struct Case {
        Bytes profile;
        TPixelLayout layout;
        std::uint32_t format;
        int bytes;
    };
    const Bytes cmyk = CmykProfile();
    const Case cases[] = {
        {DisplayP3Profile(), TPixelLayout::BGR, TYPE_BGR_8, 3},
        {GreyGamma18Profile(), TPixelLayout::Grey, TYPE_GRAY_8, 1},
        {cmyk, TPixelLayout::CMYK, TYPE_CMYK_8, 4},
        {cmyk, TPixelLayout::InvertedCMYK, TYPE_CMYK_8_REV, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.layout));
        const auto conversion = TSrgbConversion::FromProfile(c.profile.data(), c.profile.size(), c.layout);
        ASSERT_TRUE(conversion);
        const std::size_t n = 4096;
        const Bytes in = Ramp(n, c.bytes);
        Bytes out(n * 3);
        conversion->Convert(in.data(), out.data(), n);
        EXPECT_EQ(out, LittleCmsToSrgb(c.profile, c.format, in, n));
    }
    // Rows with opacity keep it; BGR rows convert in place.
    const Bytes p3 = DisplayP3Profile();
    const auto bgra = TSrgbConversion::FromProfile(p3.data(), p3.size(), TPixelLayout::BGRA);
    Bytes row = Ramp(300, 4);
    const Bytes before = row;
    bgra->Convert(row.data(), row.data(), 300);
    Bytes colours;
    for (std::size_t i = 0; i < 300; ++i) {
        EXPECT_EQ(row[4 * i + 3], before[4 * i + 3]);
        colours.insert(colours.end(), before.begin() + long(4 * i), before.begin() + long(4 * i + 3));
    }
    const Bytes expected = LittleCmsToSrgb(p3, TYPE_BGR_8, colours, 300);
    for (std::size_t i = 0; i < 300; ++i)
        for (int k = 0; k < 3; ++k)
            EXPECT_EQ(row[4 * i + std::size_t(k)], expected[3 * i + std::size_t(k)]);
}

TEST(ColourProfile, NoConversionForSrgbBrokenOrMismatchedProfiles)
{
    const Bytes srgb = SrgbProfile(), p3 = DisplayP3Profile(), grey = GreyGamma18Profile();
    EXPECT_TRUE(photo::IsSrgbProfile(srgb.data(), srgb.size()));
    EXPECT_FALSE(photo::IsSrgbProfile(p3.data(), p3.size()));
    EXPECT_FALSE(TSrgbConversion::FromProfile(srgb.data(), srgb.size(), TPixelLayout::BGR));
    EXPECT_FALSE(TSrgbConversion::FromProfile(grey.data(), grey.size(), TPixelLayout::BGR));
    EXPECT_FALSE(TSrgbConversion::FromProfile(p3.data(), p3.size(), TPixelLayout::CMYK));
    for (std::size_t n : {std::size_t(0), std::size_t(100), p3.size() / 2}) {
        EXPECT_FALSE(TSrgbConversion::FromProfile(p3.data(), n, TPixelLayout::BGR)) << n;
        EXPECT_FALSE(photo::IsSrgbProfile(p3.data(), n)) << n;
    }
    Bytes garbage = Ramp(2000, 1);
    EXPECT_FALSE(TSrgbConversion::FromProfile(garbage.data(), garbage.size(), TPixelLayout::BGR));
    // sRGB by its numbers needs nothing; Display P3 by its numbers converts like its profile.
    const photo::TChromaticities srgbNumbers{0.64, 0.33, 0.30, 0.60, 0.15, 0.06, 0.3127, 0.3290};
    EXPECT_FALSE(TSrgbConversion::FromChromaticities(srgbNumbers, photo::TTransfer::Srgb, TPixelLayout::BGR));
    const photo::TChromaticities p3Numbers{0.680, 0.320, 0.265, 0.690, 0.150, 0.060, 0.3127, 0.3290};
    const auto byNumbers = TSrgbConversion::FromChromaticities(p3Numbers, photo::TTransfer::Srgb, TPixelLayout::BGR);
    ASSERT_TRUE(byNumbers);
    const Bytes in = Ramp(1000, 3);
    Bytes out(in.size());
    byNumbers->Convert(in.data(), out.data(), 1000);
    const Bytes expected = LittleCmsToSrgb(p3, TYPE_BGR_8, in, 1000);
    for (std::size_t i = 0; i < out.size(); ++i)
        ASSERT_NEAR(out[i], expected[i], 1) << i;
}

TEST(ColourProfile, CmykWithoutProfileAndColoursOverWhite)
{
    for (bool inverted : {false, true})
        for (unsigned v = 0; v < 256; v += 15) {
            const std::uint8_t cmyk[4] = {std::uint8_t(v), std::uint8_t(255 - v), std::uint8_t(v / 2), std::uint8_t(v / 3)};
            std::uint8_t bgr[3];
            photo::CmykToBgr(cmyk, bgr, 1, inverted);
            auto ink = [&](int i) { return inverted ? 255.0 - cmyk[i] : double(cmyk[i]); };
            const double k = 255.0 - ink(3);
            EXPECT_EQ(bgr[2], std::uint8_t((255.0 - ink(0)) * k / 255.0 + 0.5));
            EXPECT_EQ(bgr[1], std::uint8_t((255.0 - ink(1)) * k / 255.0 + 0.5));
            EXPECT_EQ(bgr[0], std::uint8_t((255.0 - ink(2)) * k / 255.0 + 0.5));
        }
    for (unsigned c = 0; c < 256; ++c)
        for (unsigned a = 0; a < 256; ++a)
            ASSERT_EQ(photo::OverWhite(c, a), ReferenceOverWhite(std::uint8_t(c), std::uint8_t(a))) << c << " " << a;
}

} // namespace
} // namespace gz::test
