// One plug-in we ship (FUZZ_PLUGIN, the module's name without ".spi"), called the way the host
// calls it: IsSupported on a zero-padded 2 KB head, picture information, the picture and the
// preview from memory. Whatever the plug-in hands back must be a bitmap whose rows fit the
// blocks it allocated, since the host reads them by the header alone.

#include "platform/DynamicLibrary.h"
#include "susie/SPIs.h"
#include "susie_plugin.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

namespace {

struct Plugin {
    std::unique_ptr<gz::TDynamicLibrary> library;
    SusieIsSupported isSupported = nullptr;
    SusieGetPictureInfo getPictureInfo = nullptr;
    SusieGetPicture getPicture = nullptr;
    SusieGetPreview getPreview = nullptr;
};

// The plug-in stays loaded until the process ends (never destroyed), so that a leak report at
// exit can still name the libraries the plug-in uses.
const Plugin& Loaded()
{
    static const Plugin* const plugin = [] {
        auto* loaded = new Plugin;
        Plugin& p = *loaded;
        p.library = std::make_unique<gz::TDynamicLibrary>();
        if (!p.library->Load(gz::ApplicationFolder() + "/" FUZZ_PLUGIN ".spi"))
            std::abort();
        p.isSupported = reinterpret_cast<SusieIsSupported>(p.library->Symbol("IsSupported"));
        p.getPictureInfo = reinterpret_cast<SusieGetPictureInfo>(p.library->Symbol("GetPictureInfo"));
        p.getPicture = reinterpret_cast<SusieGetPicture>(p.library->Symbol("GetPicture"));
        p.getPreview = reinterpret_cast<SusieGetPreview>(p.library->Symbol("GetPreview"));
        if (!p.isSupported || !p.getPictureInfo || !p.getPicture)
            std::abort();
        return loaded;
    }();
    return *plugin;
}

// Pictures of up to 2^27 pixels are legal; decoding millions of pixels takes a tenth of a second
// and more, and held the search to a few hundred inputs a second.
constexpr std::int64_t kMaxPixels = std::int64_t(1) << 18;

// The progress callback stops the decode at the call the input's last byte names when its
// high nibble is 0xA, so that the abort paths are searched too.
struct ProgressState {
    int calls = 0;
    int stopAt = -1;
};

std::int32_t OnProgress(std::int32_t, std::int32_t, std::intptr_t data)
{
    auto* state = reinterpret_cast<ProgressState*>(data);
    return state->calls++ == state->stopAt ? 1 : 0;
}

void CheckAndFree(SusieHandle info, SusieHandle bits)
{
    const std::size_t infoSize = LocalSize(info), bitsSize = LocalSize(bits);
    if (infoSize < sizeof(SusieBitmapInfoHeader))
        std::abort();
    SusieBitmapInfoHeader header;
    std::memcpy(&header, LocalLock(info), sizeof header);
    const std::int64_t width = header.biWidth, height = std::abs(std::int64_t(header.biHeight));
    if (width <= 0 || height <= 0 || header.biCompression != 0)
        std::abort();
    const std::uint64_t stride = (std::uint64_t(width) * header.biBitCount + 31) / 32 * 4;
    std::uint64_t colors = header.biClrUsed;
    if (colors == 0 && header.biBitCount <= 8)
        colors = std::uint64_t(1) << header.biBitCount;
    if (stride * std::uint64_t(height) > bitsSize || sizeof header + 4 * colors > infoSize)
        std::abort();
    // Touch the last byte of each block, so that a block shorter than it claims is caught.
    volatile std::uint8_t last = static_cast<std::uint8_t*>(LocalLock(bits))[bitsSize - 1];
    (void)last;
    LocalFree(info);
    LocalFree(bits);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    Loaded();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const Plugin& plugin = Loaded();
    std::uint8_t head[2048] = {};
    std::memcpy(head, data, std::min(size, sizeof head));
    if (!plugin.isSupported("", head) || size == 0)
        return 0;

    const char* source = reinterpret_cast<const char*>(data);
    SusiePictureInfo info{};
    if (plugin.getPictureInfo(source, std::intptr_t(size), SPI_SOURCE_MEMORY, &info) == SPI_ALL_RIGHT) {
        LocalFree(info.hInfo);
        if (std::int64_t(info.width) * info.height > kMaxPixels)
            return 0;
    }

    ProgressState progress;
    if ((data[size - 1] >> 4) == 0xA)
        progress.stopAt = data[size - 1] & 0x0F;
    for (SusieGetPicture decode : {plugin.getPicture, plugin.getPreview}) {
        if (!decode)
            continue;
        SusieHandle bitmapInfo = nullptr, bits = nullptr;
        progress.calls = 0;
        const std::int32_t result = decode(source, std::intptr_t(size), SPI_SOURCE_MEMORY, &bitmapInfo, &bits,
                                           &OnProgress, reinterpret_cast<std::intptr_t>(&progress));
        if (result == SPI_ALL_RIGHT)
            CheckAndFree(bitmapInfo, bits);
        else if (bitmapInfo || bits)
            std::abort(); // a failed decode hands nothing over
    }
    return 0;
}
