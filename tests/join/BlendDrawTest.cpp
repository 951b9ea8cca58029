#include "support/Rasters.h"
#include "join/ABitmap.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace gz;
using gz::test::MakeBitmap;

namespace {

TABitmap Solid(int w, int h, std::uint8_t v)
{
    TABitmap bmp;
    bmp.Assign(MakeBitmap(w, h, [v](int, int) { return RGBColor(v, v, v); }));
    return bmp;
}

struct BlendCase {
    int source, dest, opacity, expected;
};

class BlendArithmetic : public testing::TestWithParam<BlendCase> {};

} // namespace

TEST_P(BlendArithmetic, EachChannelFollowsTheWeightedSum)
{
    const BlendCase c = GetParam();
    TABitmap dst = Solid(2, 2, std::uint8_t(c.dest));
    BlendDraw(Solid(2, 2, std::uint8_t(c.source)), 0, 0, 2, 2, dst, std::uint16_t(c.opacity));
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(dst.ScanLine(1)[i], c.expected);
}

INSTANTIATE_TEST_SUITE_P(Opacities, BlendArithmetic,
                         testing::Values(BlendCase{255, 0, 255, 254}, BlendCase{0, 255, 255, 0},
                                         BlendCase{100, 0, 255, 99}, BlendCase{255, 255, 255, 255},
                                         BlendCase{200, 100, 128, 150}, BlendCase{255, 0, 300, 254},
                                         BlendCase{200, 100, 0, 100}, BlendCase{10, 250, 1, 249}),
                         [](const testing::TestParamInfo<BlendCase>& info) {
                             const BlendCase& c = info.param;
                             std::ostringstream name;
                             name << "s" << c.source << "_over_" << c.dest << "_at_" << c.opacity;
                             return name.str();
                         });

TEST(BlendDraw, OpacityZeroStillConvertsTheDestination)
{
    TBitmap dst(3, 3, pf8bit);
    int changes = 0;
    dst.OnChange = [&](TGraphic&) { ++changes; };
    BlendDraw(Solid(1, 1, 0), 0, 0, 1, 1, dst, 0);
    EXPECT_EQ(dst.PixelFormat(), pf24bit);
    EXPECT_EQ(dst.Pixel(0, 0), clWhite);
    changes = 0;
    BlendDraw(Solid(1, 1, 0), 3, 0, 1, 1, dst, 255);
    EXPECT_EQ(changes, 0) << "a source right of the destination changes nothing";
    BlendDraw(Solid(1, 1, 0), 1, 1, 1, 1, dst, 255);
    EXPECT_EQ(changes, 1);
}

TEST(BlendDraw, ClipsAtEveryEdgeWithTheMatchingSourceOffset)
{
    const TBitmap pattern = MakeBitmap(50, 50, [](int x, int y) { return RGBColor(x, y, 1); });
    TABitmap src;
    src.Assign(pattern);
    struct Placement {
        int x, y;
    };
    for (Placement p : {Placement{80, 10}, Placement{-30, -45}, Placement{90, 95}, Placement{-49, 60}}) {
        SCOPED_TRACE(testing::Message() << p.x << "," << p.y);
        TABitmap dst = Solid(100, 100, 0);
        BlendDraw(src, p.x, p.y, 50, 50, dst, 255);
        for (int y = 0; y < 100; ++y)
            for (int x = 0; x < 100; ++x) {
                const int sx = x - p.x, sy = y - p.y;
                const bool inside = sx >= 0 && sx < 50 && sy >= 0 && sy < 50;
                // (255 * s + 0) >> 8 is s - 1 for s > 0.
                const TColor want = inside ? RGBColor(sx ? sx - 1 : 0, sy ? sy - 1 : 0, 0) : clBlack;
                ASSERT_EQ(dst.Pixel(x, y), want) << "at " << x << "," << y;
            }
    }
}

TEST(BlendDraw, DrawsOnlyTheRequestedPartAndNeverReadsPastTheSource)
{
    TABitmap dst = Solid(10, 10, 0);
    BlendDraw(Solid(4, 4, 255), 0, 0, 2, 3, dst, 255);
    EXPECT_EQ(dst.Pixel(1, 2), RGBColor(254, 254, 254));
    EXPECT_EQ(dst.Pixel(2, 2), clBlack);
    EXPECT_EQ(dst.Pixel(1, 3), clBlack);
    TABitmap big = Solid(10, 10, 0);
    BlendDraw(Solid(4, 4, 255), 0, 0, 100, 100, big, 255);
    EXPECT_EQ(big.Pixel(4, 4), clBlack);
}

TEST(ABitmap, Is24BitAfterConstructionAssignAndResize)
{
    TABitmap a;
    EXPECT_EQ(a.PixelFormat(), pf24bit);
    TBitmap pal(4, 4, pf4bit);
    a.Assign(pal);
    EXPECT_EQ(a.PixelFormat(), pf24bit);
    EXPECT_EQ(a.Pixel(3, 3), clWhite);
    EXPECT_EQ(pal.PixelFormat(), pf4bit) << "the source keeps its own format";
    TBitmap deep(2, 2, pf24bit);
    a.Assign(deep);
    EXPECT_TRUE(a.SharesImageWith(deep)) << "a 24-bit source is taken without a copy";
}
