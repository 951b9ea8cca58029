// Arbitrary bytes through the plug-in host and every plug-in we ship: the first byte picks the
// name the picture is decoded under (and so which plug-in is asked first), the rest is the
// picture, decoded from memory and written out as a bitmap file image.

#include "FuzzHost.h"

#include "platform/Streams.h"
#include "susie/SPIBmp.h"

#include <cstddef>
#include <cstdint>
#include <exception>
#include <iterator>

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
