// Writing a raster as PNG or JPEG.
#include "join/PictureExport.h"

#include "jpeg/JPEGImage.h"
#include "platform/Bitmap.h"
#include "platform/SafeFile.h"
#include "png/KroPNG.h"

namespace gz {

namespace {

void ExportPng(const TBitmap& raster, const std::string& fileName, const TPictureExportOptions& options)
{
    TKroPNG png;
    if (raster.PixelFormat() == pf24bit) {
        png.Assign(raster);
    } else {
        TBitmap picture(raster);
        picture.SetPixelFormat(pf24bit);
        png.Assign(picture);
    }
    png.GrayScale = options.grayScale;
    png.Interlace = options.interlace ? 1 : 0;
    WriteFileAtomically(fileName, [&](TStream& stream) { png.SaveToStream(stream); });
}

void ExportJpeg(const TBitmap& raster, const std::string& fileName, const TPictureExportOptions& options)
{
    TJPEGImage jpeg;
    jpeg.Assign(raster);
    jpeg.SetQuality(options.quality);
    jpeg.SetProgressive(options.progressive);
    WriteFileAtomically(fileName, [&](TStream& stream) { jpeg.SaveToStream(stream); });
}

} // namespace

void ExportPicture(const TBitmap& raster, TExportFormat format, const std::string& fileName,
                   const TPictureExportOptions& options)
{
    if (format == TExportFormat::Png)
        ExportPng(raster, fileName, options);
    else
        ExportJpeg(raster, fileName, options);
}

} // namespace gz
