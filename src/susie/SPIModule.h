#pragma once
// Where a plug-in's entry points live: a library loaded into this process, or a Windows
// library that a bridge program runs under Wine (WinePlugin.h). The host calls both alike.

#include "susie_plugin.h"

#include <cstdint>
#include <memory>
#include <string>

namespace gz {

// The entry points, in the order in which the host looks them up.
enum TSPIEntry {
    speGetPluginInfo,
    speConfigurationDlg,
    speIsSupported,
    speGetPictureInfo,
    speGetPicture,
    speGetPreview,
    speGetArchiveInfo,
    speGetFileInfo,
    speGetFile,
};
const char* SPIEntryName(TSPIEntry entry);

class TSPIModule {
public:
    virtual ~TSPIModule() = default;

    // The path the module is known by: as the loader reports it, else as it was opened.
    virtual std::string FileName() const = 0;
    virtual bool Has(TSPIEntry entry) const = 0;
    // Told when the host skips the module for a missing entry point (reason: the message).
    virtual void Skipped(const std::string& reason) const { (void)reason; }

    // The entry points; each is called only when Has says it is there.
    virtual std::int32_t GetPluginInfo(std::int32_t infoNumber, char* buffer, std::int32_t bufLength) const = 0;
    virtual std::int32_t IsSupported(const char* fileName, const void* head) const = 0;
    virtual std::int32_t GetPictureInfo(const char* source, std::intptr_t position, std::uint32_t flag,
                                        SusiePictureInfo* info) const = 0;
    // GetPicture, or GetPreview when preview is true.
    virtual std::int32_t GetPicture(bool preview, const char* source, std::intptr_t position, std::uint32_t flag,
                                    SusieHandle* bitmapInfo, SusieHandle* bits, SusieProgressCallback progress,
                                    std::intptr_t data) const = 0;
};

// Opens the plug-in library at fileName: a Windows library (by its header) or any "*.sph"
// through the bridge, anything else in this process. Raises ESPIFOpenErrorSPI when it cannot.
std::unique_ptr<TSPIModule> OpenSPIModule(const std::string& fileName);

} // namespace gz
