// A purpose-built image plug-in for the host's tests. Its picture format "TSTP" carries the
// bitmap blocks verbatim, so a test decides exactly what the plug-in hands over:
//
//   "TSTP", u32 info block size, u32 bits block size, info bytes, bits bytes,
//   optionally followed by "PREV" and a second pair of blocks: the preview.
//
// Compile-time switches make the variants: TP_KIND (API kind), TP_INFO (information 2, 3,
// ...), TP_NO_<entry point> (leave an export out), TP_FAIL (GetPicture always fails).
// During GetPicture the plug-in reports progress (0, 0), (0, 10), (3, 10), (10, 10) and stops
// with result 1 when told to.

#include "susie_plugin.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#ifndef TP_KIND
#define TP_KIND "00IN"
#endif
#ifndef TP_INFO
#define TP_INFO "*.tst", "Test picture"
#endif

namespace {

const char* const kInfo[] = {TP_KIND, "Gazorin test plug-in", TP_INFO, nullptr};

unsigned char lastHead[2048];
int progressAnswers[8];
int progressCalls = 0;

std::uint32_t U32(const unsigned char* p) { return std::uint32_t(p[0] | p[1] << 8 | p[2] << 16 | std::uint32_t(p[3]) << 24); }

bool ReadSource(const char* source, intptr_t position, uint32_t flag, std::vector<unsigned char>& out)
{
    if ((flag & 7u) == 1u) {
        if (position <= 0)
            return false;
        out.assign(reinterpret_cast<const unsigned char*>(source), reinterpret_cast<const unsigned char*>(source) + position);
        return true;
    }
    FILE* f = std::fopen(source, "rb");
    if (!f)
        return false;
    std::fseek(f, 0, SEEK_END);
    const long size = std::ftell(f);
    if (size < position) {
        std::fclose(f);
        return false;
    }
    out.resize(std::size_t(size - position));
    std::fseek(f, long(position), SEEK_SET);
    const bool ok = std::fread(out.data(), 1, out.size(), f) == out.size();
    std::fclose(f);
    return ok;
}

// Finds the blocks of the picture (preview false) or of the preview.
bool Blocks(const std::vector<unsigned char>& data, bool preview, std::size_t& infoAt, std::uint32_t& infoSize,
            std::size_t& bitsAt, std::uint32_t& bitsSize)
{
    std::size_t at = 0;
    for (int part = 0; part <= (preview ? 1 : 0); ++part) {
        if (data.size() < at + 12 || std::memcmp(&data[at], part == 0 ? "TSTP" : "PREV", 4) != 0)
            return false;
        infoSize = U32(&data[at + 4]);
        bitsSize = U32(&data[at + 8]);
        infoAt = at + 12;
        bitsAt = infoAt + infoSize;
        if (bitsAt < infoAt || bitsAt + bitsSize < bitsAt || bitsAt + bitsSize > data.size())
            return false;
        at = bitsAt + bitsSize;
    }
    return true;
}

int32_t Decode(const char* source, intptr_t position, uint32_t flag, SusieHandle* info, SusieHandle* bits,
               SusieProgressCallback progress, intptr_t data, bool preview)
{
    std::vector<unsigned char> bytes;
    if (!ReadSource(source, position, flag, bytes))
        return SPI_FILE_READ_ERROR;
    std::size_t infoAt = 0, bitsAt = 0;
    std::uint32_t infoSize = 0, bitsSize = 0;
    if (!Blocks(bytes, preview, infoAt, infoSize, bitsAt, bitsSize))
        return SPI_NOT_SUPPORT;
    static const int steps[][2] = {{0, 0}, {0, 10}, {3, 10}, {10, 10}};
    progressCalls = 0;
    for (const auto& s : steps) {
        const int answer = progress ? progress(s[0], s[1], data) : 0;
        progressAnswers[progressCalls++] = answer;
        if (answer)
            return SPI_ABORT;
    }
    SusieHandle hi = LocalAlloc(0, infoSize), hb = LocalAlloc(0, bitsSize);
    std::memcpy(LocalLock(hi), &bytes[infoAt], infoSize);
    std::memcpy(LocalLock(hb), &bytes[bitsAt], bitsSize);
    LocalUnlock(hi);
    LocalUnlock(hb);
    *info = hi;
    *bits = hb;
    return SPI_ALL_RIGHT;
}

} // namespace

