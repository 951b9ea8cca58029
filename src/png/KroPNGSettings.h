#pragma once
// The settings of a PNG picture in groups, by who writes and reads them. A group travels as
// one value: from the picture into the writer, from the reader back into the picture, and
// from one picture to another on Assign.

#include "png/PngFormat.h"

#include <cstdint>
#include <string>
#include <vector>

namespace gz {

// What a PNG file says about its picture besides the pixels: every save writes it and every
// load finds it again.
struct TKroPNGDescription {
    bool GrayScale = false;        // write grey; after a load: the file was grey
    std::int32_t BackgroundColor = png::kNoColor;
    std::int32_t TransparentColor = png::kNoColor;
    std::string Comment;
    double Gamma = 0.45455;
    std::int32_t SignificantBits = 0; // bytes red, green, blue, alpha
    std::uint8_t PixelUnit = 0;       // 0 unknown, 1 per metre, 2 per inch
    std::int32_t PixelsPerUnitX = 0;
    std::int32_t PixelsPerUnitY = 0;
};

// How a save encodes the picture. Of these a load finds only Interlace.
struct TKroPNGEncoding {
    int IDATSize = 32768;          // checked by the writer at save time (256..100000)
    int CompressionLevel = -1;     // zlib level; -1 zlib's default
    std::uint8_t FilterMode = 1;   // 0 adaptive, 1 None, 2 Sub, 3 Up, 4 Average, 5 Paeth
    std::uint8_t Interlace = 0;    // 0 none, 1 Adam7
    bool UseCurrentTime = true;
};

// What one PNG picture hands to another on Assign: the encoding, the description and the
// records that go with the image. Everything else stays with the receiving picture.
struct TKroPNGSettings : TKroPNGEncoding, TKroPNGDescription {
    TKroPNGTime ModifiedTime;      // a load overwrites it
    TKroPNGChromaticity Chromaticity{};
    // The colour profile the last file read embeds (iCCP), describing the image's colours;
    // empty: sRGB. Never written: saved files are sRGB.
    std::vector<std::uint8_t> IccProfile;
};

// What a read finds out about the file that no save sets. Kept by Assign.
struct TKroPNGReadFacts {
    bool HasAlpha = false;         // the mask is valid (and is written on save)
    int FileBits = 0;              // bits per pixel of the last file read
};

// How a read runs. Kept by Assign.
struct TKroPNGReadOptions {
    std::string RowKey;            // also the key of a save's row hook
    bool SkipMacBinary = true;
    bool ReadHighColor = false;
};

} // namespace gz
