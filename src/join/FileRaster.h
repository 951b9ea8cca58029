#pragma once
// The first step of load-and-join for a file: the picture as a plain raster, read by the
// reader its upper-cased extension names.

#include "join/PictureRaster.h"
#include "platform/Bitmap.h"

#include <string>

namespace gz::ui {

// Reads the file as a raster with the reader its extension names: ".BMP" the bitmap reader,
// ".PNG" TKroPNG, ".JPG" TJPEGImage, ".ICO" the icon reader, and the registry's by-extension
// loader for ".WMF", ".EMF" and everything else. Pictures that are not bitmaps are drawn at
// (0, 0) on a white raster of their size; transparent parts end up white, colours in sRGB and
// photos upright (MakePictureRaster). Every failure is raised with the reader's message.
TBitmap LoadFileRaster(const std::string& fileName, const TRasterOptions& options = {});
// The same with the picture's opacity beside the raster.
TPictureRaster LoadFilePicture(const std::string& fileName, const TRasterOptions& options = {});
// Whether the file is read without the registry (".BMP", ".PNG", ".JPG", ".ICO"), so that
// neither the plug-ins nor any other registered format can have a say in it.
bool ReadsWithoutRegistry(const std::string& fileName);

} // namespace gz::ui
