#include "susie/SPIModule.h"

#include "platform/DynamicLibrary.h"
#include "susie/SPIs.h"
#include "susie/WinePlugin.h"

namespace gz {
namespace {

constexpr const char* kEntryNames[] = {"GetPluginInfo", "ConfigurationDlg", "IsSupported",
                                       "GetPictureInfo", "GetPicture",       "GetPreview",
                                       "GetArchiveInfo", "GetFileInfo",      "GetFile"};

// A plug-in library loaded into this process.
class TNativeSPIModule : public TSPIModule {
public:
    explicit TNativeSPIModule(const std::string& fileName)
    {
        if (!library_.Load(fileName))
            throw ESPIFOpenErrorSPI(fileName);
        // The whole path, however long: a truncated one would never match in IndexOf.
        const std::string reported = library_.ModuleFileName();
        fileName_ = reported.empty() ? fileName : reported;
        for (int i = 0; i <= speGetFile; ++i)
            entries_[i] = library_.Symbol(kEntryNames[i]);
    }

    std::string FileName() const override { return fileName_; }
    bool Has(TSPIEntry entry) const override { return entries_[entry] != nullptr; }

    std::int32_t GetPluginInfo(std::int32_t infoNumber, char* buffer, std::int32_t bufLength) const override
    {
        return Entry<SusieGetPluginInfo>(speGetPluginInfo)(infoNumber, buffer, bufLength);
    }
    std::int32_t IsSupported(const char* fileName, const void* head) const override
    {
        return Entry<SusieIsSupported>(speIsSupported)(fileName, head);
    }
    std::int32_t GetPictureInfo(const char* source, std::intptr_t position, std::uint32_t flag,
                                SusiePictureInfo* info) const override
    {
        return Entry<SusieGetPictureInfo>(speGetPictureInfo)(source, position, flag, info);
    }
    std::int32_t GetPicture(bool preview, const char* source, std::intptr_t position, std::uint32_t flag,
                            SusieHandle* bitmapInfo, SusieHandle* bits, SusieProgressCallback progress,
                            std::intptr_t data) const override
    {
        return Entry<SusieGetPicture>(preview ? speGetPreview : speGetPicture)(source, position, flag, bitmapInfo,
                                                                               bits, progress, data);
    }

private:
    template <class F>
    F Entry(TSPIEntry entry) const
    {
        return reinterpret_cast<F>(entries_[entry]);
    }

    TDynamicLibrary library_;
    std::string fileName_;
    void* entries_[speGetFile + 1] = {};
};

} // namespace

const char* SPIEntryName(TSPIEntry entry) { return kEntryNames[entry]; }

std::unique_ptr<TSPIModule> OpenSPIModule(const std::string& fileName)
{
    if (const int bits = WindowsLibraryBits(fileName); bits != 0 || IsWindowsOnlyPluginName(fileName))
        return OpenWindowsSPIModule(fileName, bits);
    return std::make_unique<TNativeSPIModule>(fileName);
}

} // namespace gz
