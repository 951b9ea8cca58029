// Icon files from untrusted bytes: refused with EInvalidGraphic or read; a read icon must
// draw onto a bitmap and write out again.
#include "platform/Bitmap.h"
#include "platform/Exceptions.h"
#include "platform/Icon.h"
#include "platform/Streams.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
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
