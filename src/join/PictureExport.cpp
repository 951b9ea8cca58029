// Writing a raster as PNG or JPEG.
#include "join/PictureExport.h"

#include "jpeg/JPEGCodec.h"
#include "jpeg/JPEGImage.h"
#include "platform/Bitmap.h"
#include "platform/SafeFile.h"
#include "png/KroPNG.h"

namespace gz {

namespace {

void SetUpPng(TKroPNG& png, const TPictureExportOptions& options)
{
    png.GrayScale = options.grayScale;
    png.Interlace = options.interlace ? 1 : 0;
}

TJPEGEncodeOptions JpegOptions(const TPictureExportOptions& options)
{
    // What TJPEGImage encodes with when the export sets its quality and progression.
    TJPEGEncodeOptions o;
    o.Quality = options.quality;
    o.Progressive = options.progressive;
    o.GrayScale = JPEGDefaults().GrayScale;
    return o;
}

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
    SetUpPng(png, options);
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

void ExportRows(int width, int height, const std::function<const std::uint8_t*(int y)>& rows, TExportFormat format,
                const std::string& fileName, const TPictureExportOptions& options,
                const std::function<void()>& beforeCommit)
{
    WriteFileAtomically(fileName, [&](TStream& stream) {
        if (format == TExportFormat::Png) {
            TKroPNG png;
            SetUpPng(png, options);
            png.SaveRowsToStream(width, height, rows, stream);
        } else if (width > 0 && height > 0) {
            TJPEGRowEncoder encoder(stream, width, height, JpegOptions(options));
            for (int y = 0; y < height; ++y) {
                const std::uint8_t* row = rows(y);
                encoder.WriteRows(&row, 1);
            }
            encoder.Finish();
        }
        if (beforeCommit)
            beforeCommit();
    });
}

} // namespace gz
