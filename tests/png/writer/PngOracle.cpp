#include "PngOracle.h"

#include "support/LibpngOracle.h"

#include "platform/Streams.h"

#include <gtest/gtest.h>
#include <zlib.h>

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

Decoded DecodeWithLibpng(const Bytes& file)
{
    Decoded d;
    TLibpngDecodeOptions strict;
    strict.Lenient = false;
    TLibpngHeader header;
    DecodeWithLibpng(
        file, strict, header,
        [&](const TLibpngHeader& h, std::size_t) {
            d.rgba.assign(std::size_t(h.Width) * std::size_t(h.Height), 0);
            return reinterpret_cast<std::uint8_t*>(d.rgba.data());
        },
        d.error);
    d.width = header.Width, d.height = header.Height;
    d.bitDepth = header.BitDepth, d.colorType = header.ColorType;
    d.interlace = header.Interlaced ? 1 : 0;
    return d;
}

} // namespace gz::test
