#include "LibpngDecode.h"

#include <png.h>

#include <algorithm>
#include <cstring>

namespace gz::test {

namespace {

// Everything that changes after setjmp lives here, behind a pointer libpng holds.
struct TSource {
    const std::vector<std::uint8_t>* bytes;
    std::size_t pos;
    std::vector<png_bytep> rows;
};

void ReadFromMemory(png_structp png, png_bytep out, png_size_t n)
{
    auto* src = static_cast<TSource*>(png_get_io_ptr(png));
    if (src->pos + n > src->bytes->size())
        png_error(png, "read past the end of the data");
    std::memcpy(out, src->bytes->data() + src->pos, n);
    src->pos += n;
}

void OnError(png_structp png, png_const_charp message)
{
    static_cast<TOracleImage*>(png_get_error_ptr(png))->Error = message;
    png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {}

void WriteToVector(png_structp png, png_bytep data, png_size_t n)
{
    auto* out = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + n);
}

void FlushNothing(png_structp) {}

} // namespace

bool DecodeWithLibpng(const std::vector<std::uint8_t>& file, TOracleImage& out)
{
    out = TOracleImage{};
    TSource source{&file, 0, {}};
    auto& rows = source.rows;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &out, OnError, OnWarning);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    png_set_read_fn(png, &source, ReadFromMemory);
    png_set_crc_action(png, PNG_CRC_QUIET_USE, PNG_CRC_QUIET_USE);
#ifdef PNG_IGNORE_ADLER32
    png_set_option(png, PNG_IGNORE_ADLER32, PNG_OPTION_ON);
#endif
    png_set_user_limits(png, 1 << 16, 1 << 16);
    png_read_info(png, info);
    out.Width = int(png_get_image_width(png, info));
    out.Height = int(png_get_image_height(png, info));
    out.ColorType = png_get_color_type(png, info);
    out.BitDepth = png_get_bit_depth(png, info);
    out.Interlaced = png_get_interlace_type(png, info) != PNG_INTERLACE_NONE;
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    out.Rgba.assign(std::size_t(out.Width) * std::size_t(out.Height) * 4, 0);
    rows.resize(std::size_t(out.Height));
    for (int y = 0; y < out.Height; ++y)
        rows[std::size_t(y)] = out.Rgba.data() + std::size_t(y) * std::size_t(out.Width) * 4;
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

std::vector<std::uint8_t> EncodeWithLibpng(int width, int height, const std::vector<std::uint8_t>& rgb, bool interlaced)
{
    std::vector<std::uint8_t> out;
    TOracleImage errors;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &errors, OnError, OnWarning);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return {};
    }
    png_set_write_fn(png, &out, WriteToVector, FlushNothing);
    png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), 8, PNG_COLOR_TYPE_RGB,
                 interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    const int passes = png_set_interlace_handling(png);
    for (int pass = 0; pass < passes; ++pass)
        for (int y = 0; y < height; ++y)
            png_write_row(png, rgb.data() + std::size_t(y) * std::size_t(width) * 3);
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

} // namespace gz::test
