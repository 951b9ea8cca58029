#pragma once
// Windows plug-ins (32-bit "*.spi", 64-bit "*.sph") as the host sees them: modules whose entry
// points are called in a bridge program under Wine (WineBridge.h), so that a plug-in that
// crashes or hangs costs one failed attempt, never the program.

#include "susie/SPIModule.h"

#include <memory>
#include <string>
#include <vector>

namespace gz {

// 32 or 64 for a Windows library for x86 or x86-64, -1 for one for another processor, 0 when
// the file is not a Windows library (judged by its header).
int WindowsLibraryBits(const std::string& path);
// True for a "*.sph" name: only ever a Windows plug-in.
bool IsWindowsOnlyPluginName(const std::string& path);

// The module of the Windows plug-in at path (bits as WindowsLibraryBits says). What the plug-in
// declares comes from the per-user cache when it knows the file, else from the bridge, which is
// started for it. Raises ESPIFOpenErrorSPI when the plug-in cannot be run; the reason is logged
// once to standard error.
std::unique_ptr<TSPIModule> OpenWindowsSPIModule(const std::string& path, int bits);

// True for a Windows plug-in that the cache does not know (as the file is now): loading it
// waits for the bridge.
bool WindowsPluginNeedsBridge(const std::string& path);

// Before the plug-ins at these paths are loaded: when Windows plug-ins of both bitnesses among
// them are unknown to the cache, starts both bridges at once so that their starts overlap.
void PrepareWindowsPluginBridges(const std::vector<std::string>& paths);

// One line for the version text: whether Windows plug-ins can be used here, and if not why.
std::string WindowsPluginSupport();

} // namespace gz
