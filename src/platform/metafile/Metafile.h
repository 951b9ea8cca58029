#pragma once
// TMetafile: Windows metafile pictures (placeable and plain WMF, EMF), played onto a raster.

#include "platform/Graphic.h"
#include "platform/GraphicClass.h"

namespace gz {

const TGraphicClass& MetafileClass();

} // namespace gz
