#include "TiffSamples.h"

#include "photo/ColourProfile.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

namespace spi {

namespace {

using gz::photo::TPixelLayout;
using gz::photo::TSrgbConversion;

struct Layout {
    std::uint32_t width = 0, height = 0;
    std::uint16_t bits = 0, samples = 0, format = SAMPLEFORMAT_UINT, photometric = 0, planar = PLANARCONFIG_CONTIG;
    int colours = 0;      // colour samples: 1 grey, 3 RGB, 4 CMYK
    int alpha = -1;       // index of the opacity sample, -1 without
    bool premultiplied = false;
};

bool ReadLayout(TIFF* tif, Layout& l)
{
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &l.width);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &l.height);
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &l.bits);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &l.samples);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLEFORMAT, &l.format);
    TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &l.planar);
    if (!TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &l.photometric))
        return false;
    std::uint16_t inkSet = INKSET_CMYK;
    TIFFGetFieldDefaulted(tif, TIFFTAG_INKSET, &inkSet);
    switch (l.photometric) {
    case PHOTOMETRIC_SEPARATED:
        if (inkSet != INKSET_CMYK || l.format != SAMPLEFORMAT_UINT || (l.bits != 8 && l.bits != 16))
            return false;
        l.colours = 4;
        break;
    case PHOTOMETRIC_RGB:
    case PHOTOMETRIC_MINISBLACK:
    case PHOTOMETRIC_MINISWHITE:
        if (l.format != SAMPLEFORMAT_IEEEFP || l.bits != 32)
            return false;
        l.colours = l.photometric == PHOTOMETRIC_RGB ? 3 : 1;
        break;
    default:
        return false;
    }
    if (l.samples < l.colours || l.samples > 16)
        return false;
    std::uint16_t extras = 0;
    std::uint16_t* kinds = nullptr;
    if (TIFFGetField(tif, TIFFTAG_EXTRASAMPLES, &extras, &kinds) && extras > 0 && kinds &&
        l.samples == l.colours + extras &&
        (kinds[0] == EXTRASAMPLE_ASSOCALPHA || kinds[0] == EXTRASAMPLE_UNASSALPHA)) {
        l.alpha = l.colours;
        l.premultiplied = kinds[0] == EXTRASAMPLE_ASSOCALPHA;
    }
    return l.width > 0 && l.height > 0 && l.width <= 0x7FFFFFFF && l.height <= 0x7FFFFFFF;
}

// One sample scaled to 0 … 1.
double Sample(const Layout& l, const std::uint8_t* row, std::size_t index)
{
    if (l.bits == 8)
        return row[index] / 255.0;
    if (l.bits == 16) {
        std::uint16_t v;
        std::memcpy(&v, row + 2 * index, 2);
        return v / 65535.0;
    }
    float v;
    std::memcpy(&v, row + 4 * index, 4);
    return v > 0 ? (v < 1 ? double(v) : 1.0) : 0.0; // not-a-number counts as 0
}

std::uint8_t Byte(double v) { return std::uint8_t(v * 255.0 + 0.5); }

// Gives the picture's rows with every sample of a pixel together, whatever the file's layout.
class RowSource {
public:
    RowSource(TIFF* tif, const Layout& l) : tif_(tif), l_(l), sampleBytes_(l.bits / 8) {}

    bool Start()
    {
        constexpr std::size_t kMaxBuffer = std::size_t(1) << 28;
        rowBytes_ = std::size_t(l_.width) * l_.samples * sampleBytes_;
        if (rowBytes_ > kMaxBuffer)
            return false;
        row_.resize(rowBytes_);
        if (!TIFFIsTiled(tif_))
            return l_.planar == PLANARCONFIG_CONTIG || (plane_.resize(std::size_t(l_.width) * sampleBytes_), true);
        if (l_.planar != PLANARCONFIG_CONTIG || !TIFFGetField(tif_, TIFFTAG_TILEWIDTH, &tileW_) ||
            !TIFFGetField(tif_, TIFFTAG_TILELENGTH, &tileH_) || tileW_ == 0 || tileH_ == 0 || tileW_ > 65536 ||
            tileH_ > 65536)
            return false;
        const tmsize_t tileBytes = TIFFTileSize(tif_);
        if (tileBytes <= 0 || std::size_t(tileBytes) > kMaxBuffer || rowBytes_ * tileH_ > kMaxBuffer)
            return false;
        tile_.resize(std::size_t(tileBytes));
        band_.resize(rowBytes_ * tileH_);
        return tile_.size() >= std::size_t(tileW_) * tileH_ * l_.samples * sampleBytes_;
    }

