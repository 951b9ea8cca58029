#include "workspace/Startup.h"

#include "jpeg/JPEGImage.h"
#include "png/KroPNG.h"

namespace gz::ui {

TPictureFormatsRegistration::TPictureFormatsRegistration()
{
    // The plug-in host makes its picture class the default one here, once it exists.
    RegisterKroPNGFormat();
    RegisterJPEGFormats();
}

TPictureFormatsRegistration::~TPictureFormatsRegistration()
{
    UnregisterJPEGFormats();
    UnregisterKroPNGFormat();
}

} // namespace gz::ui
