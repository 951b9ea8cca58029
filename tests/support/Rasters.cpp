#include "support/Rasters.h"

#include <cstring>
#include <sstream>
#include <vector>

namespace gz::test {

TBitmap MakeBitmap(int width, int height, const std::function<TColor(int x, int y)>& colour)
{
    TBitmap bmp(width, height, pf24bit);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = bmp.ScanLine(y);
        for (int x = 0; x < width; ++x) {
            const TColor c = colour(x, y);
            row[3 * x] = ColorBlue(c);
            row[3 * x + 1] = ColorGreen(c);
            row[3 * x + 2] = ColorRed(c);
        }
    }
    return bmp;
}

TBitmap NoiseBitmap(int width, int height, std::uint32_t seed)
{
    std::uint32_t state = seed * 2654435761u + 1;
    return MakeBitmap(width, height, [&](int, int) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return TColor(state & 0xFFFFFF);
    });
}

std::string FirstDifference(const TBitmap& a, const TBitmap& b)
{
    std::ostringstream out;
    if (a.Width() != b.Width() || a.Height() != b.Height()) {
        out << "size " << a.Width() << "x" << a.Height() << " vs " << b.Width() << "x" << b.Height();
        return out.str();
    }
    std::vector<std::uint8_t> ra(std::size_t(a.Width()) * 3), rb(ra.size());
    for (int y = 0; y < a.Height(); ++y) {
        a.ReadRowBGR(y, ra.data());
        b.ReadRowBGR(y, rb.data());
        for (int x = 0; x < a.Width(); ++x)
            if (std::memcmp(&ra[3 * std::size_t(x)], &rb[3 * std::size_t(x)], 3) != 0) {
                out << "pixel (" << x << ", " << y << "): " << std::hex << a.Pixel(x, y) << " vs " << b.Pixel(x, y);
                return out.str();
            }
    }
    return {};
}

} // namespace gz::test
