#pragma once
// Writing a raster as PNG or JPEG, the way the export commands of the desktop program and
// gazorin-cli do it.

#include <cstdint>
#include <functional>
#include <string>

namespace gz {

class TBitmap;

enum class TExportFormat { Jpeg, Png };

struct TPictureExportOptions {
    int quality = 83;         // JPEG quality 1..100
    bool progressive = false; // JPEG: simple progression
    bool interlace = false;   // PNG: Adam7
    bool grayScale = false;   // PNG: written grey
};

// Writes the raster to fileName through a temporary file beside it, so that an existing file
// is replaced only once the encoder has succeeded. PNG files are written from the raster
// at 24 bits per pixel (a raster of another depth is converted in a copy).
void ExportPicture(const TBitmap& raster, TExportFormat format, const std::string& fileName,
                   const TPictureExportOptions& options);

// The same for a 24-bit picture whose rows come from rows(y), asked for top to bottom, once
// each (in any order for an interlaced PNG). The bytes are those ExportPicture writes for a
// raster of these rows. beforeCommit runs once the file is complete, before it replaces the
// old one; what it raises abandons the file.
void ExportRows(int width, int height, const std::function<const std::uint8_t*(int y)>& rows, TExportFormat format,
                const std::string& fileName, const TPictureExportOptions& options,
                const std::function<void()>& beforeCommit = {});

} // namespace gz
