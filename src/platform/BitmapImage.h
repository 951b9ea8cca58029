#pragma once
// Pixel storage shared between TBitmap copies. Internal to the platform layer.

#include "platform/Types.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace gz {

struct TBitmapImage {
    int width = 0;
    int height = 0;
    TPixelFormat pixelFormat = pf24bit;
    std::size_t stride = 0;
    std::uint8_t* bits = nullptr;
    std::vector<TPaletteEntry> palette;

    TBitmapImage() = default;
    TBitmapImage(const TBitmapImage&) = delete;
    TBitmapImage& operator=(const TBitmapImage&) = delete;
    ~TBitmapImage();

    // Storage for width x height pixels of format pf; contents undefined unless zeroed.
    // Raises EOutOfResources when the size overflows or the memory cannot be had.
    static std::shared_ptr<TBitmapImage> Create(int width, int height, TPixelFormat pf, bool zeroed);
    std::shared_ptr<TBitmapImage> Clone() const;

    std::uint8_t* Row(int y) const { return bits + std::size_t(y) * stride; }
};

std::size_t RowStride(int width, TPixelFormat pf);

} // namespace gz
