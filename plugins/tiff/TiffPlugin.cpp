// TIFF pictures: the first page as 24-bit colour, through the library's RGBA reader, a band
// of rows at a time.

#include "PluginKit.h"

#include <tiffio.h>

#include <algorithm>
#include <cstring>

namespace spi {

const char* const kPluginInfo[] = {
    "00IN",
    "Gazorin TIFF plug-in (first page)",
    "*.tif;*.tiff",
    "TIFF",
    nullptr,
};

const std::size_t kPictureInfoBytes = 0; // directories may sit anywhere in the file

namespace {

struct MemoryFile {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t pos;
};

tmsize_t ReadProc(thandle_t h, void* buffer, tmsize_t length)
{
    auto* f = static_cast<MemoryFile*>(h);
    if (length <= 0 || f->pos >= f->size)
        return 0;
    const std::size_t n = std::min<std::size_t>(std::size_t(length), f->size - f->pos);
    std::memcpy(buffer, f->data + f->pos, n);
    f->pos += n;
    return tmsize_t(n);
}
tmsize_t WriteProc(thandle_t, void*, tmsize_t) { return 0; }
toff_t SeekProc(thandle_t h, toff_t offset, int whence)
{
    auto* f = static_cast<MemoryFile*>(h);
    std::uint64_t base = whence == SEEK_CUR ? f->pos : whence == SEEK_END ? f->size : 0;
    const std::uint64_t target = base + offset;
    if (target < base)
        return toff_t(-1);
    f->pos = std::size_t(std::min<std::uint64_t>(target, f->size)); // reads past the end give nothing
    return target;
}
int CloseProc(thandle_t) { return 0; }
toff_t SizeProc(thandle_t h) { return static_cast<MemoryFile*>(h)->size; }
int MapProc(thandle_t, void**, toff_t*) { return 0; }
void UnmapProc(thandle_t, void*, toff_t) {}

bool HasSignature(const std::uint8_t* p)
{
    return (p[0] == 'I' && p[1] == 'I' && (p[2] == 42 || p[2] == 43) && p[3] == 0) ||
           (p[0] == 'M' && p[1] == 'M' && p[2] == 0 && (p[3] == 42 || p[3] == 43));
}

struct TiffCloser {
    TIFF* tif;
    ~TiffCloser()
    {
        if (tif)
            TIFFClose(tif);
    }
};

TIFF* OpenMemory(MemoryFile& file)
{
    // The library's messages would go to the terminal; a plug-in answers with results only.
    TIFFSetErrorHandler(nullptr);
    TIFFSetWarningHandler(nullptr);
    return TIFFClientOpen("memory", "rm", &file, ReadProc, WriteProc, SeekProc, CloseProc, SizeProc, MapProc,
                          UnmapProc);
}

} // namespace

bool PluginIsSupported(const char*, const std::uint8_t* head) { return HasSignature(head); }

int PluginPictureInfo(const std::uint8_t* data, std::size_t size, SusiePictureInfo& info)
{
    if (size < 8 || !HasSignature(data))
        return SPI_NOT_SUPPORT;
    MemoryFile file{data, size, 0};
    TiffCloser closer{OpenMemory(file)};
    if (!closer.tif)
        return SPI_OUT_OF_ORDER;
    std::uint32_t width = 0, height = 0;
    std::uint16_t bits = 1, samples = 1;
    TIFFGetField(closer.tif, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(closer.tif, TIFFTAG_IMAGELENGTH, &height);
    TIFFGetFieldDefaulted(closer.tif, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(closer.tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
    if (width == 0 || height == 0 || width > 0x7FFFFFFF || height > 0x7FFFFFFF)
        return SPI_OUT_OF_ORDER;
    info.width = std::int32_t(width);
    info.height = std::int32_t(height);
    info.colorDepth = std::int16_t(std::min(bits * samples, 32));
    return SPI_ALL_RIGHT;
}

int PluginDecode(const std::uint8_t* data, std::size_t size, bool, Dib& dib, Progress& progress)
{
    if (size < 8 || !HasSignature(data))
        return SPI_NOT_SUPPORT;
    MemoryFile file{data, size, 0};
    TiffCloser closer{OpenMemory(file)};
    TIFF* tif = closer.tif;
    if (!tif)
        return SPI_OUT_OF_ORDER;
    char message[1024] = {};
    if (!TIFFRGBAImageOK(tif, message))
        return SPI_NOT_SUPPORT;
    TIFFRGBAImage image;
    if (!TIFFRGBAImageBegin(&image, tif, 1, message)) // stop at the first unreadable strip or tile
        return SPI_OUT_OF_ORDER;
    struct ImageEnd {
        TIFFRGBAImage* img;
        ~ImageEnd() { TIFFRGBAImageEnd(img); }
    } end{&image};
    const std::uint32_t width = image.width, height = image.height;
    if (width == 0 || height == 0 || width > 0x7FFFFFFF || height > 0x7FFFFFFF)
        return SPI_OUT_OF_ORDER;
    if (const int r = dib.Create(int(width), int(height), 24, 0); r != SPI_ALL_RIGHT)
        return r;

    image.req_orientation = ORIENTATION_TOPLEFT;
    constexpr std::uint32_t kBand = 64;
    std::vector<std::uint32_t> band(std::size_t(width) * kBand);
    for (std::uint32_t top = 0; top < height; top += kBand) {
        const std::uint32_t rows = std::min(kBand, height - top);
        image.row_offset = int(top);
        image.col_offset = 0;
        if (!TIFFRGBAImageGet(&image, band.data(), width, rows))
            return SPI_OUT_OF_ORDER;
        for (std::uint32_t y = 0; y < rows; ++y) {
            const std::uint32_t* src = &band[std::size_t(y) * width];
            std::uint8_t* out = dib.Row(int(top + y));
            for (std::uint32_t x = 0; x < width; ++x) {
                out[3 * x] = std::uint8_t(TIFFGetB(src[x]));
                out[3 * x + 1] = std::uint8_t(TIFFGetG(src[x]));
                out[3 * x + 2] = std::uint8_t(TIFFGetR(src[x]));
            }
        }
        if (progress.Step(top + rows, height))
            return SPI_ABORT;
    }
    return SPI_ALL_RIGHT;
}

} // namespace spi
