#include "join/PictureRaster.h"

#include "jpeg/JPEGImage.h"
#include "photo/ColourProfile.h"
#include "photo/Orientation.h"
#include "platform/Canvas.h"
#include "png/KroPNG.h"
#include "susie/SPIBmp.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <vector>

namespace gz {

namespace {

using photo::OverWhite;
using photo::TPixelLayout;
using photo::TSrgbConversion;

TBitmap NewAlphaPlane(int width, int height)
{
    TBitmap alpha;
    alpha.AllocateUninitialized(width, height, pf8bit);
    alpha.SetPalette(GreyPalette(256));
    return alpha;
}

bool AllOpaque(const TBitmap& alpha)
{
    for (int y = 0; y < alpha.Height(); ++y) {
        const std::uint8_t* row = alpha.ScanLine(y);
        for (int x = 0; x < alpha.Width(); ++x)
            if (row[x] != 255)
                return false;
    }
    return true;
}

unsigned PaletteIndex(const std::uint8_t* row, int x, int bits)
{
    if (bits == 8)
        return row[x];
    if (bits == 4)
        return (x & 1) ? row[x >> 1] & 15u : unsigned(row[x >> 1] >> 4);
    return (row[x >> 3] >> (7 - (x & 7))) & 1u;
}

// A PNG's image with its transparent colour or mask and its colour profile applied.
TPictureRaster PngRaster(const TKroPNG& png)
{
    const TBitmap& image = png.ImageBitmap();
    const int w = image.Width(), h = image.Height();
    const TBitmap& mask = png.AlphaBitmap();
    const bool masked = png.HasAlpha && mask.Width() == w && mask.Height() == h && mask.PixelFormat() == pf8bit;
    const bool keyed = !masked && image.Transparent() && png.TransparentColor != png::kNoColor;
    const bool palette = IsPaletteFormat(image.PixelFormat());
    const std::unique_ptr<TSrgbConversion> conversion =
        png.IccProfile.empty() ? nullptr
                               : TSrgbConversion::FromProfile(png.IccProfile.data(), png.IccProfile.size(),
                                                              png.GrayScale ? TPixelLayout::Grey : TPixelLayout::BGR);
    TPictureRaster r;
    if (!masked && !keyed && !conversion) {
        r.Colour = image; // shares the pixels
        r.Colour.SetPixelFormat(pf24bit);
        return r;
    }

    // Palette pictures (grey ones too) look every pixel up in a palette converted once.
    const std::int32_t key = png.TransparentColor;
    std::array<std::uint8_t, 256 * 3> colours{};
    std::array<bool, 256> clear{};
    if (palette) {
        const std::vector<TPaletteEntry> entries = image.Palette();
        std::vector<std::uint8_t> in;
        for (std::size_t i = 0; i < entries.size() && i < 256; ++i) {
            const TPaletteEntry& e = entries[i];
            colours[3 * i] = e.Blue, colours[3 * i + 1] = e.Green, colours[3 * i + 2] = e.Red;
            in.push_back(e.Red); // the grey level, for a grey profile
            clear[i] = keyed && (png::IsPaletteIndexColor(key)
                                     ? png::ColorIndex(key) == i
                                     : png::ColorValueRed(key) == e.Red && png::ColorValueGreen(key) == e.Green &&
                                           png::ColorValueBlue(key) == e.Blue);
        }
        const std::size_t n = std::min<std::size_t>(entries.size(), 256);
        if (conversion && n > 0)
            conversion->Convert(conversion->Layout() == TPixelLayout::Grey ? in.data() : colours.data(),
                                colours.data(), n);
    }

    r.Colour.AllocateUninitialized(w, h, pf24bit);
    if (masked || keyed)
        r.Alpha = NewAlphaPlane(w, h);
    const int bits = BitsPerPixel(image.PixelFormat());
    std::vector<std::uint8_t> source(std::size_t(w) * 3);
    for (int y = 0; y < h; ++y) {
        std::uint8_t* out = r.Colour.ScanLine(y);
        std::uint8_t* alpha = r.Alpha.Empty() ? nullptr : r.Alpha.ScanLine(y);
        if (palette) {
            const std::uint8_t* row = image.ScanLine(y);
            for (int x = 0; x < w; ++x) {
                const unsigned i = PaletteIndex(row, x, bits);
                std::memcpy(out + 3 * x, &colours[3 * i], 3);
                if (alpha)
                    alpha[x] = clear[i] ? 0 : 255;
            }
        } else {
            image.ReadRowBGR(y, out);
            if (keyed) {
                const std::uint8_t kb = png::ColorValueBlue(key), kg = png::ColorValueGreen(key),
                                   kr = png::ColorValueRed(key);
                for (int x = 0; x < w; ++x)
                    alpha[x] = out[3 * x] == kb && out[3 * x + 1] == kg && out[3 * x + 2] == kr ? 0 : 255;
            }
            if (conversion)
                conversion->Convert(out, out, std::size_t(w)); // a grey profile never reaches rows of colour
        }
        if (masked) {
            const std::uint8_t* m = mask.ScanLine(y); // 0 opaque … 255 transparent
            for (int x = 0; x < w; ++x)
                alpha[x] = std::uint8_t(255 - m[x]);
        }
        if (alpha)
            for (int x = 0; x < w; ++x)
                if (alpha[x] != 255)
                    for (int c = 0; c < 3; ++c)
                        out[3 * x + c] = OverWhite(out[3 * x + c], alpha[x]);
    }
    if (!r.Alpha.Empty() && AllOpaque(r.Alpha))
        r.Alpha = TBitmap();
    return r;
}

// A bitmap as it is; a plug-in's 32-bit bitmap whose fourth byte is its opacity (the colours
// over white already) gives that opacity too.
TPictureRaster BitmapRaster(const TBitmap& bitmap)
{
    TPictureRaster r;
    r.Colour = bitmap;
    const auto* spi = dynamic_cast<const TSPIBitmap*>(&bitmap);
    if (spi && spi->OpacityOverWhite() && bitmap.PixelFormat() == pf32bit) {
        const int w = bitmap.Width(), h = bitmap.Height();
        r.Alpha = NewAlphaPlane(w, h);
        for (int y = 0; y < h; ++y) {
            const std::uint8_t* in = bitmap.ScanLine(y);
            std::uint8_t* out = r.Alpha.ScanLine(y);
            for (int x = 0; x < w; ++x)
                out[x] = in[4 * x + 3];
        }
        if (AllOpaque(r.Alpha))
            r.Alpha = TBitmap();
    }
    r.Colour.SetPixelFormat(pf24bit);
    return r;
}

TBitmap DrawnOnWhite(const TGraphic& picture)
{
    TBitmap raster(picture.Width(), picture.Height(), pf24bit);
    raster.Canvas().Draw(0, 0, picture);
    return raster;
}

} // namespace

TBitmap OrientedRaster(const TBitmap& raster, int orientation)
{
    if (orientation < 2 || orientation > 8 || raster.Empty())
        return raster;
    const TPixelFormat pf = raster.PixelFormat();
    const int pixelBytes = pf == pf8bit ? 1 : 3;
    const bool swap = photo::SwapsSides(orientation);
    TBitmap turned;
    turned.AllocateUninitialized(swap ? raster.Height() : raster.Width(), swap ? raster.Width() : raster.Height(),
                                 pf == pf8bit ? pf8bit : pf24bit);
    if (pf == pf8bit)
        turned.SetPalette(raster.Palette());
    TBitmap source(raster);
    if (pf != pf8bit)
        source.SetPixelFormat(pf24bit);
    // Rows lie one after the other, RowBytes apart.
    const TBitmap& in = source;
    photo::Orient({in.ScanLine(0), in.Width(), in.Height(), std::ptrdiff_t(in.RowBytes())},
                  {turned.ScanLine(0), turned.Width(), turned.Height(), std::ptrdiff_t(turned.RowBytes())},
                  pixelBytes, orientation);
    return turned;
}

TPictureRaster MakePictureRaster(const TGraphic& picture, const TRasterOptions& options)
{
    TPictureRaster r;
    if (const auto* png = dynamic_cast<const TKroPNG*>(&picture)) {
        r = PngRaster(*png);
    } else if (const auto* bitmap = dynamic_cast<const TBitmap*>(&picture)) {
        r = BitmapRaster(*bitmap);
    } else if (dynamic_cast<const TJPEGImage*>(&picture)) {
        r.Colour.Assign(picture); // the decoded picture, in sRGB
        r.Colour.SetPixelFormat(pf24bit);
    } else {
        r.Colour = DrawnOnWhite(picture);
    }
    if (options.AutoOrient && picture.Orientation() != photo::kUpright) {
        r.Colour = OrientedRaster(r.Colour, picture.Orientation());
        if (!r.Alpha.Empty())
            r.Alpha = OrientedRaster(r.Alpha, picture.Orientation());
    }
    return r;
}

} // namespace gz
