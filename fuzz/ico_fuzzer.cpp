// Icon files from untrusted bytes: refused with EInvalidGraphic or read; a read icon must
// draw onto a bitmap and write out again. PNG-compressed images go through the PNG codec, as
// in the programs, which register the PNG format at start-up.
#include "platform/Bitmap.h"
#include "platform/Exceptions.h"
#include "platform/Icon.h"
#include "platform/Streams.h"
#include "png/KroPNG.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const bool pngRegistered = (gz::RegisterKroPNGFormat(), true);
    (void)pngRegistered;
    gz::TIcon icon;
    try {
        gz::TMemoryViewStream in(data, size);
        icon.LoadFromStream(in);
    } catch (const gz::EInvalidGraphic&) {
        return 0;
    }
    gz::TBitmap onWhite;
    onWhite.Assign(icon);
    gz::TMemoryStream out;
    icon.SaveToStream(out);
    return 0;
}
