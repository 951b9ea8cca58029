#pragma once
// Formats and output of gazorin-cli, as the desktop program registers and exports them.

#include <string>

namespace gz {
class TBitmap;
}

namespace gz::cli {

// Registers the picture formats in the program's start-up order (PNG, the JPEG names, the
// plug-in formats); Unregister undoes it.
void RegisterCliFormats();
// Starts what metafile text needs (a windowless GUI application); only metafiles want it.
void StartMetafileText();
void UnregisterCliFormats();

// Writes the raster as the export commands do: kind "png" through TKroPNG (24 bits, optional
// Adam7), kind "jpeg" through TJPEGImage (quality, optional progression). The file is replaced
// only once the encoder has succeeded.
void ExportPicture(const TBitmap& raster, const std::string& fileName, const std::string& kind, int quality,
                   bool progressive, bool interlace);

} // namespace gz::cli
