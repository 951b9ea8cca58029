#pragma once
// TBitmap: the platform bitmap. Pixel formats of 1, 4, 8, 15, 16, 24 and 32 bits per pixel,
// a palette of up to 256 entries for the 1/4/8-bit formats, rows stored top row first, each
// row padded to a multiple of 4 bytes. 15-bit pixels are 5-5-5 and 16-bit pixels 5-6-5 with
// red in the high bits; 24-bit pixels are blue, green, red; 32-bit pixels add a fourth byte.
//
// Copies share their pixel storage; the first write through a copy (ScanLine, a canvas
// operation, a size or format change) gives it storage of its own.

#include "platform/Graphic.h"
#include "platform/Types.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace gz {

class TCanvas;
struct TBitmapImage;

class TBitmap : public TGraphic {
public:
    TBitmap();
    TBitmap(int width, int height, TPixelFormat pf = pf24bit);
    // Copies share storage (no pixels are copied until one side writes).
    TBitmap(const TBitmap& other);
    TBitmap& operator=(const TBitmap& other);
    ~TBitmap() override;

    std::string ClassName() const override { return "TBitmap"; }

    // Bitmap files (BMP); implemented by the bitmap file reader and writer.
    void LoadFromStream(TStream& stream) override;
    void SaveToStream(TStream& stream) const override;

    void Assign(const TGraphic& source) override;
    void AssignTo(TGraphic& dest) const override;
    void Draw(TCanvas& canvas, const TRect& r) const override;

    int Width() const override;
    int Height() const override;
    void SetWidth(int value) override;
    void SetHeight(int value) override;
    // Keeps the pixels of the overlapping top-left area; new area is white.
    void SetSize(int width, int height);
    bool Empty() const override { return Width() == 0 || Height() == 0; }

    TPixelFormat PixelFormat() const;
    // Converts the pixels to the new format (palette formats get a default palette or keep
    // their own when it fits; deeper formats are matched to the nearest palette colour).
    void SetPixelFormat(TPixelFormat pf);

    std::vector<TPaletteEntry> Palette() const override;
    void SetPalette(const std::vector<TPaletteEntry>& entries);

    TColor TransparentColor() const { return transparentColor_; }
    void SetTransparentColor(TColor c) { transparentColor_ = c; }

    // Row access, top row first. The writable form detaches shared storage first.
    const std::uint8_t* ScanLine(int y) const;
    std::uint8_t* ScanLine(int y);
    std::size_t RowBytes() const;

    // Fresh storage of the given size and format with undefined contents, for code that
    // writes every row itself. Keeps the palette when the format stays a palette format.
    void AllocateUninitialized(int width, int height, TPixelFormat pf);
    // The same with every byte zero; the memory is only touched as rows are written.
    void AllocateZeroed(int width, int height, TPixelFormat pf);
    // Releases the pixels: the bitmap becomes empty (0 x 0) and keeps its pixel format.
    void Clear();

    // The colour of one pixel as 0x00BBGGRR, and setting one pixel to a colour.
    TColor Pixel(int x, int y) const;
    void SetPixel(int x, int y, TColor c);

    // Reads row y as blue, green, red triples (width * 3 bytes) whatever the pixel format.
    void ReadRowBGR(int y, std::uint8_t* out) const;

    TCanvas& Canvas();

    // True when both bitmaps currently use the same pixel storage.
    bool SharesImageWith(const TBitmap& other) const { return image_ == other.image_; }

private:
    void Allocate(int width, int height, TPixelFormat pf, bool zeroed);
    void Detach();
    void ReplaceImage(std::shared_ptr<TBitmapImage> image);

    std::shared_ptr<TBitmapImage> image_;
    TColor transparentColor_ = clNone;
    std::unique_ptr<TCanvas> canvas_;
};

// Default palettes of the palette formats: black/white, the 16 standard colours, and a
// colour cube with grey levels for 8 bits.
std::vector<TPaletteEntry> DefaultPalette(TPixelFormat pf);
std::vector<TPaletteEntry> GreyPalette(int entries);

// Widening of 15-bit (5-5-5) and 16-bit (5-6-5) pixels to 8-bit channels.
inline std::uint8_t Widen5(unsigned v) { return std::uint8_t((v << 3) | (v >> 2)); }
inline std::uint8_t Widen6(unsigned v) { return std::uint8_t((v << 2) | (v >> 4)); }

} // namespace gz
