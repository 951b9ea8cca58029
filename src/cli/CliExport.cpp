#include "cli/CliExport.h"

#include "jpeg/JPEGImage.h"
#include "platform/metafile/Metafile.h"
#include "png/KroPNG.h"
#include "susie/SusieStartup.h"
#include "join/PictureExport.h"

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

void ExportPicture(const TBitmap& raster, const std::string& fileName, const std::string& kind, int quality,
                   bool progressive, bool interlace)
{
    TPictureExportOptions options;
    options.quality = quality;
    options.progressive = progressive;
    options.interlace = interlace;
    gz::ExportPicture(raster, kind == "png" ? TExportFormat::Png : TExportFormat::Jpeg, fileName, options);
}

} // namespace gz::cli
