// Pictures through the plug-in picture class, as the programs load a file with a plug-in
// extension. The first byte picks the file name ("f.bmp", "f.ico", "f.tst" or none); the rest
// is read by TSPIBitmap: a bitmap file by the bitmap reader (first for a ".bmp" name, after the
// plug-ins otherwise), and a "TSTP" picture by a test plug-in that hands its header and pixel
// blocks over unchanged, as a broken or hostile plug-in could: the host checks them, writes
// them out as a bitmap file image and reads that back through the bitmap reader.

#include "BitmapLimits.h"
#include "FuzzHost.h"

#include "platform/Streams.h"
#include "susie/SPIBmp.h"

#include <cstddef>
#include <cstdint>
#include <exception>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    gz::fuzz::FuzzHost(FUZZ_PLUGIN_FOLDER);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    // Bitmap files may describe 2^28 pixels in a few bytes; reading one is slow, not wrong.
    if (gz::fuzz::DeclaredBitmapPixels(data + 1, size - 1) > gz::fuzz::kMaxBitmapPixels)
        return 0;
    gz::TSPIs& host = gz::fuzz::FuzzHost(FUZZ_PLUGIN_FOLDER);
    static const char* const names[] = {"f.bmp", "f.ico", "f.tst", ""};
    host.GraphicPreview = (data[0] & 0x80) != 0;
    gz::TMemoryViewStream stream(data + 1, size - 1);
    gz::TSPIBitmap bitmap;
    try {
        bitmap.LoadFromStreamWithName(stream, names[data[0] & 3]);
        if (!bitmap.Empty())
            (void)bitmap.Pixel(bitmap.Width() - 1, bitmap.Height() - 1);
    } catch (const std::exception&) {
    }
    return 0;
}
