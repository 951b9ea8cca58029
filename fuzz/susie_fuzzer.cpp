// Arbitrary bytes through the plug-in host and every plug-in we ship: the first byte picks the
// name the picture is decoded under (and so which plug-in is asked first), the rest is the
// picture, decoded from memory and written out as a bitmap file image.

#include "FuzzHost.h"

#include "platform/Streams.h"
#include "susie/SPIBmp.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <exception>
#include <iterator>

namespace {

// Pictures of up to 2^27 pixels are legal; decoding hundreds of megapixels is slow, not
// different, and a few such headers held the search to a few dozen inputs a second.
constexpr std::int64_t kMaxPixels = std::int64_t(1) << 18;

// True when a plug-in that takes the data says its picture is larger than the cap.
bool DeclaresLargePicture(gz::TSPIs& host, const std::uint8_t* data, std::size_t size)
{
    std::uint8_t head[2048] = {};
    std::memcpy(head, data, std::min(size, sizeof head));
    const char* source = reinterpret_cast<const char*>(data);
    for (int i = 0; i < host.Count(); ++i) {
        auto* spi = dynamic_cast<gz::TInSPI*>(&host.Items(i));
        if (!spi || !spi->IsSupported("", head))
            continue;
        SusiePictureInfo info{};
        if (spi->GetPictureInfo(source, std::intptr_t(size), SPI_SOURCE_MEMORY, &info) != SPI_ALL_RIGHT)
            continue;
        if (info.hInfo)
            LocalFree(info.hInfo);
        if (std::int64_t(info.width) * info.height > kMaxPixels)
            return true;
    }
    return false;
}

} // namespace

// The plug-ins are loaded before fuzzing starts, so that their coverage counts as well.
extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    gz::fuzz::FuzzHost();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    gz::TSPIs& host = gz::fuzz::FuzzHost();
    if (DeclaresLargePicture(host, data + 1, size - 1))
        return 0;
    static const char* const names[] = {"f.gif", "f.tif", "f.webp", "f.ppm", "f.tga", "", "f.heic", "f.avif", "f.jxl"};
    host.GraphicPreview = (data[0] & 0x80) != 0;
    gz::TMemoryViewStream stream(data + 1, size - 1);
    gz::TSPIGraphic graphic;
    try {
        graphic.LoadFromStreamWithName(stream, names[(data[0] & 0x7F) % std::size(names)]);
        gz::TMemoryStream image;
        graphic.SaveToStream(image);
        (void)graphic.Palette();
    } catch (const std::exception&) {
    }
    return 0;
}
