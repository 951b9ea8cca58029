#include "platform/BmpFile.h"

#include "platform/Bitmap.h"
#include "platform/Exceptions.h"
#include "platform/PackedIndexes.h"
#include "platform/Streams.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>
#include <new>
#include <string>
#include <vector>

namespace gz {

static_assert(std::endian::native == std::endian::little, "the bitmap file structures are read in place");

namespace {

#pragma pack(push, 1)
struct BitmapFileHeader {
    std::uint16_t type;
    std::uint32_t size;
    std::uint16_t reserved1, reserved2;
    std::uint32_t offBits;
};
struct BitmapCoreHeader {
    std::uint32_t size;
    std::uint16_t width, height, planes, bitCount;
};
struct BitmapInfoHeader {
    std::uint32_t size;
    std::int32_t width, height;
    std::uint16_t planes, bitCount;
    std::uint32_t compression, sizeImage;
    std::int32_t xPelsPerMeter, yPelsPerMeter;
    std::uint32_t clrUsed, clrImportant;
};
#pragma pack(pop)
static_assert(sizeof(BitmapFileHeader) == 14);
static_assert(sizeof(BitmapCoreHeader) == 12);
static_assert(sizeof(BitmapInfoHeader) == 40);

constexpr std::uint16_t SignatureBM = 0x4D42, SignatureBA = 0x4142;
constexpr std::uint32_t BI_RGB = 0, BI_RLE8 = 1, BI_RLE4 = 2, BI_BITFIELDS = 3, BI_JPEG = 4, BI_PNG = 5,
                        BI_ALPHABITFIELDS = 6;

[[noreturn]] void Invalid(const std::string& reason)
{
    throw EInvalidGraphic("Bitmap image is not valid: " + reason);
}

std::uint32_t Get32(const std::uint8_t* p)
{
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

// One colour channel of a BITFIELDS pixel, scaled to 8 bits.
struct Channel {
    std::uint32_t mask = 0;
    int shift = 0;
    std::uint32_t max = 0;

    explicit Channel(std::uint32_t m) : mask(m)
    {
        if (!m)
            return;
        shift = std::countr_zero(m);
        max = m >> shift;
        if ((max & (max + 1)) != 0)
            Invalid("the colour mask " + std::to_string(m) + " is not one run of bits");
    }
    std::uint8_t Scale(std::uint32_t pixel) const
    {
        if (!mask)
            return 0;
        const std::uint64_t v = (pixel & mask) >> shift;
        return std::uint8_t((v * 255 + max / 2) / max);
    }
};

struct Masks {
    std::uint32_t red = 0, green = 0, blue = 0, alpha = 0;
};

struct Header {
    std::uint32_t size = 0;
    bool core = false;
    std::int64_t width = 0, height = 0;
    unsigned planes = 1, bitCount = 0;
    std::uint32_t compression = BI_RGB;
    std::uint32_t clrUsed = 0;
    Masks masks;
    bool masksInHeader = false;
};

Header ParseHeader(const std::uint8_t* data, std::size_t size, std::size_t at)
{
    if (at > size || size - at < 4)
        Invalid("the header is cut off");
    Header h;
    h.size = Get32(data + at);
    const bool os2v2 = h.size >= 16 && h.size <= 64 && h.size % 4 == 0;
    if (h.size != 12 && !os2v2 && h.size != 108 && h.size != 124)
        Invalid("unknown header size " + std::to_string(h.size));
    if (size - at < h.size)
        Invalid("the header is cut off");
    if (h.size == 12) {
        BitmapCoreHeader c;
        std::memcpy(&c, data + at, sizeof c);
        h.core = true;
        h.width = c.width;
        h.height = c.height;
        h.planes = c.planes;
        h.bitCount = c.bitCount;
        return h;
    }
    BitmapInfoHeader info{};
    std::memcpy(&info, data + at, std::min<std::size_t>(h.size, sizeof info));
    h.width = info.width;
    h.height = info.height;
    h.planes = info.planes;
    h.bitCount = info.bitCount;
    h.compression = info.compression;
    h.clrUsed = info.clrUsed;
    if (h.size >= 52) {
        h.masks.red = Get32(data + at + 40);
        h.masks.green = Get32(data + at + 44);
        h.masks.blue = Get32(data + at + 48);
        h.masksInHeader = true;
    }
    if (h.size >= 56)
        h.masks.alpha = Get32(data + at + 52);
    // Headers of OS/2 2.x sizes give compression 3 and 4 other meanings.
    const bool os2Only = h.size != 40 && h.size != 52 && h.size != 56 && h.size <= 64;
    if (os2Only && h.compression == 3)
        Invalid("Huffman-compressed bitmaps are not supported");
    if (os2Only && h.compression == 4)
        Invalid("RLE24-compressed bitmaps are not supported");
    return h;
}

void CheckFormat(const Header& h, bool iconImage)
{
    if (h.planes != 1 && !iconImage)
        Invalid("the number of planes is " + std::to_string(h.planes) + ", not 1");
    switch (h.bitCount) {
    case 1: case 2: case 4: case 8: case 16: case 24: case 32:
        break;
    case 64:
        Invalid("64-bit bitmaps are not supported");
    default:
        if (h.compression == BI_JPEG || h.compression == BI_PNG)
            break;
        Invalid("unsupported bit count " + std::to_string(h.bitCount));
    }
    switch (h.compression) {
    case BI_RGB:
        return;
    case BI_RLE8:
        if (h.bitCount != 8)
            Invalid("RLE8 compression needs 8 bits per pixel");
        return;
    case BI_RLE4:
        if (h.bitCount != 4)
            Invalid("RLE4 compression needs 4 bits per pixel");
        return;
    case BI_BITFIELDS:
    case BI_ALPHABITFIELDS:
        if (h.bitCount != 16 && h.bitCount != 32)
            Invalid("colour masks need 16 or 32 bits per pixel");
        return;
    case BI_JPEG:
        Invalid("bitmaps holding a JPEG image are not supported");
    case BI_PNG:
        Invalid("bitmaps holding a PNG image are not supported");
    default:
        Invalid("unknown compression " + std::to_string(h.compression));
    }
}

void CheckMasks(const Masks& m, unsigned bitCount)
{
    if ((m.red | m.green | m.blue) == 0)
        Invalid("the colour masks are empty");
    if ((m.red & m.green) || (m.red & m.blue) || (m.green & m.blue) || (m.alpha & (m.red | m.green | m.blue)))
        Invalid("the colour masks overlap");
    if (bitCount == 16 && ((m.red | m.green | m.blue | m.alpha) >> 16))
        Invalid("a colour mask is wider than 16 bits");
}

// How the file's rows become bitmap rows.
enum class RowMode { Copy, Expand2, Fields };

struct Target {
    TPixelFormat pf;
    RowMode mode;
};

Target ChooseTarget(const Header& h, const Masks& m)
{
    switch (h.bitCount) {
    case 1: return {pf1bit, RowMode::Copy};
    case 2: return {pf4bit, RowMode::Expand2};
    case 4: return {pf4bit, RowMode::Copy};
    case 8: return {pf8bit, RowMode::Copy};
    case 24: return {pf24bit, RowMode::Copy};
    default: break;
    }
    if (h.bitCount == 16) {
        if (m.alpha == 0 && m.red == 0x7C00 && m.green == 0x3E0 && m.blue == 0x1F)
            return {pf15bit, RowMode::Copy};
        if (m.alpha == 0 && m.red == 0xF800 && m.green == 0x7E0 && m.blue == 0x1F)
            return {pf16bit, RowMode::Copy};
    } else if (h.compression == BI_RGB ||
               (m.red == 0xFF0000 && m.green == 0xFF00 && m.blue == 0xFF && (m.alpha == 0 || m.alpha == 0xFF000000u))) {
        return {pf32bit, RowMode::Copy};
    }
    return {m.alpha ? pf32bit : pf24bit, RowMode::Fields};
}

// Writes palette index v at pixel x of a 4-bit or 8-bit row.
inline void PutIndex(std::uint8_t* row, int x, unsigned v, bool nibbles)
{
    if (!nibbles) {
        row[x] = std::uint8_t(v);
        return;
    }
    SetPackedIndex<4>(row, std::size_t(x), v);
}

// Decodes RLE8 or RLE4 data (rows bottom-up) into out, whose pixels start as index 0.
// Returns the number of bytes used.
std::size_t DecodeRle(const std::uint8_t* p, std::size_t n, bool rle4, TBitmap& out)
{
    const int w = out.Width(), h = out.Height();
    std::size_t i = 0;
    std::int64_t x = 0, row = 0; // row counts from the bottom
    auto checkRun = [&](std::int64_t count) {
        if (row >= h)
            Invalid("the compressed data runs past the last row");
        if (x + count > w)
            Invalid("a compressed run goes past the end of a row");
    };
    while (n - i >= 2) {
        const unsigned a = p[i], b = p[i + 1];
        i += 2;
        if (a > 0) {
            checkRun(a);
            std::uint8_t* d = out.ScanLine(int(h - 1 - row));
            for (unsigned k = 0; k < a; ++k)
                PutIndex(d, int(x + k), rle4 ? ((k & 1) ? b & 15 : b >> 4) : b, rle4);
            x += a;
            continue;
        }
        if (b == 0) {
            x = 0;
            ++row;
        } else if (b == 1) {
            return i;
        } else if (b == 2) {
            if (n - i < 2)
                Invalid("the compressed data is cut off");
            x += p[i];
            row += p[i + 1];
            i += 2;
            if (x > w || row > h)
                Invalid("a compressed position jump leaves the image");
        } else {
            const std::size_t bytes = rle4 ? (b + 1) / 2 : b;
            if (n - i < bytes)
                Invalid("the compressed data is cut off");
            checkRun(b);
            std::uint8_t* d = out.ScanLine(int(h - 1 - row));
            for (unsigned k = 0; k < b; ++k) {
                const unsigned v = rle4 ? PackedIndex<4>(p + i, k) : p[i + k];
                PutIndex(d, int(x + k), v, rle4);
            }
            x += b;
            i += std::min(n - i, (bytes + 1) & ~std::size_t(1));
        }
    }
    return i; // no end-of-bitmap mark: what was decoded stands
}

void DecodeRow(const std::uint8_t* src, std::uint8_t* dst, int w, unsigned bitCount, RowMode mode, TPixelFormat pf,
               const Channel* ch)
{
    switch (mode) {
    case RowMode::Copy: {
        const std::size_t bits = std::size_t(w) * bitCount;
        std::memcpy(dst, src, bits / 8);
        if (bits % 8) // keep the bits past the last pixel zero
            dst[bits / 8] = std::uint8_t(src[bits / 8] & (0xFF00 >> (bits % 8)));
        return;
    }
    case RowMode::Expand2:
        for (int x = 0; x < w; ++x)
            PutIndex(dst, x, (src[x >> 2] >> (6 - 2 * (x & 3))) & 3, true);
        return;
    case RowMode::Fields: {
        const int step = pf == pf32bit ? 4 : 3;
        for (int x = 0; x < w; ++x, dst += step) {
            std::uint32_t px;
            if (bitCount == 16)
                px = std::uint32_t(src[2 * x]) | (std::uint32_t(src[2 * x + 1]) << 8);
            else
                px = Get32(src + 4 * x);
            dst[0] = ch[2].Scale(px);
            dst[1] = ch[1].Scale(px);
            dst[2] = ch[0].Scale(px);
            if (step == 4)
                dst[3] = ch[3].Scale(px);
        }
        return;
    }
    }
}

} // namespace

TDibLayout ParseDibLayout(const std::uint8_t* data, std::size_t size, const TDibOptions& options)
{
    const Header h = ParseHeader(data, size, options.headerOffset);
    CheckFormat(h, options.iconImage);

    if (h.width < 0)
        Invalid("the width is negative");
    const bool topDown = h.height < 0;
    std::int64_t height = topDown ? -h.height : h.height;
    if (options.iconImage)
        height /= 2;
    if (height > std::numeric_limits<std::int32_t>::max())
        Invalid("the height is too large");
    const bool rle = h.compression == BI_RLE8 || h.compression == BI_RLE4;
    if (rle && options.iconImage)
        Invalid("compressed icon images are not supported");
    if (rle && topDown)
        Invalid("compressed bitmaps cannot be stored top row first");

    TDibLayout layout;
    layout.width = int(h.width);
    layout.height = int(height);
    layout.topDown = topDown;
    layout.compressed = rle;
    layout.bitCount = int(h.bitCount);
    layout.rle4 = h.compression == BI_RLE4;

    // Colour masks: inside the larger headers, or right after a 40-byte one.
    std::uint64_t tableStart = std::uint64_t(options.headerOffset) + h.size;
    Masks masks = h.masks;
    if (h.compression == BI_BITFIELDS || h.compression == BI_ALPHABITFIELDS) {
        if (!h.masksInHeader) {
            const unsigned count = h.compression == BI_ALPHABITFIELDS ? 4 : 3;
            if (tableStart + 4 * count > size)
                Invalid("the colour masks are cut off");
            masks.red = Get32(data + tableStart);
            masks.green = Get32(data + tableStart + 4);
            masks.blue = Get32(data + tableStart + 8);
            masks.alpha = count == 4 ? Get32(data + tableStart + 12) : 0;
            tableStart += 4 * count;
        }
        CheckMasks(masks, h.bitCount);
    } else if (h.bitCount == 16) {
        masks = {0x7C00, 0x3E0, 0x1F, 0};
    } else if (h.bitCount == 32) {
        masks = {0xFF0000, 0xFF00, 0xFF, 0};
    }
    layout.masks = {masks.red, masks.green, masks.blue, masks.alpha};

    // Colour table: clrUsed entries, or all the depth allows when that is 0.
    const unsigned entrySize = h.core ? 3 : 4;
    const std::uint64_t capacity = h.bitCount <= 8 ? std::uint64_t(1) << h.bitCount : 0;
    const std::uint64_t declared = h.clrUsed && !h.core ? h.clrUsed : capacity;
    const bool offsetGiven = options.bitsOffset != 0 && options.bitsOffset >= tableStart;
    const std::uint64_t bitsStart = offsetGiven ? options.bitsOffset : tableStart + declared * entrySize;
    if (bitsStart > size)
        Invalid("the pixel data lies past the end of the file");
    layout.bitsStart = bitsStart;

    if (capacity) {
        std::uint64_t entries = std::min(declared, capacity);
        if (offsetGiven) // a table shorter than declared ends where the pixels begin
            entries = std::min(entries, (bitsStart - tableStart) / entrySize);
        if (entries == 0)
            Invalid("the colour table is empty");
        if (tableStart + entries * entrySize > size)
            Invalid("the colour table runs past the end of the file");
        layout.palette.resize(std::size_t(entries));
        for (std::size_t i = 0; i < layout.palette.size(); ++i) {
            const std::uint8_t* e = data + tableStart + i * entrySize;
            layout.palette[i] = {e[2], e[1], e[0]};
        }
    }

    if (rle) {
        layout.format = layout.rle4 ? pf4bit : pf8bit;
        return layout;
    }
    layout.stride = (std::uint64_t(layout.width) * h.bitCount + 31) / 32 * 4;
    // The rows a file claims must be in it: this bounds what a header can make us allocate.
    const std::uint64_t need = layout.stride * std::uint64_t(layout.height);
    if (need > size - bitsStart)
        Invalid("the pixel data is cut off (" + std::to_string(size - bitsStart) + " of " + std::to_string(need) +
                " bytes)");
    const Target target = ChooseTarget(h, masks);
    layout.format = target.pf;
    layout.fields = target.mode == RowMode::Fields;
    layout.expand2 = target.mode == RowMode::Expand2;
    return layout;
}

void DecodeDibRow(const TDibLayout& layout, const std::uint8_t* src, std::uint8_t* dst)
{
    const RowMode mode = layout.fields ? RowMode::Fields : layout.expand2 ? RowMode::Expand2 : RowMode::Copy;
    const Masks m{layout.masks[0], layout.masks[1], layout.masks[2], layout.masks[3]};
    if (mode != RowMode::Fields) {
        DecodeRow(src, dst, layout.width, unsigned(layout.bitCount), mode, layout.format, nullptr);
        return;
    }
    const Channel channels[4] = {Channel(m.red), Channel(m.green), Channel(m.blue), Channel(m.alpha)};
    DecodeRow(src, dst, layout.width, unsigned(layout.bitCount), mode, layout.format, channels);
}

TDibResult DecodeDib(const std::uint8_t* data, std::size_t size, const TDibOptions& options, TBitmap& bitmap)
{
    const TDibLayout layout = ParseDibLayout(data, size, options);
    TDibResult result;
    result.topDown = layout.topDown;
    result.bitCount = layout.bitCount;
    TBitmap out;
    if (layout.width == 0 || layout.height == 0) {
        result.bitsEnd = std::size_t(layout.bitsStart);
        bitmap.Assign(out);
        return result;
    }
    const int w = layout.width, ht = layout.height;
    if (layout.compressed) {
        // Zeroed memory: index 0 wherever the data leaves pixels out, and no page is touched
        // before the data reaches it.
        out.AllocateZeroed(w, ht, layout.format);
        out.SetPalette(layout.palette);
        result.bitsEnd = std::size_t(layout.bitsStart) +
                         DecodeRle(data + layout.bitsStart, size - layout.bitsStart, layout.rle4, out);
        bitmap.Assign(out);
        return result;
    }
    out.AllocateUninitialized(w, ht, layout.format);
    if (!layout.palette.empty())
        out.SetPalette(layout.palette);
    for (int r = 0; r < ht; ++r) {
        const std::uint8_t* src = data + layout.bitsStart + std::uint64_t(r) * layout.stride;
        DecodeDibRow(layout, src, out.ScanLine(layout.topDown ? r : ht - 1 - r));
    }
    result.bitsEnd = std::size_t(layout.bitsStart + layout.stride * std::uint64_t(ht));
    bitmap.Assign(out);
    return result;
}

TDibOptions BitmapFileOptions(const std::uint8_t* data, std::size_t size)
{
    std::size_t base = 0;
    // An OS/2 bitmap array holding one bitmap: its file header follows the 14-byte array header.
    if (size >= 2 && data[0] == 'B' && data[1] == 'A')
        base = 14;
    if (size < base + sizeof(BitmapFileHeader))
        Invalid("the file header is cut off");
    BitmapFileHeader fh;
    std::memcpy(&fh, data + base, sizeof fh);
    if (fh.type != SignatureBM)
        Invalid(fh.type == SignatureBA ? "bitmap arrays nest" : "the file does not begin with \"BM\"");
    TDibOptions options;
    options.headerOffset = base + sizeof fh;
    options.bitsOffset = fh.offBits;
    return options;
}

std::size_t ReadBitmapFileImage(const std::uint8_t* data, std::size_t size, TBitmap& bitmap)
{
    return DecodeDib(data, size, BitmapFileOptions(data, size), bitmap).bitsEnd;
}

void ReadBitmapFile(TStream& stream, TBitmap& bitmap)
{
    const std::int64_t start = stream.Position();
    const std::int64_t total = stream.Size();
    const std::int64_t remaining = total > start ? total - start : 0;
    if (std::uint64_t(remaining) > std::numeric_limits<std::size_t>::max() / 2)
        Invalid("the file is too large");
    std::vector<std::uint8_t> bytes;
    try {
        bytes.resize(std::size_t(remaining));
    } catch (const std::bad_alloc&) {
        Invalid("the file is too large to read");
    }
    stream.ReadBuffer(bytes.data(), bytes.size());
    const std::size_t used = ReadBitmapFileImage(bytes.data(), bytes.size(), bitmap);
    stream.SetPosition(start + std::int64_t(used));
}

void WriteBitmapFile(TStream& stream, const TBitmap& bitmap)
{
    const TPixelFormat pf = bitmap.PixelFormat();
    const int w = bitmap.Width(), h = bitmap.Height();
    const bool empty = w == 0 || h == 0;
    const unsigned bitCount = unsigned(BitsPerPixel(pf));

    std::vector<TPaletteEntry> palette;
    if (IsPaletteFormat(pf)) {
        palette = bitmap.Palette();
        if (palette.empty())
            palette = DefaultPalette(pf);
        palette.resize(std::min<std::size_t>(palette.size(), std::size_t(1) << bitCount));
    }
    const bool fields565 = pf == pf16bit;
    const std::uint64_t stride = empty ? 0 : (std::uint64_t(w) * bitCount + 31) / 32 * 4;
    const std::uint64_t imageBytes = stride * std::uint64_t(empty ? 0 : h);
    const std::uint64_t offBits = sizeof(BitmapFileHeader) + sizeof(BitmapInfoHeader) + (fields565 ? 12 : 0) +
                                  4 * palette.size();
    if (offBits + imageBytes > std::numeric_limits<std::uint32_t>::max())
        throw EInvalidGraphicOperation("The bitmap is too large for a bitmap file");

    BitmapFileHeader fh{SignatureBM, std::uint32_t(offBits + imageBytes), 0, 0, std::uint32_t(offBits)};
    BitmapInfoHeader ih{};
    ih.size = sizeof ih;
    ih.width = empty ? 0 : w;
    ih.height = empty ? 0 : h;
    ih.planes = 1;
    ih.bitCount = std::uint16_t(bitCount);
    ih.compression = fields565 ? BI_BITFIELDS : BI_RGB;
    ih.sizeImage = std::uint32_t(imageBytes);
    ih.xPelsPerMeter = ih.yPelsPerMeter = 3780; // 96 pixels per inch
    ih.clrUsed = std::uint32_t(palette.size());
    stream.WriteBuffer(&fh, sizeof fh);
    stream.WriteBuffer(&ih, sizeof ih);
    if (fields565) {
        const std::uint32_t masks[3] = {0xF800, 0x7E0, 0x1F};
        stream.WriteBuffer(masks, sizeof masks);
    }
    std::vector<std::uint8_t> table(4 * palette.size());
    for (std::size_t i = 0; i < palette.size(); ++i) {
        table[4 * i] = palette[i].Blue;
        table[4 * i + 1] = palette[i].Green;
        table[4 * i + 2] = palette[i].Red;
    }
    if (!table.empty())
        stream.WriteBuffer(table.data(), table.size());
    if (empty)
        return;
    // Bitmap rows and file rows have the same padded length; files store the bottom row first.
    for (int y = h - 1; y >= 0; --y)
        stream.WriteBuffer(bitmap.ScanLine(y), std::size_t(stride));
}

} // namespace gz
