#include "join/FileRaster.h"

#include "jpeg/JPEGImage.h"
#include "platform/Canvas.h"
#include "platform/FileExtension.h"
#include "platform/Icon.h"
#include "png/KroPNG.h"
#include "registry/PictureFormats.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <memory>

namespace gz::ui {

namespace {

TPictureRaster ReadBitmap(const std::string& fileName, const TRasterOptions&)
{
    TPictureRaster raster;
    raster.Colour.LoadFromFile(fileName);
    return raster;
}

template <class TPicture>
TPictureRaster ReadAndConvert(const std::string& fileName, const TRasterOptions& options)
{
    TPicture picture;
    picture.LoadFromFile(fileName);
    return MakePictureRaster(picture, options);
}

TPictureRaster ReadIcon(const std::string& fileName, const TRasterOptions& options)
{
    TIcon icon;
    icon.LoadFromFile(fileName);
    return MakePictureRaster(icon, options); // drawn on white, so transparent parts stay white
}

TPictureRaster ReadByExtension(const std::string& fileName, const TRasterOptions& options)
{
    return MakePictureRaster(*LoadPictureByExtension(fileName), options);
}

struct TExtensionRow {
    const char* extension;
    TPictureRaster (*read)(const std::string&, const TRasterOptions&);
};

constexpr std::array<TExtensionRow, 6> builtIn{{
    {".BMP", &ReadBitmap},
    {".PNG", &ReadAndConvert<TKroPNG>},
    {".JPG", &ReadAndConvert<TJPEGImage>},
    {".WMF", &ReadByExtension},
    {".EMF", &ReadByExtension},
    {".ICO", &ReadIcon},
}};

const TExtensionRow* FindRow(const std::string& fileName)
{
    const std::string ext = UpperFileExtension(fileName);
    const auto row = std::find_if(builtIn.begin(), builtIn.end(), [&](const TExtensionRow& r) { return ext == r.extension; });
    return row == builtIn.end() ? nullptr : &*row;
}

} // namespace

TPictureRaster LoadFilePicture(const std::string& fileName, const TRasterOptions& options)
{
    const TExtensionRow* row = FindRow(fileName);
    return row ? row->read(fileName, options) : ReadByExtension(fileName, options);
}

bool ReadsWithoutRegistry(const std::string& fileName)
{
    const TExtensionRow* row = FindRow(fileName);
    return row && row->read != &ReadByExtension;
}

TBitmap LoadFileRaster(const std::string& fileName, const TRasterOptions& options)
{
    return LoadFilePicture(fileName, options).Colour;
}

} // namespace gz::ui
