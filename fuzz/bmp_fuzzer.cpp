// Bitmap files from untrusted bytes: the reader must refuse bad data with EInvalidGraphic and
// never crash, and what it accepts must survive a write and a second read unchanged.
#include "BitmapLimits.h"

#include "platform/Bitmap.h"
#include "platform/Exceptions.h"
#include "platform/Streams.h"

#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // Sparse compressed files may describe rasters of any size from a few bytes. The
    // reader handles them, but a round trip of even four million pixels takes half a second
    // and held the search to a few hundred inputs a second; small rasters reach the same code.
    if (gz::fuzz::DeclaredBitmapPixels(data, size) > gz::fuzz::kMaxBitmapPixels)
        return 0;
    gz::TBitmap bitmap;
    try {
        gz::TMemoryViewStream in(data, size);
        bitmap.LoadFromStream(in);
    } catch (const gz::EInvalidGraphic&) {
        return 0;
    }
    gz::TMemoryStream out;
    bitmap.SaveToStream(out);
    out.SetPosition(0);
    gz::TBitmap again;
    again.LoadFromStream(out);
    if (again.Width() != bitmap.Width() || again.Height() != bitmap.Height() ||
        again.PixelFormat() != bitmap.PixelFormat())
        std::abort();
    std::vector<std::uint8_t> a(std::size_t(bitmap.Width()) * 3), b(a.size());
    for (int y = 0; y < bitmap.Height(); ++y) {
        bitmap.ReadRowBGR(y, a.data());
        again.ReadRowBGR(y, b.data());
        if (a != b)
            std::abort();
    }
    return 0;
}
