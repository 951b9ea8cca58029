#pragma once
// TJPEGImage: the JPEG picture class. It holds a complete JPEG file in memory and converts
// lazily both ways: loading reads the bytes and parses only the header, the bitmap is decoded
// when first needed and kept; a picture assigned from a bitmap is encoded when its bytes are
// first needed (saving). Copies share one reference-counted TJPEGData.

#include "jpeg/JPEGError.h"
#include "platform/Bitmap.h"
#include "platform/Graphic.h"
#include "platform/GraphicClass.h"
#include "platform/Streams.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace gz {

// The compressed picture shared between copies of a TJPEGImage.
struct TJPEGData {
    std::unique_ptr<TMemoryStream> Data; // the whole file, SOI to EOI; none until loaded or encoded
    std::int32_t Height = 0;
    std::int32_t Width = 0;
    bool Gray = false; // grey colour space read from the file, or encoded as grey
    int Orientation = 1; // the file's EXIF orientation tag
};

// The settings every new TJPEGImage starts with.
struct TJPEGDefaults {
    std::uint8_t Quality = 90;
    bool GrayScale = false;
    bool FastDecode = false;
    bool EightBitOutput = false; // a program on a palette display may switch this on at start-up
    bool Progressive = false;
    std::uint8_t ScaleShift = 0;
    bool Smoothing = true;
};
TJPEGDefaults& JPEGDefaults();

class TJPEGImage : public TGraphic {
public:
    TJPEGImage();
    ~TJPEGImage() override;

    std::string ClassName() const override { return "TJPEGImage"; }

    // Reads every byte from the current position to the end; parses only the header.
    void LoadFromStream(TStream& stream) override;
    // Encodes first when there are no bytes yet, then writes the whole file.
    void SaveToStream(TStream& stream) const override;

    // From a TJPEGImage: shares its data (and copies its decoded bitmap); from a TBitmap of
    // any pixel format: keeps a copy to be encoded on demand.
    void Assign(const TGraphic& source) override;
    // To a TBitmap: the decoded picture.
    void AssignTo(TGraphic& dest) const override;
    void Draw(TCanvas& canvas, const TRect& r) const override;

    int Width() const override;
    int Height() const override;
    // A JPEG picture cannot be resized: both raise EInvalidGraphicOperation.
    void SetWidth(int value) override;
    void SetHeight(int value) override;
    bool Empty() const override;
    // The orientation tag of the file's EXIF segment; 1 for a picture assigned from a bitmap.
    int Orientation() const override { return image_->Orientation; }

    std::vector<TPaletteEntry> Palette() const override;
    // A palette from outside; with EightBitOutput the next decode maps the picture onto it.
    void SetPalette(const std::vector<TPaletteEntry>& palette);

    // Another TJPEGImage with the same bytes, or sharing the same data.
    bool Equals(const TGraphic& other) const;

    // The form used inside other files: a 4-byte little-endian length, then the JPEG bytes.
    void ReadEmbeddedData(TStream& stream);
    void WriteEmbeddedData(TStream& stream) const;

    // Decodes now if there is no bitmap yet; encodes now if there are no bytes yet.
    void DIBNeeded() const;
    void JPEGNeeded() const;
    // The decoded picture (decoding first if needed).
    const TBitmap& Bitmap() const;
    // The shared compressed data (encoding first if needed).
    const TJPEGData& Data() const;
    bool SharesDataWith(const TJPEGImage& other) const { return image_ == other.image_; }

    // Decoding settings; changing one drops a bitmap decoded with the old value.
    bool Smoothing() const { return smoothing_; }
    void SetSmoothing(bool value);
    bool GrayScale() const { return grayScale_; } // also encodes one grey component
    void SetGrayScale(bool value);
    bool EightBitOutput() const { return eightBitOutput_; }
    void SetEightBitOutput(bool value);
    bool FastDecode() const { return fastDecode_; }
    void SetFastDecode(bool value);
    int ScaleShift() const { return scaleShift_; }
    void SetScaleShift(int value); // 0..3

    // Encoding settings; changing one drops bytes encoded from the bitmap with the old value.
    int Quality() const { return quality_; }
    void SetQuality(int value); // 1..100
    // Set on loading to whether the file has more than one scan.
    bool Progressive() const { return progressive_; }
    void SetProgressive(bool value);

private:
    void ReadData(TStream& stream, std::int64_t size);
    void Decode() const;
    void Encode() const;
    bool HasBytes() const { return image_->Data && image_->Data->Size() > 0; }
    void DecodingSettingChanged();
    void EncodingSettingChanged();
    std::function<void(TProgressStage, int)> ProgressRelay() const;

    mutable std::shared_ptr<TJPEGData> image_;
    mutable std::unique_ptr<TBitmap> bitmap_;
    // True when the bitmap is the picture itself (assigned) rather than a cache of the bytes.
    mutable bool bitmapIsSource_ = false;
    std::vector<TPaletteEntry> palette_;

    bool smoothing_;
    bool grayScale_;
    bool eightBitOutput_;
    int quality_;
    bool progressive_;
    bool fastDecode_;
    int scaleShift_;
};

const TGraphicClass& JPEGImageClass();

// Registers TJPEGImage for "jpeg" and then "jpg" ("JPEG イメージファイル") in the picture-format
// registry; UnregisterJPEGFormats removes those entries again.
void RegisterJPEGFormats();
void UnregisterJPEGFormats();

} // namespace gz
