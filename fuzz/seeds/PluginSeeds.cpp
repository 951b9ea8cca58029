// Seeds of the plug-in targets: pictures made with the formats' own encoders (GIF, TIFF,
// WebP) or by hand (PNM, TGA), the same behind a name-choosing byte for the host's target, and
// plug-in bitmaps of every depth for the plug-in picture path.

#include "Seeds.h"

#include "platform/Bitmap.h"
#include "platform/Streams.h"

#include <gif_lib.h>
#include <tiffio.h>
#include <webp/encode.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace gz::seeds {
namespace {

std::uint8_t Shade(int x, int y, int channel) { return std::uint8_t(x * 37 + y * 19 + channel * 85); }

int AppendToBytes(GifFileType* gif, const GifByteType* data, int length)
{
    auto* out = static_cast<Bytes*>(gif->UserData);
    out->insert(out->end(), data, data + length);
    return length;
}

Bytes Gif(int w, int h, bool interlace, bool transparent)
{
    Bytes out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, &AppendToBytes, &error);
    const GifColorType colours[] = {{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
    ColorMapObject* map = GifMakeMapObject(4, colours);
    EGifSetGifVersion(gif, true);
    EGifPutScreenDesc(gif, w + 1, h + 1, 2, 3, map);
    if (transparent) {
        const GifByteType control[] = {1, 0, 0, 2};
        EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, control);
    }
    EGifPutImageDesc(gif, 1, 1, w, h, interlace, nullptr);
    std::vector<GifPixelType> line(static_cast<std::size_t>(w));
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x)
            line[std::size_t(x)] = GifPixelType((x + y) % 4);
        EGifPutLine(gif, line.data(), w);
    }
    GifFreeMapObject(map);
    EGifCloseFile(gif, &error);
    return out;
}

Bytes Tiff(int w, int h, int samples, int bits, int compression, bool tiled)
{
    const std::string path = (std::filesystem::temp_directory_path() / "gazorin-seed.tif").string();
    TIFF* tif = TIFFOpen(path.c_str(), "w");
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, std::uint32_t(w));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, std::uint32_t(h));
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, bits);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, samples);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, samples >= 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, compression);
    if (samples == 4) {
        const std::uint16_t extra = EXTRASAMPLE_ASSOCALPHA;
        TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, &extra);
    }
    const std::size_t rowBytes = (std::size_t(w) * samples * bits + 7) / 8;
    if (tiled) {
        TIFFSetField(tif, TIFFTAG_TILEWIDTH, 16);
        TIFFSetField(tif, TIFFTAG_TILELENGTH, 16);
        std::vector<std::uint8_t> tile(TIFFTileSize(tif));
        for (std::size_t i = 0; i < tile.size(); ++i)
            tile[i] = std::uint8_t(i * 7);
        for (int y = 0; y < h; y += 16)
            for (int x = 0; x < w; x += 16)
                TIFFWriteTile(tif, tile.data(), std::uint32_t(x), std::uint32_t(y), 0, 0);
    } else {
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 3);
        std::vector<std::uint8_t> row(rowBytes);
        for (int y = 0; y < h; ++y) {
            for (std::size_t i = 0; i < rowBytes; ++i)
                row[i] = Shade(int(i), y, 0);
            TIFFWriteScanline(tif, row.data(), std::uint32_t(y), 0);
        }
    }
    TIFFClose(tif);
    std::ifstream in(path, std::ios::binary);
    Bytes bytes((std::istreambuf_iterator<char>(in)), {});
    std::filesystem::remove(path);
    return bytes;
}

Bytes Webp(int w, int h, bool lossless, bool alpha)
{
    std::vector<std::uint8_t> pixels(std::size_t(w) * h * 4);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < 4; ++c)
                pixels[(std::size_t(y) * w + x) * 4 + c] = Shade(x, y, c);
    std::uint8_t* encoded = nullptr;
    std::size_t size = 0;
    if (alpha)
        size = lossless ? WebPEncodeLosslessBGRA(pixels.data(), w, h, w * 4, &encoded)
                        : WebPEncodeBGRA(pixels.data(), w, h, w * 4, 50, &encoded);
    else
        size = lossless ? WebPEncodeLosslessBGR(pixels.data(), w, h, w * 4, &encoded)
                        : WebPEncodeBGR(pixels.data(), w, h, w * 4, 50, &encoded);
    Bytes bytes(encoded, encoded + size);
    WebPFree(encoded);
    return bytes;
}

