// Bitmap files from untrusted bytes: the reader must refuse bad data with EInvalidGraphic and
// never crash, and what it accepts must survive a write and a second read unchanged.
#include "platform/Bitmap.h"
#include "platform/Exceptions.h"
#include "platform/Streams.h"

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// Width times height the header declares (0 when there is no header to look at).
std::uint64_t DeclaredPixels(const std::uint8_t* data, std::size_t size)
{
    const std::size_t at = size >= 2 && data[0] == 'B' && data[1] == 'A' ? 28 : 14;
    if (size < at + 12)
        return 0;
    std::uint32_t headerSize;
    std::memcpy(&headerSize, data + at, 4);
    if (headerSize == 12) {
        std::uint16_t wh[2];
        std::memcpy(wh, data + at + 4, 4);
        return std::uint64_t(wh[0]) * wh[1];
    }
    std::int32_t wh[2];
    std::memcpy(wh, data + at + 4, 8);
    return std::uint64_t(std::abs(std::int64_t(wh[0]))) * std::uint64_t(std::abs(std::int64_t(wh[1])));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // Sparse compressed files may describe rasters of up to 2^28 pixels from a few bytes;
    // the reader handles them, but each costs seconds and would starve the search.
    if (DeclaredPixels(data, size) > (1u << 22))
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