extern "C" {

// Test access: the head the last IsSupported call saw, and the last decode's progress answers.
SUSIE_EXPORT void TestPluginLastHead(unsigned char* out) { std::memcpy(out, lastHead, sizeof lastHead); }
SUSIE_EXPORT int TestPluginProgressAnswers(int* out)
{
    std::memcpy(out, progressAnswers, sizeof progressAnswers);
    return progressCalls;
}

#ifndef TP_NO_GETPLUGININFO
SUSIE_EXPORT int32_t GetPluginInfo(int32_t infoNumber, char* buffer, int32_t bufLength)
{
    for (int32_t i = 0; kInfo[i]; ++i)
        if (i == infoNumber) {
            std::snprintf(buffer, std::size_t(bufLength) + 1, "%s", kInfo[i]);
            return int32_t(std::strlen(buffer));
        }
    return 0;
}
#endif

#ifndef TP_NO_ISSUPPORTED
SUSIE_EXPORT int32_t IsSupported(const char*, const void* head)
{
    std::memcpy(lastHead, head, sizeof lastHead);
    return std::memcmp(head, "TSTP", 4) == 0;
}
#endif

#ifndef TP_NO_GETPICTUREINFO
SUSIE_EXPORT int32_t GetPictureInfo(const char* source, intptr_t position, uint32_t flag, SusiePictureInfo* info)
{
    std::vector<unsigned char> bytes;
    std::size_t infoAt = 0, bitsAt = 0;
    std::uint32_t infoSize = 0, bitsSize = 0;
    if (!ReadSource(source, position, flag, bytes) || !Blocks(bytes, false, infoAt, infoSize, bitsAt, bitsSize))
        return SPI_NOT_SUPPORT;
    std::memset(info, 0, sizeof *info);
    // A text handle, for the host to free.
    info->hInfo = LocalAlloc(SUSIE_LMEM_ZEROINIT, 16);
    std::memcpy(LocalLock(info->hInfo), "test comment", 12);
    LocalUnlock(info->hInfo);
    return SPI_ALL_RIGHT;
}
#endif

#ifndef TP_NO_GETPICTURE
SUSIE_EXPORT int32_t GetPicture(const char* source, intptr_t position, uint32_t flag, SusieHandle* info,
                                SusieHandle* bits, SusieProgressCallback progress, intptr_t data)
{
#ifdef TP_FAIL
    (void)source, (void)position, (void)flag, (void)info, (void)bits, (void)progress, (void)data;
    return SPI_OUT_OF_ORDER;
#else
    return Decode(source, position, flag, info, bits, progress, data, false);
#endif
}
#endif

#ifndef TP_NO_GETPREVIEW
SUSIE_EXPORT int32_t GetPreview(const char* source, intptr_t position, uint32_t flag, SusieHandle* info,
                                SusieHandle* bits, SusieProgressCallback progress, intptr_t data)
{
    return Decode(source, position, flag, info, bits, progress, data, true);
}
#endif

#ifdef TP_ARCHIVE
SUSIE_EXPORT int32_t GetArchiveInfo() { return SPI_NO_FUNCTION; }
SUSIE_EXPORT int32_t GetFileInfo() { return SPI_NO_FUNCTION; }
#ifndef TP_NO_GETFILE
SUSIE_EXPORT int32_t GetFile() { return SPI_NO_FUNCTION; }
#endif
#endif

} // extern "C"
