#include "join/SeeThrough.h"

#include "join/ABitmap.h"

namespace gz {

void BlendRowSeeThrough(const std::uint8_t* colour, const std::uint8_t* alpha, std::uint8_t* dest,
                        std::size_t count, unsigned opacity)
{
    const unsigned a = opacity, b = 256 - opacity;
    std::size_t x = 0;
    while (x < count) {
        // Opaque runs take the engine's blend as they are.
        std::size_t run = x;
        while (run < count && alpha[run] == 255)
            ++run;
        if (run > x) {
            BlendRow(colour + 3 * x, dest + 3 * x, 3 * (run - x), opacity);
            x = run;
            continue;
        }
        if (alpha[x] == 0) {
            ++x; // clear: what lies beneath stays
            continue;
        }
        for (int c = 0; c < 3; ++c) {
            std::uint8_t& d = dest[3 * x + c];
            const unsigned seen = SeeThroughChannel(colour[3 * x + c], alpha[x], d);
            d = a >= 255 ? std::uint8_t(seen) : std::uint8_t((a * seen + b * d) >> 8);
        }
        ++x;
    }
}

} // namespace gz
