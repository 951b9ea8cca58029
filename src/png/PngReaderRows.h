#pragma once
// Row work of the PNG reader: reversing the five PNG filters, converting a PNG row into the
// bitmap's pixel format (and the mask row), and scattering interlaced rows into place.

#include <cstddef>
#include <cstdint>

namespace gz::pngrows {

enum TRowConversion {
    rcCopy,        // grey and palette at 1, 4, 8 bits: bytes as they are
    rcExpand2,     // grey and palette at 2 bits: each value becomes one 4-bit pixel
    rcGrey16,      // grey at 16 bits: high byte
    rcGreyAlpha8,  // grey + alpha at 8 bits: grey, mask = 255 - alpha
    rcGreyAlpha16, // grey + alpha at 16 bits: high bytes
    rcRGB8,        // colour at 8 bits: blue, green, red
    rcRGB16,       // colour at 16 bits: high bytes
    rcRGBA8,       // colour + alpha at 8 bits
    rcRGBA16,      // colour + alpha at 16 bits
    rcHigh8,       // colour at 8 bits into 5-6-5 pixels
    rcHighAlpha8,  // colour + alpha at 8 bits into 5-6-5 pixels
};

// Reverses filter type filter on row (n bytes, no filter byte) against the previous row;
// bpp is the byte distance of the filters (1 below 8 bits per pixel); prev is null for the
// first row of a pass (a row of zeros). False for a type above 4.
bool Unfilter(std::uint8_t filter, std::uint8_t* row, const std::uint8_t* prev, std::size_t n, std::size_t bpp);

// Converts pixels PNG pixels of src into dst (packed in the bitmap format) and, when mask is
// not null and the conversion has alpha, mask bytes 255 - alpha.
void ConvertRow(TRowConversion conversion, const std::uint8_t* src, std::size_t srcBytes, std::size_t pixels,
                std::uint8_t* dst, std::uint8_t* mask);

// Puts pixel i of a packed row of outBits (1, 4, 8, 16 or 24) per pixel at column
// colStart + i * colStep of dst, replacing only that pixel's bits.
void ScatterRow(int outBits, const std::uint8_t* packed, std::size_t pixels, std::uint8_t* dst, std::size_t colStart,
                std::size_t colStep);

} // namespace gz::pngrows
