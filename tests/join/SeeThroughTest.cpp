// The see-through placement: pictures whose transparent parts hide a loud colour, laid over
// other pictures, against "over" compositing of their own colours worked out here.

#include "join/JoinEngine.h"
#include "join/SeeThrough.h"
#include "platform/Canvas.h"
#include "support/Rasters.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

using namespace gz;
using gz::test::FirstDifference;
using gz::test::NoiseBitmap;

namespace {

int Over(int colour, int alpha, int beneath) { return (colour * alpha + beneath * (255 - alpha) + 127) / 255; }

// A picture as its file holds it: colours (magenta wherever it is fully clear) and opacity.
struct TStraightPicture {
    int w, h;
    std::vector<TColor> colour;
    std::vector<int> alpha;
    TColor At(int x, int y) const { return colour[std::size_t(y * w + x)]; }
    int AlphaAt(int x, int y) const { return alpha[std::size_t(y * w + x)]; }

    // The raster a loaded picture becomes: colours over white, the opacity beside.
    TPictureRaster Raster() const
    {
        TPictureRaster r;
        r.Colour = TBitmap(w, h, pf24bit);
        r.Alpha = TBitmap(w, h, pf8bit);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const TColor c = At(x, y);
                const int a = AlphaAt(x, y);
                r.Colour.SetPixel(x, y, RGBColor(std::uint8_t(Over(ColorRed(c), a, 255)),
                                                 std::uint8_t(Over(ColorGreen(c), a, 255)),
                                                 std::uint8_t(Over(ColorBlue(c), a, 255))));
                r.Alpha.ScanLine(y)[x] = std::uint8_t(a);
            }
        return r;
    }
};

// A clear border of magenta, opacity rising across the inside, an opaque middle.
TStraightPicture Logo(int w, int h)
{
    TStraightPicture p{w, h, {}, {}};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const bool border = x == 0 || y == 0 || x == w - 1 || y == h - 1;
            const bool middle = std::abs(2 * x - w) < w / 3 && std::abs(2 * y - h) < h / 3;
            p.alpha.push_back(border ? 0 : middle ? 255 : 20 + 150 * x / w + 6 * y);
            p.colour.push_back(border ? RGBColor(255, 0, 255) : RGBColor(std::uint8_t(17 * x), 200, std::uint8_t(250 - 9 * y)));
        }
    return p;
}

// Where the joined raster differs from picture laid at (left, top) over base, mirrored by
// flips, by more than the see-through allows: fully clear and fully opaque pixels exactly
// (the opaque ones by the engine's blend), the others within one level of "over".
std::string SeeThroughDifference(const TBitmap& joined, const TBitmap& base, const TStraightPicture& picture,
                                 int left, int top, int flips, int opacity)
{
    for (int y = 0; y < joined.Height(); ++y)
        for (int x = 0; x < joined.Width(); ++x) {
            const TColor b = base.Pixel(x, y), got = joined.Pixel(x, y);
            int px = x - left, py = y - top;
            TColor want = b;
            int alpha = 255;
            if (px >= 0 && py >= 0 && px < picture.w && py < picture.h) {
                if (flips & flipLR)
                    px = picture.w - 1 - px;
                if (flips & flipUB)
                    py = picture.h - 1 - py;
                const TColor c = picture.At(px, py);
                alpha = picture.AlphaAt(px, py);
                const auto channel = [&](std::uint8_t (*of)(TColor)) {
                    const int seen = alpha == 255 ? of(c) : Over(of(c), alpha, of(b));
                    return std::uint8_t(alpha == 255 || opacity < 255 ? (opacity * seen + (256 - opacity) * of(b)) >> 8
                                                                      : seen);
                };
                want = RGBColor(channel(ColorRed), channel(ColorGreen), channel(ColorBlue));
            }
            const int slack = alpha == 0 || alpha == 255 ? 0 : 1;
            for (auto of : {ColorRed, ColorGreen, ColorBlue})
                if (std::abs(int(of(got)) - int(of(want))) > slack) {
                    std::ostringstream s;
                    s << "(" << x << ", " << y << ") alpha " << alpha << ": got " << std::hex << got << " want " << want;
                    return s.str();
                }
        }
    return {};
}

