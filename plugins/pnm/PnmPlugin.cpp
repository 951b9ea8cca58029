// Portable anymap pictures: bitmaps (P1, P4) as 1 bit per pixel, grey maps (P2, P5) as 8-bit
// grey, pixel maps (P3, P6) as 24-bit colour. Samples above 8 bits are scaled down.

#include "PluginKit.h"

#include <cstring>

namespace spi {

const char* const kPluginInfo[] = {
    "00IN",
    "Gazorin portable anymap plug-in (P1-P6)",
    "*.pnm;*.pbm;*.pgm;*.ppm",
    "Portable anymap",
    nullptr,
};

const std::size_t kPictureInfoBytes = 65536; // the header, comments included

namespace {

bool IsSpace(std::uint8_t c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

class PnmReader {
public:
    PnmReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    // Skips white space and comments (from '#' to the end of the line).
    void SkipSpace()
    {
        while (pos_ < size_) {
            if (data_[pos_] == '#') {
                while (pos_ < size_ && data_[pos_] != '\n' && data_[pos_] != '\r')
                    ++pos_;
            } else if (IsSpace(data_[pos_])) {
                ++pos_;
            } else {
                break;
            }
        }
    }

    bool Number(std::uint32_t& value)
    {
        SkipSpace();
        if (pos_ >= size_ || data_[pos_] < '0' || data_[pos_] > '9')
            return false;
        std::uint64_t v = 0;
        while (pos_ < size_ && data_[pos_] >= '0' && data_[pos_] <= '9') {
            v = v * 10 + std::uint64_t(data_[pos_++] - '0');
            if (v > 0xFFFFFFFFu)
                return false;
        }
        value = std::uint32_t(v);
        return true;
    }

    // One P1 digit: digits may follow each other without space.
    bool Bit(std::uint32_t& value)
    {
        SkipSpace();
        if (pos_ >= size_ || (data_[pos_] != '0' && data_[pos_] != '1'))
            return false;
        value = std::uint32_t(data_[pos_++] - '0');
        return true;
    }

    // The single white-space byte between the header and binary samples.
    bool EndOfHeader()
    {
        if (pos_ >= size_ || !IsSpace(data_[pos_]))
            return false;
        ++pos_;
        return true;
    }

    const std::uint8_t* Take(std::size_t n)
    {
        if (n > size_ - pos_)
            return nullptr;
        const std::uint8_t* p = data_ + pos_;
        pos_ += n;
        return p;
    }
    std::size_t Remaining() const { return size_ - pos_; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

struct Header {
    int kind = 0; // 1..6
    std::uint32_t width = 0, height = 0, maxval = 1;
};

bool ReadHeader(PnmReader& r, const std::uint8_t* data, std::size_t size, Header& h)
{
    if (size < 3 || data[0] != 'P' || data[1] < '1' || data[1] > '6')
        return false;
    h.kind = data[1] - '0';
    r.Take(2);
    if (!r.Number(h.width) || !r.Number(h.height))
        return false;
    if (h.kind != 1 && h.kind != 4) {
        if (!r.Number(h.maxval) || h.maxval == 0 || h.maxval > 65535)
            return false;
    }
    if (h.width == 0 || h.height == 0 || h.width > 0x7FFFFFFF || h.height > 0x7FFFFFFF)
        return false;
    return h.kind <= 3 || r.EndOfHeader();
}

std::uint8_t Scale(std::uint32_t v, std::uint32_t maxval)
{
    if (v > maxval)
        v = maxval;
    return std::uint8_t((v * 255u + maxval / 2) / maxval);
}

} // namespace

bool PluginIsSupported(const char*, const std::uint8_t* head)
{
    return head[0] == 'P' && head[1] >= '1' && head[1] <= '6' && (IsSpace(head[2]) || head[2] == '#');
}

int PluginPictureInfo(const std::uint8_t* data, std::size_t size, SusiePictureInfo& info)
{
    PnmReader r(data, size);
    Header h;
    if (!ReadHeader(r, data, size, h))
        return SPI_NOT_SUPPORT;
    info.width = std::int32_t(h.width);
    info.height = std::int32_t(h.height);
    info.colorDepth = std::int16_t(h.kind == 1 || h.kind == 4 ? 1 : h.kind == 2 || h.kind == 5 ? 8 : 24);
    return SPI_ALL_RIGHT;
}

int PluginDecode(const std::uint8_t* data, std::size_t size, bool, Dib& dib, Progress& progress)
{
    PnmReader r(data, size);
    Header h;
    if (!ReadHeader(r, data, size, h))
        return SPI_NOT_SUPPORT;
    const std::uint64_t pixels = std::uint64_t(h.width) * h.height;
    const int channels = h.kind == 3 || h.kind == 6 ? 3 : 1;
    const bool bitmap = h.kind == 1 || h.kind == 4;
    const std::uint64_t sampleBytes = h.maxval > 255 ? 2 : 1;

    // Every sample takes at least one byte of input (P4: one bit); refuse before allocating.
    const std::uint64_t minBytes = h.kind == 4 ? (std::uint64_t(h.width) + 7) / 8 * h.height
                                   : h.kind >= 5 ? pixels * channels * sampleBytes
                                                 : pixels * channels;
    if (minBytes > r.Remaining())
        return SPI_OUT_OF_ORDER;

    int res = bitmap ? dib.Create(int(h.width), int(h.height), 1, 2)
                     : channels == 1 ? dib.Create(int(h.width), int(h.height), 8, 256)
                                     : dib.Create(int(h.width), int(h.height), 24, 0);
    if (res != SPI_ALL_RIGHT)
        return res;
    if (bitmap) {
        dib.SetColor(0, 255, 255, 255); // 0 is white, 1 is black
        dib.SetColor(1, 0, 0, 0);
    } else if (channels == 1) {
        dib.SetGreyPalette();
    }

    const std::size_t rowBytes = h.kind == 4 ? (h.width + 7) / 8 : std::size_t(h.width) * channels * sampleBytes;
    for (std::uint32_t y = 0; y < h.height; ++y) {
        std::uint8_t* row = dib.Row(int(y));
        if (h.kind == 4) {
            const std::uint8_t* src = r.Take(rowBytes);
            if (!src)
                return SPI_OUT_OF_ORDER;
            std::memcpy(row, src, rowBytes);
        } else if (h.kind >= 5) {
            const std::uint8_t* src = r.Take(rowBytes);
            if (!src)
                return SPI_OUT_OF_ORDER;
            for (std::uint32_t x = 0; x < h.width; ++x)
                for (int c = 0; c < channels; ++c) {
                    const std::size_t i = (std::size_t(x) * channels + c) * sampleBytes;
                    const std::uint32_t v = sampleBytes == 2 ? std::uint32_t(src[i] << 8 | src[i + 1]) : src[i];
                    // pixel maps are stored red, green, blue; rows of the bitmap blue, green, red
                    row[std::size_t(x) * channels + (channels == 3 ? 2 - c : 0)] = Scale(v, h.maxval);
                }
        } else {
            for (std::uint32_t x = 0; x < h.width; ++x)
                for (int c = 0; c < channels; ++c) {
                    std::uint32_t v = 0;
                    if (!(h.kind == 1 ? r.Bit(v) : r.Number(v)))
                        return SPI_OUT_OF_ORDER;
                    if (h.kind == 1) {
                        if (v)
                            row[x / 8] |= std::uint8_t(0x80u >> (x % 8));
                    } else {
                        row[std::size_t(x) * channels + (channels == 3 ? 2 - c : 0)] = Scale(v, h.maxval);
                    }
                }
        }
        if ((y & 63) == 0 && progress.Step(y, h.height))
            return SPI_ABORT;
    }
    return SPI_ALL_RIGHT;
}

} // namespace spi
