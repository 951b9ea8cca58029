#pragma once
// TKroPNG: the PNG picture class. It holds the decoded image in an owned platform bitmap, an
// optional 8-bit transparency mask (0 opaque … 255 transparent) in a second one, and the
// PNG settings. Every save creates a TKroPNGWriteStream and every load a TKroPNGReadStream;
// the settings travel into them and the values found in a file come back out of the reader.

#include "png/KroPNGSettings.h"
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

// The settings are public fields of the groups it derives from (KroPNGSettings.h), so that
// each group is copied as one value; Assign copies TKroPNGSettings and nothing else.
class TKroPNG : public TGraphic, public TKroPNGSettings, public TKroPNGReadFacts, public TKroPNGReadOptions {
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

    TKroPNGSettings& Settings() { return *this; }
    const TKroPNGSettings& Settings() const { return *this; }
    const TKroPNGDescription& Description() const { return *this; }
    const TKroPNGReadOptions& ReadOptions() const { return *this; }

    // ---- settings outside the groups ----
    // gIFg: written and read like ModifiedTime, but kept by Assign.
    TKroPNGGifExtension GifExtension;

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
