#pragma once
// Rasters through the clipboard: copy puts the working raster as an image; paste reads an
// image put there by this program or by any other.

#include "platform/Bitmap.h"

#include <QImage>

#include <optional>

namespace gz::ui {

// The raster as an opaque RGB image of the same size (a null image for an empty raster).
QImage RasterToImage(const TBitmap& raster);
// The image as a 24-bit raster; transparent parts are laid on white.
TBitmap ImageToRaster(const QImage& image);

// Puts the raster on the clipboard; an empty raster leaves the clipboard alone.
void PutRasterOnClipboard(const TBitmap& raster);
// The clipboard's image as a raster; nothing when it holds no image or one without rows.
std::optional<TBitmap> ReadClipboardRaster();

} // namespace gz::ui