    // Row y (in file order); null when it cannot be read.
    const std::uint8_t* Row(std::uint32_t y)
    {
        if (TIFFIsTiled(tif_))
            return TileRow(y);
        if (l_.planar == PLANARCONFIG_CONTIG)
            return TIFFReadScanline(tif_, row_.data(), y, 0) < 0 ? nullptr : row_.data();
        for (std::uint16_t s = 0; s < l_.samples; ++s) {
            if (TIFFReadScanline(tif_, plane_.data(), y, s) < 0)
                return nullptr;
            for (std::uint32_t x = 0; x < l_.width; ++x)
                std::memcpy(&row_[(std::size_t(x) * l_.samples + s) * sampleBytes_], &plane_[std::size_t(x) * sampleBytes_],
                            sampleBytes_);
        }
        return row_.data();
    }

private:
    const std::uint8_t* TileRow(std::uint32_t y)
    {
        const std::uint32_t top = y / tileH_ * tileH_;
        if (!bandValid_ || top != bandTop_) {
            const std::size_t pixelBytes = std::size_t(l_.samples) * sampleBytes_;
            for (std::uint32_t left = 0; left < l_.width; left += tileW_) {
                if (TIFFReadTile(tif_, tile_.data(), left, top, 0, 0) < 0)
                    return nullptr;
                const std::uint32_t w = std::min(tileW_, l_.width - left);
                for (std::uint32_t r = 0; r < tileH_ && top + r < l_.height; ++r)
                    std::memcpy(&band_[r * rowBytes_ + left * pixelBytes], &tile_[std::size_t(r) * tileW_ * pixelBytes],
                                w * pixelBytes);
            }
            bandTop_ = top;
            bandValid_ = true;
        }
        return &band_[(y - top) * rowBytes_];
    }

    TIFF* tif_;
    const Layout& l_;
    std::size_t sampleBytes_;
    std::size_t rowBytes_ = 0;
    std::vector<std::uint8_t> row_, plane_, tile_, band_;
    std::uint32_t tileW_ = 0, tileH_ = 0, bandTop_ = 0;
    bool bandValid_ = false;
};

} // namespace

bool NeedsSampleReader(TIFF* tif)
{
    std::uint16_t photometric = 0, format = SAMPLEFORMAT_UINT;
    TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLEFORMAT, &format);
    return photometric == PHOTOMETRIC_SEPARATED || format == SAMPLEFORMAT_IEEEFP;
}

int ReadTiffSamples(TIFF* tif, Dib& dib, Progress& progress)
{
    Layout l;
    if (!ReadLayout(tif, l))
        return SPI_NOT_SUPPORT;
    const bool alpha = l.alpha >= 0;
    if (const int r = dib.Create(int(l.width), int(l.height), alpha ? 32 : 24, 0); r != SPI_ALL_RIGHT)
        return r;
    RowSource source(tif, l);
    if (!source.Start())
        return SPI_NOT_SUPPORT;

    std::uint32_t iccSize = 0;
    void* icc = nullptr;
    const TPixelLayout layout = l.colours == 4 ? TPixelLayout::CMYK : l.colours == 3 ? TPixelLayout::BGR : TPixelLayout::Grey;
    std::unique_ptr<TSrgbConversion> conversion;
    if (TIFFGetField(tif, TIFFTAG_ICCPROFILE, &iccSize, &icc))
        conversion = TSrgbConversion::FromProfile(icc, iccSize, layout);

    const std::size_t w = l.width;
    std::vector<std::uint8_t> colours(w * 4), bgr(w * 3), opacity(w, 255);
    for (std::uint32_t y = 0; y < l.height; ++y) {
        const std::uint8_t* row = source.Row(y);
        if (!row)
            return SPI_OUT_OF_ORDER;
        for (std::size_t x = 0; x < w; ++x) {
            const std::size_t first = x * l.samples;
            const double a = alpha ? Sample(l, row, first + std::size_t(l.alpha)) : 1.0;
            for (int c = 0; c < l.colours; ++c) {
                double v = Sample(l, row, first + std::size_t(c));
                if (l.premultiplied)
                    v = a > 0 ? std::min(1.0, v / a) : 0.0;
                if (l.photometric == PHOTOMETRIC_MINISWHITE)
                    v = 1.0 - v;
                // Colour samples go in blue-green-red order; CMYK and grey stay in their own.
                const int at = l.colours == 3 ? 2 - c : c;
                colours[x * std::size_t(l.colours) + std::size_t(at)] = Byte(v);
            }
            opacity[x] = Byte(a);
        }
        if (conversion)
            conversion->Convert(colours.data(), bgr.data(), w);
        else if (l.colours == 4)
            gz::photo::CmykToBgr(colours.data(), bgr.data(), w, false);
        else if (l.colours == 3)
            std::memcpy(bgr.data(), colours.data(), w * 3);
        else
            for (std::size_t x = 0; x < w; ++x)
                bgr[3 * x] = bgr[3 * x + 1] = bgr[3 * x + 2] = colours[x];
        std::uint8_t* out = dib.Row(int(y));
        for (std::size_t x = 0; x < w; ++x) {
            if (alpha)
                PutOverWhite(out + 4 * x, bgr[3 * x + 2], bgr[3 * x + 1], bgr[3 * x], opacity[x]);
            else
                std::memcpy(out + 3 * x, &bgr[3 * x], 3);
        }
        if ((y & 63) == 63 && progress.Step(y + 1, l.height))
            return SPI_ABORT;
    }
    return SPI_ALL_RIGHT;
}

} // namespace spi
