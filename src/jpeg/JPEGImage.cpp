#include "jpeg/JPEGImage.h"

#include "jpeg/JPEGCodec.h"
#include "platform/Canvas.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace gz {

TJPEGDefaults& JPEGDefaults()
{
    static TJPEGDefaults defaults;
    return defaults;
}

TJPEGImage::TJPEGImage() : image_(std::make_shared<TJPEGData>())
{
    const TJPEGDefaults& d = JPEGDefaults();
    smoothing_ = d.Smoothing;
    grayScale_ = d.GrayScale;
    eightBitOutput_ = d.EightBitOutput;
    quality_ = std::clamp(int(d.Quality), 1, 100);
    progressive_ = d.Progressive;
    fastDecode_ = d.FastDecode;
    scaleShift_ = std::clamp(int(d.ScaleShift), 0, 3);
}

TJPEGImage::~TJPEGImage() = default;

// ---- streams ----

void TJPEGImage::LoadFromStream(TStream& stream) { ReadData(stream, stream.Size() - stream.Position()); }

void TJPEGImage::ReadData(TStream& stream, std::int64_t size)
{
    image_ = std::make_shared<TJPEGData>();
    bitmap_.reset();
    bitmapIsSource_ = false;
    auto data = std::make_unique<TMemoryStream>();
    if (size > 0) {
        if (auto* memory = dynamic_cast<TCustomMemoryStream*>(&stream)) {
            // Straight from the source's memory, without clearing the copy first.
            const std::int64_t from = memory->Position();
            data->Write(memory->Memory() + from, std::size_t(size));
            memory->SetPosition(from + size);
        } else {
            data->SetSize(size);
            stream.ReadBuffer(data->Memory(), std::size_t(size));
        }
        data->SetPosition(0);
    }
    image_->Data = std::move(data);
    if (size > 0) {
        const TJPEGHeader header = ReadJPEGHeader(*image_->Data);
        image_->Width = header.Width;
        image_->Height = header.Height;
        image_->Gray = header.Gray;
        image_->Orientation = header.Orientation;
        progressive_ = header.Progressive;
    }
    Changed();
}

void TJPEGImage::SaveToStream(TStream& stream) const
{
    JPEGNeeded();
    if (HasBytes())
        stream.WriteBuffer(image_->Data->Memory(), std::size_t(image_->Data->Size()));
}

void TJPEGImage::ReadEmbeddedData(TStream& stream)
{
    std::uint8_t field[4];
    stream.ReadBuffer(field, sizeof field);
    const auto length = std::int32_t(std::uint32_t(field[0]) | (std::uint32_t(field[1]) << 8) |
                                     (std::uint32_t(field[2]) << 16) | (std::uint32_t(field[3]) << 24));
    if (length < 0 || length > stream.Size() - stream.Position())
        throw EReadError("Stream read error");
    ReadData(stream, length);
}

void TJPEGImage::WriteEmbeddedData(TStream& stream) const
{
    JPEGNeeded();
    const std::int64_t size = HasBytes() ? image_->Data->Size() : 0;
    if (size > std::numeric_limits<std::int32_t>::max())
        throw EWriteError("JPEG data too large to embed");
    const auto length = std::uint32_t(size);
    const std::uint8_t field[4] = {std::uint8_t(length), std::uint8_t(length >> 8), std::uint8_t(length >> 16),
                                   std::uint8_t(length >> 24)};
    stream.WriteBuffer(field, sizeof field);
    if (size > 0)
        stream.WriteBuffer(image_->Data->Memory(), std::size_t(size));
}

// ---- lazy conversion ----

std::function<void(TProgressStage, int)> TJPEGImage::ProgressRelay() const
{
    if (!OnProgress)
        return {};
    auto* self = const_cast<TJPEGImage*>(this);
    return [self](TProgressStage stage, int percent) {
        self->Progress(*self, stage, std::uint8_t(std::clamp(percent, 0, 100)), false, TRect{}, "");
    };
}

void TJPEGImage::DIBNeeded() const
{
    if (!bitmap_)
        Decode();
}

void TJPEGImage::JPEGNeeded() const
{
    if (!image_->Data)
        Encode();
}

const TBitmap& TJPEGImage::Bitmap() const
{
    DIBNeeded();
    return *bitmap_;
}

const TJPEGData& TJPEGImage::Data() const
{
    JPEGNeeded();
    return *image_;
}

// A failed decode keeps the bitmap it started, with the rows decoded so far; later requests
// return it as it is. A progress listener's EAbort ends decoding quietly.
void TJPEGImage::Decode() const
{
    bitmap_ = std::make_unique<TBitmap>();
    bitmapIsSource_ = false;
    if (!image_->Data)
        return;
    TJPEGDecodeOptions options;
    options.Smoothing = smoothing_;
    options.GrayScale = grayScale_;
    options.EightBitOutput = eightBitOutput_;
    options.FastDecode = fastDecode_;
    options.ScaleShift = scaleShift_;
    options.ExternalPalette = palette_.empty() ? nullptr : &palette_;
    try {
        DecodeJPEG(*image_->Data, options, *bitmap_, ProgressRelay());
    } catch (const EAbort&) {
    }
    if (!bitmap_->Palette().empty() && IsPaletteFormat(bitmap_->PixelFormat()))
        const_cast<TJPEGImage*>(this)->Changed();
}

