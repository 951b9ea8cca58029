#pragma once
// Three-byte pixels with their first and third bytes exchanged: red-green-blue rows to
// blue-green-red and back, as the PNG reader and writer need them.

#include <cstddef>
#include <cstdint>

namespace gz {

// Writes pixels triples of src into dst with bytes 0 and 2 of each swapped. dst may be src.
void SwapRedBlue(const std::uint8_t* src, std::uint8_t* dst, std::size_t pixels);

} // namespace gz
