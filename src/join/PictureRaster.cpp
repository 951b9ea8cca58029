#include "join/PictureRaster.h"

#include "jpeg/JPEGImage.h"
#include "photo/ColourProfile.h"
#include "photo/Orientation.h"
#include "platform/Canvas.h"
#include "platform/Icon.h"
#include "platform/PixelRows.h"
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

} // namespace

TPngRasterRows::TPngRasterRows(TPixelFormat format, const std::vector<TPaletteEntry>& palette, std::int32_t key,
                               bool masked, const std::vector<std::uint8_t>& icc, bool grey)
    : format_(format), key_(key), keyed_(key != png::kNoColor && !masked), masked_(masked),
      palette_(IsPaletteFormat(format))
{
    conversion_ = icc.empty() ? nullptr
                              : TSrgbConversion::FromProfile(icc.data(), icc.size(), grey ? TPixelLayout::Grey
                                                                                          : TPixelLayout::BGR);
    if (!palette_)
        return;
    // Palette pictures (grey ones too) look every pixel up in a palette converted once.
    std::vector<std::uint8_t> in;
    for (std::size_t i = 0; i < palette.size() && i < 256; ++i) {
        const TPaletteEntry& e = palette[i];
        colours_[3 * i] = e.Blue, colours_[3 * i + 1] = e.Green, colours_[3 * i + 2] = e.Red;
        in.push_back(e.Red); // the grey level, for a grey profile
        clear_[i] = keyed_ && (png::IsPaletteIndexColor(key)
                                   ? png::ColorIndex(key) == i
                                   : png::ColorValueRed(key) == e.Red && png::ColorValueGreen(key) == e.Green &&
                                         png::ColorValueBlue(key) == e.Blue);
    }
    const std::size_t n = std::min<std::size_t>(palette.size(), 256);
    if (conversion_ && n > 0)
        conversion_->Convert(conversion_->Layout() == TPixelLayout::Grey ? in.data() : colours_.data(), colours_.data(), n);
}

TPngRasterRows::~TPngRasterRows() = default;

void TPngRasterRows::Row(const std::uint8_t* image, const std::uint8_t* mask, int w, std::uint8_t* out,
                         std::uint8_t* alpha) const
{
    if (palette_) {
        const int bits = BitsPerPixel(format_);
        for (int x = 0; x < w; ++x) {
            const unsigned i = PaletteIndex(image, x, bits);
            std::memcpy(out + 3 * x, &colours_[3 * i], 3);
            if (alpha)
                alpha[x] = clear_[i] ? 0 : 255;
        }
    } else {
        DecodeRowBGR(image, w, format_, {}, out);
        if (keyed_ && alpha) {
            const std::uint8_t kb = png::ColorValueBlue(key_), kg = png::ColorValueGreen(key_),
                               kr = png::ColorValueRed(key_);
            for (int x = 0; x < w; ++x)
                alpha[x] = out[3 * x] == kb && out[3 * x + 1] == kg && out[3 * x + 2] == kr ? 0 : 255;
        }
        if (conversion_)
            conversion_->Convert(out, out, std::size_t(w)); // a grey profile never reaches rows of colour
    }
    if (masked_ && alpha)
        for (int x = 0; x < w; ++x)
            alpha[x] = std::uint8_t(255 - mask[x]); // the mask: 0 opaque … 255 transparent
    if (alpha)
        for (int x = 0; x < w; ++x)
            if (alpha[x] != 255)
                for (int c = 0; c < 3; ++c)
                    out[3 * x + c] = OverWhite(out[3 * x + c], alpha[x]);
}

namespace {

// A PNG's image with its transparent colour or mask and its colour profile applied.
TPictureRaster PngRaster(const TKroPNG& png)
{
    const TBitmap& image = png.ImageBitmap();
    const int w = image.Width(), h = image.Height();
    const TBitmap& mask = png.AlphaBitmap();
    const bool masked = png.HasAlpha && mask.Width() == w && mask.Height() == h && mask.PixelFormat() == pf8bit;
    const bool keyed = !masked && image.Transparent() && png.TransparentColor != png::kNoColor;
    const TPngRasterRows rows(image.PixelFormat(), image.Palette(), keyed ? png.TransparentColor : png::kNoColor,
                              masked, png.IccProfile, png.GrayScale);
    TPictureRaster r;
    if (rows.Plain()) {
        r.Colour = image; // shares the pixels
        r.Colour.SetPixelFormat(pf24bit);
        return r;
    }
    r.Colour.AllocateUninitialized(w, h, pf24bit);
    if (rows.HasAlpha())
        r.Alpha = NewAlphaPlane(w, h);
    for (int y = 0; y < h; ++y)
        rows.Row(image.ScanLine(y), masked ? mask.ScanLine(y) : nullptr, w, r.Colour.ScanLine(y),
                 r.Alpha.Empty() ? nullptr : r.Alpha.ScanLine(y));
    if (!r.Alpha.Empty() && AllOpaque(r.Alpha))
        r.Alpha = TBitmap();
    return r;
}

// The fourth bytes of a 32-bit bitmap as an opacity plane; empty where all are opaque.
TBitmap FourthBytes(const TBitmap& bgra)
{
    const int w = bgra.Width(), h = bgra.Height();
    TBitmap alpha = NewAlphaPlane(w, h);
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* in = bgra.ScanLine(y);
        std::uint8_t* out = alpha.ScanLine(y);
        for (int x = 0; x < w; ++x)
            out[x] = in[4 * x + 3];
    }
    return AllOpaque(alpha) ? TBitmap() : alpha;
}

// A bitmap as it is; a plug-in's 32-bit bitmap whose fourth byte is its opacity (the colours
// over white already) gives that opacity too.
TPictureRaster BitmapRaster(const TBitmap& bitmap)
{
    TPictureRaster r;
    r.Colour = bitmap;
    const auto* spi = dynamic_cast<const TSPIBitmap*>(&bitmap);
    if (spi && spi->OpacityOverWhite() && bitmap.PixelFormat() == pf32bit)
        r.Alpha = FourthBytes(bitmap);
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
    } else if (const auto* icon = dynamic_cast<const TIcon*>(&picture)) {
        r.Colour = DrawnOnWhite(picture); // blended over white by the icon's opacity
        if (icon->Image().PixelFormat() == pf32bit)
            r.Alpha = FourthBytes(icon->Image());
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
