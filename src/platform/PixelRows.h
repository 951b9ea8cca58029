#pragma once
// Row conversions between the bitmap pixel formats and plain blue-green-red rows.

#include "platform/BitmapImage.h"
#include "platform/Types.h"

#include <array>
#include <cstdint>
#include <vector>

namespace gz {

// Reads row y of image as width blue, green, red triples.
void DecodeRowBGR(const TBitmapImage& image, int y, std::uint8_t* out);
// The same for one row of w pixels in format pf, held anywhere.
void DecodeRowBGR(const std::uint8_t* row, int w, TPixelFormat pf, const std::vector<TPaletteEntry>& palette,
                  std::uint8_t* out);

// Index of the palette entry nearest to a colour (squared distance); 0 for an empty palette.
std::uint8_t NearestPaletteIndex(const std::vector<TPaletteEntry>& palette, int r, int g, int b);

// Finds the nearest palette entry of a colour (squared distance), cached on a 15-bit grid.
class TPaletteMatcher {
public:
    explicit TPaletteMatcher(const std::vector<TPaletteEntry>& palette);
    std::uint8_t Nearest(std::uint8_t r, std::uint8_t g, std::uint8_t b);

private:
    std::vector<TPaletteEntry> palette_;
    std::vector<std::int16_t> cache_;
};

// Writes width blue, green, red triples into row y of image in its pixel format. Palette
// formats need a matcher built over the image's palette.
void EncodeRowBGR(TBitmapImage& image, int y, const std::uint8_t* bgr, TPaletteMatcher* matcher);

} // namespace gz