Bytes Pnm(char kind, int w, int h, int maxValue)
{
    std::string text = std::string("P") + kind + "\n# seed\n" + std::to_string(w) + " " + std::to_string(h) + "\n";
    if (kind != '1' && kind != '4')
        text += std::to_string(maxValue) + "\n";
    Bytes b = FromText(text);
    const int channels = kind == '3' || kind == '6' ? 3 : 1;
    for (int y = 0; y < h; ++y) {
        if (kind == '4') {
            for (int x = 0; x < w; x += 8)
                b.push_back(Shade(x, y, 1));
            continue;
        }
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < channels; ++c) {
                const int v = kind == '1' || kind == '4' ? (x + y) & 1 : Shade(x, y, c) % (maxValue + 1);
                if (kind <= '3') {
                    const std::string digits = std::to_string(v) + " ";
                    b.insert(b.end(), digits.begin(), digits.end());
                } else {
                    if (maxValue > 255)
                        b.push_back(std::uint8_t(v >> 8));
                    b.push_back(std::uint8_t(v));
                }
            }
    }
    return b;
}

// type: 1 colour-mapped, 2 true colour, 3 grey; +8 run-length encoded.
Bytes Tga(int type, int bits, bool topFirst, int w, int h)
{
    Bytes b(18, 0);
    const bool mapped = (type & 7) == 1;
    b[0] = 2; // an image id of two bytes
    b[2] = std::uint8_t(type);
    if (mapped) {
        b[1] = 1;
        b[5] = 4;  // four entries
        b[7] = 24; // of 24 bits
    }
    b[12] = std::uint8_t(w);
    b[14] = std::uint8_t(h);
    b[16] = std::uint8_t(bits);
    b[17] = std::uint8_t((topFirst ? 0x20 : 0) | (bits == 32 ? 8 : 0));
    b.insert(b.end(), {'i', 'd'});
    if (mapped)
        for (int i = 0; i < 12; ++i)
            b.push_back(std::uint8_t(i * 20));
    const int pixelBytes = (bits + 7) / 8;
    for (int y = 0; y < h; ++y) {
        if (type & 8) {
            // One run of two equal pixels, then the rest as raw pixels.
            b.push_back(0x81);
            for (int c = 0; c < pixelBytes; ++c)
                b.push_back(std::uint8_t(mapped ? 1 : Shade(0, y, c)));
            if (w > 2) {
                b.push_back(std::uint8_t(w - 3));
                for (int x = 2; x < w; ++x)
                    for (int c = 0; c < pixelBytes; ++c)
                        b.push_back(std::uint8_t(mapped ? x % 4 : Shade(x, y, c)));
            }
        } else {
            for (int x = 0; x < w; ++x)
                for (int c = 0; c < pixelBytes; ++c)
                    b.push_back(std::uint8_t(mapped ? x % 4 : Shade(x, y, c)));
        }
    }
    return b;
}

// The blocks a plug-in hands over, in the test plug-in's "TSTP" form: a bitmap header with its
// colour table, then the rows.
Bytes PluginBitmap(int w, int h, int bits, std::uint32_t clrUsed)
{
    Bytes info;
    Append32LE(info, 40);
    Append32LE(info, std::uint32_t(w));
    Append32LE(info, std::uint32_t(h));
    Append16LE(info, 1);
    Append16LE(info, unsigned(bits));
    for (int i = 0; i < 4; ++i)
        Append32LE(info, 0);
    Append32LE(info, clrUsed);
    Append32LE(info, 0);
    const std::uint32_t colours = clrUsed ? clrUsed : bits <= 8 ? 1u << bits : 0;
    for (std::uint32_t i = 0; i < colours; ++i)
        Append32LE(info, i * 0x00030507u);
    const std::size_t rows = std::size_t(h < 0 ? -h : h) * ((std::size_t(w) * bits + 31) / 32 * 4);
    Bytes tstp = FromText("TSTP");
    Append32LE(tstp, std::uint32_t(info.size()));
    Append32LE(tstp, std::uint32_t(rows));
    tstp.insert(tstp.end(), info.begin(), info.end());
    for (std::size_t i = 0; i < rows; ++i)
        tstp.push_back(std::uint8_t(i * 13));
    return tstp;
}

Bytes Behind(std::uint8_t selector, const Bytes& picture)
{
    Bytes b{selector};
    b.insert(b.end(), picture.begin(), picture.end());
    return b;
}

} // namespace

