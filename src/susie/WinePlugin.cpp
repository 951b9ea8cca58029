#include "susie/WinePlugin.h"

#include "platform/FileExtension.h"

#include "susie/SPIs.h"
#include "susie/WineBridge.h"
#include "susie/WinePluginCache.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace gz {
namespace {

std::uint32_t LE32(const unsigned char* p) { return std::uint32_t(p[0] | p[1] << 8 | p[2] << 16) | std::uint32_t(p[3]) << 24; }

// A file name as the bridge gets it: absolute, so that it names the same file whatever folder
// the bridge or this process is in now. An empty name stays empty.
std::string BridgeFileName(const char* name)
{
    if (!name || !*name || name[0] == '/')
        return name ? name : "";
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(name, ec);
    return ec ? std::string(name) : absolute.string();
}

bool IsFileSource(std::uint32_t flag) { return (flag & SPI_SOURCE_MASK) != bridge::kSourceMemory; }

std::string Key(const TWinePluginRecord& r)
{
    return r.Path + '\n' + std::to_string(r.Size) + '\n' + std::to_string(r.ModifiedNs);
}

// A Windows plug-in, called through the bridge of its bitness. What it declared when it was
// first loaded (its entry points and its information) is answered without the bridge; the
// bridge is started, and the library loaded in it, on the first call that needs them.
class TWineSPIModule : public TSPIModule {
public:
    explicit TWineSPIModule(TWinePluginRecord record) : record_(std::move(record)) {}

    std::string FileName() const override { return record_.Path; }
    bool Has(TSPIEntry entry) const override { return (record_.Exports >> entry) & 1u; }
    void Skipped(const std::string& reason) const override
    {
        LogOnce(record_.Path + ": skipped, not a usable Windows plug-in: " + reason);
    }

    std::int32_t GetPluginInfo(std::int32_t infoNumber, char* buffer, std::int32_t bufLength) const override
    {
        if (!buffer || bufLength <= 0)
            return 0;
        std::string text;
        std::int32_t result = 0;
        const auto known = std::find_if(record_.Infos.begin(), record_.Infos.end(),
                                        [&](const auto& a) { return a.Number == infoNumber; });
        if (bufLength == bridge::kInfoBufferLength && known != record_.Infos.end()) {
            result = known->Result;
            text = known->Text;
        } else if (const auto id = Id()) {
            const auto answer = Bridge().GetPluginInfo(*id, infoNumber, bufLength, text);
            if (!answer)
                return Failed(0);
            result = *answer;
        } else {
            return 0;
        }
        // The text as the plug-in left it in the buffer: cut to the buffer, zero after it if room.
        const std::size_t n = std::min(text.size(), std::size_t(bufLength));
        std::memcpy(buffer, text.data(), n);
        if (n < std::size_t(bufLength))
            buffer[n] = '\0';
        return result;
    }

    std::int32_t IsSupported(const char* fileName, const void* head) const override
    {
        const auto id = Id();
        if (!id || !head)
            return 0;
        const auto answer = Bridge().IsSupported(*id, BridgeFileName(fileName), head);
        return answer ? *answer : Failed(0);
    }

    std::int32_t GetPictureInfo(const char* source, std::intptr_t position, std::uint32_t flag,
                                SusiePictureInfo* info) const override
    {
        const auto id = Id();
        if (!id || !info)
            return SPI_OTHER_ERROR;
        const std::string name = IsFileSource(flag) ? BridgeFileName(source) : std::string();
        const auto answer =
            Bridge().GetPictureInfo(*id, IsFileSource(flag) ? name.c_str() : source, position, flag, *info);
        return answer ? *answer : Failed(SPI_OTHER_ERROR);
    }

    std::int32_t GetPicture(bool preview, const char* source, std::intptr_t position, std::uint32_t flag,
                            SusieHandle* bitmapInfo, SusieHandle* bits, SusieProgressCallback progress,
                            std::intptr_t data) const override
    {
        const auto id = Id();
        if (!id || !bitmapInfo || !bits)
            return SPI_OTHER_ERROR;
        SusieHandle info = nullptr, rows = nullptr;
        const std::string name = IsFileSource(flag) ? BridgeFileName(source) : std::string();
        const auto answer = Bridge().GetPicture(*id, preview, IsFileSource(flag) ? name.c_str() : source, position,
                                                flag, info, rows, progress, data);
        if (!answer)
            return Failed(SPI_OTHER_ERROR);
        *bitmapInfo = info;
        *bits = rows;
        return *answer;
    }

private:
    TWineBridge& Bridge() const { return WineBridge(record_.Bits); }

