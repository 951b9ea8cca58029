// The plug-in picture classes: TSPIGraphic presents a plug-in's bitmap, TSPIBitmap keeps a
// platform bitmap copy of it.

#include "susie/SPIBmp.h"

#include "platform/Canvas.h"
#include "platform/Exceptions.h"
#include "platform/FileExtension.h"
#include "platform/Streams.h"

#include <cstring>

namespace gz {
namespace {

void PutLE16(std::uint8_t* p, std::uint16_t v)
{
    p[0] = std::uint8_t(v);
    p[1] = std::uint8_t(v >> 8);
}
void PutLE32(std::uint8_t* p, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = std::uint8_t(v >> (8 * i));
}

} // namespace

// ---- TSPIGraphic -------------------------------------------------------------------------

TSPIGraphic::TSPIGraphic() = default;
TSPIGraphic::~TSPIGraphic() { Clear(); }

void TSPIGraphic::Clear()
{
    Data.reset();
    geometry_.reset();
}

const TSPIDibGeometry& TSPIGraphic::Geometry() const
{
    if (!geometry_) {
        geometry_ = TSPIDibGeometry{};
        if (!Empty()) {
            // Checked against the blocks when the plug-in delivered them; checked again here so
            // that a decode object filled some other way cannot make us read past a block.
            if (auto g = CheckPluginBitmap(Data->BitmapInfo(), LocalSize(Data->InfoHandle), LocalSize(Data->BitsHandle)))
                geometry_ = *g;
        }
    }
    return *geometry_;
}

std::vector<TPaletteEntry> TSPIGraphic::Palette() const
{
    const TSPIDibGeometry& g = Geometry();
    std::vector<TPaletteEntry> entries;
    if (g.Colors == 0)
        return entries;
    const std::uint8_t* table = Data->BitmapInfo() + 40;
    entries.reserve(std::size_t(g.Colors));
    for (int i = 0; i < g.Colors; ++i)
        entries.push_back({table[4 * i + 2], table[4 * i + 1], table[4 * i]});
    return entries;
}

void TSPIGraphic::LoadFromFile(const std::string& fileName)
{
    Clear();
    Data = std::make_unique<TInSPIAbleFromFile>(*this, fileName);
    CommonLoad();
}

void TSPIGraphic::LoadFromStream(TStream& stream) { LoadFromStreamWithName(stream, std::string()); }

void TSPIGraphic::LoadFromStreamWithName(TStream& stream, const std::string& fileName)
{
    Clear();
    try {
        Data = std::make_unique<TInSPIAbleFromStream>(*this, fileName, stream);
    } catch (...) {
        Clear();
        throw;
    }
    CommonLoad();
}

void TSPIGraphic::CommonLoad()
{
    try {
        Data->OnProgress = OnProgress;
        Data->Load();
        if (Data->Empty())
            throw EInvalidGraphic(kSPICouldNotDecode);
    } catch (...) {
        Clear();
        throw;
    }
    Changed();
}

void TSPIGraphic::SaveToStream(TStream& stream) const
{
    const TSPIDibGeometry& g = Geometry();
    if (g.Width == 0)
        return; // nothing decoded: nothing to write
    std::uint8_t fileHeader[kBitmapFileHeaderSize] = {'B', 'M'};
    PutLE32(fileHeader + 2, std::uint32_t(14 + g.InfoSize + g.ImageSize));
    PutLE16(fileHeader + 6, 0);
    PutLE16(fileHeader + 8, 0);
    PutLE32(fileHeader + 10, std::uint32_t(14 + g.InfoSize));
    stream.WriteBuffer(fileHeader, sizeof fileHeader);
    stream.WriteBuffer(Data->BitmapInfo(), std::size_t(g.InfoSize));
    stream.WriteBuffer(Data->Bits(), std::size_t(g.ImageSize));
}

TBitmap TSPIGraphic::ToBitmap() const
{
    TMemoryStream image;
    SaveToStream(image);
    image.SetPosition(0);
    TBitmap bitmap;
    bitmap.LoadFromStream(image);
    if (FourBit())
        bitmap.SetPalette(Palette());
    return bitmap;
}

TSPIPictureNotes TSPIGraphic::Notes() const
{
    return Data && !Empty() ? ReadPictureNotes(Data->PictureInfo.hInfo) : TSPIPictureNotes{};
}

void TSPIGraphic::AssignTo(TGraphic& dest) const
{
    if (auto* bitmap = dynamic_cast<TBitmap*>(&dest)) {
        bitmap->Assign(ToBitmap());
        return;
    }
    TGraphic::AssignTo(dest);
}

void TSPIGraphic::Draw(TCanvas& canvas, const TRect& r) const
{
    if (!Data || Empty())
        return;
    // Rows and columns are dropped or repeated, never blended.
    canvas.StretchDrawBitmap(r, ToBitmap());
}

// ---- TSPIBitmap --------------------------------------------------------------------------

TProgressEvent TSPIBitmap::Forwarder()
{
    return [this](TGraphic&, TProgressStage stage, std::uint8_t percent, bool redraw, const TRect& r,
                  const std::string& msg) {
        if (stage != psEnding)
            Progress(*this, stage, percent, redraw, r, msg);
    };
}

void TSPIBitmap::ReportLoaded()
{
    Progress(*this, psEnding, 100, true, TRect{0, 0, Width(), Height()}, "Loaded Graphic");
}

void TSPIBitmap::LoadFromFile(const std::string& fileName)
{
    try {
        const bool bitmapFile = UpperFileExtension(fileName) == ".BMP";
        std::unique_ptr<TGraphic> result;
        for (int attempt = 0; attempt < 2 && !result; ++attempt) {
            const bool plainBitmap = (attempt == 0) == bitmapFile;
            std::unique_ptr<TGraphic> candidate;
            if (plainBitmap)
                candidate = std::make_unique<TBitmap>();
            else
                candidate = std::make_unique<TSPIGraphic>();
            candidate->OnProgress = Forwarder();
            try {
                candidate->LoadFromFile(fileName);
                result = std::move(candidate);
            } catch (const std::exception&) {
                // this class could not read it: try the next
            }
        }
        AssignGraphicAndFree(std::move(result));
    } catch (...) {
        ReportLoaded();
        throw;
    }
    ReportLoaded();
}

void TSPIBitmap::LoadFromStream(TStream& stream) { LoadFromStreamWithName(stream, std::string()); }

void TSPIBitmap::LoadFromStreamWithName(TStream& stream, const std::string& fileName)
{
    try {
        const bool bitmapFile = UpperFileExtension(fileName) == ".BMP";
        const std::int64_t start = stream.Position();
        std::unique_ptr<TGraphic> result;
        for (int attempt = 0; attempt < 2 && !result; ++attempt) {
            const bool plainBitmap = (attempt == 0) == bitmapFile;
            try {
                if (plainBitmap) {
                    auto bitmap = std::make_unique<TBitmap>();
                    bitmap->OnProgress = Forwarder();
                    bitmap->LoadFromStream(stream);
                    result = std::move(bitmap);
                } else {
                    auto graphic = std::make_unique<TSPIGraphic>();
                    graphic->OnProgress = Forwarder();
                    graphic->LoadFromStreamWithName(stream, fileName);
                    result = std::move(graphic);
                }
            } catch (const std::exception&) {
                stream.SetPosition(start);
            }
        }
        AssignGraphicAndFree(std::move(result));
    } catch (...) {
        ReportLoaded();
        throw;
    }
    ReportLoaded();
}

void TSPIBitmap::AssignGraphicAndFree(std::unique_ptr<TGraphic> graphic)
{
    if (!graphic)
        throw EInvalidGraphic(kSPICouldNotDecode);
    if (auto* spi = dynamic_cast<TSPIGraphic*>(graphic.get())) {
        const TSPIPictureNotes notes = spi->Notes();
        std::optional<std::vector<TPaletteEntry>> palette;
        if (spi->FourBit())
            palette = spi->Palette();
        TMemoryStream image;
        spi->SaveToStream(image);
        spi->Clear(); // the plug-in's memory goes before the platform bitmap is built
        image.SetPosition(0);
        TBitmap bitmap;
        bitmap.LoadFromStream(image);
        TBitmap::Assign(bitmap);
        if (palette)
            SetPalette(*palette);
        notes_ = notes;
        return;
    }
    TBitmap::Assign(*graphic);
    notes_ = {};
}

void TSPIBitmap::Assign(const TGraphic& source)
{
    if (auto* spi = dynamic_cast<const TSPIGraphic*>(&source)) {
        TBitmap::Assign(spi->ToBitmap());
        notes_ = spi->Notes();
        return;
    }
    TBitmap::Assign(source);
    const auto* other = dynamic_cast<const TSPIBitmap*>(&source);
    notes_ = other ? other->notes_ : TSPIPictureNotes{};
}

TSPILoadFromStreamWithNameEvent TSPIBitmap::OnLoadFromStreamWithName() const
{
    auto* self = const_cast<TSPIBitmap*>(this);
    return [self](TStream& stream, const std::string& fileName) { self->LoadFromStreamWithName(stream, fileName); };
}

// ---- classes -----------------------------------------------------------------------------

const TGraphicClass& SPIGraphicClass()
{
    static const TGraphicClass cls{"TSPIGraphic", &GraphicBaseClass(),
                                   [] { return std::make_unique<TSPIGraphic>(); }};
    return cls;
}

const TGraphicClass& SPIBitmapClass()
{
    static const TGraphicClass cls{"TSPIBitmap", &BitmapClass(), [] { return std::make_unique<TSPIBitmap>(); }};
    return cls;
}

} // namespace gz
