#include "LibpngOracle.h"

#include <png.h>

#include <csetjmp>
#include <cstring>

namespace gz::test {

namespace {

struct TReadSource {
    const std::vector<std::uint8_t>* bytes;
    std::size_t pos;
};

void ReadFromMemory(png_structp png, png_bytep out, png_size_t n)
{
    auto* src = static_cast<TReadSource*>(png_get_io_ptr(png));
    if (src->pos + n > src->bytes->size())
        png_error(png, "read past the end of the data");
    std::memcpy(out, src->bytes->data() + src->pos, n);
    src->pos += n;
}

void WriteToVector(png_structp png, png_bytep data, png_size_t n)
{
    auto* out = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + n);
}

void FlushNothing(png_structp) {}

void OnError(png_structp png, png_const_charp message)
{
    *static_cast<std::string*>(png_get_error_ptr(png)) = message;
    png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {}

// The reading steps, kept out of the function that calls setjmp so that no local of that
// function changes between setjmp and a longjmp. A longjmp skips destructors, so the row
// pointers belong to the caller.
[[gnu::noinline]] void ReadImage(png_structp png, png_infop info, const TLibpngDecodeOptions& options,
                                 TLibpngHeader& header, const TLibpngRowBuffer& buffer, std::vector<png_bytep>& rows)
{
    png_read_info(png, info);
    header.Width = int(png_get_image_width(png, info));
    header.Height = int(png_get_image_height(png, info));
    header.ColorType = png_get_color_type(png, info);
    header.BitDepth = png_get_bit_depth(png, info);
    header.Interlaced = png_get_interlace_type(png, info) != PNG_INTERLACE_NONE;
    if (options.ExpandToRgba) {
        png_set_expand(png);
        png_set_strip_16(png);
        png_set_gray_to_rgb(png);
        png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    }
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    const std::size_t rowBytes = png_get_rowbytes(png, info);
    std::uint8_t* pixels = buffer(header, rowBytes);
    rows.resize(std::size_t(header.Height));
    for (int y = 0; y < header.Height; ++y)
        rows[std::size_t(y)] = pixels + std::size_t(y) * rowBytes;
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
}

bool ReadGuarded(png_structp png, png_infop info, const TLibpngDecodeOptions& options, TLibpngHeader& header,
                 const TLibpngRowBuffer& buffer, std::vector<png_bytep>& rows)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    ReadImage(png, info, options, header, buffer, rows);
    return true;
}

[[gnu::noinline]] void WriteImage(png_structp png, png_infop info, int width, int height,
                                  const std::vector<std::uint8_t>& rgb, bool interlaced)
{
    png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), 8, PNG_COLOR_TYPE_RGB,
                 interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    const int passes = png_set_interlace_handling(png);
    for (int pass = 0; pass < passes; ++pass)
        for (int y = 0; y < height; ++y)
            png_write_row(png, rgb.data() + std::size_t(y) * std::size_t(width) * 3);
    png_write_end(png, info);
}

bool WriteGuarded(png_structp png, png_infop info, int width, int height, const std::vector<std::uint8_t>& rgb,
                  bool interlaced)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    WriteImage(png, info, width, height, rgb, interlaced);
    return true;
}

} // namespace

bool DecodeWithLibpng(const std::vector<std::uint8_t>& file, const TLibpngDecodeOptions& options,
                      TLibpngHeader& header, const TLibpngRowBuffer& buffer, std::string& error)
{
    header = TLibpngHeader{};
    error.clear();
    TReadSource source{&file, 0};
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &error, OnError, OnWarning);
    png_infop info = png_create_info_struct(png);
    png_set_read_fn(png, &source, ReadFromMemory);
    if (options.Lenient) {
        png_set_crc_action(png, PNG_CRC_QUIET_USE, PNG_CRC_QUIET_USE);
#ifdef PNG_IGNORE_ADLER32
        png_set_option(png, PNG_IGNORE_ADLER32, PNG_OPTION_ON);
#endif
        png_set_user_limits(png, 1 << 16, 1 << 16);
    }
    std::vector<png_bytep> rows;
    const bool read = ReadGuarded(png, info, options, header, buffer, rows);
    if (!read && error.empty())
        error = "libpng failed";
    png_destroy_read_struct(&png, &info, nullptr);
    return read;
}

std::vector<std::uint8_t> EncodeWithLibpng(int width, int height, const std::vector<std::uint8_t>& rgb, bool interlaced)
{
    std::vector<std::uint8_t> out;
    std::string error;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &error, OnError, OnWarning);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(png, &out, WriteToVector, FlushNothing);
    if (!WriteGuarded(png, info, width, height, rgb, interlaced))
        out.clear();
    png_destroy_write_struct(&png, &info);
    return out;
}

} // namespace gz::test
