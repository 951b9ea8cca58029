#pragma once
// Pictures through Susie plug-ins: one decode attempt over a file or a stream
// (TInSPIAbleData), the graphic that presents the plug-in's bitmap (TSPIGraphic), and the
// bitmap class under which every plug-in extension is registered (TSPIBitmap).

#include "platform/Bitmap.h"
#include "platform/Graphic.h"
#include "platform/GraphicClass.h"
#include "susie/SPIDib.h"

#include "susie_plugin.h"

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace gz {

class TStream;
class TMemoryStream;
class TInSPI;
class TSPIGraphic;

// True while a decode through the plug-ins is under way on this thread.
bool SPIDecodeRunning();

// The message of every failure to decode through the plug-ins.
extern const char* const kSPICouldNotDecode; // "Susie Plugins could not decode"

// One decode attempt: offers the head of the source to each image plug-in in turn and keeps
// the bitmap (header handle and bits handle) of the first one that decodes it.
class TInSPIAbleData {
public:
    explicit TInSPIAbleData(TSPIGraphic& owner, std::string fileName);
    virtual ~TInSPIAbleData();
    TInSPIAbleData(const TInSPIAbleData&) = delete;
    TInSPIAbleData& operator=(const TInSPIAbleData&) = delete;

    // Tries the plug-ins; leaves the object holding a bitmap or empty. A failure other than
    // "nobody could decode it" (a listener's, a plug-in call's) propagates.
    void Load();
    bool Empty() const { return !InfoHandle || !BitsHandle; }
    // The locked header (and colour table) and pixel rows; null when empty.
    const std::uint8_t* BitmapInfo() const;
    const std::uint8_t* Bits() const;
    // Unlocks and frees the bitmap handles and the text handle of PictureInfo.
    void Clear();

    SusieHandle InfoHandle = nullptr;
    SusieHandle BitsHandle = nullptr;
    std::string FileName;
    SusiePictureInfo PictureInfo{};
    bool PictureInfoValid = false;
    TSPIGraphic& Owner;
    TProgressEvent OnProgress;

protected:
    virtual void ReadHeader(std::uint8_t* buffer, std::size_t length) = 0;
    virtual void ReadPictureInfo(const TInSPI& spi, int offset, SusiePictureInfo& info, bool& valid) = 0;
    virtual void ReadPreview(const TInSPI& spi, int offset, SusieHandle& info, SusieHandle& bits) = 0;
    virtual void ReadPicture(const TInSPI& spi, int offset, SusieHandle& info, SusieHandle& bits) = 0;

    // The progress callback handed to the plug-ins; its value is the decode object.
    static std::int32_t ProgressCallback(std::int32_t done, std::int32_t total, std::intptr_t data) noexcept;
    std::intptr_t CallbackData() { return reinterpret_cast<std::intptr_t>(this); }

private:
    void Report(TProgressStage stage, std::uint8_t percent, const std::string& message);
    void TryPlugin(const TInSPI& spi, int offset, const std::uint8_t* header);
    void DropHalfBitmap();

    mutable void* infoAddress_ = nullptr;
    mutable void* bitsAddress_ = nullptr;
    std::exception_ptr listenerFailure_; // raised by a listener while a plug-in was running
};

// Decodes the file FileName.
class TInSPIAbleFromFile : public TInSPIAbleData {
public:
    TInSPIAbleFromFile(TSPIGraphic& owner, const std::string& fileName);

protected:
    void ReadHeader(std::uint8_t* buffer, std::size_t length) override;
    void ReadPictureInfo(const TInSPI& spi, int offset, SusiePictureInfo& info, bool& valid) override;
    void ReadPreview(const TInSPI& spi, int offset, SusieHandle& info, SusieHandle& bits) override;
    void ReadPicture(const TInSPI& spi, int offset, SusieHandle& info, SusieHandle& bits) override;
};

// Decodes the whole of a stream from memory: a memory stream's block in place, any other
// stream through a copy.
class TInSPIAbleFromStream : public TInSPIAbleData {
public:
    TInSPIAbleFromStream(TSPIGraphic& owner, const std::string& fileName, TStream& stream);
    ~TInSPIAbleFromStream() override;

    const std::uint8_t* Memory = nullptr;
    std::size_t Size = 0;

protected:
    void ReadHeader(std::uint8_t* buffer, std::size_t length) override;
    void ReadPictureInfo(const TInSPI& spi, int offset, SusiePictureInfo& info, bool& valid) override;
    void ReadPreview(const TInSPI& spi, int offset, SusieHandle& info, SusieHandle& bits) override;
    void ReadPicture(const TInSPI& spi, int offset, SusieHandle& info, SusieHandle& bits) override;

private:
    std::unique_ptr<TMemoryStream> ownedCopy_;
};

// A picture decoded by a plug-in, presented as the device-independent bitmap it delivered.
class TSPIGraphic : public TGraphic {
public:
    TSPIGraphic();
    ~TSPIGraphic() override;

    std::string ClassName() const override { return "TSPIGraphic"; }
    void LoadFromFile(const std::string& fileName) override;
    void LoadFromStream(TStream& stream) override;
    virtual void LoadFromStreamWithName(TStream& stream, const std::string& fileName);
    // Writes the bitmap file image: file header, the plug-in's header and colour table, its rows.
    void SaveToStream(TStream& stream) const override;
    void AssignTo(TGraphic& dest) const override;
    void Draw(TCanvas& canvas, const TRect& r) const override;

    int Width() const override { return Geometry().Width; }
    int Height() const override { return Geometry().Height; }
    void SetWidth(int) override {}
    void SetHeight(int) override {}
    bool Empty() const override { return !Data || Data->Empty(); }
    std::vector<TPaletteEntry> Palette() const override;

    int Colors() const { return Geometry().Colors; }
    int InfoSize() const { return Geometry().InfoSize; }
    int ImageSize() const { return Geometry().ImageSize; }
    bool FourBit() const { return Geometry().BitCount == 4; }

    void Clear();
    // A platform bitmap read from the bitmap file image, with a 4-bit palette re-applied.
    TBitmap ToBitmap() const;
    // What the plug-in's picture notes say about the bitmap (orientation, opacity).
    TSPIPictureNotes Notes() const;
    int Orientation() const override { return Notes().Orientation; }

    std::unique_ptr<TInSPIAbleData> Data;

private:
    void CommonLoad();
    const TSPIDibGeometry& Geometry() const;

    mutable std::optional<TSPIDibGeometry> geometry_;
};

using TSPILoadFromStreamWithNameEvent = std::function<void(TStream& stream, const std::string& fileName)>;

// The platform bitmap that reads plug-in formats: it decodes through TSPIGraphic (or as a
// plain bitmap file) and keeps a platform bitmap copy of the result.
class TSPIBitmap : public TBitmap {
public:
    TSPIBitmap() = default;

    std::string ClassName() const override { return "TSPIBitmap"; }
    void Assign(const TGraphic& source) override;
    void LoadFromFile(const std::string& fileName) override;
    void LoadFromStream(TStream& stream) override;
    virtual void AssignGraphicAndFree(std::unique_ptr<TGraphic> graphic);
    virtual void LoadFromStreamWithName(TStream& stream, const std::string& fileName);

    // Always this object's own LoadFromStreamWithName.
    TSPILoadFromStreamWithNameEvent OnLoadFromStreamWithName() const;

    // From the picture notes of the plug-in that decoded the picture: the orientation to show
    // it with, and whether a 32-bit bitmap's fourth byte is its opacity over white.
    int Orientation() const override { return notes_.Orientation; }
    bool OpacityOverWhite() const { return notes_.OpacityOverWhite; }

private:
    TSPIPictureNotes notes_;

    TProgressEvent Forwarder();
    void ReportLoaded();
};

const TGraphicClass& SPIGraphicClass();
const TGraphicClass& SPIBitmapClass();

} // namespace gz
