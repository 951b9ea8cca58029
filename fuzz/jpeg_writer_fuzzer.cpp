// The JPEG writer under every setting: the input gives the quality (outside 1..100 too), the
// progression and grey flags, a raster of any pixel format and size up to 64 x 64 and its
// pixels and palette. The written file must read back at the raster's size, progressive
// exactly when asked for.

#include "jpeg/JPEGImage.h"
#include "platform/Bitmap.h"
#include "platform/Exceptions.h"
#include "platform/Streams.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

constexpr gz::TPixelFormat kFormats[] = {gz::pf1bit,  gz::pf4bit,  gz::pf8bit, gz::pf15bit,
                                         gz::pf16bit, gz::pf24bit, gz::pf32bit};

// The input's bytes from `at` on, repeated as often as needed (zeros when there are none).
class ByteCycle {
public:
    ByteCycle(const std::uint8_t* data, std::size_t size, std::size_t at)
        : data_(data + (at < size ? at : size)), size_(at < size ? size - at : 0)
    {
    }
    std::uint8_t Next()
    {
        if (size_ == 0)
            return 0;
        const std::uint8_t v = data_[pos_];
        pos_ = pos_ + 1 == size_ ? 0 : pos_ + 1;
        return v;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 5)
        return 0;
    const int quality = std::int8_t(data[0]) * 2; // -256..254
    const bool progressive = data[1] & 1, grayScale = data[1] & 2;
    const gz::TPixelFormat pf = kFormats[(data[1] >> 2) % 7];
    const int width = 1 + (data[2] & 63), height = 1 + (data[3] & 63);

    gz::TBitmap raster(width, height, pf);
    ByteCycle bytes(data, size, 4);
    if (gz::BitsPerPixel(pf) <= 8) {
        std::vector<gz::TPaletteEntry> palette(std::size_t(1) << gz::BitsPerPixel(pf));
        for (auto& entry : palette)
            entry = {bytes.Next(), bytes.Next(), bytes.Next()};
        raster.SetPalette(palette);
    }
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = raster.ScanLine(y);
        for (std::size_t i = 0; i < raster.RowBytes(); ++i)
            row[i] = bytes.Next();
    }

    gz::TJPEGImage jpeg;
    jpeg.Assign(raster);
    jpeg.SetQuality(quality);
    jpeg.SetProgressive(progressive);
    jpeg.SetGrayScale(grayScale);
    gz::TMemoryStream file;
    jpeg.SaveToStream(file);

    file.SetPosition(0);
    gz::TJPEGImage again;
    again.LoadFromStream(file);
    if (again.Width() != width || again.Height() != height || again.Progressive() != progressive)
        std::abort();
    const gz::TBitmap& decoded = again.Bitmap();
    if (decoded.Width() != width || decoded.Height() != height)
        std::abort();
    return 0;
}
