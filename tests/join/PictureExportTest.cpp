// The export function shared by the desktop program and gazorin-cli, for what neither caller's
// own tests reach: rasters that are not 24 bits per pixel, and the grey option.

#include "join/PictureExport.h"

#include "platform/Bitmap.h"
#include "platform/Streams.h"
#include "png/KroPNG.h"
#include "support/Rasters.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <unistd.h>

using namespace gz;
namespace fs = std::filesystem;

namespace {

std::unique_ptr<TKroPNG> ReadPng(const fs::path& file)
{
    auto png = std::make_unique<TKroPNG>();
    png->LoadFromFile(file.string());
    return png;
}

} // namespace

TEST(PictureExport, PngIsWrittenAt24BitsFromACopyOfOtherRasters)
{
    const fs::path file = fs::temp_directory_path() / ("gz-export-" + std::to_string(::getpid()) + ".png");
    TBitmap palette(3, 2, pf8bit);
    palette.SetPalette({{10, 20, 30}, {200, 100, 0}});
    palette.ScanLine(1)[2] = 1;
    TBitmap expected(palette);
    expected.SetPixelFormat(pf24bit);

    ExportPicture(palette, TExportFormat::Png, file.string(), {});
    EXPECT_EQ(palette.PixelFormat(), pf8bit) << "the caller's raster is left as it was";
    const auto png = ReadPng(file);
    EXPECT_EQ(png->FileBits, 24);
    EXPECT_FALSE(png->GrayScale);
    EXPECT_EQ(test::FirstDifference(png->ImageBitmap(), expected), "");

    TPictureExportOptions grey;
    grey.grayScale = true;
    ExportPicture(expected, TExportFormat::Png, file.string(), grey);
    EXPECT_TRUE(ReadPng(file)->GrayScale);
    fs::remove(file);
}
