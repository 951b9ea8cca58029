/*
 * Susie plug-in interface for Gazorin on Linux.
 *
 * A plug-in is a shared library whose file name ends in ".spi". The host loads it with
 * dlopen and looks up the entry points below by their exact names, so they must be exported
 * with C linkage (use SUSIE_EXPORT). An image plug-in declares the API kind "00IN" and
 * exports GetPluginInfo, IsSupported, GetPictureInfo and GetPicture; GetPreview is optional.
 *
 * Integer widths: information numbers, buffer lengths, flags and results are 32-bit. File
 * positions, memory lengths, the progress callback's value and every handle are
 * pointer-sized, so that an address never has to fit into 32 bits.
 *
 * Memory handed to the host: the bitmap header and the pixel rows returned by GetPicture and
 * GetPreview, and the text handle of the picture information, must be allocated with
 * LocalAlloc below. The host takes ownership and releases them with LocalFree; it reads no
 * byte past the size that the block was allocated with.
 *
 * Built for Windows (_WIN32), the same header declares a Windows plug-in instead: see
 * susie_plugin_windows.h.
 */
#ifndef GAZORIN_SUSIE_PLUGIN_H
#define GAZORIN_SUSIE_PLUGIN_H

#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#ifdef _WIN32
#include "susie_plugin_windows.h"
#else
#define SUSIE_EXPORT __attribute__((visibility("default")))
/* The calling convention of the entry points and the progress callback: the platform's own. */
#define SUSIE_API
#endif

