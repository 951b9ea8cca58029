#pragma once
// Palette indexes packed into bytes, as bitmaps and PNG rows hold them at 1, 2 or 4 bits a
// pixel: the leftmost pixel in the highest bits of its byte.

#include <cstddef>
#include <cstdint>

namespace gz {

// The index of pixel x of a packed row.
template <unsigned Bits>
inline unsigned PackedIndex(const std::uint8_t* row, std::size_t x)
{
    static_assert(Bits == 1 || Bits == 2 || Bits == 4);
    constexpr unsigned perByte = 8 / Bits;
    const unsigned shift = 8 - Bits * (1 + unsigned(x % perByte));
    return (row[x / perByte] >> shift) & ((1u << Bits) - 1);
}

// Sets pixel x of a packed row to the low bits of index; the byte's other pixels stay.
template <unsigned Bits>
inline void SetPackedIndex(std::uint8_t* row, std::size_t x, unsigned index)
{
    static_assert(Bits == 1 || Bits == 2 || Bits == 4);
    constexpr unsigned perByte = 8 / Bits;
    const unsigned shift = 8 - Bits * (1 + unsigned(x % perByte));
    const unsigned mask = ((1u << Bits) - 1) << shift;
    std::uint8_t& b = row[x / perByte];
    b = std::uint8_t((b & ~mask) | ((index << shift) & mask));
}

} // namespace gz
