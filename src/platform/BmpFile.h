#pragma once
// Bitmap (BMP) files: the reader and writer behind TBitmap::LoadFromStream and SaveToStream,
// and the decoder of device-independent bitmaps held in memory that icons share.

#include "platform/Types.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace gz {

class TStream;
class TBitmap;

// Reads a bitmap file from the stream's position; raises EInvalidGraphic on bad data.
void ReadBitmapFile(TStream& stream, TBitmap& bitmap);
// Writes the bitmap as a bitmap file in its own pixel format.
void WriteBitmapFile(TStream& stream, const TBitmap& bitmap);

// Reads a bitmap file image held in memory, from its "BM" (or "BA" array) header on.
// Returns the number of bytes the image occupies.
std::size_t ReadBitmapFileImage(const std::uint8_t* data, std::size_t size, TBitmap& bitmap);

// Largest image an icon file may hold (width x height); larger ones are refused.
constexpr std::uint64_t MaxDibPixels = std::uint64_t(1) << 28;

struct TDibOptions {
    // Where the info header starts in the buffer.
    std::size_t headerOffset = 0;
    // Where the pixels start in the buffer; 0: right after the colour table. An offset that
    // points into the headers is ignored.
    std::size_t bitsOffset = 0;
    // Icon images: the header's height counts the colour rows and the mask rows, and the
    // planes field is not checked.
    bool iconImage = false;
};

struct TDibResult {
    // The offset just past the pixel data in the buffer (for icons: where the mask begins).
    std::size_t bitsEnd = 0;
    // The colour rows are stored top row first.
    bool topDown = false;
    // Bits per pixel the file declares.
    int bitCount = 0;
};

// What the headers of a device-independent bitmap say about its pixels.
struct TDibLayout {
    int width = 0, height = 0;
    bool topDown = false;
    bool compressed = false;  // RLE: the pixels can only be decoded as a whole
    bool rle4 = false;
    int bitCount = 0;
    std::uint64_t bitsStart = 0; // offset of the pixel data
    std::uint64_t stride = 0;    // bytes of one stored row (uncompressed)
    TPixelFormat format = pf24bit; // format of the decoded rows
    std::vector<TPaletteEntry> palette;
    std::array<std::uint32_t, 4> masks{}; // red, green, blue, alpha
    bool fields = false;      // pixels go through the colour masks
    bool expand2 = false;     // 2-bit pixels widened to 4 bits
};

// Reads and checks the headers, masks and colour table of a bitmap image that is size bytes
// long. Only the first kDibHeadBytes (or all size bytes, when fewer) need to be in data. The
// rows an uncompressed image claims must fit into size. Raises EInvalidGraphic with the reason.
constexpr std::size_t kDibHeadBytes = 4096;
TDibLayout ParseDibLayout(const std::uint8_t* data, std::size_t size, const TDibOptions& options);
// Decodes one stored row of an uncompressed image into a row of layout.format.
void DecodeDibRow(const TDibLayout& layout, const std::uint8_t* src, std::uint8_t* dst);
// The options for a bitmap file image (its "BM" file header, or a one-bitmap "BA" array).
TDibOptions BitmapFileOptions(const std::uint8_t* data, std::size_t size);

// Decodes the info header, colour masks, colour table and pixels of a device-independent
// bitmap into bitmap, keeping the file's depth and colour table where the bitmap has a
// matching format. 32-bit results carry the file's fourth byte (alpha where it has one).
// Raises EInvalidGraphic with the reason on anything the buffer does not hold.
TDibResult DecodeDib(const std::uint8_t* data, std::size_t size, const TDibOptions& options, TBitmap& bitmap);

} // namespace gz
