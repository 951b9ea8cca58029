#pragma once
// TABitmap, the always-24-bit raster of the join, and BlendDraw, which lays one such raster
// into another at an offset with an opacity.

#include "platform/Bitmap.h"

#include <cstddef>
#include <cstdint>

namespace gz {

// A bitmap that is 24 bits per pixel from construction on and after every assign and load.
class TABitmap : public TBitmap {
public:
    TABitmap();
    TABitmap(int width, int height);
    TABitmap(const TABitmap& other);
    TABitmap& operator=(const TABitmap& other);

    void Assign(const TGraphic& source) override;
    void LoadFromFile(const std::string& fileName) override;
};

// Blends count bytes: d = (a * s + (256 - a) * d) >> 8 with a in 1..255.
void BlendRow(const std::uint8_t* source, std::uint8_t* dest, std::size_t count, unsigned opacity);

// Draws the top-left width x height part of source into dest with its top-left corner at
// (x, y). dest is converted to 24 bits first. Opacity 0 draws nothing, values above 255
// count as 255. Only the part that falls inside dest is drawn, whatever the signs of x and y.
void BlendDraw(const TABitmap& source, int x, int y, int width, int height, TBitmap& dest, std::uint16_t opacity);

} // namespace gz
