#pragma once
// What every image plug-in we ship shares: reading its input from a file or memory, building
// the device-independent bitmap it hands to the host, progress, and the exported entry points.
// A plug-in implements the functions declared at the end of this file.

#include "susie_plugin.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace spi {

// Limits that keep a broken or hostile file from making us allocate without bound. A bitmap
// may be as large as the host takes: its bitmap file image (14 + 40 + 1024 bytes of headers and
// colours, then the pixels) must fit a signed 32-bit size.
constexpr std::size_t kMaxInputBytes = std::size_t(1) << 30;
constexpr std::uint64_t kMaxBitmapBytes = 0x7FFFFFFFu - (14 + 40 + 1024);
// Pixels a decoder library that makes its own copy of four bytes a pixel is asked for at most:
// as many as the largest bitmap holds at that depth.
constexpr std::uint64_t kMaxPixels = kMaxBitmapBytes / 4;

// The bytes of one picture.
struct Input {
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
    std::vector<std::uint8_t> storage; // holds the bytes read from a file
};

// Source flag 0: source is a file name and position the offset of the picture in it; flag 1:
// source is the picture in memory and position its length. A file is read up to `limit`
// bytes. Returns an SPI_* result.
int ReadInput(const char* source, std::intptr_t position, std::uint32_t flag, Input& input,
              std::size_t limit = kMaxInputBytes);

// Reads little- and big-endian numbers from a byte span with bounds checks.
class ByteReader {
public:
    ByteReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool Has(std::size_t n) const { return n <= size_ - pos_; }
    std::size_t Remaining() const { return size_ - pos_; }
    std::size_t Position() const { return pos_; }
    bool Skip(std::size_t n);
    bool U8(std::uint8_t& v);
    bool LE16(std::uint16_t& v);
    bool Bytes(std::size_t n, const std::uint8_t*& p);

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

// The bitmap handed to the host: a 40-byte header with its colour table in one local-memory
// block, the rows (bottom row first, each padded to 4 bytes) in another.
class Dib {
public:
    Dib() = default;
    ~Dib();
    Dib(const Dib&) = delete;
    Dib& operator=(const Dib&) = delete;

    // Allocates both blocks (rows zeroed). Returns an SPI_* result.
    int Create(int width, int height, int bitCount, int colors);
    void SetColor(int index, std::uint8_t r, std::uint8_t g, std::uint8_t b);
    void SetGreyPalette();
    // Row y counted from the top of the picture.
    std::uint8_t* Row(int y) { return bits_ + std::size_t(height_ - 1 - y) * stride_; }
    // Rows in memory order (bottom row first), for decoders that can write them that way.
    std::uint8_t* Bits() { return bits_; }
    std::size_t Stride() const { return stride_; }
    std::size_t BitsSize() const { return stride_ * std::size_t(height_); }
    int Width() const { return width_; }
    int Height() const { return height_; }
    // Gives both handles to the host.
    void Release(SusieHandle* info, SusieHandle* bits);

private:
    SusieHandle infoHandle_ = nullptr;
    SusieHandle bitsHandle_ = nullptr;
    std::uint8_t* colors_ = nullptr;
    std::uint8_t* bits_ = nullptr;
    int width_ = 0, height_ = 0, colorCount_ = 0;
    std::size_t stride_ = 0;
};

// Our plug-ins hand over pictures with transparent parts as 32-bit bitmaps whose fourth byte
// is the opacity and whose colours are already laid over white (the picture notes say so).
// Fills one such pixel from its colour and opacity.
inline void PutOverWhite(std::uint8_t* pixel, unsigned r, unsigned g, unsigned b, unsigned a)
{
    const auto over = [a](unsigned c) { return std::uint8_t((c * a + 255u * (255u - a) + 127u) / 255u); };
    pixel[0] = over(b);
    pixel[1] = over(g);
    pixel[2] = over(r);
    pixel[3] = std::uint8_t(a);
}

// What PluginPictureInfo may add to the picture notes besides the opacity rule.
struct PictureNotes {
    int orientation = 1; // rows handed over as stored, to be turned by this orientation tag
};
// The notes of the picture information being made (reset before each PluginPictureInfo).
PictureNotes& CurrentNotes();

// The host's progress callback.
class Progress {
public:
    Progress(SusieProgressCallback callback, std::intptr_t data) : callback_(callback), data_(data) {}
    // Tells the host how far the decoding is; true when the host asks to stop.
    bool Step(std::int64_t done, std::int64_t total);

private:
    SusieProgressCallback callback_;
    std::intptr_t data_;
};

// ---- implemented by each plug-in -----------------------------------------------------------

// Information 0 ("00IN"), 1 (the plug-in's name), then pairs of patterns and description;
// ends with a null pointer.
extern const char* const kPluginInfo[];
// head: at least 2048 bytes from the start of the picture; fileName may be empty.
bool PluginIsSupported(const char* fileName, const std::uint8_t* head);
// How much of a file PluginPictureInfo needs: its head, or (0) the whole file.
extern const std::size_t kPictureInfoBytes;
// Fills width, height and colour depth. Returns an SPI_* result.
int PluginPictureInfo(const std::uint8_t* data, std::size_t size, SusiePictureInfo& info);
// Decodes the picture (preview: a reduced one where the plug-in has one). Returns an SPI_* result.
int PluginDecode(const std::uint8_t* data, std::size_t size, bool preview, Dib& dib, Progress& progress);

} // namespace spi
