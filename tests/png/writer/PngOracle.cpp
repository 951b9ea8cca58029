#include "PngOracle.h"

#include "platform/Streams.h"

#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <csetjmp>
#include <cstring>

namespace gz::test {

Bytes WritePng(const TBitmap& bitmap, const std::function<void(TKroPNGWriteStream&)>& setup)
{
    TKroPNGWriteStream writer;
    writer.SetClock([] { return kFixedTime; });
    if (setup)
        setup(writer);
    TMemoryStream out;
    writer.WriteBitmap(bitmap, out);
    return Bytes(out.Memory(), out.Memory() + out.Size());
}

std::uint32_t BigEndian32(const std::uint8_t* p)
{
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) | p[3];
}

std::vector<Chunk> ParseChunks(const Bytes& file)
{
    static const std::uint8_t signature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    std::vector<Chunk> chunks;
    if (file.size() < 8 || std::memcmp(file.data(), signature, 8) != 0) {
        ADD_FAILURE() << "no PNG signature";
        return chunks;
    }
    std::size_t pos = 8;
    while (pos + 12 <= file.size()) {
        const std::uint32_t length = BigEndian32(&file[pos]);
        if (pos + 12 + length > file.size()) {
            ADD_FAILURE() << "chunk at " << pos << " runs past the end";
            break;
        }
        const std::uint8_t* type = &file[pos + 4];
        const std::uint32_t crc = std::uint32_t(crc32(0L, type, 4 + length));
        EXPECT_EQ(crc, BigEndian32(type + 4 + length)) << "CRC of chunk at " << pos;
        chunks.push_back({std::string(type, type + 4), Bytes(type + 4, type + 4 + length)});
        pos += 12 + length;
    }
    EXPECT_EQ(pos, file.size()) << "bytes after the last chunk";
    return chunks;
}

std::vector<std::string> ChunkTypes(const std::vector<Chunk>& chunks)
{
    std::vector<std::string> types;
    for (const Chunk& c : chunks)
        if (types.empty() || c.type != "IDAT" || types.back() != "IDAT")
            types.push_back(c.type);
    return types;
}

const Chunk* FindChunk(const std::vector<Chunk>& chunks, const std::string& type)
{
    for (const Chunk& c : chunks)
        if (c.type == type)
            return &c;
    return nullptr;
}

Bytes InflateImageData(const std::vector<Chunk>& chunks)
{
    Bytes compressed;
    for (const Chunk& c : chunks)
        if (c.type == "IDAT")
            compressed.insert(compressed.end(), c.data.begin(), c.data.end());
    Bytes out(1 << 16);
    z_stream z{};
    inflateInit(&z);
    z.next_in = compressed.data();
    z.avail_in = uInt(compressed.size());
    std::size_t produced = 0;
    int rc = Z_OK;
    while (rc == Z_OK) {
        if (produced == out.size())
            out.resize(out.size() * 2);
        z.next_out = out.data() + produced;
        z.avail_out = uInt(out.size() - produced);
        rc = inflate(&z, Z_NO_FLUSH);
        produced = out.size() - z.avail_out;
    }
    EXPECT_EQ(rc, Z_STREAM_END) << "image data is not one complete zlib stream";
    EXPECT_EQ(z.avail_in, 0u) << "bytes after the zlib stream";
    inflateEnd(&z);
    out.resize(produced);
    return out;
}

namespace {

struct ReadSource {
    const Bytes* file;
    std::size_t pos;
};

void ReadFromMemory(png_structp png, png_bytep data, png_size_t length)
{
    auto* src = static_cast<ReadSource*>(png_get_io_ptr(png));
    if (src->pos + length > src->file->size())
        png_error(png, "read past the end");
    std::memcpy(data, src->file->data() + src->pos, length);
    src->pos += length;
}

void OnError(png_structp png, png_const_charp message)
{
    *static_cast<std::string*>(png_get_error_ptr(png)) = message;
    longjmp(png_jmpbuf(png), 1);
}

void OnWarning(png_structp, png_const_charp) {}

// The reading steps, kept out of the function that calls setjmp so that no local of that
// function changes between setjmp and a longjmp.
[[gnu::noinline]] void ReadImage(png_structp png, png_infop info, Decoded& d)
{
    png_read_info(png, info);
    d.width = int(png_get_image_width(png, info));
    d.height = int(png_get_image_height(png, info));
    d.bitDepth = png_get_bit_depth(png, info);
    d.colorType = png_get_color_type(png, info);
    d.interlace = png_get_interlace_type(png, info);
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    d.rgba.assign(std::size_t(d.width) * d.height, 0);
    std::vector<png_bytep> rows;
    for (int y = 0; y < d.height; ++y)
        rows.push_back(reinterpret_cast<png_bytep>(&d.rgba[std::size_t(y) * d.width]));
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
}

bool ReadGuarded(png_structp png, png_infop info, Decoded& d)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    ReadImage(png, info, d);
    return true;
}

} // namespace

Decoded DecodeWithLibpng(const Bytes& file)
{
    Decoded d;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &d.error, OnError, OnWarning);
    png_infop info = png_create_info_struct(png);
    ReadSource source{&file, 0};
    png_set_read_fn(png, &source, ReadFromMemory);
    if (!ReadGuarded(png, info, d) && d.error.empty())
        d.error = "libpng failed";
    png_destroy_read_struct(&png, &info, nullptr);
    return d;
}

} // namespace gz::test
