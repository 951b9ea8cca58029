#pragma once
// Test helpers for the PNG writer: running a write into memory, splitting the file into
// chunks (checking every CRC), inflating the image data, and decoding with libpng.

#include "platform/Bitmap.h"
#include "png/PngWriter.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace gz::test {

using Bytes = std::vector<std::uint8_t>;

struct Chunk {
    std::string type;
    Bytes data;
};

// Writes bitmap with a writer configured by setup (the clock is fixed to 2024-02-29 13:45:07).
Bytes WritePng(const TBitmap& bitmap, const std::function<void(TKroPNGWriteStream&)>& setup = {});
// Chunks of a PNG file after its signature; records a test failure for a bad signature or CRC.
std::vector<Chunk> ParseChunks(const Bytes& file);
std::vector<std::string> ChunkTypes(const std::vector<Chunk>& chunks);
const Chunk* FindChunk(const std::vector<Chunk>& chunks, const std::string& type);
// The inflated concatenation of all IDAT chunks (filter bytes included).
Bytes InflateImageData(const std::vector<Chunk>& chunks);
std::uint32_t BigEndian32(const std::uint8_t* p);

// What libpng makes of a file, expanded to 8-bit RGBA.
struct Decoded {
    int width = 0, height = 0, bitDepth = 0, colorType = 0, interlace = 0;
    std::vector<std::uint32_t> rgba; // 0xAABBGGRR per pixel, rows top first
    std::string error;               // non-empty when libpng rejected the file
    std::uint32_t At(int x, int y) const { return rgba[std::size_t(y) * width + x]; }
};
Decoded DecodeWithLibpng(const Bytes& file);

inline constexpr TKroPNGTime kFixedTime{2024, 2, 29, 13, 45, 7};

} // namespace gz::test