    // The plug-in's id in the running bridge, loading it there first when needed.
    std::optional<std::uint32_t> Id() const
    {
        const auto loaded = Bridge().Load(record_.Path, Key(record_));
        if (!loaded) {
            Failed(0);
            return std::nullopt;
        }
        if (loaded->Id == 0) {
            LogOnce(record_.Path + ": the Windows plug-in no longer loads: " + loaded->Reason);
            return std::nullopt;
        }
        return loaded->Id;
    }

    // The call failed with the bridge: the attempt fails, the bridge starts again next time.
    std::int32_t Failed(std::int32_t result) const
    {
        // A bridge that could not start has said why already.
        if (!Bridge().StartFailed() && !Bridge().Failure().empty())
            LogOnce(record_.Path + ": " + Bridge().Failure() + "; the bridge starts again when next needed");
        return result;
    }

    TWinePluginRecord record_;
};

std::string AbsolutePath(const std::string& path)
{
    std::error_code ec;
    const std::filesystem::path p = std::filesystem::absolute(path, ec);
    return ec ? path : p.lexically_normal().string();
}

} // namespace

int WindowsLibraryBits(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    unsigned char dos[64] = {};
    if (!in.read(reinterpret_cast<char*>(dos), sizeof dos) || dos[0] != 'M' || dos[1] != 'Z')
        return 0;
    const std::uint32_t peAt = LE32(dos + 0x3C);
    unsigned char pe[6] = {};
    if (peAt > (1u << 26) || !in.seekg(peAt) || !in.read(reinterpret_cast<char*>(pe), sizeof pe) ||
        std::memcmp(pe, "PE\0\0", 4) != 0)
        return 0;
    switch (pe[4] | pe[5] << 8) {
    case 0x014C: return 32; // x86
    case 0x8664: return 64; // x86-64
    default: return -1;
    }
}

bool IsWindowsOnlyPluginName(const std::string& path)
{
    return UpperFileExtension(path) == ".SPH";
}

std::unique_ptr<TSPIModule> OpenWindowsSPIModule(const std::string& path, int bits)
{
    if (bits != 32 && bits != 64) {
        LogOnce(path + ": skipped, " +
                std::string(bits < 0 ? "a Windows library for another processor" : "not a Windows library"));
        throw ESPIFOpenErrorSPI(path);
    }
    const std::string opened = AbsolutePath(path);
    std::optional<TWinePluginRecord> record = WinePluginCache().Find(opened);
    if (!record) {
        TWinePluginRecord r;
        r.Path = opened;
        r.Bits = bits;
        if (!WinePluginFileStamp(opened, r.Size, r.ModifiedNs))
            throw ESPIFOpenErrorSPI(path);
        TWineBridge& bridge = WineBridge(bits);
        const auto loaded = bridge.Load(opened, Key(r));
        if (!loaded) {
            if (!bridge.StartFailed() && !bridge.Cancelled())
                LogOnce(path + ": skipped, " + bridge.Failure());
            throw ESPIFOpenErrorSPI(path);
        }
        r.Loadable = loaded->Id != 0;
        r.Reason = loaded->Reason;
        r.Exports = loaded->Exports;
        r.Infos = loaded->Infos;
        WinePluginCache().Store(r);
        record = std::move(r);
    }
    if (!record->Loadable) {
        LogOnce(path + ": skipped, the Windows library does not load: " + record->Reason);
        throw ESPIFOpenErrorSPI(path);
    }
    return std::make_unique<TWineSPIModule>(std::move(*record));
}

bool WindowsPluginNeedsBridge(const std::string& path)
{
    const int bits = WindowsLibraryBits(path);
    return (bits == 32 || bits == 64) && !WinePluginCache().Find(AbsolutePath(path));
}

void PrepareWindowsPluginBridges(const std::vector<std::string>& paths)
{
    bool unknown[2] = {false, false};
    for (const auto& path : paths)
        if (WindowsPluginNeedsBridge(path))
            unknown[WindowsLibraryBits(path) == 64] = true;
    // Two bridges making the Wine prefix at once would get in each other's way.
    if (unknown[0] && unknown[1] && WinePrefixReady()) {
        WineBridge(32).Launch();
        WineBridge(64).Launch();
    }
}

std::string WindowsPluginSupport()
{
    const bool bridge32 = access(WineBridgeProgram(32).c_str(), R_OK) == 0;
    const bool bridge64 = access(WineBridgeProgram(64).c_str(), R_OK) == 0;
    if (!bridge32 && !bridge64)
        return "Windows plug-ins: not available (built without the bridge programs)";
    if (WineProgram().empty())
        return "Windows plug-ins: not available (Wine is not installed)";
    std::string kinds = bridge32 && bridge64 ? "32-bit .spi and 64-bit .sph" : bridge32 ? "32-bit .spi" : "64-bit .sph";
    return "Windows plug-ins: available through Wine (" + kinds + ")";
}

} // namespace gz
