#pragma once
// libpng as an outside oracle for the PNG tests and benchmarks: decoding PNG bytes from memory
// and encoding 8-bit RGB rows into memory. Errors never leave libpng as exceptions; they come
// back as a message.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace gz::test {

struct TLibpngHeader {
    int Width = 0, Height = 0;
    int ColorType = 0, BitDepth = 0;
    bool Interlaced = false;
};

struct TLibpngDecodeOptions {
    // Expand to 8-bit RGBA (16-bit samples by their high byte, palettes and low grey depths
    // expanded, tRNS as alpha 0); otherwise the rows stay as stored in the file.
    bool ExpandToRgba = true;
    // Ignore CRC and Adler-32 mismatches the way our reader does, and refuse sizes above 65536.
    bool Lenient = true;
};

// Asked once the header is known for a buffer of Height rows of rowBytes each.
using TLibpngRowBuffer = std::function<std::uint8_t*(const TLibpngHeader& header, std::size_t rowBytes)>;

// Decodes file into the rows that buffer provides. False, with error set to libpng's message,
// when libpng refuses the file (header may then be filled, the rows partly).
bool DecodeWithLibpng(const std::vector<std::uint8_t>& file, const TLibpngDecodeOptions& options,
                      TLibpngHeader& header, const TLibpngRowBuffer& buffer, std::string& error);

// Encodes 8-bit RGB rows with libpng's default filters and compression; empty on failure.
std::vector<std::uint8_t> EncodeWithLibpng(int width, int height, const std::vector<std::uint8_t>& rgb, bool interlaced);

} // namespace gz::test
