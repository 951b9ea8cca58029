#include "ReferencePng.h"

#include <png.h>

#include <cstdlib>
#include <stdexcept>
#include <vector>

namespace gz::test {

TBitmap ReadReferencePng(const std::filesystem::path& file)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, file.c_str()))
        throw std::runtime_error("libpng cannot open " + file.string());
    image.format = PNG_FORMAT_RGB;
    std::vector<png_byte> pixels(PNG_IMAGE_SIZE(image));
    png_color white{255, 255, 255};
    if (!png_image_finish_read(&image, &white, pixels.data(), 0, nullptr))
        throw std::runtime_error("libpng cannot read " + file.string());
    TBitmap bitmap(int(image.width), int(image.height), pf24bit);
    for (int y = 0; y < bitmap.Height(); ++y) {
        const png_byte* in = pixels.data() + std::size_t(y) * image.width * 3;
        std::uint8_t* out = bitmap.ScanLine(y);
        for (int x = 0; x < bitmap.Width(); ++x)
            out[3 * x] = in[3 * x + 2], out[3 * x + 1] = in[3 * x + 1], out[3 * x + 2] = in[3 * x];
    }
    return bitmap;
}

namespace {

// Mean colours (blue, green, red) of the blocks of a raster, row by row.
std::vector<double> BlockMeans(const TBitmap& bitmap, int block)
{
    const int bw = (bitmap.Width() + block - 1) / block, bh = (bitmap.Height() + block - 1) / block;
    std::vector<double> sums(std::size_t(bw) * bh * 3), counts(std::size_t(bw) * bh);
    std::vector<std::uint8_t> row(std::size_t(bitmap.Width()) * 3);
    for (int y = 0; y < bitmap.Height(); ++y) {
        bitmap.ReadRowBGR(y, row.data());
        for (int x = 0; x < bitmap.Width(); ++x) {
            const std::size_t cell = std::size_t(y / block) * bw + std::size_t(x / block);
            for (int c = 0; c < 3; ++c)
                sums[cell * 3 + c] += row[std::size_t(x) * 3 + c];
            counts[cell] += 1;
        }
    }
    for (std::size_t i = 0; i < sums.size(); ++i)
        sums[i] /= counts[i / 3];
    return sums;
}

} // namespace

double ShareOfMatchingInk(const TBitmap& picture, const TBitmap& reference, int block, int tolerance)
{
    if (picture.Width() != reference.Width() || picture.Height() != reference.Height())
        return 0;
    const std::vector<double> a = BlockMeans(picture, block), b = BlockMeans(reference, block);
    std::size_t inked = 0, matching = 0;
    for (std::size_t i = 0; i < a.size(); i += 3) {
        bool ink = false, match = true;
        for (int c = 0; c < 3; ++c) {
            ink = ink || a[i + c] < 235 || b[i + c] < 235;
            match = match && std::abs(a[i + c] - b[i + c]) <= tolerance;
        }
        inked += ink;
        matching += ink && match;
    }
    return inked ? double(matching) / double(inked) : 1.0;
}

} // namespace gz::test
