#include "cli/CliExport.h"

#include "jpeg/JPEGImage.h"
#include "platform/metafile/Metafile.h"
#include "png/KroPNG.h"
#include "susie/SusieStartup.h"

#include <memory>

namespace gz::cli {

namespace {
std::unique_ptr<TSPIs> host;
}

void RegisterCliFormats()
{
    RegisterKroPNGFormat();
    RegisterJPEGFormats();
    InitializeSusiePictures();
}

void StartPlugins()
{
    if (!host)
        host = CreateMainWindowSPIs();
}

void StartMetafileText() { StartHeadlessFontSupport(); }

void UnregisterCliFormats()
{
    host.reset();
    FinalizeSusiePictures();
    UnregisterJPEGFormats();
    UnregisterKroPNGFormat();
}

} // namespace gz::cli
