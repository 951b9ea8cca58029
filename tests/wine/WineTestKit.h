#pragma once
// What the tests of Windows plug-ins share: where the Windows test plug-ins are, why the tests
// cannot run on this machine, and a Wine that answers only when a test lets it.

#include "susie/WineBridge.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace gz::test {

inline const std::string kWindowsPlugins = GAZORIN_WINDOWS_PLUGIN_DIR;
inline const std::string kRogues = WINE_TEST_PLUGIN_DIR;

// Why the tests of Windows plug-ins cannot run here; empty when they can.
inline std::string WineTestsUnavailable()
{
    if (WineProgram().empty())
        return "Wine is not installed (see the README on Windows plug-ins)";
    for (int bits : {32, 64})
        if (access(WineBridgeProgram(bits).c_str(), R_OK) != 0)
            return "the bridge programs were not built (no mingw-w64 cross compilers)";
    if (access((kWindowsPlugins + "/gz_pnm.spi").c_str(), R_OK) != 0 ||
        access((kRogues + "/rogue_good.spi").c_str(), R_OK) != 0)
        return "the Windows test plug-ins were not built";
    return {};
}

// Writes into folder a stand-in for Wine that starts the real one only once the file gate
// exists, and returns its path (for $GAZORIN_WINE). Until then no bridge can answer; while it
// waits, the file gate + ".waiting" exists.
inline std::string GatedWine(const std::filesystem::path& folder, const std::filesystem::path& gate)
{
    const std::filesystem::path script = folder / "gated-wine";
    std::ofstream(script) << "#!/bin/sh\ntouch '" << gate.string() << ".waiting'\nwhile [ ! -e '" << gate.string()
                          << "' ]; do sleep 0.05; done\nexec '" << WineProgram() << "' \"$@\"\n";
    std::filesystem::permissions(script, std::filesystem::perms::owner_all);
    return script.string();
}

} // namespace gz::test