class FixedCorner : public TPlacementRequest {
public:
    FixedCorner(int x, int y, int opacity) : x_(x), y_(y), opacity_(opacity) {}
    TPlacement RunPlacementWizard(const TImageDocument&, const TABitmap& placed) override
    {
        return {{x_, y_, x_ + placed.Width(), y_ + placed.Height()}, opacity_};
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

TEST(SeeThrough, OverlayShowsWhatLiesBeneathAndOpaquePartsKeepTheEngineBlend)
{
    const TStraightPicture logo = Logo(13, 9);
    const TBitmap old = NoiseBitmap(30, 20, 5);
    for (int flips = 0; flips <= 3; ++flips) {
        TImageDocument doc;
        doc.workBmp.Assign(old);
        doc.joinDir = jdRight;
        doc.keepSize = 1;
        doc.flips = flips;
        doc.seeThrough = true;
        ASSERT_TRUE(JoinPicture(doc, logo.Raster(), nullptr));
        EXPECT_EQ(SeeThroughDifference(doc.workBmp, old, logo, 30 - 13, 0, flips, 255), "") << "flips " << flips;

        // Without see-through the picture arrives over white, as every join does.
        TImageDocument opaque = doc;
        opaque.workBmp = doc.undoBmp;
        opaque.seeThrough = false;
        ASSERT_TRUE(JoinPicture(opaque, logo.Raster(), nullptr));
        TImageDocument plain = opaque;
        plain.workBmp = doc.undoBmp;
        ASSERT_TRUE(JoinPicture(plain, logo.Raster().Colour, nullptr));
        EXPECT_EQ(FirstDifference(opaque.workBmp, plain.workBmp), "");
        EXPECT_GE(ColorGreen(opaque.workBmp.Pixel(30 - 13, 0)), 254) << "the clear border hides the magenta";
    }
}

TEST(SeeThrough, PlacementPartlyOutsideWithOpacityTakesTheMatchingOpacities)
{
    const TStraightPicture logo = Logo(11, 8);
    const TBitmap old = NoiseBitmap(20, 12, 9);
    for (const int opacity : {255, 128}) {
        TImageDocument doc;
        doc.workBmp.Assign(old);
        doc.joinDir = jdDown;
        doc.joinPos = jpCustom;
        doc.keepSize = 1;
        doc.flips = flipLR;
        doc.seeThrough = true;
        FixedCorner wizard(-4, -3, opacity);
        ASSERT_TRUE(JoinPicture(doc, logo.Raster(), &wizard));
        EXPECT_EQ(SeeThroughDifference(doc.workBmp, old, logo, -4, -3, flipLR, opacity), "") << "opacity " << opacity;
    }
}

TEST(SeeThrough, OnWhiteCanvasAndForOpaquePicturesNothingChanges)
{
    const TStraightPicture logo = Logo(9, 7);
    const TBitmap old = NoiseBitmap(10, 10, 3);
    TPictureRaster opaque{NoiseBitmap(6, 6, 4), TBitmap()};
    for (const bool seeThrough : {false, true}) {
        TImageDocument grown;
        grown.workBmp.Assign(old);
        grown.joinDir = jdDown;
        grown.joinPos = jpCenter;
        grown.seeThrough = seeThrough;
        ASSERT_TRUE(JoinPicture(grown, logo.Raster(), nullptr));
        TABitmap want(10, 17);
        want.Canvas().Draw(0, 0, old);
        want.Canvas().Draw(1, 10, logo.Raster().Colour); // centred: 10 / 2 - 9 / 2
        EXPECT_EQ(FirstDifference(grown.workBmp, want), "") << "on fresh canvas the picture arrives over white";

        TImageDocument overlay;
        overlay.workBmp.Assign(old);
        overlay.joinDir = jdUp;
        overlay.keepSize = 1;
        overlay.seeThrough = seeThrough;
        TImageDocument reference = overlay;
        ASSERT_TRUE(JoinPicture(overlay, opaque, nullptr));
        ASSERT_TRUE(JoinPicture(reference, opaque.Colour, nullptr));
        EXPECT_EQ(FirstDifference(overlay.workBmp, reference.workBmp), "") << "an opaque picture joins as always";
    }
}
