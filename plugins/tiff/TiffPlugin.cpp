// TIFF pictures: the first page as 24-bit colour, through the library's RGBA reader, a band
// of rows at a time; CMYK and floating-point pictures through TiffSamples. Rows are handed
// over as stored and the orientation tag goes into the picture notes. Pictures with opacity
// come as 32-bit colour over white; an embedded colour profile is converted to sRGB.

#include "PluginKit.h"
#include "TiffSamples.h"

#include "photo/ColourProfile.h"

#include <tiffio.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

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

// Uncompressed samples take as many bytes in the file as in the picture, and no codec a TIFF
// file uses packs more than about 2^15 bytes into one (LZW some 2,700, deflate 1,032, a blank
// fax row a bit or two); 2^17 leaves room. A header claiming more rows than the whole file can
// hold is refused before anything is allocated: the library would otherwise fill gigabytes of
// missing strip, and the bitmap as many again.
bool ClaimsMoreThanTheFileHolds(TIFF* tif, std::uint64_t fileSize)
{
    std::uint16_t compression = COMPRESSION_NONE;
    TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &compression);
    const double most = double(fileSize) * (compression == COMPRESSION_NONE ? 1.0 : double(1 << 17));
    double bytes = 0;
    if (TIFFIsTiled(tif)) {
        bytes = double(TIFFTileSize64(tif)) * double(TIFFNumberOfTiles(tif));
    } else {
        std::uint32_t height = 0;
        std::uint16_t planar = PLANARCONFIG_CONTIG, samples = 1;
        TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height);
        TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &planar);
        TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
        bytes = double(TIFFScanlineSize64(tif)) * height * (planar == PLANARCONFIG_SEPARATE ? samples : 1);
    }
    return bytes > most;
}

// Turns rows of the RGBA reader (opacity multiplied in) into bitmap rows: sRGB through the
// embedded profile when there is one, over white when there is opacity.
class ProfileRows {
public:
    ProfileRows(TIFF* tif, bool alpha) : alpha_(alpha)
    {
        std::uint32_t size = 0;
        void* icc = nullptr;
        if (!TIFFGetField(tif, TIFFTAG_ICCPROFILE, &size, &icc))
            return;
        using gz::photo::TPixelLayout;
        colour_ = gz::photo::TSrgbConversion::FromProfile(icc, size, TPixelLayout::BGRA);
        if (!colour_) // grey pictures come as grey colours: their profile works on one of them
            grey_ = gz::photo::TSrgbConversion::FromProfile(icc, size, TPixelLayout::Grey);
    }

    void Put(const std::uint32_t* abgr, std::uint8_t* out, std::uint32_t width) const
    {
        const std::size_t step = alpha_ ? 4 : 3;
        if (!colour_ && !grey_) {
            // Over white a colour with its opacity multiplied in only gains the white behind it.
            for (std::uint32_t x = 0; x < width; ++x, out += step) {
                const std::uint32_t p = abgr[x], clear = 255 - TIFFGetA(p);
                out[0] = std::uint8_t(std::min<std::uint32_t>(255, TIFFGetB(p) + clear));
                out[1] = std::uint8_t(std::min<std::uint32_t>(255, TIFFGetG(p) + clear));
                out[2] = std::uint8_t(std::min<std::uint32_t>(255, TIFFGetR(p) + clear));
                if (alpha_)
                    out[3] = std::uint8_t(TIFFGetA(p));
            }
            return;
        }
        // A profile works on the colours themselves: the opacity is taken out first.
        bgra_.resize(std::size_t(width) * 4);
        for (std::uint32_t x = 0; x < width; ++x) {
            const std::uint32_t p = abgr[x], a = TIFFGetA(p);
            const auto straight = [a](std::uint32_t c) { return gz::photo::Unmultiplied(c, a); };
            const std::uint8_t pixel[4] = {straight(TIFFGetB(p)), straight(TIFFGetG(p)), straight(TIFFGetR(p)),
                                           std::uint8_t(a)};
            std::memcpy(&bgra_[4 * std::size_t(x)], pixel, 4);
        }
        if (colour_) {
            colour_->Convert(bgra_.data(), bgra_.data(), width);
        } else {
            greys_.resize(std::size_t(width) * 4); // the grey levels, then their colours
            for (std::uint32_t x = 0; x < width; ++x)
                greys_[x] = bgra_[4 * std::size_t(x) + 1];
            grey_->Convert(greys_.data(), greys_.data() + width, width);
            for (std::uint32_t x = 0; x < width; ++x)
                std::memcpy(&bgra_[4 * std::size_t(x)], &greys_[width + 3 * std::size_t(x)], 3);
        }
        for (std::uint32_t x = 0; x < width; ++x, out += step) {
            const std::uint8_t* p = &bgra_[4 * std::size_t(x)];
            if (alpha_)
                PutOverWhite(out, p[2], p[1], p[0], p[3]);
            else
                std::memcpy(out, p, 3);
        }
    }

private:
    bool alpha_;
    std::unique_ptr<gz::photo::TSrgbConversion> colour_, grey_;
    mutable std::vector<std::uint8_t> bgra_, greys_;
};

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
    info.colorDepth = std::int16_t(std::min<std::uint32_t>(std::uint32_t(bits) * samples, 32));
    std::uint16_t orientation = ORIENTATION_TOPLEFT;
    TIFFGetFieldDefaulted(closer.tif, TIFFTAG_ORIENTATION, &orientation);
    CurrentNotes().orientation = orientation;
    return SPI_ALL_RIGHT;
}

int PluginDecode(const std::uint8_t* data, std::size_t size, bool, Dib& dib, Progress& progress)
{
    if (size < 8 || !HasSignature(data))
        return SPI_NOT_SUPPORT;
    MemoryFile file{data, size, 0};
    TiffCloser closer{OpenMemory(file)};
    TIFF* tif = closer.tif;
    if (!tif || ClaimsMoreThanTheFileHolds(tif, size))
        return SPI_OUT_OF_ORDER;
    if (NeedsSampleReader(tif))
        return ReadTiffSamples(tif, dib, progress);
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
    const bool alpha = image.alpha != 0;
    if (const int r = dib.Create(int(width), int(height), alpha ? 32 : 24, 0); r != SPI_ALL_RIGHT)
        return r;
    const ProfileRows profile(tif, alpha);

    // The rows in file order: the orientation is the host's to apply.
    image.req_orientation = image.orientation >= ORIENTATION_TOPLEFT && image.orientation <= ORIENTATION_LEFTBOT
                                ? image.orientation
                                : ORIENTATION_TOPLEFT;
    constexpr std::uint32_t kBand = 64;
    std::vector<std::uint32_t> band(std::size_t(width) * kBand);
    for (std::uint32_t top = 0; top < height; top += kBand) {
        const std::uint32_t rows = std::min(kBand, height - top);
        image.row_offset = int(top);
        image.col_offset = 0;
        if (!TIFFRGBAImageGet(&image, band.data(), width, rows))
            return SPI_OUT_OF_ORDER;
        for (std::uint32_t y = 0; y < rows; ++y)
            profile.Put(&band[std::size_t(y) * width], dib.Row(int(top + y)), width);
        if (progress.Step(top + rows, height))
            return SPI_ABORT;
    }
    return SPI_ALL_RIGHT;
}

} // namespace spi