// Encodes into fresh data, so that copies sharing the old data keep it. Any failure leaves
// no bytes behind (the next save tries again); a listener's EAbort ends quietly.
void TJPEGImage::Encode() const
{
    if (image_->Data || image_.use_count() > 1)
        image_ = std::make_shared<TJPEGData>();
    image_->Data = std::make_unique<TMemoryStream>();
    if (!bitmap_ || bitmap_->Width() == 0 || bitmap_->Height() == 0)
        return;
    image_->Width = bitmap_->Width();
    image_->Height = bitmap_->Height();
    image_->Gray = grayScale_;
    TJPEGEncodeOptions options;
    options.Quality = quality_;
    options.GrayScale = grayScale_;
    options.Progressive = progressive_;
    try {
        EncodeJPEG(*bitmap_, *image_->Data, options, ProgressRelay());
    } catch (const EAbort&) {
        image_ = std::make_shared<TJPEGData>();
    } catch (...) {
        image_ = std::make_shared<TJPEGData>();
        throw;
    }
}

// ---- graphic operations ----

void TJPEGImage::Assign(const TGraphic& source)
{
    if (&source == this)
        return;
    if (const auto* jpeg = dynamic_cast<const TJPEGImage*>(&source)) {
        image_ = jpeg->image_;
        bitmap_ = jpeg->bitmap_ ? std::make_unique<TBitmap>(*jpeg->bitmap_) : nullptr;
        bitmapIsSource_ = jpeg->bitmapIsSource_;
        Changed();
        return;
    }
    if (const auto* bmp = dynamic_cast<const TBitmap*>(&source)) {
        image_ = std::make_shared<TJPEGData>();
        bitmap_ = std::make_unique<TBitmap>(*bmp);
        bitmapIsSource_ = true;
        Changed();
        return;
    }
    TGraphic::Assign(source);
}

void TJPEGImage::AssignTo(TGraphic& dest) const
{
    if (auto* bmp = dynamic_cast<TBitmap*>(&dest)) {
        DIBNeeded();
        bmp->Assign(*bitmap_);
        return;
    }
    TGraphic::AssignTo(dest);
}

void TJPEGImage::Draw(TCanvas& canvas, const TRect& r) const
{
    DIBNeeded();
    canvas.StretchDrawBitmap(r, *bitmap_);
}

int TJPEGImage::Width() const
{
    if (bitmap_)
        return bitmap_->Width();
    const int divisor = 1 << scaleShift_;
    return int((std::int64_t(image_->Width) + divisor - 1) / divisor);
}

int TJPEGImage::Height() const
{
    if (bitmap_)
        return bitmap_->Height();
    const int divisor = 1 << scaleShift_;
    return int((std::int64_t(image_->Height) + divisor - 1) / divisor);
}

void TJPEGImage::SetWidth(int) { throw EInvalidGraphicOperation("JPEG イメージのサイズは変更できません"); }
void TJPEGImage::SetHeight(int) { throw EInvalidGraphicOperation("JPEG イメージのサイズは変更できません"); }

bool TJPEGImage::Empty() const
{
    if (bitmap_)
        return bitmap_->Empty();
    return !HasBytes();
}

std::vector<TPaletteEntry> TJPEGImage::Palette() const { return bitmap_ ? bitmap_->Palette() : palette_; }

void TJPEGImage::SetPalette(const std::vector<TPaletteEntry>& palette)
{
    palette_ = palette;
    if (bitmap_ && !bitmapIsSource_ && IsPaletteFormat(bitmap_->PixelFormat()) && bitmap_->Palette() != palette) {
        bitmap_.reset();
        Changed();
    }
}

bool TJPEGImage::Equals(const TGraphic& other) const
{
    const auto* jpeg = dynamic_cast<const TJPEGImage*>(&other);
    if (!jpeg)
        return false;
    if (image_ == jpeg->image_)
        return true;
    TMemoryStream* a = image_->Data.get();
    TMemoryStream* b = jpeg->image_->Data.get();
    if (!a || !b)
        return false;
    return a->Size() == b->Size() && (a->Size() == 0 || std::memcmp(a->Memory(), b->Memory(), std::size_t(a->Size())) == 0);
}

// ---- settings ----

void TJPEGImage::DecodingSettingChanged()
{
    if (bitmap_ && !bitmapIsSource_) {
        bitmap_.reset();
        Changed();
    }
}

void TJPEGImage::EncodingSettingChanged()
{
    if (bitmapIsSource_ && image_->Data)
        image_ = std::make_shared<TJPEGData>();
}

void TJPEGImage::SetSmoothing(bool value)
{
    if (value != smoothing_) {
        smoothing_ = value;
        DecodingSettingChanged();
    }
}

void TJPEGImage::SetGrayScale(bool value)
{
    if (value != grayScale_) {
        grayScale_ = value;
        DecodingSettingChanged();
        EncodingSettingChanged();
    }
}

void TJPEGImage::SetEightBitOutput(bool value)
{
    if (value != eightBitOutput_) {
        eightBitOutput_ = value;
        DecodingSettingChanged();
    }
}

void TJPEGImage::SetFastDecode(bool value)
{
    if (value != fastDecode_) {
        fastDecode_ = value;
        DecodingSettingChanged();
    }
}

void TJPEGImage::SetScaleShift(int value)
{
    value = std::clamp(value, 0, 3);
    if (value != scaleShift_) {
        scaleShift_ = value;
        DecodingSettingChanged();
    }
}

void TJPEGImage::SetQuality(int value)
{
    value = std::clamp(value, 1, 100);
    if (value != quality_) {
        quality_ = value;
        EncodingSettingChanged();
    }
}

void TJPEGImage::SetProgressive(bool value)
{
    if (value != progressive_) {
        progressive_ = value;
        EncodingSettingChanged();
    }
}

} // namespace gz
