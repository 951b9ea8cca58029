#pragma once
// libpng as an outside oracle: decodes PNG bytes to 8-bit RGBA (16-bit samples by their high
// byte, palettes and low grey depths expanded, tRNS as alpha 0), ignoring CRC and Adler-32
// checks the way our reader does.

#include <cstdint>
#include <string>
#include <vector>

namespace gz::test {

struct TOracleImage {
    int Width = 0, Height = 0;
    int ColorType = 0, BitDepth = 0;
    bool Interlaced = false;
    std::vector<std::uint8_t> Rgba; // Width * Height * 4
    std::string Error;               // libpng's message when it refused the file
};

// False (with Error set) when libpng refuses the file.
bool DecodeWithLibpng(const std::vector<std::uint8_t>& file, TOracleImage& out);

// Encodes 8-bit RGB rows with libpng's default filters and compression.
std::vector<std::uint8_t> EncodeWithLibpng(int width, int height, const std::vector<std::uint8_t>& rgb, bool interlaced);

} // namespace gz::test
