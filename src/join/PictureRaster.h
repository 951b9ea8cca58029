#pragma once
// A loaded picture as the raster a join takes: 24 bits per pixel, colours in sRGB,
// transparent parts laid over white, turned upright as its orientation tag asks. The file,
// the drop and the open dialog's preview all make their rasters here.

#include "platform/Bitmap.h"

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

// The raster of a loaded picture. PNG pictures keep their image and mask; the raster takes
// their transparent colour and mask over white and converts an embedded colour profile.
// Pictures of plug-ins we ship arrive over white already, with their opacity beside.
TPictureRaster MakePictureRaster(const TGraphic& picture, const TRasterOptions& options = {});

// A 24-bit or 8-bit raster turned by a photo orientation (1..8; others give a copy).
TBitmap OrientedRaster(const TBitmap& raster, int orientation);

} // namespace gz
