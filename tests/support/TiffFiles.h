#pragma once
// TIFF test pictures written with libtiff.

#include "platform/Bitmap.h"

#include <functional>
#include <string>

namespace gz::test {

// An 8-bit RGB TIFF, LZW-compressed in strips of 7 rows, with `pages` directories; pixel
// (x, y) of page p is colour(x, y, p).
void WriteRgbTiff(const std::string& path, int width, int height, int pages,
                  const std::function<TColor(int x, int y, int page)>& colour);

} // namespace gz::test