#ifdef __cplusplus
extern "C" {
#endif


/* ---- results ---------------------------------------------------------------------------- */
#define SPI_NO_FUNCTION     (-1) /* the entry point is not implemented */
#define SPI_ALL_RIGHT       0    /* success */
#define SPI_ABORT           1    /* the progress callback asked to stop */
#define SPI_NOT_SUPPORT     2    /* unknown format */
#define SPI_OUT_OF_ORDER    3    /* broken data */
#define SPI_NO_MEMORY       4    /* memory could not be allocated */
#define SPI_MEMORY_ERROR    5    /* memory error */
#define SPI_FILE_READ_ERROR 6    /* the file could not be read */
#define SPI_OTHER_ERROR     8    /* internal error */

/* ---- source flag ------------------------------------------------------------------------ */
/* 0: the source argument is a file name and the position is the offset of the picture in it.
 * 1: the source argument is the address of the picture in memory and the position its length. */
#define SPI_SOURCE_FILE   0u
#define SPI_SOURCE_MEMORY 1u
#define SPI_SOURCE_MASK   7u

#ifndef _WIN32
/* ---- local memory ----------------------------------------------------------------------- */
/* A handle is the address of a block allocated by LocalAlloc: a small header that records the
 * block's size, followed by the bytes themselves. LocalLock gives the address of the bytes. */
typedef void* SusieHandle;

#define SUSIE_LMEM_FIXED    0x0000u
#define SUSIE_LMEM_ZEROINIT 0x0040u
#define SUSIE_LOCAL_MAGIC   0x53504948u /* "HIPS" */

typedef struct SusieLocalBlock {
    uint32_t magic;
    uint32_t lockCount;
    size_t size;
    /* the bytes follow, aligned for any type */
} SusieLocalBlock;

#define SUSIE_LOCAL_HEADER_SIZE ((sizeof(SusieLocalBlock) + 15u) & ~(size_t)15u)

static inline SusieHandle LocalAlloc(uint32_t flags, size_t bytes)
{
    if (bytes > (size_t)-1 - SUSIE_LOCAL_HEADER_SIZE)
        return NULL;
    SusieLocalBlock* block = (SusieLocalBlock*)malloc(SUSIE_LOCAL_HEADER_SIZE + bytes);
    if (!block)
        return NULL;
    block->magic = SUSIE_LOCAL_MAGIC;
    block->lockCount = 0;
    block->size = bytes;
    if (flags & SUSIE_LMEM_ZEROINIT)
        memset((unsigned char*)block + SUSIE_LOCAL_HEADER_SIZE, 0, bytes);
    return block;
}

/* The address of the block's bytes; NULL for a handle that LocalAlloc did not make. */
static inline void* LocalLock(SusieHandle handle)
{
    SusieLocalBlock* block = (SusieLocalBlock*)handle;
    if (!block || block->magic != SUSIE_LOCAL_MAGIC)
        return NULL;
    block->lockCount++;
    return (unsigned char*)block + SUSIE_LOCAL_HEADER_SIZE;
}

/* Returns non-zero while the block is still locked. */
static inline int LocalUnlock(SusieHandle handle)
{
    SusieLocalBlock* block = (SusieLocalBlock*)handle;
    if (!block || block->magic != SUSIE_LOCAL_MAGIC || block->lockCount == 0)
        return 0;
    return --block->lockCount != 0;
}

/* The number of bytes the block was allocated with; 0 for a handle that LocalAlloc did not make. */
static inline size_t LocalSize(SusieHandle handle)
{
    const SusieLocalBlock* block = (const SusieLocalBlock*)handle;
    if (!block || block->magic != SUSIE_LOCAL_MAGIC)
        return 0;
    return block->size;
}

/* Releases the block; returns NULL on success and the handle itself when it is not a block
 * that LocalAlloc made (such a handle is left alone). */
static inline SusieHandle LocalFree(SusieHandle handle)
{
    SusieLocalBlock* block = (SusieLocalBlock*)handle;
    if (!block)
        return NULL;
    if (block->magic != SUSIE_LOCAL_MAGIC)
        return handle;
    block->magic = 0;
    free(block);
    return NULL;
}
#endif /* !_WIN32 */

/* ---- records ---------------------------------------------------------------------------- */
#pragma pack(push, 1)
/* Picture information filled by GetPictureInfo. The host reads only hInfo (a LocalAlloc block
 * of text information, or NULL) and frees it; the other fields belong to the plug-in. */
typedef struct SusiePictureInfo {
    int32_t left;
    int32_t top;
    int32_t width;
    int32_t height;
    uint16_t x_density;
    uint16_t y_density;
    int16_t colorDepth;
    SusieHandle hInfo;
} SusiePictureInfo;

/* The device-independent bitmap header that GetPicture's information handle starts with,
 * followed by the colour table (blue, green, red, reserved per entry). */
typedef struct SusieBitmapInfoHeader {
    uint32_t biSize; /* 40 */
    int32_t biWidth;
    int32_t biHeight; /* positive: bottom row first; negative: top row first */
    uint16_t biPlanes;
    uint16_t biBitCount; /* 1, 4, 8, 16, 24 or 32 */
    uint32_t biCompression; /* 0: uncompressed rows */
    uint32_t biSizeImage;
    int32_t biXPelsPerMeter;
    int32_t biYPelsPerMeter;
    uint32_t biClrUsed; /* 0: 2, 16 or 256 entries for 1, 4 or 8 bits, none above */
    uint32_t biClrImportant;
} SusieBitmapInfoHeader;
#pragma pack(pop)

#ifdef __cplusplus
static_assert(offsetof(SusiePictureInfo, hInfo) == 22, "the text handle sits at byte 22");
static_assert(sizeof(SusiePictureInfo) == 22 + sizeof(void*), "the record is packed");
static_assert(sizeof(SusieBitmapInfoHeader) == 40, "the bitmap header is 40 bytes");
#else
_Static_assert(offsetof(SusiePictureInfo, hInfo) == 22, "the text handle sits at byte 22");
_Static_assert(sizeof(SusiePictureInfo) == 22 + sizeof(void*), "the record is packed");
_Static_assert(sizeof(SusieBitmapInfoHeader) == 40, "the bitmap header is 40 bytes");
#endif

/* ---- picture notes --------------------------------------------------------------------- */
/* The text handle (hInfo) of GetPictureInfo may hold lines "key=value", each ended by LF or
 * CR LF, that say how the bitmap of GetPicture is meant to be shown. Gazorin reads these and
 * passes over every other line:
 *   orientation=N  (N = 1..8) the rows are handed over as stored; the picture is seen upright
 *                  after turning it as the photo orientation tag N says (EXIF tag 0x0112)
 *   alpha=white    in a 32-bit bitmap the fourth byte of each pixel is its opacity (0 clear ..
 *                  255 opaque), and the colours are already laid over white */
#define SUSIE_NOTE_ORIENTATION "orientation="
#define SUSIE_NOTE_ALPHA_WHITE "alpha=white"

/* ---- entry points ----------------------------------------------------------------------- */
/* The progress callback: (done, total, the value given to GetPicture). Answer 0 to go on and
 * non-zero to stop; a plug-in told to stop returns SPI_ABORT. */
typedef int32_t (SUSIE_API *SusieProgressCallback)(int32_t done, int32_t total, intptr_t data);

/* Information 0: API kind ("00IN"); 1: the plug-in's description of itself; 2, 4, ...: file
 * patterns separated by ";" (for example "*.gif"); 3, 5, ...: the description of the patterns
 * before it. Writes at most bufLength bytes plus a terminating zero; returns the length
 * written, or 0 when there is no such information. */
typedef int32_t (SUSIE_API *SusieGetPluginInfo)(int32_t infoNumber, char* buffer, int32_t bufLength);
/* fileName: the file (empty when decoding memory without a name); head: at least 2048 bytes
 * from the start of the picture. Non-zero when the plug-in can decode it. */
typedef int32_t (SUSIE_API *SusieIsSupported)(const char* fileName, const void* head);
typedef int32_t (SUSIE_API *SusieGetPictureInfo)(const char* source, intptr_t position, uint32_t flag,
                                       SusiePictureInfo* info);
/* Sets *bitmapInfo (header and colour table) and *bits (rows padded to 4 bytes) on success. */
typedef int32_t (SUSIE_API *SusieGetPicture)(const char* source, intptr_t position, uint32_t flag,
                                   SusieHandle* bitmapInfo, SusieHandle* bits,
                                   SusieProgressCallback progress, intptr_t data);
typedef SusieGetPicture SusieGetPreview;
typedef int32_t (SUSIE_API *SusieConfigurationDlg)(intptr_t parent, int32_t function);

#ifdef __cplusplus
}
#endif

#endif /* GAZORIN_SUSIE_PLUGIN_H */
