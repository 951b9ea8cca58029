// The see-through placement: pictures whose transparent parts hide a loud colour, laid over
// other pictures, against "over" compositing of their own colours worked out in the tests.

#include "join/JoinEngine.h"
#include "join/SeeThrough.h"
#include "support/Rasters.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace gz;
using gz::test::NoiseBitmap;
using gz::test::SeeThroughDifference;
using gz::test::StraightOverWhite;
using gz::test::TStraightPicture;
using gz::test::TStraightPixel;

namespace {

int Over(int colour, int alpha, int beneath) { return (colour * alpha + beneath * (255 - alpha) + 127) / 255; }

// A clear border of magenta, opacity rising across the inside, an opaque middle.
TStraightPicture Logo(int w, int h)
{
    return {w, h, [w, h](int x, int y) {
                const bool border = x == 0 || y == 0 || x == w - 1 || y == h - 1;
                const bool middle = std::abs(2 * x - w) < w / 3 && std::abs(2 * y - h) < h / 3;
                if (border)
                    return TStraightPixel{255, 0, 255, 0};
                return TStraightPixel{std::uint8_t(17 * x), 200, std::uint8_t(250 - 9 * y),
                                      std::uint8_t(middle ? 255 : 20 + 150 * x / w + 6 * y)};
            }};
}

// The raster a loaded picture becomes: colours over white, the opacity beside.
TPictureRaster Raster(const TStraightPicture& p)
{
    TPictureRaster r{StraightOverWhite(p), TBitmap(p.width, p.height, pf8bit)};
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x)
            r.Alpha.ScanLine(y)[x] = p.pixel(x, y).a;
    return r;
}

TImageDocument Overlay(const TBitmap& old, TJoinDir dir, int flips, bool seeThrough)
{
    TImageDocument doc;
    doc.workBmp.Assign(old);
    doc.joinDir = dir;
    doc.keepSize = smKeep;
    doc.flips = flips;
    doc.seeThrough = seeThrough;
    return doc;
}

class FixedCorner : public TPlacementRequest {
public:
    FixedCorner(int x, int y, int opacity) : x_(x), y_(y), opacity_(opacity) {}
    std::optional<TPlacement> AskPlacement(const TImageDocument&, const TABitmap& placed) override
    {
        return TPlacement{{x_, y_, x_ + placed.Width(), y_ + placed.Height()}, opacity_};
    }

private:
    int x_, y_, opacity_;
};

} // namespace

TEST(SeeThrough, ChannelIsOverCompositingOfTheOwnColourWithinOneLevel)
{
    for (int alpha = 0; alpha <= 255; ++alpha)
        for (int colour = 0; colour <= 255; ++colour)
            for (int beneath = 0; beneath <= 255; ++beneath) {
                const int got = SeeThroughChannel(std::uint8_t(Over(colour, alpha, 255)), std::uint8_t(alpha),
                                                  std::uint8_t(beneath));
                const int want = Over(colour, alpha, beneath);
                ASSERT_LE(std::abs(got - want), 1) << colour << " at " << alpha << " over " << beneath;
                if (beneath == 0 || beneath == 255 || alpha == 0 || alpha == 255) {
                    ASSERT_EQ(got, want) << colour << " at " << alpha << " over " << beneath;
                }
            }
}

TEST(SeeThrough, OverlayShowsWhatLiesBeneathWithItsMirrorsAndOnlyWhenAsked)
{
    const TStraightPicture logo = Logo(13, 9);
    const TBitmap old = NoiseBitmap(30, 20, 5);
    for (int flips = 0; flips <= 3; ++flips)
        for (const bool seeThrough : {true, false}) {
            TImageDocument doc = Overlay(old, jdRight, flips, seeThrough);
            ASSERT_TRUE(JoinPicture(doc, Raster(logo), nullptr));
            EXPECT_EQ(SeeThroughDifference(doc.workBmp, old, logo, 30 - 13, 0, seeThrough, flips), "")
                << "flips " << flips << " see-through " << seeThrough;
        }
}

TEST(SeeThrough, PlacementPartlyOutsideWithOpacityTakesTheMatchingOpacities)
{
    const TStraightPicture logo = Logo(11, 8);
    const TBitmap old = NoiseBitmap(20, 12, 9);
    for (const int opacity : {255, 128}) {
        TImageDocument doc = Overlay(old, jdDown, flipLR, true);
        doc.joinPos = jpCustom;
        FixedCorner wizard(-4, -3, opacity);
        ASSERT_TRUE(JoinPicture(doc, Raster(logo), &wizard));
        EXPECT_EQ(SeeThroughDifference(doc.workBmp, old, logo, -4, -3, true, flipLR, opacity), "")
            << "opacity " << opacity;
    }
}
