#pragma once
// Reference renderings: PNG files decoded by libpng, and a tolerant comparison with a raster.

#include "platform/Bitmap.h"

#include <filesystem>

namespace gz::test {

// The PNG as a 24-bit bitmap (alpha composed onto white); raises on failure.
TBitmap ReadReferencePng(const std::filesystem::path& file);
// Compares two rasters of the same size block by block (the mean colour of each block x
// block square), so that anti-aliasing and glyph shapes weigh little. Only blocks where either
// raster has ink (is not near white) count; returns the share of those whose means lie within
// tolerance in every channel, or 0 when the sizes differ.
double ShareOfMatchingInk(const TBitmap& picture, const TBitmap& reference, int block, int tolerance);

} // namespace gz::test
