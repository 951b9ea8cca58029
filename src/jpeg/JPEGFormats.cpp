#include "jpeg/JPEGImage.h"

#include "registry/PictureFormats.h"

namespace gz {

const TGraphicClass& JPEGImageClass()
{
    static const TGraphicClass cls{"TJPEGImage", &GraphicBaseClass(), [] { return std::make_unique<TJPEGImage>(); }};
    return cls;
}

void RegisterJPEGFormats()
{
    AppendPictureFormat("jpeg", "JPEG イメージファイル", JPEGImageClass());
    AppendPictureFormat("jpg", "JPEG イメージファイル", JPEGImageClass());
}

void UnregisterJPEGFormats() { RemovePictureClass(JPEGImageClass()); }

} // namespace gz
