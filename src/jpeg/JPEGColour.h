#pragma once
// The colours and the orientation of decoded JPEG files. CMYK and YCCK files (stored inverted
// when an Adobe marker is present, as Adobe's programs write them) become blue-green-red, and
// files with an embedded ICC profile are converted to sRGB. Everything works on single rows,
// so that a decoder that streams rows uses it just like the whole-picture decoder.

#include "platform/Types.h"
#include "photo/ColourProfile.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include <cstdio>
#include <jpeglib.h>

namespace gz {

class TJPEGColour {
public:
    // Before jpeg_read_header: keeps the segments the profile and the orientation are in.
    static void KeepMarkers(j_decompress_ptr c);

    // After jpeg_read_header, with what jpeg_read_icc_profile gave (taken over and freed here;
    // null when the file has none).
    TJPEGColour(const jpeg_decompress_struct& c, JOCTET* icc, unsigned iccLength);

    // The output colour space to set before decoding starts: grey stays grey, four-component
    // files come out as CMYK, everything else as blue-green-red.
    J_COLOR_SPACE OutputSpace() const;
    // Output rows of four bytes per pixel that ConvertRow turns into rows of three.
    bool FourComponents() const { return cmyk_; }
    // False when decoded rows are final as they come (no profile, an sRGB profile, grey).
    bool ConvertsRows() const { return cmyk_ || conversion_; }
    // Turns a decoded row into a blue-green-red sRGB row; in and out may be the same row
    // unless FourComponents().
    void ConvertRow(const std::uint8_t* in, std::uint8_t* out, std::size_t pixels) const;
    // The colours of a quantised decode's palette in sRGB.
    std::vector<TPaletteEntry> ConvertPalette(std::vector<TPaletteEntry> palette) const;

private:
    bool cmyk_ = false;
    bool inverted_ = false;
    std::unique_ptr<photo::TSrgbConversion> conversion_;
    std::unique_ptr<photo::TSrgbConversion> paletteConversion_;
};

// The orientation an EXIF segment kept by KeepMarkers gives; 1 without one.
int JPEGOrientation(const jpeg_decompress_struct& c);

} // namespace gz
