#pragma once
// The first step of load-and-join for a file: the picture as a plain raster, read by the
// reader its upper-cased extension names.

#include "platform/Bitmap.h"

#include <optional>
#include <string>

namespace gz::ui {

// The extension from the last dot of the file name (dot included), upper-cased; empty
// when the name has no dot.
std::string UpperFileExtension(const std::string& fileName);

// Reads the file as a raster:
//   ".BMP"          the bitmap reader                    failure: nothing, silently
//   ".PNG"          TKroPNG                              failure: raised
//   ".JPG"          TJPEGImage                           failure: raised
//   ".WMF", ".EMF"  the registry's by-extension loader   failure: nothing, silently
//   ".ICO"          the icon reader                      failure: raised
//   anything else   the registry's by-extension loader   failure: raised
// Pictures that are not bitmaps are drawn at (0, 0) on a white raster of their size.
std::optional<TBitmap> ReadFileRaster(const std::string& fileName);

// The same readers without the silence: every failure is raised with the reader's message
// (for scripts, which must learn that a file could not be read).
TBitmap LoadFileRaster(const std::string& fileName);

} // namespace gz::ui
