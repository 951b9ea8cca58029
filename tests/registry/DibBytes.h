#pragma once
// Builders of bitmap-file and icon bytes for the reader tests, written field by field the
// way other programs lay them out.

#include <cstdint>
#include <functional>
#include <vector>

namespace gz::test {

using Bytes = std::vector<std::uint8_t>;

inline void Put16(Bytes& b, unsigned v)
{
    b.push_back(std::uint8_t(v));
    b.push_back(std::uint8_t(v >> 8));
}
inline void Put32(Bytes& b, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b.push_back(std::uint8_t(v >> (8 * i)));
}
inline void Set32(Bytes& b, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = std::uint8_t(v >> (8 * i));
}

struct DibLayout {
    int width = 1, height = 1; // negative height: top row first
    unsigned bitCount = 24;
    std::uint32_t compression = 0;
    std::uint32_t clrUsed = 0;
    std::vector<std::uint32_t> table;  // colour table entries as 0x00RRGGBB
    std::vector<std::uint32_t> masks;  // written after the header (3 or 4)
    std::uint16_t planes = 1;
    // Pixel bytes of file row r (in file order), padded here to 4 bytes.
    std::function<Bytes(int r)> row;
    Bytes rawBits; // used instead of rows when row is empty (compressed data)
};

// Info header (40 bytes), masks, colour table and pixels.
inline Bytes MakeDib(const DibLayout& s)
{
    Bytes b;
    Put32(b, 40);
    Put32(b, std::uint32_t(s.width));
    Put32(b, std::uint32_t(s.height));
    Put16(b, s.planes);
    Put16(b, s.bitCount);
    Put32(b, s.compression);
    Put32(b, 0);
    Put32(b, 2835);
    Put32(b, 2835);
    Put32(b, s.clrUsed);
    Put32(b, 0);
    for (auto m : s.masks)
        Put32(b, m);
    for (auto c : s.table)
        Put32(b, c);
    if (!s.row) {
        b.insert(b.end(), s.rawBits.begin(), s.rawBits.end());
        return b;
    }
    const int rows = s.height < 0 ? -s.height : s.height;
    for (int r = 0; r < rows; ++r) {
        Bytes bytes = s.row(r);
        while (bytes.size() % 4)
            bytes.push_back(0);
        b.insert(b.end(), bytes.begin(), bytes.end());
    }
    return b;
}

// A bitmap file: file header with the pixel offset, then the DIB.
inline Bytes MakeBmpFile(const DibLayout& s)
{
    const Bytes dib = MakeDib(s);
    Bytes b = {'B', 'M'};
    const std::size_t bitsOffset = 14 + 40 + 4 * (s.masks.size() + s.table.size());
    Put32(b, std::uint32_t(14 + dib.size()));
    Put32(b, 0);
    Put32(b, std::uint32_t(bitsOffset));
    b.insert(b.end(), dib.begin(), dib.end());
    return b;
}

} // namespace gz::test