void MakePluginSeeds()
{
    const std::pair<std::string, Bytes> gifs[] = {
        {"plain.gif", Gif(6, 5, false, false)}, {"interlaced.gif", Gif(5, 11, true, false)},
        {"transparent.gif", Gif(3, 3, false, true)}};
    const std::pair<std::string, Bytes> tiffs[] = {
        {"rgb-lzw.tif", Tiff(7, 8, 3, 8, COMPRESSION_LZW, false)},
        {"grey-packbits.tif", Tiff(9, 4, 1, 8, COMPRESSION_PACKBITS, false)},
        {"bilevel.tif", Tiff(13, 3, 1, 1, COMPRESSION_NONE, false)},
        {"rgba-deflate.tif", Tiff(5, 5, 4, 8, COMPRESSION_ADOBE_DEFLATE, false)},
        {"grey16-tiled.tif", Tiff(20, 17, 1, 16, COMPRESSION_ADOBE_DEFLATE, true)}};
    const std::pair<std::string, Bytes> webps[] = {
        {"lossless.webp", Webp(9, 7, true, false)}, {"lossy.webp", Webp(16, 12, false, false)},
        {"lossless-alpha.webp", Webp(4, 4, true, true)}, {"lossy-alpha.webp", Webp(300, 8, false, true)}};
    const std::pair<std::string, Bytes> pnms[] = {
        {"p1.pbm", Pnm('1', 5, 3, 1)},     {"p2.pgm", Pnm('2', 4, 2, 15)},    {"p3.ppm", Pnm('3', 3, 2, 255)},
        {"p4.pbm", Pnm('4', 11, 2, 1)},    {"p5.pgm", Pnm('5', 5, 3, 255)},   {"p6.ppm", Pnm('6', 4, 3, 255)},
        {"p6-wide.ppm", Pnm('6', 2, 2, 65535)}};
    const std::pair<std::string, Bytes> tgas[] = {
        {"mapped.tga", Tga(1, 8, false, 4, 3)},      {"true-24.tga", Tga(2, 24, true, 3, 2)},
        {"true-16.tga", Tga(2, 16, false, 3, 2)},    {"true-32.tga", Tga(2, 32, false, 2, 2)},
        {"grey.tga", Tga(3, 8, true, 5, 2)},         {"rle-mapped.tga", Tga(9, 8, false, 5, 2)},
        {"rle-true-24.tga", Tga(10, 24, true, 4, 3)}, {"rle-grey.tga", Tga(11, 8, false, 3, 3)}};

    // The host's target: the first byte picks the name (gif, tif, webp, ppm, tga, none).
    auto both = [](const std::string& target, const auto& pictures, std::uint8_t selector) {
        for (const auto& [name, bytes] : pictures) {
            Put(target, name, bytes);
            Put("susie", name, Behind(selector, bytes));
        }
    };
    both("gif", gifs, 0);
    both("tiff", tiffs, 1);
    both("webp", webps, 2 | 0x80); // with previews on
    both("pnm", pnms, 3);
    both("tga", tgas, 4);
    Put("susie", "unnamed.ppm", Behind(5, pnms[5].second));

    // The plug-in picture path: the first byte picks the name (bmp, ico, tst, none).
    const struct {
        const char* name;
        int w, h, bits;
        std::uint32_t clrUsed;
    } dibs[] = {{"1bit", 9, 3, 1, 0},   {"4bit", 5, 2, 4, 0},     {"8bit-few-colours", 3, 3, 8, 7},
                {"16bit", 3, 2, 16, 0}, {"24bit-top-down", 4, -3, 24, 0}, {"32bit", 2, 2, 32, 0},
                {"24bit-with-table", 2, 1, 24, 2}};
    for (const auto& d : dibs)
        Put("spi_picture", std::string(d.name) + ".tst", Behind(2, PluginBitmap(d.w, d.h, d.bits, d.clrUsed)));
    TBitmap plain(3, 2, pf8bit);
    TMemoryStream bmp;
    plain.SaveToStream(bmp);
    const auto* p = static_cast<const std::uint8_t*>(bmp.Memory());
    const Bytes bmpFile(p, p + bmp.Size());
    Put("spi_picture", "bitmap-named.bmp", Behind(0, bmpFile));
    Put("spi_picture", "bitmap-named-ico.bmp", Behind(1, bmpFile));
    Put("spi_picture", "dib-unnamed.tst", Behind(3, PluginBitmap(6, 6, 8, 0)));
}

} // namespace gz::seeds
