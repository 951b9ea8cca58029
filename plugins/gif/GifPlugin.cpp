// GIF pictures: the first frame, drawn on the logical screen filled with its background
// colour, as an 8-bit bitmap with the frame's colour map. A frame with a transparent colour
// comes as a 32-bit bitmap instead: its transparent pixels, and the screen around the frame,
// are white with opacity 0 (the picture notes say so).

#include "PluginKit.h"

#include <gif_lib.h>

#include <cstring>

namespace spi {

const char* const kPluginInfo[] = {
    "00IN",
    "Gazorin GIF plug-in (first frame)",
    "*.gif",
    "GIF",
    nullptr,
};

const std::size_t kPictureInfoBytes = 13; // the screen descriptor

namespace {

struct MemorySource {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t pos;
};

int ReadMemory(GifFileType* gif, GifByteType* buffer, int length)
{
    auto* src = static_cast<MemorySource*>(gif->UserData);
    if (length <= 0)
        return 0;
    const std::size_t n = std::min<std::size_t>(std::size_t(length), src->size - src->pos);
    std::memcpy(buffer, src->data + src->pos, n);
    src->pos += n;
    return int(n);
}

// Closes the decoder however the decoding ends.
struct GifCloser {
    GifFileType* gif;
    ~GifCloser()
    {
        int error = 0;
        if (gif)
            DGifCloseFile(gif, &error);
    }
};

bool HasSignature(const std::uint8_t* p) { return std::memcmp(p, "GIF87a", 6) == 0 || std::memcmp(p, "GIF89a", 6) == 0; }

} // namespace

bool PluginIsSupported(const char*, const std::uint8_t* head) { return HasSignature(head); }

int PluginPictureInfo(const std::uint8_t* data, std::size_t size, SusiePictureInfo& info)
{
    if (size < 13 || !HasSignature(data))
        return SPI_NOT_SUPPORT;
    info.width = data[6] | data[7] << 8;
    info.height = data[8] | data[9] << 8;
    info.colorDepth = 8; // 32 when the first frame has a transparent colour (known only when decoding)
    return SPI_ALL_RIGHT;
}

int PluginDecode(const std::uint8_t* data, std::size_t size, bool, Dib& dib, Progress& progress)
{
    if (size < 13 || !HasSignature(data))
        return SPI_NOT_SUPPORT;
    MemorySource source{data, size, 0};
    int error = 0;
    GifCloser closer{DGifOpen(&source, &ReadMemory, &error)};
    GifFileType* gif = closer.gif;
    if (!gif)
        return SPI_OUT_OF_ORDER;
    if (gif->SWidth <= 0 || gif->SHeight <= 0)
        return SPI_OUT_OF_ORDER;

    int transparent = -1;
    GifRecordType record;
    do {
        if (DGifGetRecordType(gif, &record) == GIF_ERROR)
            return SPI_OUT_OF_ORDER;
        if (record == EXTENSION_RECORD_TYPE) {
            int code = 0;
            GifByteType* ext = nullptr;
            if (DGifGetExtension(gif, &code, &ext) == GIF_ERROR)
                return SPI_OUT_OF_ORDER;
            if (code == GRAPHICS_EXT_FUNC_CODE && ext && ext[0] >= 4 && (ext[1] & 1))
                transparent = ext[4];
            while (ext) {
                if (DGifGetExtensionNext(gif, &ext) == GIF_ERROR)
                    return SPI_OUT_OF_ORDER;
            }
        } else if (record == TERMINATE_RECORD_TYPE) {
            return SPI_OUT_OF_ORDER; // no frame at all
        }
    } while (record != IMAGE_DESC_RECORD_TYPE);

    if (DGifGetImageDesc(gif) == GIF_ERROR)
        return SPI_OUT_OF_ORDER;
    const GifImageDesc& frame = gif->Image;
    const ColorMapObject* map = frame.ColorMap ? frame.ColorMap : gif->SColorMap;
    if (frame.Width <= 0 || frame.Height <= 0)
        return SPI_OUT_OF_ORDER;

    const bool clear = transparent >= 0;
    if (const int r = dib.Create(gif->SWidth, gif->SHeight, clear ? 32 : 8, clear ? 0 : 256); r != SPI_ALL_RIGHT)
        return r;
    // The colours as blue, green, red, opacity: the map's (entries it lacks are black), or grey
    // levels without a map.
    std::uint8_t colours[256][4] = {};
    for (int i = 0; i < 256; ++i) {
        std::uint8_t* c = colours[i];
        if (!map || !map->Colors) {
            c[0] = c[1] = c[2] = std::uint8_t(i);
        } else if (i < map->ColorCount) {
            c[0] = map->Colors[i].Blue, c[1] = map->Colors[i].Green, c[2] = map->Colors[i].Red;
        }
        c[3] = 255;
        if (!clear)
            dib.SetColor(i, c[2], c[1], c[0]);
    }
    static const std::uint8_t clearWhite[4] = {255, 255, 255, 0};
    for (int y = 0; y < gif->SHeight; ++y) {
        std::uint8_t* row = dib.Row(y);
        for (int x = 0; x < gif->SWidth; ++x) {
            if (clear)
                std::memcpy(row + 4 * x, clearWhite, 4);
            else
                row[x] = std::uint8_t(gif->SBackGroundColor);
        }
    }

    // Lines come in file order; interlaced frames store every 8th, then the 4th, 2nd and odd rows.
    std::vector<GifPixelType> line(std::size_t(frame.Width));
    static const int passStart[] = {0, 4, 2, 1}, passStep[] = {8, 8, 4, 2};
    int pass = 0, row = 0;
    for (int n = 0; n < frame.Height; ++n) {
        if (DGifGetLine(gif, line.data(), frame.Width) == GIF_ERROR)
            return SPI_OUT_OF_ORDER;
        if (frame.Interlace) {
            while (pass < 4 && row >= frame.Height) {
                ++pass;
                row = pass < 4 ? passStart[pass] : frame.Height;
            }
        }
        const int y = frame.Top + (frame.Interlace ? row : n);
        if (frame.Interlace)
            row += passStep[pass < 4 ? pass : 3];
        if (y >= 0 && y < gif->SHeight) {
            std::uint8_t* out = dib.Row(y);
            for (int x = 0; x < frame.Width; ++x) {
                const int sx = frame.Left + x;
                const GifPixelType index = line[std::size_t(x)];
                if (sx < 0 || sx >= gif->SWidth || index == transparent)
                    continue;
                if (clear)
                    std::memcpy(out + 4 * sx, colours[index], 4);
                else
                    out[sx] = index;
            }
        }
        if ((n & 63) == 0 && progress.Step(n, frame.Height))
            return SPI_ABORT;
    }
    return SPI_ALL_RIGHT;
}

} // namespace spi
