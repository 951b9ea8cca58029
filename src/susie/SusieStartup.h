#pragma once
// What the program does with the plug-in host at start-up, while its open dialog is shown and
// at shut-down.

#include "susie/SPIs.h"

#include <memory>

namespace gz {

// Program start-up, before the main window: plug-in extensions will be registered under
// TSPIBitmap.
void InitializeSusiePictures();
// Program shut-down, after the main window: withdraws every registration of TSPIBitmap.
void FinalizeSusiePictures();

// The main window's host SPIs1: options [spsSusieDir, spsAppDir], previews off; runs its
// search for "*.spi" (the folder named in the registry store, then the program's folder) and
// registers the extensions of every image plug-in. Raises ESPIDupCreateSPIs when a host exists.
std::unique_ptr<TSPIs> CreateMainWindowSPIs();

// Plug-in previews on for the life of the scope (the open-picture dialog), off afterwards,
// however the scope ends. Does nothing without a host.
class TSPIPreviewScope {
public:
    explicit TSPIPreviewScope(TSPIs* host);
    ~TSPIPreviewScope();
    TSPIPreviewScope(const TSPIPreviewScope&) = delete;
    TSPIPreviewScope& operator=(const TSPIPreviewScope&) = delete;

private:
    TSPIs* host_;
};

} // namespace gz
