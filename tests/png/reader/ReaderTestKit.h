#pragma once
// Helpers of the reader tests: building PNG files chunk by chunk, and flattening what the
// reader produced (image, mask, transparent colour) into RGBA for comparisons.

#include "png/KroPNG.h"

#include "platform/Streams.h"

#include <zlib.h>

#include <cstdint>
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

namespace gz::test {

using TBytes = std::vector<std::uint8_t>;

inline TBytes ReadFileBytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return TBytes(std::istreambuf_iterator<char>(in), {});
}

inline TBytes Deflate(const TBytes& raw)
{
    uLongf size = compressBound(uLong(raw.size()));
    TBytes out(size);
    compress2(out.data(), &size, raw.data(), uLong(raw.size()), 6);
    out.resize(size);
    return out;
}

inline void PutU32(TBytes& v, std::uint32_t x)
{
    for (int s = 24; s >= 0; s -= 8)
        v.push_back(std::uint8_t(x >> s));
}

// A PNG file assembled chunk by chunk, with correct CRCs.
class TPngBuilder {
public:
    explicit TPngBuilder(bool signature = true)
    {
        if (signature)
            bytes_.assign(std::begin(png::kSignature), std::end(png::kSignature));
    }
    TPngBuilder& Chunk(const char* type, const TBytes& data)
    {
        PutU32(bytes_, std::uint32_t(data.size()));
        const std::size_t start = bytes_.size();
        bytes_.insert(bytes_.end(), type, type + 4);
        bytes_.insert(bytes_.end(), data.begin(), data.end());
        PutU32(bytes_, std::uint32_t(crc32(0, bytes_.data() + start, uInt(bytes_.size() - start))));
        return *this;
    }
    TPngBuilder& Header(std::uint32_t width, std::uint32_t height, int depth, int colorType, int interlace = 0,
                        int compression = 0, int filter = 0)
    {
        TBytes d;
        PutU32(d, width);
        PutU32(d, height);
        d.insert(d.end(), {std::uint8_t(depth), std::uint8_t(colorType), std::uint8_t(compression),
                           std::uint8_t(filter), std::uint8_t(interlace)});
        return Chunk("IHDR", d);
    }
    // Image data from raw rows that already carry their filter bytes.
    TPngBuilder& Data(const TBytes& rawRows) { return Chunk("IDAT", Deflate(rawRows)); }
    TPngBuilder& Text(const std::string& keyword, const std::string& text)
    {
        TBytes d(keyword.begin(), keyword.end());
        d.push_back(0);
        d.insert(d.end(), text.begin(), text.end());
        return Chunk("tEXt", d);
    }
    TPngBuilder& End() { return Chunk("IEND", {}); }
    TPngBuilder& Raw(const TBytes& more)
    {
        bytes_.insert(bytes_.end(), more.begin(), more.end());
        return *this;
    }
    const TBytes& Bytes() const { return bytes_; }

private:
    TBytes bytes_;
};

// A stream that is not a memory stream (so readers go through their buffer) and hands out
// its bytes in small uneven pieces.
class TPieceStream : public TStream {
public:
    explicit TPieceStream(TBytes bytes) : bytes_(std::move(bytes)) {}
    std::size_t Read(void* buffer, std::size_t count) override
    {
        const std::size_t n = std::min({count, std::size_t(7777), bytes_.size() - std::min(pos_, bytes_.size())});
        std::memcpy(buffer, bytes_.data() + pos_, n);
        pos_ += n;
        return n;
    }
    std::size_t Write(const void*, std::size_t) override { return 0; }
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override
    {
        const std::int64_t base = origin == soBeginning ? 0 : origin == soCurrent ? std::int64_t(pos_) : std::int64_t(bytes_.size());
        pos_ = std::size_t(base + offset);
        return std::int64_t(pos_);
    }

private:
    TBytes bytes_;
    std::size_t pos_ = 0;
};

// Loads PNG bytes into a fresh graphic from a memory stream.
inline void LoadBytes(TKroPNG& png, const TBytes& bytes)
{
    TMemoryViewStream stream(bytes.data(), bytes.size());
    png.LoadFromStream(stream);
}

// Palette index of pixel x of a palette-format row.
inline unsigned PaletteIndexAt(const std::uint8_t* row, int bits, int x)
{
    if (bits == 8)
        return row[x];
    if (bits == 4)
        return (x & 1) ? row[x >> 1] & 15u : unsigned(row[x >> 1] >> 4);
    return (row[x >> 3] >> (7 - (x & 7))) & 1u;
}

// The picture as RGBA: colours from the image, alpha 255 - mask where a mask was read, else
// 0 for pixels of the transparent colour (a palette index or a colour) and 255 otherwise.
inline TBytes FlattenRGBA(const TKroPNG& png)
{
    const TBitmap& image = png.ImageBitmap();
    const TBitmap& mask = png.AlphaBitmap();
    const int w = image.Width(), h = image.Height();
    const bool useMask = png.HasAlpha && mask.Width() == w && mask.Height() == h;
    const int bits = BitsPerPixel(image.PixelFormat());
    const TColor clear = image.TransparentColor();
    TBytes out(std::size_t(w) * std::size_t(h) * 4);
    TBytes bgr(std::size_t(w) * 3);
    for (int y = 0; y < h; ++y) {
        image.ReadRowBGR(y, bgr.data());
        const std::uint8_t* row = image.ScanLine(y);
        for (int x = 0; x < w; ++x) {
            std::uint8_t* px = &out[(std::size_t(y) * std::size_t(w) + std::size_t(x)) * 4];
            px[0] = bgr[3 * std::size_t(x) + 2];
            px[1] = bgr[3 * std::size_t(x) + 1];
            px[2] = bgr[3 * std::size_t(x)];
            std::uint8_t alpha = 255;
            if (useMask) {
                alpha = std::uint8_t(255 - mask.ScanLine(y)[x]);
            } else if (image.Transparent()) {
                const bool hit = png::IsPaletteIndexColor(clear)
                                     ? IsPaletteFormat(image.PixelFormat()) &&
                                           PaletteIndexAt(row, bits, x) == png::ColorIndex(clear)
                                     : RGBColor(px[0], px[1], px[2]) == clear;
                alpha = hit ? 0 : 255;
            }
            px[3] = alpha;
        }
    }
    return out;
}

} // namespace gz::test
