#include "join/FileRaster.h"

#include "jpeg/JPEGImage.h"
#include "platform/Canvas.h"
#include "platform/Icon.h"
#include "png/KroPNG.h"
#include "registry/PictureFormats.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <functional>
#include <memory>

namespace gz::ui {

namespace {

TBitmap DrawnOnWhite(const TGraphic& picture)
{
    TBitmap raster(picture.Width(), picture.Height(), pf24bit);
    raster.Canvas().Draw(0, 0, picture);
    return raster;
}

TBitmap ReadBitmap(const std::string& fileName)
{
    TBitmap raster;
    raster.LoadFromFile(fileName);
    return raster;
}

template <class TPicture>
TBitmap ReadAndCopy(const std::string& fileName)
{
    TPicture picture;
    picture.LoadFromFile(fileName);
    TBitmap raster;
    raster.Assign(picture);
    return raster;
}

TBitmap ReadIcon(const std::string& fileName)
{
    TIcon icon;
    icon.LoadFromFile(fileName);
    return DrawnOnWhite(icon);
}

TBitmap ReadByExtension(const std::string& fileName) { return DrawnOnWhite(*LoadPictureByExtension(fileName)); }

struct TExtensionRow {
    const char* extension;
    TBitmap (*read)(const std::string&);
};

constexpr std::array<TExtensionRow, 6> builtIn{{
    {".BMP", &ReadBitmap},
    {".PNG", &ReadAndCopy<TKroPNG>},
    {".JPG", &ReadAndCopy<TJPEGImage>},
    {".WMF", &ReadByExtension},
    {".EMF", &ReadByExtension},
    {".ICO", &ReadIcon},
}};

} // namespace

std::string UpperFileExtension(const std::string& fileName)
{
    const std::size_t slash = fileName.find_last_of('/');
    const std::size_t dot = fileName.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return {};
    std::string ext = fileName.substr(dot);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::toupper(c)); });
    return ext;
}

namespace {

const TExtensionRow* FindRow(const std::string& fileName)
{
    const std::string ext = UpperFileExtension(fileName);
    const auto row = std::find_if(builtIn.begin(), builtIn.end(), [&](const TExtensionRow& r) { return ext == r.extension; });
    return row == builtIn.end() ? nullptr : &*row;
}

} // namespace

TBitmap LoadFileRaster(const std::string& fileName)
{
    const TExtensionRow* row = FindRow(fileName);
    return row ? row->read(fileName) : ReadByExtension(fileName);
}

} // namespace gz::ui
