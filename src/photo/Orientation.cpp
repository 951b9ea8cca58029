#include "photo/Orientation.h"

#include <algorithm>
#include <cstring>

namespace gz::photo {

namespace {

class TiffReader {
public:
    TiffReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    bool Start()
    {
        if (size_ < 8)
            return false;
        if (data_[0] == 'I' && data_[1] == 'I')
            little_ = true;
        else if (data_[0] == 'M' && data_[1] == 'M')
            little_ = false;
        else
            return false;
        return U16(2) == 42;
    }
    // 0 when the bytes are not there.
    std::uint32_t U16(std::size_t at) const
    {
        if (at > size_ || size_ - at < 2)
            return 0;
        return little_ ? data_[at] | data_[at + 1] << 8 : data_[at] << 8 | data_[at + 1];
    }
    std::uint32_t U32(std::size_t at) const
    {
        if (at > size_ || size_ - at < 4)
            return 0;
        return little_ ? U16(at) | U16(at + 2) << 16 : U16(at) << 16 | U16(at + 2);
    }
    std::size_t Size() const { return size_; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    bool little_ = true;
};

constexpr std::uint32_t kOrientationTag = 0x0112;
constexpr std::uint32_t kShort = 3, kLong = 4;

} // namespace

int TiffOrientation(const std::uint8_t* data, std::size_t size)
{
    TiffReader r(data, size);
    if (!data || !r.Start())
        return kUpright;
    const std::size_t directory = r.U32(4);
    if (directory < 8 || directory >= size)
        return kUpright;
    const std::uint32_t entries = r.U16(directory);
    for (std::uint32_t i = 0; i < entries; ++i) {
        const std::size_t entry = directory + 2 + std::size_t(i) * 12;
        if (entry + 12 > size)
            break;
        if (r.U16(entry) != kOrientationTag)
            continue;
        const std::uint32_t type = r.U16(entry + 2);
        if (r.U32(entry + 4) != 1 || (type != kShort && type != kLong))
            return kUpright;
        const std::uint32_t value = type == kShort ? r.U16(entry + 8) : r.U32(entry + 8);
        return value >= 1 && value <= 8 ? int(value) : kUpright;
    }
    return kUpright;
}

int ExifOrientation(const std::uint8_t* data, std::size_t size)
{
    static constexpr std::uint8_t kExif[6] = {'E', 'x', 'i', 'f', 0, 0};
    if (!data || size < sizeof kExif || std::memcmp(data, kExif, sizeof kExif) != 0)
        return kUpright;
    return TiffOrientation(data + sizeof kExif, size - sizeof kExif);
}

namespace {

template <int N>
struct Pixel {
    std::uint8_t b[N];
};

// Row-wise cases (1..4): whole rows in order or reversed, pixels in order or reversed.
template <int N>
void OrientRows(const TConstPixelPlane& s, const TPixelPlane& d, bool mirror, bool upsideDown)
{
    for (int y = 0; y < d.Height; ++y) {
        const int sy = upsideDown ? s.Height - 1 - y : y;
        const auto* in = reinterpret_cast<const Pixel<N>*>(s.Bits + sy * s.Stride);
        auto* out = reinterpret_cast<Pixel<N>*>(d.Bits + y * d.Stride);
        if (mirror)
            std::reverse_copy(in, in + s.Width, out);
        else
            std::copy(in, in + s.Width, out);
    }
}

// Cases 5..8 go column-wise through the source: done in tiles so that both sides stay in cache.
// Output (x, y) takes source column sx = (flipX ? w - 1 - y : y) and row sy = (flipY ? h - 1 - x : x).
template <int N>
void OrientColumns(const TConstPixelPlane& s, const TPixelPlane& d, bool flipX, bool flipY)
{
    constexpr int kTile = 64;
    for (int ty = 0; ty < d.Height; ty += kTile) {
        const int yEnd = std::min(d.Height, ty + kTile);
        for (int tx = 0; tx < d.Width; tx += kTile) {
            const int xEnd = std::min(d.Width, tx + kTile);
            for (int y = ty; y < yEnd; ++y) {
                const int sx = flipX ? s.Width - 1 - y : y;
                auto* out = reinterpret_cast<Pixel<N>*>(d.Bits + y * d.Stride);
                for (int x = tx; x < xEnd; ++x) {
                    const int sy = flipY ? s.Height - 1 - x : x;
                    out[x] = reinterpret_cast<const Pixel<N>*>(s.Bits + sy * s.Stride)[sx];
                }
            }
        }
    }
}

template <int N>
void OrientPixels(const TConstPixelPlane& s, const TPixelPlane& d, int orientation)
{
    switch (orientation) {
    case 2: OrientRows<N>(s, d, true, false); break;
    case 3: OrientRows<N>(s, d, true, true); break;
    case 4: OrientRows<N>(s, d, false, true); break;
    case 5: OrientColumns<N>(s, d, false, false); break; // out(x, y) = in(y, x)
    case 6: OrientColumns<N>(s, d, false, true); break;  // out(x, y) = in(y, h - 1 - x)
    case 7: OrientColumns<N>(s, d, true, true); break;   // out(x, y) = in(w - 1 - y, h - 1 - x)
    case 8: OrientColumns<N>(s, d, true, false); break;  // out(x, y) = in(w - 1 - y, x)
    default: OrientRows<N>(s, d, false, false); break;
    }
}

} // namespace

void Orient(const TConstPixelPlane& source, const TPixelPlane& dest, int pixelBytes, int orientation)
{
    switch (pixelBytes) {
    case 1: OrientPixels<1>(source, dest, orientation); break;
    case 2: OrientPixels<2>(source, dest, orientation); break;
    case 3: OrientPixels<3>(source, dest, orientation); break;
    default: OrientPixels<4>(source, dest, orientation); break;
    }
}

} // namespace gz::photo
