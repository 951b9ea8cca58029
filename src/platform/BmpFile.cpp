#include "platform/BmpFile.h"

#include "platform/Bitmap.h"
#include "platform/Exceptions.h"

namespace gz {

void ReadBitmapFile(TStream&, TBitmap&) { throw EInvalidGraphic("Bitmap image is not valid"); }
void WriteBitmapFile(TStream&, const TBitmap&) { throw EInvalidGraphicOperation("Bitmap files cannot be written yet"); }

} // namespace gz
