#pragma once
// Conversion of one source scan line (and mask line) into a raw PNG row, and the row filters
// with the scoring of the adaptive choice.

#include "png/PngFormat.h"

#include <cstddef>
#include <cstdint>

namespace gz::png {

struct TRowConverter {
    int SourceBits = 24;     // 1, 4, 8, 15, 16, 24 or 32
    bool Grey = false;       // grey output
    bool Alpha = false;      // an alpha byte follows every pixel (255 - mask byte)
    bool Invert = false;     // 1-bit grey: every output byte inverted
    std::uint8_t GreyMap[256] = {};

    // Writes count pixels taken from column first, every step-th one, into out (PNG order).
    // mask is the 8-bit mask line when Alpha is on.
    void Convert(const std::uint8_t* src, const std::uint8_t* mask, int first, int step, int count,
                 std::uint8_t* out) const;
};

// out[0] = type, out[1..len] = filtered bytes of raw against prev (the row above, zeros at the
// top of a pass); bpp is the byte distance to the pixel on the left.
void FilterRow(TFilterType type, const std::uint8_t* raw, const std::uint8_t* prev, std::uint8_t* out,
               std::size_t len, std::size_t bpp);

// Score of a candidate row (filter byte included) for the adaptive choice; flat is set when
// the row holds at most 8 distinct byte values. hist is scratch space of 256 counters.
std::int64_t ScoreRow(const std::uint8_t* row, std::size_t n, int pixelBits, std::uint32_t* hist, bool& flat);

} // namespace gz::png
