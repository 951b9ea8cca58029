#include "support/Rasters.h"

#include "join/JoinEngine.h"

#include <cstdlib>
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

namespace {

int Over(int colour, int alpha, int beneath) { return (colour * alpha + beneath * (255 - alpha) + 127) / 255; }

} // namespace

std::string OverlayDifference(const TPictureRaster& raster, const TStraightPicture& picture)
{
    const TBitmap base = NoiseBitmap(picture.width + 3, picture.height + 2, 11);
    for (const bool seeThrough : {false, true}) {
        TImageDocument doc;
        doc.workBmp.Assign(base);
        doc.joinDir = jdDown;
        doc.joinPos = jpEnd;
        doc.keepSize = smKeep;
        doc.seeThrough = seeThrough;
        JoinPicture(doc, raster, nullptr);
        const std::string difference = SeeThroughDifference(doc.workBmp, base, picture, 3, 2, seeThrough);
        if (!difference.empty())
            return (seeThrough ? "seeing through: " : "over white: ") + difference;
    }
    return {};
}

TBitmap StraightOverWhite(const TStraightPicture& picture)
{
    return MakeBitmap(picture.width, picture.height, [&](int x, int y) {
        const TStraightPixel p = picture.pixel(x, y);
        return RGBColor(std::uint8_t(Over(p.r, p.a, 255)), std::uint8_t(Over(p.g, p.a, 255)),
                        std::uint8_t(Over(p.b, p.a, 255)));
    });
}

std::string SeeThroughDifference(const TBitmap& joined, const TBitmap& base, const TStraightPicture& picture,
                                 int left, int top, bool seeThrough, int flips, int opacity)
{
    if (joined.Width() != base.Width() || joined.Height() != base.Height())
        return "the size changed";
    for (int y = 0; y < joined.Height(); ++y)
        for (int x = 0; x < joined.Width(); ++x) {
            const TColor b = base.Pixel(x, y), got = joined.Pixel(x, y);
            int px = x - left, py = y - top;
            TColor want = b;
            int alpha = 255;
            if (px >= 0 && py >= 0 && px < picture.width && py < picture.height) {
                if (flips & 1)
                    px = picture.width - 1 - px;
                if (flips & 2)
                    py = picture.height - 1 - py;
                const TStraightPixel p = picture.pixel(px, py);
                alpha = seeThrough ? p.a : 255;
                const auto channel = [&](int c, int under) {
                    const int seen = alpha == 255 ? Over(c, p.a, 255) : Over(c, alpha, under);
                    return std::uint8_t(alpha == 255 || opacity < 255 ? (opacity * seen + (256 - opacity) * under) >> 8
                                                                      : seen);
                };
                want = RGBColor(channel(p.r, ColorRed(b)), channel(p.g, ColorGreen(b)), channel(p.b, ColorBlue(b)));
            }
            const int slack = alpha == 0 || alpha == 255 ? 0 : 1;
            for (auto of : {ColorRed, ColorGreen, ColorBlue})
                if (std::abs(int(of(got)) - int(of(want))) > slack) {
                    std::ostringstream s;
                    s << "pixel (" << x << ", " << y << ") alpha " << alpha << ": " << std::hex << got << " vs " << want;
                    return s.str();
                }
        }
    return {};
}

} // namespace gz::test
