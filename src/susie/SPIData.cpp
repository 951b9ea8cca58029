// One decode attempt through the image plug-ins, from a file or from memory.

#include "susie/SPIBmp.h"
#include "susie/SPIs.h"

#include "platform/Exceptions.h"
#include "platform/Streams.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace gz {
namespace {

constexpr std::size_t kHeaderLength = 2176; // 2048 bytes after each header offset

// Decode objects currently inside Load: the progress callback answers only for these, so a
// value that a plug-in garbled is never used as an address.
std::vector<const TInSPIAbleData*> activeDecodes;

struct ActiveDecode {
    explicit ActiveDecode(const TInSPIAbleData* d) { activeDecodes.push_back(d); }
    ~ActiveDecode() { activeDecodes.pop_back(); }
};

std::string FilePart(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

void FreeHandle(SusieHandle& handle)
{
    if (handle) {
        LocalFree(handle);
        handle = nullptr;
    }
}

} // namespace

bool SPIDecodeRunning() { return !activeDecodes.empty(); }

const char* const kSPICouldNotDecode = "Susie Plugins could not decode";

TInSPIAbleData::TInSPIAbleData(TSPIGraphic& owner, std::string fileName) : FileName(std::move(fileName)), Owner(owner)
{
}

TInSPIAbleData::~TInSPIAbleData() { Clear(); }

const std::uint8_t* TInSPIAbleData::BitmapInfo() const
{
    if (!infoAddress_ && InfoHandle)
        infoAddress_ = LocalLock(InfoHandle);
    return static_cast<const std::uint8_t*>(infoAddress_);
}

const std::uint8_t* TInSPIAbleData::Bits() const
{
    if (!bitsAddress_ && BitsHandle)
        bitsAddress_ = LocalLock(BitsHandle);
    return static_cast<const std::uint8_t*>(bitsAddress_);
}

void TInSPIAbleData::Clear()
{
    if (infoAddress_) {
        LocalUnlock(InfoHandle);
        infoAddress_ = nullptr;
    }
    if (bitsAddress_) {
        LocalUnlock(BitsHandle);
        bitsAddress_ = nullptr;
    }
    FreeHandle(InfoHandle);
    FreeHandle(BitsHandle);
    // The record is packed: its handle is read and written by value, never bound to a reference.
    if (SusieHandle text = PictureInfo.hInfo) {
        LocalFree(text);
        PictureInfo.hInfo = nullptr;
    }
}

void TInSPIAbleData::DropHalfBitmap()
{
    if (Empty()) {
        FreeHandle(InfoHandle);
        FreeHandle(BitsHandle);
    }
}

void TInSPIAbleData::Report(TProgressStage stage, std::uint8_t percent, const std::string& message)
{
    if (OnProgress)
        OnProgress(Owner, stage, percent, stage == psEnding, TRect{}, message);
}

std::int32_t TInSPIAbleData::ProgressCallback(std::int32_t done, std::int32_t total, std::intptr_t data) noexcept
{
    auto* self = reinterpret_cast<TInSPIAbleData*>(data);
    if (!self || std::find(activeDecodes.begin(), activeDecodes.end(), self) == activeDecodes.end())
        return 0;
    if (!self->OnProgress)
        return 0;
    if (self->listenerFailure_)
        return 1; // the listener failed before: keep telling the plug-in to stop
    std::uint8_t percent = 1;
    if (total > 0) {
        const std::int64_t n = std::clamp<std::int64_t>(done, 0, total);
        percent = std::uint8_t((n * 97 * 2 + total) / (2 * std::int64_t(total)) + 2);
    }
    try {
        self->Report(psRunning, percent, std::string());
        return 0;
    } catch (const EAbort&) {
        return 1;
    } catch (...) {
        // Never let a failure unwind through the plug-in's code: stop it, raise it afterwards.
        self->listenerFailure_ = std::current_exception();
        return 1;
    }
}

void TInSPIAbleData::Load()
{
    if (TSPIs* searching = TSPIs::Instance())
        searching->FinishSearch(); // plug-ins still being loaded in the background take part
    const TSPIs* host = TSPIs::Instance();
    const bool useMacBinary = host && host->MacBinary;
    Report(psStarting, 0, "Loading Graphic by Susie Plugin");
    try {
        ActiveDecode active(this);
        Clear();
        Report(psRunning, 1, "Seeking enabled Susie Plugins");

        std::vector<TSPI*> plugins;
        if (host && host->GraphicForcedLoader)
            plugins.push_back(host->GraphicForcedLoader);
        else if (host)
            host->CollectLoaders({&InSPIClass()}, FileName, plugins);

        std::vector<std::uint8_t> header(kHeaderLength, 0);
        ReadHeader(header.data(), header.size());

        const std::size_t offsets = useMacBinary ? TSPIs::HeaderOffsets.size() : 1;
        for (std::size_t i = 0; i < plugins.size() && Empty(); ++i) {
            for (std::size_t k = 0; k < offsets; ++k) {
                Report(psRunning, 1, "Loading by [" + FilePart(plugins[i]->FileName()) + "]");
                TryPlugin(static_cast<const TInSPI&>(*plugins[i]), TSPIs::HeaderOffsets[k], header.data());
                if (!Empty())
                    break;
                Clear();
            }
        }
    } catch (...) {
        try {
            Report(psEnding, 100, "Loaded Graphic by Susie Plugin");
        } catch (...) {
            // the first failure is the one that counts
        }
        throw;
    }
    Report(psEnding, 100, "Loaded Graphic by Susie Plugin");
}

void TInSPIAbleData::TryPlugin(const TInSPI& spi, int offset, const std::uint8_t* header)
{
    if (spi.IsSupported(FileName.c_str(), header + offset) == 0)
        return;
    ReadPictureInfo(spi, offset, PictureInfo, PictureInfoValid);
    const TSPIs* host = TSPIs::Instance();
    listenerFailure_ = nullptr;
    if (host && host->GraphicPreview) {
        ReadPreview(spi, offset, InfoHandle, BitsHandle);
        if (!listenerFailure_ && Empty()) {
            DropHalfBitmap();
            ReadPicture(spi, offset, InfoHandle, BitsHandle);
        }
    } else {
        ReadPicture(spi, offset, InfoHandle, BitsHandle);
    }
    // Check the plug-in's bitmap against its blocks before anyone reads a byte of it.
    if (!Empty() && !CheckPluginBitmap(LocalLock(InfoHandle), LocalSize(InfoHandle), LocalSize(BitsHandle))) {
        LocalUnlock(InfoHandle);
        Clear();
    } else if (!Empty()) {
        LocalUnlock(InfoHandle);
    }
    if (listenerFailure_)
        std::rethrow_exception(std::exchange(listenerFailure_, nullptr));
}

// ---- file source -------------------------------------------------------------------------

TInSPIAbleFromFile::TInSPIAbleFromFile(TSPIGraphic& owner, const std::string& fileName)
    : TInSPIAbleData(owner, fileName)
{
}

void TInSPIAbleFromFile::ReadHeader(std::uint8_t* buffer, std::size_t length)
{
    try {
        TFileStream file(FileName, fmOpenRead);
        const std::int64_t size = file.Size();
        const std::size_t count = size < 0 ? 0 : std::min<std::size_t>(length, std::size_t(size));
        std::vector<std::uint8_t> bytes(count);
        file.ReadBuffer(bytes.data(), count);
        std::memcpy(buffer, bytes.data(), count);
    } catch (const std::exception&) {
        // A file that cannot be read leaves the header as it was; the plug-ins are still asked.
    }
}

void TInSPIAbleFromFile::ReadPictureInfo(const TInSPI& spi, int offset, SusiePictureInfo& info, bool& valid)
{
    info = SusiePictureInfo{};
    valid = spi.GetPictureInfo(FileName.c_str(), offset, SPI_SOURCE_FILE, &info) == 0;
    if (!valid)
        info.hInfo = nullptr; // a failed call's record is not trusted
}

void TInSPIAbleFromFile::ReadPicture(const TInSPI& spi, int offset, SusieHandle& info, SusieHandle& bits)
{
    info = bits = nullptr;
    if (spi.GetPicture(FileName.c_str(), offset, SPI_SOURCE_FILE, &info, &bits, &ProgressCallback, CallbackData()) != 0)
        info = bits = nullptr;
}

void TInSPIAbleFromFile::ReadPreview(const TInSPI& spi, int offset, SusieHandle& info, SusieHandle& bits)
{
    info = bits = nullptr;
    try {
        if (spi.GetPreview(FileName.c_str(), offset, SPI_SOURCE_FILE, &info, &bits, &ProgressCallback,
                           CallbackData()) != 0)
            info = bits = nullptr;
    } catch (const ESPIInvalidAPI&) {
        info = bits = nullptr;
    }
}

// ---- memory source -----------------------------------------------------------------------

TInSPIAbleFromStream::TInSPIAbleFromStream(TSPIGraphic& owner, const std::string& fileName, TStream& stream)
    : TInSPIAbleData(owner, fileName)
{
    if (auto* memory = dynamic_cast<TCustomMemoryStream*>(&stream)) {
        Memory = memory->Memory();
        Size = std::size_t(memory->Size());
    } else {
        ownedCopy_ = std::make_unique<TMemoryStream>();
        ownedCopy_->CopyFrom(stream, 0);
        Memory = ownedCopy_->Memory();
        Size = std::size_t(ownedCopy_->Size());
    }
}

TInSPIAbleFromStream::~TInSPIAbleFromStream() { Clear(); }

void TInSPIAbleFromStream::ReadHeader(std::uint8_t* buffer, std::size_t length)
{
    if (Memory)
        std::memcpy(buffer, Memory, std::min(length, Size));
}

// At an offset at or past the end there is nothing to decode: the attempt fails without a call.
void TInSPIAbleFromStream::ReadPictureInfo(const TInSPI& spi, int offset, SusiePictureInfo& info, bool& valid)
{
    info = SusiePictureInfo{};
    valid = false;
    if (!Memory || std::size_t(offset) >= Size)
        return;
    valid = spi.GetPictureInfo(reinterpret_cast<const char*>(Memory + offset), std::intptr_t(Size - offset),
                               SPI_SOURCE_MEMORY, &info) == 0;
    if (!valid)
        info.hInfo = nullptr;
}

void TInSPIAbleFromStream::ReadPicture(const TInSPI& spi, int offset, SusieHandle& info, SusieHandle& bits)
{
    info = bits = nullptr;
    if (!Memory || std::size_t(offset) >= Size)
        return;
    if (spi.GetPicture(reinterpret_cast<const char*>(Memory + offset), std::intptr_t(Size - offset), SPI_SOURCE_MEMORY,
                       &info, &bits, &ProgressCallback, CallbackData()) != 0)
        info = bits = nullptr;
}

void TInSPIAbleFromStream::ReadPreview(const TInSPI& spi, int offset, SusieHandle& info, SusieHandle& bits)
{
    info = bits = nullptr;
    if (!Memory || std::size_t(offset) >= Size)
        return;
    try {
        if (spi.GetPreview(reinterpret_cast<const char*>(Memory + offset), std::intptr_t(Size - offset),
                           SPI_SOURCE_MEMORY, &info, &bits, &ProgressCallback, CallbackData()) != 0)
            info = bits = nullptr;
    } catch (const ESPIInvalidAPI&) {
        info = bits = nullptr;
    }
}

} // namespace gz
