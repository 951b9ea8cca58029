#include "susie/SusieStartup.h"

#include "registry/PictureFormats.h"
#include "susie/SPIBmp.h"

namespace gz {

void InitializeSusiePictures() { TSPIs::SetDefaultGraphicClass(&SPIBitmapClass()); }

void FinalizeSusiePictures() { RemovePictureClass(SPIBitmapClass()); }

std::unique_ptr<TSPIs> CreateMainWindowSPIs()
{
    auto host = std::make_unique<TSPIs>();
    host->SearchOptions = TSPISearchOptions{spsSusieDir, spsAppDir};
    host->GraphicPreview = false;
    host->Loaded();
    return host;
}

TSPIPreviewScope::TSPIPreviewScope(TSPIs* host) : host_(host)
{
    if (host_)
        host_->GraphicPreview = true;
}

TSPIPreviewScope::~TSPIPreviewScope()
{
    if (host_)
        host_->GraphicPreview = false;
}

} // namespace gz
