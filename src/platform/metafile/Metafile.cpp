#include "platform/metafile/Metafile.h"

#include "platform/Bitmap.h"
#include "platform/Exceptions.h"

namespace gz {

// Until metafiles can be played, the class reads nothing.
const TGraphicClass& MetafileClass()
{
    static const TGraphicClass cls{"TMetafile", &GraphicBaseClass(), [] {
                                       throw EInvalidGraphic("Metafiles cannot be read yet");
                                       return std::unique_ptr<TGraphic>();
                                   }};
    return cls;
}

} // namespace gz
