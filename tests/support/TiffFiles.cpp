#include "support/TiffFiles.h"

#include <gtest/gtest.h>
#include <tiffio.h>

#include <cstdint>
#include <vector>

namespace gz::test {

void WriteRgbTiff(const std::string& path, int width, int height, int pages,
                  const std::function<TColor(int x, int y, int page)>& colour)
{
    TIFF* tif = TIFFOpen(path.c_str(), "w");
    ASSERT_NE(tif, nullptr);
    for (int page = 0; page < pages; ++page) {
        TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, std::uint32_t(width));
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, std::uint32_t(height));
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
        TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
        TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 7);
        std::vector<std::uint8_t> row(std::size_t(width) * 3);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const TColor c = colour(x, y, page);
                row[3 * std::size_t(x)] = ColorRed(c);
                row[3 * std::size_t(x) + 1] = ColorGreen(c);
                row[3 * std::size_t(x) + 2] = ColorBlue(c);
            }
            if (TIFFWriteScanline(tif, row.data(), std::uint32_t(y), 0) != 1) {
                TIFFClose(tif);
                FAIL() << "cannot write row " << y << " of " << path;
            }
        }
        TIFFWriteDirectory(tif);
    }
    TIFFClose(tif);
}

} // namespace gz::test
