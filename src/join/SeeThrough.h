#pragma once
// The see-through placement: a picture whose transparent parts let what lies beneath show
// through. The picture comes as its colours laid over white (as every raster of a loaded
// picture is) and its opacity beside them; where it is fully opaque the placement is the
// engine's blend (BlendRow), exactly as without see-through.

#include <cstddef>
#include <cstdint>

namespace gz {

// One channel of a picture pixel, given as its colour laid over white with its opacity alpha
// (0 clear … 255 opaque), composited over beneath. Exact over white and over black; elsewhere
// within one level of "over" compositing of the picture's own colour, which laying it over
// white rounded away.
inline std::uint8_t SeeThroughChannel(std::uint8_t overWhite, std::uint8_t alpha, std::uint8_t beneath)
{
    // overWhite = colour·α/255 + (255 − α), so the same colour over beneath lies lower by
    // (255 − α)(255 − beneath)/255, rounded here (255 is odd: no halves).
    const unsigned drop = ((255u - alpha) * (255u - beneath) + 127u) / 255u;
    return std::uint8_t(overWhite > drop ? overWhite - drop : 0u);
}

// Lays count pixels (blue, green, red) over dest with opacity (1..255, the engine's blend):
// where alpha is 255 dest becomes what BlendRow makes it; elsewhere the pixel is first
// composited over dest by its alpha (clear pixels leave dest as it is), and that blended in
// with the opacity.
void BlendRowSeeThrough(const std::uint8_t* colour, const std::uint8_t* alpha, std::uint8_t* dest,
                        std::size_t count, unsigned opacity);

} // namespace gz
