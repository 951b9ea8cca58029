#include "support/BenchPictures.h"

#include <algorithm>
#include <cstdint>

namespace gz::bench {

const TBitmap& PhotoLikeBitmap()
{
    constexpr int W = kPhotoWidth, H = kPhotoHeight;
    static const TBitmap bmp = [] {
        TBitmap b(W, H, pf24bit);
        std::uint32_t state = 12345;
        for (int y = 0; y < H; ++y) {
            std::uint8_t* row = b.ScanLine(y);
            for (int x = 0; x < W; ++x) {
                state = state * 1664525u + 1013904223u;
                const int grain = int(state >> 28) - 8;
                row[3 * x] = std::uint8_t(std::clamp((x * 255) / W + grain, 0, 255));
                row[3 * x + 1] = std::uint8_t(std::clamp((y * 255) / H + grain, 0, 255));
                row[3 * x + 2] = std::uint8_t(std::clamp(((x + y) * 128) / (W + H) + 64 + grain, 0, 255));
            }
        }
        return b;
    }();
    return bmp;
}

} // namespace gz::bench
