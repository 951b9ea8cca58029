#pragma once
// Small raster builders and comparisons for tests.

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

} // namespace gz::test
