#pragma once
// The orientation tag of photos (EXIF tag 0x0112, the same in TIFF files): how the stored
// picture must be turned to be seen upright, and the turning itself on plain pixel rows.
//
//   1 as stored            2 mirrored left-right    3 turned 180°           4 mirrored top-bottom
//   5 mirrored along the   6 turned 90° clockwise   7 mirrored along the    8 turned 90°
//     main diagonal                                   other diagonal          anticlockwise

#include <cstddef>
#include <cstdint>

namespace gz::photo {

constexpr int kUpright = 1;

// The orientation in the first directory of a TIFF structure (byte order mark, 42, directory
// offset); kUpright when there is none or it is out of range. Offsets and counts are checked
// against size; nothing outside the bytes is read.
int TiffOrientation(const std::uint8_t* data, std::size_t size);
// The same from the data of a JPEG APP1 segment, which starts with "Exif\0\0".
int ExifOrientation(const std::uint8_t* data, std::size_t size);

// True for 5..8, which exchange width and height.
constexpr bool SwapsSides(int orientation) { return orientation >= 5 && orientation <= 8; }

// A picture of width x height pixels of pixelBytes each (1..4), rows of the given strides.
struct TPixelPlane {
    std::uint8_t* Bits;
    int Width, Height;
    std::ptrdiff_t Stride;
};
struct TConstPixelPlane {
    const std::uint8_t* Bits;
    int Width, Height;
    std::ptrdiff_t Stride;
};

// Writes source turned upright into dest, whose size must be source's, with width and height
// exchanged when SwapsSides(orientation). Orientations outside 1..8 copy.
void Orient(const TConstPixelPlane& source, const TPixelPlane& dest, int pixelBytes, int orientation);

} // namespace gz::photo
