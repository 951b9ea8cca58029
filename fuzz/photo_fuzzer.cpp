// What photos bring along, from untrusted bytes: the orientation tag of a TIFF structure or an
// EXIF segment, and an embedded colour profile with a row converted through it. The first byte
// picks which; the rest is the data.

#include "photo/ColourProfile.h"
#include "photo/Orientation.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    const std::uint8_t* body = data + 1;
    const std::size_t length = size - 1;
    switch (data[0] % 3) {
    case 0:
        if (const int o = gz::photo::TiffOrientation(body, length); o < 1 || o > 8)
            std::abort();
        break;
    case 1:
        if (const int o = gz::photo::ExifOrientation(body, length); o < 1 || o > 8)
            std::abort();
        break;
    default: {
        using gz::photo::TPixelLayout;
        (void)gz::photo::IsSrgbProfile(body, length);
        for (TPixelLayout layout : {TPixelLayout::Grey, TPixelLayout::BGR, TPixelLayout::BGRA, TPixelLayout::CMYK,
                                    TPixelLayout::InvertedCMYK})
            if (auto conversion = gz::photo::TSrgbConversion::FromProfile(body, length, layout)) {
                std::vector<std::uint8_t> in(256 * 4), out(256 * 4);
                for (std::size_t i = 0; i < in.size(); ++i)
                    in[i] = std::uint8_t(i * 7);
                conversion->Convert(in.data(), out.data(), 256);
            }
        break;
    }
    }
    return 0;
}
