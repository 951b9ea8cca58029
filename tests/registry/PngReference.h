#pragma once
// Reference pictures for the reader tests, decoded with libpng (test oracle only).

#include "platform/Bitmap.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace gz::test {

struct RgbaImage {
    int width = 0, height = 0;
    std::vector<std::uint8_t> rgba; // red, green, blue, alpha per pixel, top row first
};

// Decodes a PNG file to 8-bit RGBA without gamma or colour-space changes; throws on failure.
RgbaImage ReadPngReference(const std::filesystem::path& file);

// Empty when the bitmap shows the reference: same size, every colour channel within
// tolerance where the reference is not fully transparent; else where they differ first.
std::string CompareWithReference(const TBitmap& bitmap, const RgbaImage& reference, int tolerance);
// The same for 32-bit pictures whose fourth byte is opacity: transparent parts must agree
// too (opacity within tolerance).
std::string CompareBGRAWithReference(const TBitmap& bgra, const RgbaImage& reference, int tolerance);

} // namespace gz::test
