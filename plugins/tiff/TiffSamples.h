#pragma once
// TIFF pictures that the library's RGBA reader refuses but its strip and tile reader reads:
// CMYK of 8 or 16 bits (with its embedded CMYK profile when it has one) and 32-bit
// floating-point grey or RGB samples (0 … 1), all scaled to 8 bits. Rows come as stored; the
// orientation tag is left to the host. An opacity sample makes a 32-bit bitmap over white.

#include "PluginKit.h"

#include <tiffio.h>

namespace spi {

// True when ReadTiffSamples is the way to read the picture.
bool NeedsSampleReader(TIFF* tif);
// Reads the first directory into dib. Returns an SPI_* result.
int ReadTiffSamples(TIFF* tif, Dib& dib, Progress& progress);

} // namespace spi
