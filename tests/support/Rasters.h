#pragma once
// Small raster builders and comparisons for tests.

#include "join/PictureRaster.h"
#include "platform/Bitmap.h"

#include <cstdint>
#include <functional>
#include <string>

namespace gz::test {

// A 24-bit bitmap whose pixel (x, y) is colour(x, y) (0x00BBGGRR).
TBitmap MakeBitmap(int width, int height, const std::function<TColor(int x, int y)>& colour);
// A 24-bit bitmap with pseudo-random pixels from a seed.
TBitmap NoiseBitmap(int width, int height, std::uint32_t seed);
// Empty string when both bitmaps hold the same colours everywhere; else where they differ first.
std::string FirstDifference(const TBitmap& a, const TBitmap& b);

// A pixel as a picture file holds it: its own colour and its opacity (0 clear … 255 opaque).
struct TStraightPixel {
    std::uint8_t r, g, b, a;
};
struct TStraightPicture {
    int width, height;
    std::function<TStraightPixel(int x, int y)> pixel;
};
// The picture laid over white, as a loaded picture's raster is: (c × a + 255 × (255 − a)) / 255
// rounded.
TBitmap StraightOverWhite(const TStraightPicture& picture);

// Where joined differs from picture laid with its top-left corner at (left, top) over base
// (mirrored first: flips bit 1 left-right, bit 2 upside-down), worked out pixel by pixel. With
// seeThrough, "over" compositing of its own colours: clear parts leave base exactly, opaque
// parts take the engine's blend ((255 × c + b) >> 8), the rest within one level. Without, the
// picture over white taken by the engine's blend everywhere. Empty when all is as expected.
std::string SeeThroughDifference(const TBitmap& joined, const TBitmap& base, const TStraightPicture& picture,
                                 int left, int top, bool seeThrough, int flips = 0, int opacity = 255);
// The raster of a loaded picture laid by the join engine over the bottom-right corner of a
// larger picture, over white and seeing through: where either differs from what
// SeeThroughDifference works out for picture, the file's own pixels; empty when neither does.
std::string OverlayDifference(const TPictureRaster& raster, const TStraightPicture& picture);

} // namespace gz::test
