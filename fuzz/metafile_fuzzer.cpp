// Metafile reader and player: load, then play onto a small raster (text included).

#include "platform/Bitmap.h"
#include "platform/Canvas.h"
#include "platform/Exceptions.h"
#include "platform/Streams.h"
#include "platform/metafile/Metafile.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    gz::StartHeadlessFontSupport();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    try {
        gz::TMemoryViewStream stream(data, size);
        gz::TMetafile picture;
        picture.LoadFromStream(stream);
        // Play at the picture's size when small, else scaled down, so that one input stays quick.
        const int longest = std::max(picture.Width(), picture.Height());
        const double scale = longest > 256 ? 256.0 / longest : 1.0;
        const int w = std::max(1, int(picture.Width() * scale)), h = std::max(1, int(picture.Height() * scale));
        gz::TBitmap raster(w, h, gz::pf24bit);
        picture.Draw(raster.Canvas(), {0, 0, w, h});
    } catch (const gz::Exception&) {
    }
    return 0;
}
