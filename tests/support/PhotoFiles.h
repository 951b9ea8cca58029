#pragma once
// Photo files made by the tests themselves, with the formats' own libraries: JPEG files with an
// EXIF orientation, an embedded colour profile or CMYK pixels (libjpeg), PNG files with every
// kind of transparency and a colour profile (libpng), and colour profiles made with Little CMS.
// Beside them the references the tests compare with, computed independently of the program.

#include "platform/Bitmap.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace gz::test {

using Bytes = std::vector<std::uint8_t>;

void WriteBytes(const std::string& path, const Bytes& bytes);
Bytes ReadBytes(const std::string& path);

// ---- JPEG ----
struct TJpegRecipe {
    int Orientation = 0;  // written in an EXIF segment when not 0
    bool BigEndianExif = false;
    Bytes Icc = {};       // embedded in APP2 segments when not empty
    int Quality = 95;
};
// An RGB JPEG of the bitmap's colours (4:4:4).
Bytes JpegFile(const TBitmap& picture, const TJpegRecipe& recipe = {});
// A four-component JPEG of the given CMYK pixels (4 bytes each, stored as given). With
// adobe an Adobe segment is written (which says the values are stored inverted).
Bytes CmykJpegFile(int width, int height, const Bytes& cmyk, bool adobe, const Bytes& icc = {});
// The samples libjpeg decodes from a file with its default settings: blue-green-red, or the
// four stored components when fourComponents.
Bytes JpegSamples(const Bytes& file, bool fourComponents, int& width, int& height);
// The EXIF segment data ("Exif\0\0" and a TIFF structure whose first directory holds the tag).
Bytes ExifBlock(int orientation, bool bigEndian);

// ---- PNG ----
struct TPngRecipe {
    TPngRecipe(int width, int height, int colorType, int bitDepth)
        : Width(width), Height(height), ColorType(colorType), BitDepth(bitDepth)
    {
    }
    int Width, Height;
    int ColorType; // as in the file: 0 grey, 2 RGB, 3 palette, 4 grey + alpha, 6 RGBA
    int BitDepth;
    Bytes Pixels;                     // samples as stored, rows packed
    std::vector<std::uint8_t> Palette; // r, g, b triples
    Bytes Transparency;                // tRNS: palette alphas, or the 2/6-byte key as stored
    Bytes Icc;                         // iCCP when not empty
};
Bytes PngFile(const TPngRecipe& recipe);

// ---- colour profiles (Little CMS) ----
Bytes DisplayP3Profile();
Bytes SrgbProfile();
Bytes GreyGamma18Profile();
// A CMYK input profile whose colours differ clearly from the plain formula.
Bytes CmykProfile();

// ---- references ----
// picture turned as the orientation tag says, computed pixel by pixel.
TBitmap TurnedByTag(const TBitmap& picture, int orientation);
// (c × a + 255 × (255 − a)) / 255 rounded, as a reference.
std::uint8_t ReferenceOverWhite(std::uint8_t c, std::uint8_t a);
// Converts blue-green-red (or grey, or CMYK) pixels with Little CMS called directly.
Bytes LittleCmsToSrgb(const Bytes& profile, std::uint32_t inputFormat, const Bytes& pixels, std::size_t count);
// A bitmap from 24-bit blue-green-red rows.
TBitmap BitmapFromBgr(int width, int height, const Bytes& bgr);
Bytes BgrOf(const TBitmap& bitmap);
// The largest difference of one channel between two bitmaps of the same size (255 when sizes differ).
int LargestDifference(const TBitmap& a, const TBitmap& b);

} // namespace gz::test
