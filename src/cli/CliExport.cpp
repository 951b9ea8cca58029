#include "cli/CliExport.h"

#include "jpeg/JPEGImage.h"
#include "platform/Bitmap.h"
#include "platform/SafeFile.h"
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
    if (kind == "png") {
        TBitmap picture(raster);
        picture.SetPixelFormat(pf24bit);
        TKroPNG png;
        png.Assign(picture);
        png.Interlace = interlace ? 1 : 0;
        WriteFileAtomically(fileName, [&](TStream& stream) { png.SaveToStream(stream); });
    } else {
        TJPEGImage jpeg;
        jpeg.Assign(raster);
        jpeg.SetQuality(quality);
        jpeg.SetProgressive(progressive);
        WriteFileAtomically(fileName, [&](TStream& stream) { jpeg.SaveToStream(stream); });
    }
}

} // namespace gz::cli
