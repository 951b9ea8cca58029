#pragma once
// TKroPNG: the PNG picture class. It holds the decoded image in an owned platform bitmap, an
// optional 8-bit transparency mask (0 opaque … 255 transparent) in a second one, and the
// PNG settings. Every save creates a TKroPNGWriteStream and every load a TKroPNGReadStream;
// the settings travel into them and the values found in a file come back out of the reader.

#include "png/PngFormat.h"
#include "png/PngReader.h"
#include "png/PngWriter.h"

#include "platform/Bitmap.h"
#include "platform/Graphic.h"
#include "platform/GraphicClass.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace gz {

class TKroPNG : public TGraphic {
public:
    TKroPNG();
    ~TKroPNG() override;

    std::string ClassName() const override { return "TKroPNG"; }

    void LoadFromStream(TStream& stream) override;
    void SaveToStream(TStream& stream) const override;
    // Saves a 24-bit picture given row by row (rows(y) top to bottom, once each unless
    // interlaced) with this graphic's settings, as SaveToStream saves the image bitmap.
    void SaveRowsToStream(int width, int height, std::function<const std::uint8_t*(int y)> rows,
                          TStream& stream) const;
    // The graphic's data inside a stored form or picture: a complete PNG file written with
    // the writer's own defaults for size, level, filter, interlace and time; nothing for an
    // empty image.
    void WriteData(TStream& stream) const;
    // Reads the PNG file that starts at the stream's position (the rest of the stream).
    void ReadData(TStream& stream);

    void Assign(const TGraphic& source) override;
    void AssignTo(TGraphic& dest) const override;
    void Draw(TCanvas& canvas, const TRect& r) const override;

    int Width() const override { return image_->Width(); }
    int Height() const override { return image_->Height(); }
    void SetWidth(int value) override;
    void SetHeight(int value) override;
    bool Empty() const override { return image_->Empty(); }
    std::vector<TPaletteEntry> Palette() const override { return image_->Palette(); }
    void SetPalette(const std::vector<TPaletteEntry>& entries);
    void SetTransparent(bool value) override;

    TBitmap& ImageBitmap() { return *image_; }
    const TBitmap& ImageBitmap() const { return *image_; }
    TBitmap& AlphaBitmap() { return *alpha_; }
    const TBitmap& AlphaBitmap() const { return *alpha_; }

    // ---- settings ----
    int IDATSize = 32768;          // checked by the writer at save time (256..100000)
    int CompressionLevel = -1;     // zlib level; -1 zlib's default
    std::uint8_t FilterMode = 1;   // 0 adaptive, 1 None, 2 Sub, 3 Up, 4 Average, 5 Paeth
    std::uint8_t Interlace = 0;    // 0 none, 1 Adam7
    bool GrayScale = false;        // write grey; after a load: the file was grey
    bool HasAlpha = false;         // AlphaBitmap is valid and is written on save
    int FileBits = 0;              // bits per pixel of the last file read
    std::int32_t BackgroundColor = png::kNoColor;
    std::int32_t TransparentColor = png::kNoColor;
    std::string Comment;
    double Gamma = 0.45455;
    std::string RowKey;
    std::int32_t SignificantBits = 0; // bytes red, green, blue, alpha
    std::uint8_t PixelUnit = 0;       // 0 unknown, 1 per metre, 2 per inch
    std::int32_t PixelsPerUnitX = 0;
    std::int32_t PixelsPerUnitY = 0;
    bool SkipMacBinary = true;
    bool UseCurrentTime = true;
    TKroPNGTime ModifiedTime;         // the clock (UTC) at creation; a load overwrites it
    TKroPNGChromaticity Chromaticity{};
    TKroPNGGifExtension GifExtension;
    bool ReadHighColor = false;
    // The colour profile the last file read embeds (iCCP), describing ImageBitmap's colours;
    // empty: sRGB. Never written: saved files are sRGB.
    std::vector<std::uint8_t> IccProfile;

    TKroRowKeyRequestEvent OnRowKeyRequest;
    TKroPNGWriteRowEvent OnWriteRow;
    TKroReadRowEvent OnReadRow;

private:
    // Copies the reader's findings into the settings.
    void TakeResults(const TKroPNGReadStream& reader, bool withInterlace);
    // Makes the graphic's transparent flag follow the image bitmap's and signals a change.
    void SyncTransparent();
    void ConfigureWriter(TKroPNGWriteStream& writer) const;
    void ConfigureSave(TKroPNGWriteStream& writer) const;

    std::unique_ptr<TBitmap> image_;
    std::unique_ptr<TBitmap> alpha_;
    bool syncing_ = false;
};

// The run-time class of TKroPNG.
const TGraphicClass& KroPNGClass();
// Start-up and shut-down of the PNG format in the picture-format registry ("PNG", "PNG Format").
// Registration also lets icons read their PNG-compressed images; unregistering withdraws that.
void RegisterKroPNGFormat();
void UnregisterKroPNGFormat();

// A PNG-compressed icon image as 32-bit pixels whose fourth byte is the opacity (alpha channel,
// palette alpha or transparent colour; otherwise opaque). Raises EKroPNG for a broken file.
TBitmap ReadIconPngImage(const std::uint8_t* data, std::size_t size);

} // namespace gz
