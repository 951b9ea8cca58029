#pragma once
// A loaded picture as the raster a join takes: 24 bits per pixel, colours in sRGB,
// transparent parts laid over white, turned upright as its orientation tag asks. The file,
// the drop and the open dialog's preview all make their rasters here.

#include "platform/Bitmap.h"

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

namespace gz::photo {
class TSrgbConversion;
}

namespace gz {

struct TRasterOptions {
    // Turn photos as their orientation tag says (JPEG EXIF, TIFF). The desktop program starts
    // with it on.
    bool AutoOrient = true;
};

struct TPictureRaster {
    TBitmap Colour; // 24-bit; where the picture is (partly) transparent, laid over white
    TBitmap Alpha;  // empty when the picture is opaque everywhere; else 8-bit, 0 clear … 255 opaque
};

// How the image rows of a PNG picture become raster rows: the colour profile converted, the
// transparent colour or the mask laid over white. The PNG raster below and the streamed reading
// of PNG files both make their rows here.
class TPngRasterRows {
public:
    // format, palette: those of the image rows; key: the transparent colour (png::kNoColor for
    // none); masked: rows come with a mask row (0 opaque … 255 clear); icc: the colour profile
    // (empty: sRGB), of grey samples when grey.
    TPngRasterRows(TPixelFormat format, const std::vector<TPaletteEntry>& palette, std::int32_t key, bool masked,
                   const std::vector<std::uint8_t>& icc, bool grey);
    ~TPngRasterRows();
    TPngRasterRows(const TPngRasterRows&) = delete;
    TPngRasterRows& operator=(const TPngRasterRows&) = delete;

    // True when rows are only widened to 24 bits.
    bool Plain() const { return !keyed_ && !masked_ && !conversion_; }
    bool HasAlpha() const { return keyed_ || masked_; }
    // One raster row: width pixels of image (and mask) into blue-green-red out; alpha, when
    // not null, receives the opacity (0 clear … 255 opaque).
    void Row(const std::uint8_t* image, const std::uint8_t* mask, int width, std::uint8_t* out,
             std::uint8_t* alpha) const;

private:
    TPixelFormat format_;
    std::int32_t key_;
    bool keyed_, masked_, palette_;
    std::unique_ptr<photo::TSrgbConversion> conversion_;
    std::array<std::uint8_t, 256 * 3> colours_{};
    std::array<bool, 256> clear_{};
};

// The raster of a loaded picture. PNG pictures keep their image and mask; the raster takes
// their transparent colour and mask over white and converts an embedded colour profile.
// Pictures of plug-ins we ship arrive over white already, with their opacity beside.
TPictureRaster MakePictureRaster(const TGraphic& picture, const TRasterOptions& options = {});

// A 24-bit or 8-bit raster turned by a photo orientation (1..8; others give a copy).
TBitmap OrientedRaster(const TBitmap& raster, int orientation);

} // namespace gz
