#pragma once
// The plug-in host of the targets that decode through it: one for the whole run, with the
// plug-ins of one folder. Targets create it before fuzzing starts, so that the plug-ins'
// coverage counts as well.

#include "susie/SPIs.h"

#include <string>

namespace gz::fuzz {

// The host, searched on first use in the target's own folder or the subfolder named there.
inline TSPIs& FuzzHost(const std::string& subfolder = {})
{
    static TSPIs* host = [&] {
        auto* h = new TSPIs();
        h->Search(ApplicationFolder() + (subfolder.empty() ? "" : "/" + subfolder) + "/*.spi");
        return h;
    }();
    return *host;
}

} // namespace gz::fuzz
