#include "join/ABitmap.h"

#include <algorithm>

namespace gz {

TABitmap::TABitmap() { SetPixelFormat(pf24bit); }

TABitmap::TABitmap(int width, int height) : TBitmap(width, height, pf24bit) {}

TABitmap::TABitmap(const TABitmap& other) : TBitmap(other) {}

TABitmap& TABitmap::operator=(const TABitmap& other)
{
    Assign(other);
    return *this;
}

void TABitmap::Assign(const TGraphic& source)
{
    TBitmap::Assign(source);
    SetPixelFormat(pf24bit);
}

void TABitmap::LoadFromFile(const std::string& fileName)
{
    TBitmap::LoadFromFile(fileName);
    SetPixelFormat(pf24bit);
}

void BlendRow(const std::uint8_t* source, std::uint8_t* dest, std::size_t count, unsigned opacity)
{
    const unsigned a = opacity, b = 256 - opacity;
    for (std::size_t i = 0; i < count; ++i)
        dest[i] = std::uint8_t((a * source[i] + b * dest[i]) >> 8);
}

void BlendDraw(const TABitmap& source, int x, int y, int width, int height, TBitmap& dest, std::uint16_t opacity)
{
    dest.SetPixelFormat(pf24bit);
    if (opacity == 0)
        return;
    const unsigned a = std::min<unsigned>(opacity, 255);
    // Never read beyond the source either.
    width = std::min(width, source.Width());
    height = std::min(height, source.Height());
    const std::int64_t bottom = std::min<std::int64_t>(std::int64_t(y) + height, dest.Height());
    const std::int64_t right = std::min<std::int64_t>(std::int64_t(x) + width, dest.Width());
    const int top = std::max(y, 0), left = std::max(x, 0);
    if (right <= left)
        return; // nothing to draw and no change to report
    if (bottom <= top) {
        dest.Changed();
        return;
    }
    const std::size_t n = std::size_t(right - left) * 3;
    const std::size_t sourceOffset = std::size_t(left - std::int64_t(x)) * 3;
    for (int row = top; row < bottom; ++row)
        BlendRow(source.ScanLine(int(row - std::int64_t(y))) + sourceOffset, dest.ScanLine(row) + std::size_t(left) * 3,
                 n, a);
    dest.Changed();
}

} // namespace gz
