// PNG-compressed icon images: decoded with TKroPNG and turned into the icon's 32-bit pixels,
// whose fourth byte is the opacity taken from the alpha channel, the palette alpha or the
// single transparent colour of the file.
#include "png/KroPNG.h"

#include "platform/Streams.h"

#include <cstring>
#include <vector>

namespace gz {

namespace {

unsigned PaletteIndexAt(const std::uint8_t* row, TPixelFormat pf, int x)
{
    switch (pf) {
    case pf1bit: return (row[x >> 3] >> (7 - (x & 7))) & 1u;
    case pf4bit: return (x & 1) ? row[x >> 1] & 0x0Fu : row[x >> 1] >> 4;
    default: return row[x];
    }
}

} // namespace

TBitmap ReadIconPngImage(const std::uint8_t* data, std::size_t size)
{
    TMemoryViewStream in(data, size);
    TKroPNG png;
    png.SkipMacBinary = false; // an icon image starts with the signature itself
    png.LoadFromStream(in);

    const TBitmap& image = png.ImageBitmap();
    const int w = image.Width(), h = image.Height();
    TBitmap out;
    if (image.Empty())
        return out;
    const TBitmap& mask = png.AlphaBitmap();
    const bool masked = png.HasAlpha && mask.Width() == w && mask.Height() == h && mask.PixelFormat() == pf8bit;
    const std::int32_t key = png.TransparentColor;
    const bool keyed = !masked && image.Transparent() && !png::IsNoColor(key);
    const bool keyIsIndex = keyed && png::IsPaletteIndexColor(key) && IsPaletteFormat(image.PixelFormat());

    out.AllocateUninitialized(w, h, pf32bit);
    std::vector<std::uint8_t> bgr(std::size_t(w) * 3);
    for (int y = 0; y < h; ++y) {
        image.ReadRowBGR(y, bgr.data());
        const std::uint8_t* source = image.ScanLine(y);
        const std::uint8_t* opacity = masked ? mask.ScanLine(y) : nullptr;
        std::uint8_t* d = out.ScanLine(y);
        for (int x = 0; x < w; ++x) {
            const std::uint8_t* p = &bgr[3 * std::size_t(x)];
            std::memcpy(d + 4 * x, p, 3);
            std::uint8_t a = 255;
            if (opacity)
                a = std::uint8_t(255 - opacity[x]); // the mask counts transparency
            else if (keyIsIndex)
                a = PaletteIndexAt(source, image.PixelFormat(), x) == png::ColorIndex(key) ? 0 : 255;
            else if (keyed && !png::IsPaletteIndexColor(key))
                a = p[2] == png::ColorValueRed(key) && p[1] == png::ColorValueGreen(key) &&
                            p[0] == png::ColorValueBlue(key)
                        ? 0
                        : 255;
            d[4 * x + 3] = a;
        }
    }
    return out;
}

} // namespace gz
