// A Windows image plug-in that misbehaves in GetPicture in the way ROGUE_<MODE> says, for the
// tests of Windows plug-in support. Its pictures are files starting with "ROGU"; decoded
// properly they are 2 x 2 pixels of 24-bit colour, their previews 1 x 2. Without a mode it
// behaves.
//   ROGUE_CRASH         writes through a null pointer
//   ROGUE_EXIT          ends its process
//   ROGUE_HANG          never returns and never reports progress
//   ROGUE_SLOW          reports progress every 50 ms for about two seconds, then decodes
//   ROGUE_HUGE          hands over a header of 100000 x 100000 pixels with 16 bytes of rows
//   ROGUE_ERROR_HANDLES fails with both handles set to addresses that are no handles
//   ROGUE_CHATTY        prints to its standard output and reads its standard input, then decodes
//   ROGUE_NOT_A_PLUGIN  exports none of the plug-in entry points

#include "susie_plugin.h"

#include <cstdio>
#include <cstring>

#ifndef ROGUE_NOT_A_PLUGIN

namespace {

const char* const kInfo[] = {"00IN", "Gazorin misbehaving test plug-in", "*.rog", "Rogue picture", nullptr};

int32_t Decode(SusieHandle* info, SusieHandle* bits, SusieProgressCallback progress, intptr_t data, bool preview)
{
#if defined(ROGUE_CRASH)
    *static_cast<volatile int*>(nullptr) = 1;
#elif defined(ROGUE_EXIT)
    ExitProcess(7);
#elif defined(ROGUE_HANG)
    for (;;)
        Sleep(1000);
#elif defined(ROGUE_SLOW)
    for (int i = 0; i < 40; ++i) {
        Sleep(50);
        if (progress && progress(i, 40, data))
            return SPI_ABORT;
    }
#elif defined(ROGUE_ERROR_HANDLES)
    *info = reinterpret_cast<SusieHandle>(intptr_t(0x1234));
    *bits = reinterpret_cast<SusieHandle>(intptr_t(0x5678));
    return SPI_OUT_OF_ORDER;
#elif defined(ROGUE_CHATTY)
    std::printf("a plug-in talking on its standard output\n");
    std::fflush(stdout);
    char line[64];
    if (std::fgets(line, sizeof line, stdin))
        return SPI_OTHER_ERROR; // standard input must be empty
#endif
    (void)progress;
    (void)data;
#ifdef ROGUE_HUGE
    (void)preview;
    const int32_t width = 100000, height = 100000;
    const size_t rows = 16;
#else
    const int32_t width = preview ? 1 : 2, height = 2;
    const size_t rows = preview ? 8 : 16;
    static const uint8_t pixels[16] = {0, 0, 255, 0, 255, 0, 0, 0, 255, 0, 0, 255, 255, 255, 0, 0};
#endif
    *info = LocalAlloc(LMEM_ZEROINIT, sizeof(SusieBitmapInfoHeader));
    *bits = LocalAlloc(LMEM_ZEROINIT, rows);
    auto* header = static_cast<SusieBitmapInfoHeader*>(LocalLock(*info));
    header->biSize = 40;
    header->biWidth = width;
    header->biHeight = height;
    header->biPlanes = 1;
    header->biBitCount = 24;
    LocalUnlock(*info);
#ifndef ROGUE_HUGE
    std::memcpy(LocalLock(*bits), pixels, rows);
    LocalUnlock(*bits);
#endif
    return SPI_ALL_RIGHT;
}

} // namespace

extern "C" {

SUSIE_EXPORT int32_t SUSIE_API GetPluginInfo(int32_t infoNumber, char* buffer, int32_t bufLength)
{
    for (int32_t i = 0; kInfo[i]; ++i)
        if (i == infoNumber && bufLength > 0) {
            std::strncpy(buffer, kInfo[i], size_t(bufLength));
            return int32_t(std::strlen(buffer));
        }
    return 0;
}

SUSIE_EXPORT int32_t SUSIE_API IsSupported(const char*, const void* head)
{
    return std::memcmp(head, "ROGU", 4) == 0;
}

SUSIE_EXPORT int32_t SUSIE_API GetPictureInfo(const char*, intptr_t, uint32_t, SusiePictureInfo* info)
{
    std::memset(info, 0, sizeof *info);
    info->width = 2;
    info->height = 2;
    info->colorDepth = 24;
    return SPI_ALL_RIGHT;
}

SUSIE_EXPORT int32_t SUSIE_API GetPicture(const char*, intptr_t, uint32_t, SusieHandle* info, SusieHandle* bits,
                                          SusieProgressCallback progress, intptr_t data)
{
    return Decode(info, bits, progress, data, false);
}

SUSIE_EXPORT int32_t SUSIE_API GetPreview(const char*, intptr_t, uint32_t, SusieHandle* info, SusieHandle* bits,
                                          SusieProgressCallback progress, intptr_t data)
{
    return Decode(info, bits, progress, data, true);
}

} // extern "C"

#else

extern "C" SUSIE_EXPORT int32_t SUSIE_API Unrelated(void) { return 0; }

#endif
