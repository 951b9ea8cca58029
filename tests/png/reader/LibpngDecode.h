#pragma once
// libpng as an outside oracle for the reader: decodes PNG bytes to 8-bit RGBA (16-bit samples
// by their high byte, palettes and low grey depths expanded, tRNS as alpha 0), ignoring CRC
// and Adler-32 checks the way our reader does.

#include "support/LibpngOracle.h"

#include <cstdint>
#include <string>
#include <vector>

namespace gz::test {

// The header fields (Width, Height, ColorType, BitDepth, Interlaced) and the pixels.
struct TOracleImage : TLibpngHeader {
    std::vector<std::uint8_t> Rgba; // Width * Height * 4
    std::string Error;               // libpng's message when it refused the file
};

// False (with Error set) when libpng refuses the file.
inline bool DecodeWithLibpng(const std::vector<std::uint8_t>& file, TOracleImage& out)
{
    out = TOracleImage{};
    return DecodeWithLibpng(
        file, TLibpngDecodeOptions{}, out,
        [&](const TLibpngHeader& header, std::size_t rowBytes) {
            out.Rgba.assign(rowBytes * std::size_t(header.Height), 0);
            return out.Rgba.data();
        },
        out.Error);
}

} // namespace gz::test
