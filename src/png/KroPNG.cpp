#include "png/KroPNG.h"

#include "registry/PictureFormats.h"

#include "platform/Canvas.h"
#include "platform/Icon.h"
#include "platform/Streams.h"

#include <utility>

namespace gz {

namespace {

// Installs the graphic's progress listener on a bitmap for the length of one operation and
// puts the bitmap's own listener back however the operation ends.
class TProgressForward {
public:
    TProgressForward(TBitmap& bitmap, const TProgressEvent& handler) : bitmap_(bitmap)
    {
        if (handler) {
            saved_ = std::move(bitmap_.OnProgress);
            bitmap_.OnProgress = handler;
            installed_ = true;
        }
    }
    ~TProgressForward()
    {
        if (installed_)
            bitmap_.OnProgress = std::move(saved_);
    }
    TProgressForward(const TProgressForward&) = delete;
    TProgressForward& operator=(const TProgressForward&) = delete;

private:
    TBitmap& bitmap_;
    TProgressEvent saved_;
    bool installed_ = false;
};

} // namespace

TKroPNG::TKroPNG()
    : image_(std::make_unique<TBitmap>()), alpha_(std::make_unique<TBitmap>())
{
    ModifiedTime = CurrentPNGTimeUTC();
}

TKroPNG::~TKroPNG() = default;

// ---- saving ----

void TKroPNG::ConfigureWriter(TKroPNGWriteStream& writer) const
{
    writer.SetDescription(Description());
    writer.SetModifiedTime(&ModifiedTime);
    writer.SetChromaticity(&Chromaticity);
    writer.SetGifExtension(&GifExtension);
    if (HasAlpha)
        writer.SetAlphaBitmap(alpha_.get());
}

void TKroPNG::ConfigureSave(TKroPNGWriteStream& writer) const
{
    writer.SetCompressionLevel(CompressionLevel);
    writer.SetFilterMode(FilterMode);
    writer.SetIDATSize(IDATSize);
    writer.SetInterlace(Interlace);
    ConfigureWriter(writer);
    writer.SetUseCurrentTime(UseCurrentTime);
    writer.OnWriteRow = OnWriteRow;
    writer.SetRowKey(RowKey);
}

void TKroPNG::SaveToStream(TStream& stream) const
{
    TKroPNGWriteStream writer;
    ConfigureSave(writer);
    TProgressForward forward(*image_, OnProgress);
    writer.WriteBitmap(*image_, stream);
}

void TKroPNG::SaveRowsToStream(int width, int height, std::function<const std::uint8_t*(int y)> rows,
                               TStream& stream) const
{
    TKroPNGWriteStream writer;
    ConfigureSave(writer);
    writer.SetAlphaBitmap(nullptr);
    writer.WriteRows(width, height, std::move(rows), stream);
}

void TKroPNG::WriteData(TStream& stream) const
{
    if (image_->Empty())
        return;
    TKroPNGWriteStream writer;
    ConfigureWriter(writer);
    writer.WriteBitmap(*image_, stream);
}

// ---- loading ----

void TKroPNG::TakeResults(const TKroPNGReadStream& reader, bool withInterlace)
{
    static_cast<TKroPNGDescription&>(*this) = reader.Description();
    static_cast<TKroPNGReadFacts&>(*this) = reader.Facts();
    IccProfile = reader.IccProfile();
    if (withInterlace)
        Interlace = std::uint8_t(reader.Interlace());
}

void TKroPNG::LoadFromStream(TStream& stream)
{
    TKroPNGReadStream reader;
    reader.OnReadRow = OnReadRow;
    reader.OnRowKeyRequest = OnRowKeyRequest;
    reader.SetOptions(ReadOptions());
    reader.TimeTarget = &ModifiedTime;
    reader.ChromaticityTarget = &Chromaticity;
    reader.GifExtensionTarget = &GifExtension;
    alpha_->Clear();
    reader.MaskTarget = alpha_.get();
    {
        TProgressForward forward(*image_, OnProgress);
        reader.ReadBitmap(*image_, stream);
    }
    TakeResults(reader, true);
    SyncTransparent();
}

void TKroPNG::ReadData(TStream& stream)
{
    alpha_->Clear();
    TKroPNGReadStream reader;
    reader.TimeTarget = &ModifiedTime;
    reader.ChromaticityTarget = &Chromaticity;
    reader.GifExtensionTarget = &GifExtension;
    reader.MaskTarget = alpha_.get();
    reader.ReadBitmap(*image_, stream);
    TakeResults(reader, false);
    SyncTransparent();
    Changed();
}

// ---- assignment ----

void TKroPNG::Assign(const TGraphic& source)
{
    if (&source == this)
        return;
    if (const auto* png = dynamic_cast<const TKroPNG*>(&source)) {
        image_->Assign(*png->image_);
        alpha_->Assign(*png->alpha_);
        Settings() = png->Settings(); // the profile describes the image taken over
        SyncTransparent();
        return;
    }
    // Any other picture: the image takes a copy of it (a platform bitmap keeps its format,
    // palette and transparency); pictures the bitmap cannot take raise the conversion error.
    image_->Assign(source);
    IccProfile.clear();
    SyncTransparent();
}

void TKroPNG::AssignTo(TGraphic& dest) const
{
    if (&dest == image_.get())
        return;
    dest.Assign(*image_);
}

void TKroPNG::Draw(TCanvas& canvas, const TRect& r) const { image_->Draw(canvas, r); }

// ---- size, palette, transparency ----

void TKroPNG::SetWidth(int value)
{
    if (!image_->Empty())
        image_->SetWidth(value);
    if (!alpha_->Empty())
        alpha_->SetWidth(value);
    Changed();
}

void TKroPNG::SetHeight(int value)
{
    if (!image_->Empty())
        image_->SetHeight(value);
    if (!alpha_->Empty())
        alpha_->SetHeight(value);
    Changed();
}

void TKroPNG::SetPalette(const std::vector<TPaletteEntry>& entries)
{
    image_->SetPalette(entries);
    Changed();
}

void TKroPNG::SetTransparent(bool value)
{
    if (!syncing_ && image_->Transparent() != value)
        image_->SetTransparent(value);
    TGraphic::SetTransparent(value);
}

void TKroPNG::SyncTransparent()
{
    if (Transparent() == image_->Transparent()) {
        Changed();
        return;
    }
    syncing_ = true;
    try {
        SetTransparent(image_->Transparent());
    } catch (...) {
        syncing_ = false;
        throw;
    }
    syncing_ = false;
}

// ---- registration ----

const TGraphicClass& KroPNGClass()
{
    static const TGraphicClass cls{"TKroPNG", &GraphicBaseClass(), [] { return std::make_unique<TKroPNG>(); }};
    return cls;
}

void RegisterKroPNGFormat()
{
    AppendPictureFormat("PNG", "PNG Format", KroPNGClass());
    SetIconPngDecoder(&ReadIconPngImage);
}

void UnregisterKroPNGFormat()
{
    SetIconPngDecoder(nullptr);
    RemovePictureClass(KroPNGClass());
}

} // namespace gz
