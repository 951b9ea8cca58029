#include "platform/Bitmap.h"

#include "platform/BitmapImage.h"
#include "platform/Canvas.h"
#include "platform/Exceptions.h"
#include "platform/PackedIndexes.h"
#include "platform/PixelRows.h"

#include <algorithm>
#include <cstring>

namespace gz {

std::vector<TPaletteEntry> GreyPalette(int entries)
{
    std::vector<TPaletteEntry> pal(std::size_t(std::max(entries, 0)));
    for (int i = 0; i < entries; ++i) {
        const auto v = std::uint8_t(entries > 1 ? i * 255 / (entries - 1) : 0);
        pal[std::size_t(i)] = {v, v, v};
    }
    return pal;
}

std::vector<TPaletteEntry> DefaultPalette(TPixelFormat pf)
{
    switch (pf) {
    case pf1bit:
        return {{0, 0, 0}, {255, 255, 255}};
    case pf4bit:
        return {{0, 0, 0},       {128, 0, 0},   {0, 128, 0},   {128, 128, 0}, {0, 0, 128},   {128, 0, 128},
                {0, 128, 128},   {128, 128, 128}, {192, 192, 192}, {255, 0, 0}, {0, 255, 0},   {255, 255, 0},
                {0, 0, 255},     {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};
    case pf8bit: {
        std::vector<TPaletteEntry> pal;
        for (int r = 0; r < 6; ++r)
            for (int g = 0; g < 6; ++g)
                for (int b = 0; b < 6; ++b)
                    pal.push_back({std::uint8_t(r * 51), std::uint8_t(g * 51), std::uint8_t(b * 51)});
        for (int i = 1; i <= 40; ++i) {
            const auto v = std::uint8_t(i * 255 / 41);
            pal.push_back({v, v, v});
        }
        return pal;
    }
    default:
        return {};
    }
}

TBitmap::TBitmap() : image_(TBitmapImage::Create(0, 0, pf24bit, false)) {}

TBitmap::TBitmap(int width, int height, TPixelFormat pf) : image_(TBitmapImage::Create(0, 0, pf, false))
{
    if (IsPaletteFormat(pf))
        image_->palette = DefaultPalette(pf);
    SetSize(width, height);
}

TBitmap::TBitmap(const TBitmap& other)
    : TGraphic(), image_(other.image_), transparentColor_(other.transparentColor_)
{
    TGraphic::SetTransparent(other.Transparent());
}

TBitmap& TBitmap::operator=(const TBitmap& other)
{
    Assign(other);
    return *this;
}

TBitmap::~TBitmap() = default;

void TBitmap::Assign(const TGraphic& source)
{
    if (&source == this)
        return;
    if (const auto* bmp = dynamic_cast<const TBitmap*>(&source)) {
        image_ = bmp->image_;
        transparentColor_ = bmp->transparentColor_;
        TGraphic::SetTransparent(bmp->Transparent());
        Changed();
        return;
    }
    TGraphic::Assign(source);
}

void TBitmap::AssignTo(TGraphic& dest) const
{
    if (auto* bmp = dynamic_cast<TBitmap*>(&dest)) {
        bmp->Assign(*this);
        return;
    }
    TGraphic::AssignTo(dest);
}

int TBitmap::Width() const { return image_->width; }
int TBitmap::Height() const { return image_->height; }
void TBitmap::SetWidth(int value) { SetSize(value, Height()); }
void TBitmap::SetHeight(int value) { SetSize(Width(), value); }
TPixelFormat TBitmap::PixelFormat() const { return image_->pixelFormat; }
std::vector<TPaletteEntry> TBitmap::Palette() const { return image_->palette; }
std::size_t TBitmap::RowBytes() const { return image_->stride; }

void TBitmap::ReplaceImage(std::shared_ptr<TBitmapImage> image)
{
    image_ = std::move(image);
    Changed();
}

void TBitmap::Detach()
{
    if (image_.use_count() > 1)
        image_ = image_->Clone();
}

const std::uint8_t* TBitmap::ScanLine(int y) const
{
    if (y < 0 || y >= Height())
        throw EInvalidGraphicOperation("Scan line index out of range");
    return image_->Row(y);
}

std::uint8_t* TBitmap::ScanLine(int y)
{
    if (y < 0 || y >= Height())
        throw EInvalidGraphicOperation("Scan line index out of range");
    Detach();
    return image_->Row(y);
}

namespace {

// Fills row y of an image with white in its own pixel format.
void FillRowWhite(TBitmapImage& image, int y, int fromX, TPaletteMatcher* matcher)
{
    const int w = image.width;
    if (fromX >= w)
        return;
    std::uint8_t* row = image.Row(y);
    switch (image.pixelFormat) {
    case pfDevice:
    case pf24bit:
        std::memset(row + 3 * fromX, 0xFF, std::size_t(w - fromX) * 3);
        return;
    case pf32bit:
        for (int x = fromX; x < w; ++x) {
            row[4 * x] = row[4 * x + 1] = row[4 * x + 2] = 0xFF;
            row[4 * x + 3] = 0;
        }
        return;
    case pf15bit:
    case pfCustom:
        for (int x = fromX; x < w; ++x) {
            row[2 * x] = 0xFF;
            row[2 * x + 1] = 0x7F;
        }
        return;
    case pf16bit:
        std::memset(row + 2 * fromX, 0xFF, std::size_t(w - fromX) * 2);
        return;
    default:
        break;
    }
    const unsigned white = matcher ? matcher->Nearest(255, 255, 255) : 0;
    for (int x = fromX; x < w; ++x) {
        if (image.pixelFormat == pf8bit) {
            row[x] = std::uint8_t(white);
        } else if (image.pixelFormat == pf4bit) {
            SetPackedIndex<4>(row, std::size_t(x), white);
        } else {
            SetPackedIndex<1>(row, std::size_t(x), white);
        }
    }
}

} // namespace

void TBitmap::SetSize(int width, int height)
{
    if (width == Width() && height == Height())
        return;
    const TBitmapImage& old = *image_;
    auto image = TBitmapImage::Create(width, height, old.pixelFormat, false);
    image->palette = old.palette;
    TPaletteMatcher matcher(image->palette);
    const int keepW = std::min(width, old.width), keepH = std::min(height, old.height);
    const std::size_t keepBytes = RowStride(keepW, old.pixelFormat);
    for (int y = 0; y < height; ++y) {
        int from = 0;
        if (y < keepH && keepW > 0) {
            std::memcpy(image->Row(y), old.Row(y), keepBytes);
            from = keepW; // sub-byte formats: pixels past keepW in the copied last byte are rewritten
        }
        FillRowWhite(*image, y, from, &matcher);
    }
    ReplaceImage(std::move(image));
}

void TBitmap::AllocateUninitialized(int width, int height, TPixelFormat pf) { Allocate(width, height, pf, false); }

void TBitmap::AllocateZeroed(int width, int height, TPixelFormat pf) { Allocate(width, height, pf, true); }

void TBitmap::Allocate(int width, int height, TPixelFormat pf, bool zeroed)
{
    auto image = TBitmapImage::Create(width, height, pf, zeroed);
    if (IsPaletteFormat(pf))
        image->palette = IsPaletteFormat(PixelFormat()) ? image_->palette : DefaultPalette(pf);
    image_ = std::move(image);
}

void TBitmap::Clear()
{
    image_ = TBitmapImage::Create(0, 0, PixelFormat(), false);
    Changed();
}

void TBitmap::SetPixelFormat(TPixelFormat pf)
{
    const TBitmapImage& old = *image_;
    if (pf == old.pixelFormat)
        return;
    auto image = TBitmapImage::Create(old.width, old.height, pf, false);
    if (IsPaletteFormat(pf)) {
        const std::size_t capacity = std::size_t(1) << BitsPerPixel(pf);
        const bool keepIndexes = IsPaletteFormat(old.pixelFormat) && !old.palette.empty() &&
                                 old.palette.size() <= capacity && BitsPerPixel(old.pixelFormat) < BitsPerPixel(pf);
        image->palette = keepIndexes ? old.palette : DefaultPalette(pf);
        if (keepIndexes) {
            // Widening a palette format keeps every index: copy pixel by pixel.
            const int oldBits = BitsPerPixel(old.pixelFormat);
            for (int y = 0; y < old.height; ++y) {
                const std::uint8_t* src = old.Row(y);
                std::uint8_t* dst = image->Row(y);
                std::memset(dst, 0, image->stride);
                for (int x = 0; x < old.width; ++x) {
                    const unsigned i = oldBits == 1 ? PackedIndex<1>(src, std::size_t(x)) : PackedIndex<4>(src, std::size_t(x));
                    if (pf == pf8bit)
                        dst[x] = std::uint8_t(i);
                    else
                        SetPackedIndex<4>(dst, std::size_t(x), i);
                }
            }
            ReplaceImage(std::move(image));
            return;
        }
    }
    TPaletteMatcher matcher(image->palette);
    std::vector<std::uint8_t> bgr(std::size_t(old.width) * 3);
    for (int y = 0; y < old.height; ++y) {
        DecodeRowBGR(old, y, bgr.data());
        EncodeRowBGR(*image, y, bgr.data(), &matcher);
    }
    ReplaceImage(std::move(image));
}

void TBitmap::SetPalette(const std::vector<TPaletteEntry>& entries)
{
    if (entries.size() > 256)
        throw EInvalidGraphicOperation("A palette holds at most 256 entries");
    if (entries == image_->palette)
        return;
    Detach();
    image_->palette = entries;
    Changed();
}

void TBitmap::ReadRowBGR(int y, std::uint8_t* out) const
{
    if (y < 0 || y >= Height())
        throw EInvalidGraphicOperation("Scan line index out of range");
    DecodeRowBGR(*image_, y, out);
}

TColor TBitmap::Pixel(int x, int y) const
{
    if (x < 0 || y < 0 || x >= Width() || y >= Height())
        return clNone;
    std::vector<std::uint8_t> row(std::size_t(Width()) * 3);
    DecodeRowBGR(*image_, y, row.data());
    return RGBColor(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
}

void TBitmap::SetPixel(int x, int y, TColor c)
{
    if (x < 0 || y < 0 || x >= Width() || y >= Height())
        return;
    Detach();
    TBitmapImage& image = *image_;
    std::uint8_t* row = image.Row(y);
    const std::uint8_t r = ColorRed(c), g = ColorGreen(c), b = ColorBlue(c);
    switch (image.pixelFormat) {
    case pfDevice:
    case pf24bit:
        row[3 * x] = b, row[3 * x + 1] = g, row[3 * x + 2] = r;
        break;
    case pf32bit:
        row[4 * x] = b, row[4 * x + 1] = g, row[4 * x + 2] = r;
        break;
    case pf15bit:
    case pfCustom: {
        const unsigned v = (unsigned(r >> 3) << 10) | (unsigned(g >> 3) << 5) | unsigned(b >> 3);
        row[2 * x] = std::uint8_t(v), row[2 * x + 1] = std::uint8_t(v >> 8);
        break;
    }
    case pf16bit: {
        const unsigned v = (unsigned(r >> 3) << 11) | (unsigned(g >> 2) << 5) | unsigned(b >> 3);
        row[2 * x] = std::uint8_t(v), row[2 * x + 1] = std::uint8_t(v >> 8);
        break;
    }
    default: {
        const unsigned i = NearestPaletteIndex(image.palette, r, g, b);
        if (image.pixelFormat == pf8bit) {
            row[x] = std::uint8_t(i);
        } else if (image.pixelFormat == pf4bit) {
            SetPackedIndex<4>(row, std::size_t(x), i);
        } else {
            SetPackedIndex<1>(row, std::size_t(x), i);
        }
    }
    }
}

TCanvas& TBitmap::Canvas()
{
    if (!canvas_)
        canvas_ = std::make_unique<TCanvas>(*this);
    return *canvas_;
}

void TBitmap::Draw(TCanvas& canvas, const TRect& r) const { canvas.StretchDrawBitmap(r, *this); }

} // namespace gz

#include "platform/BmpFile.h"

namespace gz {

void TBitmap::LoadFromStream(TStream& stream)
{
    ReadBitmapFile(stream, *this);
    Changed();
}

void TBitmap::SaveToStream(TStream& stream) const { WriteBitmapFile(stream, *this); }

} // namespace gz
