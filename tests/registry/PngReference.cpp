#include "PngReference.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <stdexcept>

namespace gz::test {

RgbaImage ReadPngReference(const std::filesystem::path& file)
{
    std::unique_ptr<FILE, int (*)(FILE*)> fp(std::fopen(file.c_str(), "rb"), &std::fclose);
    if (!fp)
        throw std::runtime_error("cannot open " + file.string());
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    RgbaImage image;
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        throw std::runtime_error("libpng cannot read " + file.string());
    }
    png_init_io(png, fp.get());
    png_read_png(png, info, PNG_TRANSFORM_EXPAND | PNG_TRANSFORM_STRIP_16 | PNG_TRANSFORM_GRAY_TO_RGB, nullptr);
    image.width = int(png_get_image_width(png, info));
    image.height = int(png_get_image_height(png, info));
    const int channels = png_get_channels(png, info);
    png_bytepp rows = png_get_rows(png, info);
    image.rgba.resize(std::size_t(image.width) * std::size_t(image.height) * 4);
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            std::uint8_t* d = &image.rgba[(std::size_t(y) * image.width + x) * 4];
            const png_byte* s = rows[y] + std::size_t(x) * channels;
            d[0] = s[0], d[1] = s[1], d[2] = s[2];
            d[3] = channels == 4 ? s[3] : 255;
        }
    png_destroy_read_struct(&png, &info, nullptr);
    return image;
}

namespace {

std::string Compare(const TBitmap& bitmap, const RgbaImage& ref, int tolerance, bool withAlpha)
{
    std::ostringstream out;
    if (bitmap.Width() != ref.width || bitmap.Height() != ref.height) {
        out << "size " << bitmap.Width() << "x" << bitmap.Height() << ", reference " << ref.width << "x"
            << ref.height;
        return out.str();
    }
    std::vector<std::uint8_t> bgr(std::size_t(ref.width) * 3);
    for (int y = 0; y < ref.height; ++y) {
        bitmap.ReadRowBGR(y, bgr.data());
        const std::uint8_t* row = bitmap.ScanLine(y);
        for (int x = 0; x < ref.width; ++x) {
            const std::uint8_t* r = &ref.rgba[(std::size_t(y) * ref.width + x) * 4];
            const std::uint8_t* b = &bgr[std::size_t(x) * 3];
            const int alpha = withAlpha ? row[4 * x + 3] : 255;
            const bool alphaOff = withAlpha && std::abs(alpha - r[3]) > tolerance;
            const bool colourOff = r[3] != 0 && (std::abs(b[2] - r[0]) > tolerance ||
                                                 std::abs(b[1] - r[1]) > tolerance || std::abs(b[0] - r[2]) > tolerance);
            if (alphaOff || colourOff) {
                out << "pixel (" << x << ", " << y << "): rgba " << int(b[2]) << "," << int(b[1]) << "," << int(b[0])
                    << "," << alpha << ", reference " << int(r[0]) << "," << int(r[1]) << "," << int(r[2]) << ","
                    << int(r[3]);
                return out.str();
            }
        }
    }
    return {};
}

} // namespace

std::string CompareWithReference(const TBitmap& bitmap, const RgbaImage& reference, int tolerance)
{
    return Compare(bitmap, reference, tolerance, false);
}

std::string CompareBGRAWithReference(const TBitmap& bgra, const RgbaImage& reference, int tolerance)
{
    if (bgra.PixelFormat() != pf32bit)
        return "not a 32-bit picture";
    return Compare(bgra, reference, tolerance, true);
}

} // namespace gz::test
