#include "platform/BitmapImage.h"

#include "platform/Exceptions.h"
#include "platform/PixelMemory.h"

#include <cstdlib>
#include <cstring>
#include <limits>

namespace gz {

std::size_t RowStride(int width, TPixelFormat pf)
{
    const std::uint64_t bits = std::uint64_t(width) * std::uint64_t(BitsPerPixel(pf));
    return std::size_t(((bits + 31) / 32) * 4);
}

TBitmapImage::~TBitmapImage()
{
    if (bits) {
        PixelMemory::Released(stride * std::size_t(height));
        std::free(bits);
    }
}

std::shared_ptr<TBitmapImage> TBitmapImage::Create(int width, int height, TPixelFormat pf, bool zeroed)
{
    if (width < 0 || height < 0)
        throw EInvalidGraphicOperation("Invalid bitmap size " + std::to_string(width) + " x " + std::to_string(height));
    auto image = std::make_shared<TBitmapImage>();
    image->pixelFormat = pf;
    if (width == 0 || height == 0)
        return image;
    const std::size_t stride = RowStride(width, pf);
    if (stride > std::numeric_limits<std::size_t>::max() / std::size_t(height))
        throw EOutOfResources("Out of system resources: a " + std::to_string(width) + " x " +
                              std::to_string(height) + " bitmap is too large");
    const std::size_t bytes = stride * std::size_t(height);
    void* block = zeroed ? std::calloc(bytes, 1) : std::malloc(bytes);
    if (!block)
        throw EOutOfResources("Out of system resources: not enough memory for a " + std::to_string(width) +
                              " x " + std::to_string(height) + " bitmap");
    image->width = width;
    image->height = height;
    image->stride = stride;
    image->bits = static_cast<std::uint8_t*>(block);
    // Padding bytes at the end of each row are kept zero, so files written row by row are stable.
    const std::size_t used = std::size_t((std::uint64_t(width) * std::uint64_t(BitsPerPixel(pf)) + 7) / 8);
    if (!zeroed && used < stride)
        for (int y = 0; y < height; ++y)
            std::memset(image->Row(y) + used, 0, stride - used);
    PixelMemory::Allocated(bytes);
    return image;
}

std::shared_ptr<TBitmapImage> TBitmapImage::Clone() const
{
    auto copy = Create(width, height, pixelFormat, false);
    if (bits)
        std::memcpy(copy->bits, bits, stride * std::size_t(height));
    copy->palette = palette;
    return copy;
}

} // namespace gz
