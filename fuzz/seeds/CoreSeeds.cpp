// Seeds of the readers in the core: bitmaps, icons, JPEG, PNG and metafiles.

#include "Seeds.h"

#include "jpeg/JPEGImage.h"
#include "metafile/MetafileBuilder.h"
#include "platform/Bitmap.h"
#include "platform/Icon.h"
#include "platform/Streams.h"
#include "png/KroPNG.h"

#include <algorithm>
#include <bit>
#include <functional>
#include <string>

namespace gz::seeds {
namespace {

using test::Put16;
using test::Put32;

Bytes Saved(const TGraphic& picture)
{
    TMemoryStream out;
    picture.SaveToStream(out);
    const auto* p = static_cast<const std::uint8_t*>(out.Memory());
    return Bytes(p, p + out.Size());
}

// A small picture in the given format with a pattern in every row.
TBitmap Pattern(int w, int h, TPixelFormat pf)
{
    TBitmap b(w, h, pf);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            b.SetPixel(x, y, RGBColor(std::uint8_t(x * 40), std::uint8_t(y * 60), std::uint8_t((x ^ y) * 30)));
    return b;
}

// A bitmap file: a header of headerSize bytes (12: the old core header), the colour table
// and then the pixel bytes as given.
Bytes BitmapFile(std::uint32_t headerSize, int w, int h, int bits, std::uint32_t compression, int colours,
                 const Bytes& pixels, const Bytes& masks = {})
{
    Bytes info;
    Append32LE(info, headerSize);
    if (headerSize == 12) {
        Append16LE(info, unsigned(w));
        Append16LE(info, unsigned(h));
        Append16LE(info, 1);
        Append16LE(info, unsigned(bits));
    } else {
        Append32LE(info, std::uint32_t(w));
        Append32LE(info, std::uint32_t(h));
        Append16LE(info, 1);
        Append16LE(info, unsigned(bits));
        Append32LE(info, compression);
        Append32LE(info, std::uint32_t(pixels.size()));
        for (int i = 0; i < 4; ++i)
            Append32LE(info, i < 2 ? 2835 : i == 2 ? std::uint32_t(colours) : 0);
        // Colour masks sit inside a longer header, or follow a 40-byte one.
        info.insert(info.end(), masks.begin(), masks.end());
        info.resize(std::max<std::size_t>(headerSize, info.size()), 0);
    }
    for (int i = 0; i < colours; ++i) {
        for (int c = 0; c < (headerSize == 12 ? 3 : 4); ++c)
            info.push_back(std::uint8_t(c == 3 ? 0 : i * (c + 1) * 16));
    }
    Bytes file = {'B', 'M'};
    Append32LE(file, std::uint32_t(14 + info.size() + pixels.size()));
    Append32LE(file, 0);
    Append32LE(file, std::uint32_t(14 + info.size()));
    file.insert(file.end(), info.begin(), info.end());
    file.insert(file.end(), pixels.begin(), pixels.end());
    return file;
}

void MakeBitmapSeeds()
{
    for (TPixelFormat pf : {pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit})
        Put("bmp", "writer-" + std::to_string(pf == pf15bit ? 15 : BitsPerPixel(pf)) + "bit.bmp", Saved(Pattern(7, 5, pf)));
    // Runs, an absolute run, a position jump and the end marks, row by row from the bottom.
    const Bytes rle8 = {3, 1, 0, 3, 2, 3, 4, 0, 1, 5, 0, 0, 7, 2, 0, 0, 4, 3, 0, 2, 2, 0, 1, 6, 0, 0, 0, 1};
    Put("bmp", "rle8.bmp", BitmapFile(40, 7, 4, 8, 1, 8, rle8));
    const Bytes rle4 = {4, 0x12, 0, 3, 0x34, 0x50, 0, 0, 7, 0x77, 0, 0, 0, 2, 3, 0, 4, 0x56, 0, 0, 0, 1};
    Put("bmp", "rle4.bmp", BitmapFile(40, 7, 4, 4, 2, 16, rle4));
    Put("bmp", "core-header.bmp", BitmapFile(12, 3, 2, 8, 0, 4, Bytes{0, 1, 2, 0, 3, 2, 1, 0}));
    Bytes topDown(3 * 4 * 2, 0x7F);
    Put("bmp", "top-down.bmp", BitmapFile(40, 4, -2, 24, 0, 0, topDown));
    Bytes masks565;
    for (std::uint32_t m : {0xF800u, 0x07E0u, 0x001Fu})
        Append32LE(masks565, m);
    Put("bmp", "bitfields-565.bmp", BitmapFile(40, 2, 2, 16, 3, 0, Bytes{1, 2, 3, 4, 5, 6, 7, 8}, masks565));
    Bytes v4masks = masks565;
    Append32LE(v4masks, 0);
    Put("bmp", "v5-bitfields.bmp", BitmapFile(124, 2, 2, 16, 3, 0, Bytes{0x1F, 0, 0xE0, 7, 0, 0xF8, 0xFF, 0xFF}, v4masks));
    Bytes masks32;
    for (std::uint32_t m : {0x00FF0000u, 0x0000FF00u, 0x000000FFu, 0xFF000000u})
        Append32LE(masks32, m);
    Put("bmp", "v4-alpha.bmp", BitmapFile(108, 2, 1, 32, 3, 0, Bytes{1, 2, 3, 128, 4, 5, 6, 255}, masks32));
    // A bitmap array ("BA") holding one bitmap file.
    Bytes array = {'B', 'A'};
    Append32LE(array, 14);
    Append32LE(array, 0);
    Append32LE(array, 0);
    const Bytes inner = Saved(Pattern(3, 3, pf8bit));
    array.insert(array.end(), inner.begin(), inner.end());
    Put("bmp", "array.bmp", array);
}

// An icon file whose entries hold the given images (each a DIB or a PNG file).
Bytes IconFile(const std::vector<std::pair<int, Bytes>>& images)
{
    Bytes file = {0, 0, 1, 0};
    Append16LE(file, unsigned(images.size()));
    std::uint32_t offset = std::uint32_t(6 + 16 * images.size());
    for (const auto& [size, image] : images) {
        file.insert(file.end(), {std::uint8_t(size), std::uint8_t(size), 0, 0});
        Append16LE(file, 1);
        Append16LE(file, 32);
        Append32LE(file, std::uint32_t(image.size()));
        Append32LE(file, offset);
        offset += std::uint32_t(image.size());
    }
    for (const auto& entry : images)
        file.insert(file.end(), entry.second.begin(), entry.second.end());
    return file;
}

// An icon image: the DIB of a bitmap file (height doubled) followed by an AND mask.
Bytes IconDib(int size, TPixelFormat pf)
{
    const Bytes bmp = Saved(Pattern(size, size, pf));
    Bytes dib(bmp.begin() + 14, bmp.end());
    const std::uint32_t doubled = std::uint32_t(2 * size);
    for (int i = 0; i < 4; ++i)
        dib[8 + i] = std::uint8_t(doubled >> (8 * i));
    const std::size_t maskRow = std::size_t((size + 31) / 32 * 4);
    for (int y = 0; y < size; ++y)
        for (std::size_t i = 0; i < maskRow; ++i)
            dib.push_back(std::uint8_t(y & 1 ? 0xAA : 0x0F));
    return dib;
}

void MakeIconSeeds()
{
    TIcon icon;
    icon.Assign(Pattern(5, 4, pf24bit));
    Put("ico", "writer-32bit.ico", Saved(icon));
    Put("ico", "dib-1bit.ico", IconFile({{8, IconDib(8, pf1bit)}}));
    Put("ico", "dib-4-and-8bit.ico", IconFile({{4, IconDib(4, pf4bit)}, {6, IconDib(6, pf8bit)}}));
    Put("ico", "dib-24bit.ico", IconFile({{3, IconDib(3, pf24bit)}}));
    TKroPNG png;
    png.Assign(Pattern(4, 4, pf24bit));
    png.UseCurrentTime = false;
    Put("ico", "png-image.ico", IconFile({{4, Saved(png)}, {2, IconDib(2, pf32bit)}}));
}

void MakeJpegSeeds()
{
    struct Case {
        const char* name;
        int w, h, quality;
        bool progressive, grey;
        TPixelFormat pf;
    };
    const Case cases[] = {
        {"baseline", 16, 16, 75, false, false, pf24bit}, {"progressive", 17, 9, 60, true, false, pf24bit},
        {"grey", 8, 8, 90, false, true, pf24bit},         {"grey-progressive", 9, 17, 30, true, true, pf8bit},
        {"quality-1", 24, 8, 1, false, false, pf4bit},    {"quality-100", 5, 3, 100, false, false, pf32bit},
    };
    for (const Case& c : cases) {
        TJPEGImage jpeg;
        jpeg.Assign(Pattern(c.w, c.h, c.pf));
        jpeg.SetQuality(c.quality);
        jpeg.SetProgressive(c.progressive);
        jpeg.SetGrayScale(c.grey);
        Bytes file = Saved(jpeg);
        Put("jpeg", std::string(c.name) + ".jpg", file);
        // The target takes its 8-bit output flag from the last byte: a trailing zero turns it off.
        file.push_back(0);
        Put("jpeg", std::string(c.name) + "-trailing-zero.jpg", file);
    }
    // The writer's target: quality byte, flags (progressive, grey, pixel format), width, height, pixels.
    const Bytes writer[] = {
        {75, 0x18, 15, 7, 1, 2, 3, 4, 5, 6, 7, 8, 9}, {200, 0x01 | 0x14, 30, 3, 0xFF, 0, 0x80},
        {1, 0x02 | 0x08, 0, 0, 9}, {50, 0x04, 63, 63, 1, 2, 3}, {100, 0x03 | 0x0C, 200, 1, 0x55, 0xAA},
        {0x80, 0x10, 1, 100, 7, 7, 7, 0, 0, 0},
    };
    int n = 0;
    for (const Bytes& b : writer)
        Put("jpeg_writer", "options-" + std::to_string(++n), b);
}

void MakePngSeeds()
{
    auto save = [](const std::string& name, const std::function<void(TKroPNG&)>& setUp, Bytes tail = {}) {
        TKroPNG png;
        png.UseCurrentTime = false;
        setUp(png);
        Bytes file = Saved(png);
        file.insert(file.end(), tail.begin(), tail.end());
        Put("png", name + ".png", file);
    };
    for (TPixelFormat pf : {pf1bit, pf4bit, pf8bit, pf24bit})
        save("writer-" + std::to_string(BitsPerPixel(pf)) + "bit", [pf](TKroPNG& p) { p.Assign(Pattern(9, 5, pf)); });
    save("grey-interlaced", [](TKroPNG& p) {
        p.Assign(Pattern(11, 9, pf24bit));
        p.GrayScale = true;
        p.Interlace = 1;
    });
    save("alpha-adaptive-filters", [](TKroPNG& p) {
        p.Assign(Pattern(6, 6, pf24bit));
        p.AlphaBitmap() = Pattern(6, 6, pf8bit);
        p.AlphaBitmap().SetPalette(GreyPalette(256));
        p.HasAlpha = true;
        p.FilterMode = 0;
    });
    save("chunks", [](TKroPNG& p) {
        p.Assign(Pattern(4, 3, pf8bit));
        p.Comment = "seed";
        p.BackgroundColor = 0x01000002;
        p.TransparentColor = 0x01000001;
        p.PixelUnit = 1;
        p.PixelsPerUnitX = p.PixelsPerUnitY = 2835;
        p.SignificantBits = 0x00080808;
    });
    for (int filter = 2; filter <= 5; ++filter)
        save("filter-" + std::to_string(filter), [filter](TKroPNG& p) {
            p.Assign(Pattern(5, 4, pf24bit));
            p.FilterMode = std::uint8_t(filter);
            p.Interlace = filter & 1;
        });
    save("row-key", [](TKroPNG& p) {
        p.Assign(Pattern(3, 3, pf24bit));
        p.RowKey = "k";
        p.OnWriteRow = [](TKroPNGWriteStream&, std::uint8_t* row, const std::string&, int n, int length) {
            for (int i = 0; i < length; ++i)
                row[i] = std::uint8_t(row[i] ^ n);
        };
    });
    // The target takes its options from the last byte: high colour, no MacBinary skip, row
    // hook, piecewise stream.
    save("options-all", [](TKroPNG& p) { p.Assign(Pattern(7, 7, pf16bit)); }, {0x0D});
}

void MakeMetafileSeeds()
{
    using test::EmfBuilder;
    using test::WmfBuilder;
    const std::uint32_t red = 0x0000FF, blue = 0xFF0000;
    Put("metafile", "wmf-shapes.wmf",
        WmfBuilder(64, 48)
            .SolidBrush(red)
            .Record(0x012D, {0})
            .Record(0x041B, {40, 40, 4, 4})
            .Record(0x0418, {30, 60, 2, 20})
            .Record(0x061C, {8, 8, 46, 62, 10, 10})
            .Record(0x0324, {3, 0, 0, 60, 0, 30, 40})
            .Record(0x0214, {5, 5})
            .Record(0x0213, {40, 60})
            .Record(0x081A, {0, 0, 0, 64, 48, 64, 0, 0})
            .Record(0x041F, {0x00FF, 0, 10, 10})
            .Finish());
    Bytes font;
    for (int v : {-12, 0, 0, 0, 400})
        Put16(font, v);
    for (int v : {0, 0, 0, 128, 0, 0, 0, 0})
        font.push_back(std::uint8_t(v));
    const Bytes text = {4, 0, 0x93, 0xFA, 0x96, 0x7B, 20, 0, 8, 0};
    Put("metafile", "wmf-text-clip.wmf",
        WmfBuilder(96, 96)
            .RecordBytes(0x02FB, font)
            .Record(0x012D, {0})
            .Record(0x0102, {1})
            .Record(0x001E, {})
            .Record(0x0416, {96, 48, 0, 0})
            .Record(0x0415, {48, 48, 0, 0})
            .RecordBytes(0x0521, text)
            .Record(0x0127, {-1})
            .Record(0x020B, {0, 0})
            .Record(0x020C, {192, 192})
            .Finish());
    Bytes blit;
    for (int w : {0x0020, 0x00CC, 0, 0, 96, 96, 0, 0, 0, 2, 1, 6, (24 << 8) | 1})
        Put16(blit, w);
    for (int b : {0, 0, 255, 255, 0, 0})
        blit.push_back(std::uint8_t(b));
    Put("metafile", "wmf-blit.wmf", WmfBuilder(32, 32).RecordBytes(0x0922, blit).Finish());

    auto asFloat = [](float f) { return std::int64_t(std::bit_cast<std::uint32_t>(f)); };
    Put("metafile", "emf-shapes.emf",
        EmfBuilder(64, 64)
            .Record(39, {1, 0, red, 0})
            .Record(37, {1})
            .Record(43, {0, 0, 32, 32})
            .Record(42, {10, 10, 60, 50})
            .Record(59, {})
            .Record(3, {0, 0, 0, 0, 3, 0, 0, 64, 0, 0, 64})
            .Record(60, {})
            .Record(62, {0, 0, 64, 64})
            .Record(30, {16, 16, 48, 48})
            .Record(39, {2, 0, blue, 0})
            .Record(37, {2})
            .Record(43, {0, 0, 64, 64})
            .Finish());
    Put("metafile", "emf-mapping.emf",
        EmfBuilder(48, 48)
            .Record(17, {8})
            .Record(9, {10, 10})
            .Record(11, {48, 48})
            .Record(35, {asFloat(1), 0, 0, asFloat(1), 0, asFloat(8)})
            .Record(39, {1, 0, red, 0})
            .Record(37, {1})
            .Record(71, {0, 0, 5, 10, 48, 1, 32, 1, 1, 16, 0, 0, 5, 10, 0, 0, 5, 10})
            .Record(118, {0, 0, 48, 48, 2, 1, 0, 0, 0, 0xFF00, 0, 48, 48, 0, 0xFF00, 0, 1})
            .Finish());
    Bytes stretch;
    for (std::int64_t v : {0, 0, 31, 31, 0, 0, 0, 0, 2, 2, 80, 40, 120, 16, 0, 0x00CC0020, 32, 32})
        Put32(stretch, v);
    for (std::int64_t v : {40, 2, 2, 1 | (24 << 16), 0, 16, 0, 0, 0, 0})
        Put32(stretch, v);
    for (int b : {0, 0, 255, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 0, 0})
        stretch.push_back(std::uint8_t(b));
    Put("metafile", "emf-stretchdib.emf", EmfBuilder(32, 32).RecordBytes(81, stretch).Finish());
}

} // namespace

void MakeCoreSeeds()
{
    MakeBitmapSeeds();
    MakeIconSeeds();
    MakeJpegSeeds();
    MakePngSeeds();
    MakeMetafileSeeds();
}

} // namespace gz::seeds
