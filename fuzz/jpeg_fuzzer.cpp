// Loads and decodes arbitrary bytes as a JPEG file; small pictures are encoded again.
#include "jpeg/JPEGImage.h"
#include "platform/Exceptions.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // Headers may claim up to 65500 x 65500 pixels; decoding such a picture is legitimate
    // but only slow, so the fuzzer skips it.
    constexpr std::int64_t kMaxPixels = 1 << 18;
    try {
        gz::TMemoryViewStream stream(data, size);
        gz::TJPEGImage jpeg;
        jpeg.SetEightBitOutput(size > 0 && (data[size - 1] & 1));
        jpeg.LoadFromStream(stream);
        if (std::int64_t(jpeg.Width()) * jpeg.Height() > kMaxPixels)
            return 0;
        const gz::TBitmap& bitmap = jpeg.Bitmap();
        if (std::int64_t(bitmap.Width()) * bitmap.Height() <= 256 * 256) {
            gz::TJPEGImage again;
            again.Assign(bitmap);
            again.SetProgressive(size > 1 && (data[size - 2] & 1));
            gz::TMemoryStream out;
            again.SaveToStream(out);
        }
    } catch (const gz::Exception&) {
    }
    return 0;
}
