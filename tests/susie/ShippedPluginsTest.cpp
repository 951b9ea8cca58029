// The plug-ins we ship, on pictures made here with the formats' own encoders or by hand,
// loaded the way the program loads them: through the registry, as TSPIBitmap.

#include "SusieTestKit.h"

#include "platform/Exceptions.h"
#include "platform/Streams.h"
#include "registry/PictureFormats.h"
#include "susie/SPIBmp.h"
#include "susie/SusieStartup.h"
#include "support/TiffFiles.h"

#include <gif_lib.h>
#include <webp/encode.h>

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <string>

namespace gz::test {
namespace {

using ColourAt = std::function<TColor(int x, int y)>;

class ShippedPlugins : public ::testing::Test {
protected:
    void SetUp() override
    {
        InitializeSusiePictures();
        host.Search(ShippedPluginDir() + "/*.spi");
        ASSERT_EQ(host.Count(), 7);
    }
    void TearDown() override { FinalizeSusiePictures(); }

    std::string Save(const std::string& name, const std::vector<std::uint8_t>& bytes)
    {
        WriteFile(dir / name, bytes);
        return dir / name;
    }
    void ExpectPicture(const std::string& file, int width, int height, const ColourAt& colour)
    {
        SCOPED_TRACE(file);
        std::unique_ptr<TGraphic> picture;
        ASSERT_NO_THROW(picture = LoadPictureByExtension(file));
        ASSERT_EQ(picture->ClassName(), "TSPIBitmap");
        const auto& bitmap = static_cast<const TBitmap&>(*picture);
        ASSERT_EQ(bitmap.Width(), width);
        ASSERT_EQ(bitmap.Height(), height);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                ASSERT_EQ(bitmap.Pixel(x, y), colour(x, y)) << "at " << x << "," << y;
    }

    TSPIs host;
    ScratchDir dir;
};

TEST_F(ShippedPlugins, RegisterTheirExtensions)
{
    for (const char* ext : {"gif", "tif", "TIFF", "webp", "pnm", "pbm", "pgm", "ppm", "tga", "tpic", "heic", "heif",
                            "avif", "jxl"})
        EXPECT_EQ(FindPictureClass(ext), &SPIBitmapClass()) << ext;
    for (int i = 0; i < host.Count(); ++i)
        EXPECT_EQ(host.Items(i).ClassType().Name, "TInSPI");
}

// ---- PNM -------------------------------------------------------------------------------------

std::vector<std::uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }

TEST_F(ShippedPlugins, PortableAnymapsOfEveryKind)
{
    const int w = 5, h = 3;
    auto rgb = [](int x, int y) { return RGBColor(std::uint8_t(x * 50), std::uint8_t(y * 80), std::uint8_t(200 - x * 10)); };
    auto grey = [](int x, int y) { const auto v = std::uint8_t((x * 3 + y) * 17); return RGBColor(v, v, v); };
    auto bw = [](int x, int y) { return (x + y) % 2 ? clBlack : clWhite; };

    std::string p3 = "P3\n# colour\n5 3\n255\n", p2 = "P2 5 3 15\n", p1 = "P1\n5 3\n";
    std::vector<std::uint8_t> p6 = Bytes("P6 5 3 255\n"), p6wide = Bytes("P6\n5\n3\n65535\n"), p5 = Bytes("P5 5 3 15 "),
                              p4 = Bytes("P4\n5 3\n");
    for (int y = 0; y < h; ++y) {
        std::uint8_t bits = 0;
        for (int x = 0; x < w; ++x) {
            const TColor c = rgb(x, y);
            for (std::uint8_t v : {ColorRed(c), ColorGreen(c), ColorBlue(c)}) {
                p3 += std::to_string(v) + " ";
                p6.push_back(v);
                p6wide.push_back(v);
                p6wide.push_back(v); // v * 257, big-endian
            }
            p2 += std::to_string(x * 3 + y) + (x == w - 1 ? "\n" : " ");
            p5.push_back(std::uint8_t(x * 3 + y));
            p1 += (x + y) % 2 ? '1' : '0'; // digits need no space between them
            if ((x + y) % 2)
                bits |= std::uint8_t(0x80 >> x);
        }
        p1 += "\n";
        p4.push_back(bits);
    }
    ExpectPicture(Save("a.ppm", Bytes(p3)), w, h, rgb);
    ExpectPicture(Save("b.ppm", p6), w, h, rgb);
    ExpectPicture(Save("c.PNM", p6wide), w, h, rgb);
    ExpectPicture(Save("d.pgm", Bytes(p2)), w, h, grey);
    ExpectPicture(Save("e.pgm", p5), w, h, grey);
    ExpectPicture(Save("f.pbm", Bytes(p1)), w, h, bw);
    ExpectPicture(Save("g.pbm", p4), w, h, bw);

    // From memory, without a name: every plug-in is asked in load order.
    TSPIGraphic graphic;
    TMemoryViewStream stream(p6.data(), p6.size());
    graphic.LoadFromStream(stream);
    EXPECT_EQ(graphic.Width(), w);
    EXPECT_EQ(graphic.Height(), h);
}

// ---- TGA -------------------------------------------------------------------------------------

const TColor kTgaColours[] = {RGBColor(255, 0, 0), RGBColor(0, 128, 0), RGBColor(8, 16, 248), RGBColor(40, 40, 40)};
TColor TgaColour(int x, int y) { return kTgaColours[(x / 2 + y) % 4]; }

struct TgaCase {
    const char* name;
    int type;      // 1 colour-mapped, 2 true colour, 3 grey; +8 run-length encoded
    int bits;      // pixel size
    bool topFirst; // descriptor bit 5
};

std::vector<std::uint8_t> MakeTga(const TgaCase& c, int w, int h)
{
    std::vector<std::uint8_t> out(18, 0);
    const bool mapped = (c.type & 7) == 1, grey = (c.type & 7) == 3;
    out[0] = 3; // an image id of three bytes
    out[2] = std::uint8_t(c.type);
    if (mapped) {
        out[1] = 1;
        out[5] = 4; // four entries of 24 bits
        out[7] = 24;
    }
    out[12] = std::uint8_t(w);
    out[14] = std::uint8_t(h);
    out[16] = std::uint8_t(c.bits);
    out[17] = std::uint8_t((c.topFirst ? 0x20 : 0) | (c.bits == 32 ? 8 : 0));
    out.insert(out.end(), {'i', 'd', '!'});
    if (mapped)
        for (TColor col : kTgaColours)
            out.insert(out.end(), {ColorBlue(col), ColorGreen(col), ColorRed(col)});

    std::vector<std::vector<std::uint8_t>> pixels;
    for (int row = 0; row < h; ++row)
        for (int x = 0; x < w; ++x) {
            const int y = c.topFirst ? row : h - 1 - row;
            const TColor col = TgaColour(x, y);
            if (mapped)
                pixels.push_back({std::uint8_t((x / 2 + y) % 4)});
            else if (grey)
                pixels.push_back({ColorRed(col)});
            else if (c.bits == 16)
                pixels.push_back({std::uint8_t(((ColorGreen(col) >> 3) << 5) | (ColorBlue(col) >> 3)),
                                  std::uint8_t(((ColorRed(col) >> 3) << 2) | (ColorGreen(col) >> 6))});
            else if (c.bits == 32)
                pixels.push_back({ColorBlue(col), ColorGreen(col), ColorRed(col), 0x7F});
            else
                pixels.push_back({ColorBlue(col), ColorGreen(col), ColorRed(col)});
        }
    if (!(c.type & 8)) {
        for (const auto& p : pixels)
            out.insert(out.end(), p.begin(), p.end());
        return out;
    }
    // Runs of equal pixels become run packets, everything else raw packets; packets cross rows.
    for (std::size_t i = 0; i < pixels.size();) {
        std::size_t run = 1;
        while (i + run < pixels.size() && run < 128 && pixels[i + run] == pixels[i])
            ++run;
        if (run > 1) {
            out.push_back(std::uint8_t(0x80 | (run - 1)));
            out.insert(out.end(), pixels[i].begin(), pixels[i].end());
            i += run;
        } else {
            out.push_back(0);
            out.insert(out.end(), pixels[i].begin(), pixels[i].end());
            ++i;
        }
    }
    return out;
}

class TgaPictures : public ShippedPlugins, public ::testing::WithParamInterface<TgaCase> {};

TEST_P(TgaPictures, Decode)
{
    const TgaCase& c = GetParam();
    const int w = 7, h = 5;
    const bool grey = (c.type & 7) == 3;
    const bool reduced = c.bits == 16;
    ExpectPicture(Save(std::string(c.name) + ".tga", MakeTga(c, w, h)), w, h, [&](int x, int y) {
        const TColor col = TgaColour(x, y);
        if (grey)
            return RGBColor(ColorRed(col), ColorRed(col), ColorRed(col));
        if (reduced) {
            auto widen = [](std::uint8_t v) { return std::uint8_t((v >> 3) << 3 | (v >> 3) >> 2); };
            return RGBColor(widen(ColorRed(col)), widen(ColorGreen(col)), widen(ColorBlue(col)));
        }
        if (c.bits == 32) { // the attribute bits are opacity 0x7F: laid over white
            auto over = [](std::uint8_t v) { return std::uint8_t((v * 127 + 255 * 128 + 127) / 255); };
            return RGBColor(over(ColorRed(col)), over(ColorGreen(col)), over(ColorBlue(col)));
        }
        return col;
    });
}

INSTANTIATE_TEST_SUITE_P(Kinds, TgaPictures,
                         ::testing::Values(TgaCase{"true24", 2, 24, false}, TgaCase{"true32_top", 2, 32, true},
                                           TgaCase{"true16", 2, 16, false}, TgaCase{"rle24_top", 10, 24, true},
                                           TgaCase{"rle32", 10, 32, false}, TgaCase{"grey", 3, 8, false},
                                           TgaCase{"rle_grey", 11, 8, true}, TgaCase{"mapped", 1, 8, false},
                                           TgaCase{"rle_mapped", 9, 8, true}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- GIF -------------------------------------------------------------------------------------

const GifColorType kGifColours[] = {{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
TColor GifColour(int i) { return RGBColor(kGifColours[i].Red, kGifColours[i].Green, kGifColours[i].Blue); }

// A picture of w x h whose pixel is index(x, y), optionally interlaced and in a frame at (left, top)
// on a larger screen with background colour 3, followed by a second frame of colour 0.
void WriteGif(const std::string& path, int sw, int sh, int left, int top, int w, int h, bool interlace,
              const std::function<int(int, int)>& index)
{
    int error = 0;
    GifFileType* gif = EGifOpenFileName(path.c_str(), false, &error);
    ASSERT_NE(gif, nullptr);
    ColorMapObject* map = GifMakeMapObject(4, kGifColours);
    EGifSetGifVersion(gif, true);
    ASSERT_EQ(EGifPutScreenDesc(gif, sw, sh, 2, 3, map), GIF_OK);
    ASSERT_EQ(EGifPutImageDesc(gif, left, top, w, h, interlace, nullptr), GIF_OK);
    std::vector<int> order;
    if (interlace) {
        for (int start : {0, 4, 2, 1})
            for (int y = start; y < h; y += start == 0 ? 8 : start == 4 ? 8 : start == 2 ? 4 : 2)
                order.push_back(y);
    } else {
        for (int y = 0; y < h; ++y)
            order.push_back(y);
    }
    std::vector<GifPixelType> line(std::size_t(w), 0);
    for (int y : order) {
        for (int x = 0; x < w; ++x)
            line[std::size_t(x)] = GifPixelType(index(x, y));
        ASSERT_EQ(EGifPutLine(gif, line.data(), w), GIF_OK);
    }
    ASSERT_EQ(EGifPutImageDesc(gif, 0, 0, sw, sh, false, nullptr), GIF_OK);
    std::fill(line.begin(), line.end(), 0);
    line.resize(std::size_t(sw), 0);
    for (int y = 0; y < sh; ++y)
        ASSERT_EQ(EGifPutLine(gif, line.data(), sw), GIF_OK);
    GifFreeMapObject(map);
    ASSERT_EQ(EGifCloseFile(gif, &error), GIF_OK);
}

TEST_F(ShippedPlugins, GifFirstFrameOnItsScreen)
{
    auto index = [](int x, int y) { return (x + 2 * y) % 4; };
    WriteGif(dir / "plain.gif", 6, 11, 0, 0, 6, 11, false, index);
    ExpectPicture(dir / "plain.gif", 6, 11, [&](int x, int y) { return GifColour(index(x, y)); });
    WriteGif(dir / "interlaced.gif", 6, 11, 0, 0, 6, 11, true, index);
    ExpectPicture(dir / "interlaced.gif", 6, 11, [&](int x, int y) { return GifColour(index(x, y)); });
    WriteGif(dir / "framed.gif", 5, 4, 1, 1, 3, 2, false, [](int, int) { return 1; });
    ExpectPicture(dir / "framed.gif", 5, 4, [](int x, int y) {
        return GifColour(x >= 1 && x < 4 && y >= 1 && y < 3 ? 1 : 3);
    });
}

// ---- TIFF ------------------------------------------------------------------------------------

TColor TiffColour(int x, int y) { return RGBColor(std::uint8_t(x * 3), std::uint8_t(y * 2), std::uint8_t(x ^ y)); }

void WriteTiff(const std::string& path, int w, int h, int pages)
{
    test::WriteRgbTiff(path, w, h, pages, [](int x, int y, int page) { return page == 0 ? TiffColour(x, y) : clWhite; });
}

TEST_F(ShippedPlugins, TiffFirstPageAcrossSeveralBands)
{
    WriteTiff(dir / "pages.tif", 70, 130, 2);
    ExpectPicture(dir / "pages.tif", 70, 130, TiffColour);
}

// ---- WebP ------------------------------------------------------------------------------------

TColor WebpColour(int x, int y) { return RGBColor(std::uint8_t(x), std::uint8_t(y), std::uint8_t((x + y) / 2)); }

TEST_F(ShippedPlugins, WebpFullPictureAndReducedPreview)
{
    const int w = 250, h = 100;
    std::vector<std::uint8_t> bgr(std::size_t(w) * h * 3);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const TColor c = WebpColour(x, y);
            std::uint8_t* p = &bgr[(std::size_t(y) * w + std::size_t(x)) * 3];
            p[0] = ColorBlue(c);
            p[1] = ColorGreen(c);
            p[2] = ColorRed(c);
        }
    std::uint8_t* encoded = nullptr;
    const std::size_t size = WebPEncodeLosslessBGR(bgr.data(), w, h, w * 3, &encoded);
    ASSERT_GT(size, 0u);
    const std::string file = Save("pic.webp", std::vector<std::uint8_t>(encoded, encoded + size));
    WebPFree(encoded);

    ExpectPicture(file, w, h, WebpColour);
    TSPIPreviewScope preview(&host);
    TSPIBitmap reduced;
    reduced.LoadFromFile(file);
    EXPECT_EQ(reduced.Width(), 160);
    EXPECT_EQ(reduced.Height(), 64);
}

// ---- broken files ----------------------------------------------------------------------------

TEST_F(ShippedPlugins, RefuseTruncatedAndGarbledPictures)
{
    WriteGif(dir / "x.gif", 40, 30, 0, 0, 40, 30, false, [](int x, int y) { return (x * y) % 4; });
    WriteTiff(dir / "x.tif", 40, 30, 1);
    std::vector<std::uint8_t> ppm = Bytes("P6 40 30 255\n");
    ppm.resize(ppm.size() + 40 * 30 * 3, 9);
    Save("x.ppm", ppm);
    Save("x.tga", MakeTga({"", 2, 24, false}, 40, 30));
    Save("y.tga", MakeTga({"", 10, 24, false}, 40, 30));
    Save("x.pgm", Bytes("P2 3 1 255 1 2"));
    Save("z.pgm", Bytes("P5 65535 65535 255\n"));
    Save("z.tga", {0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 24, 0, 0xFF});
    for (const char* name : {"x.gif", "x.tif", "x.ppm", "x.tga", "y.tga"}) {
        auto bytes = ReadFile(dir / name);
        bytes.resize(bytes.size() / 2);
        Save(name, bytes);
    }
    for (const char* name : {"x.gif", "x.tif", "x.ppm", "x.tga", "y.tga", "x.pgm", "z.pgm", "z.tga"}) {
        SCOPED_TRACE(name);
        try {
            LoadPictureByExtension(dir / name);
            ADD_FAILURE() << "decoded";
        } catch (const EInvalidGraphic& e) {
            EXPECT_STREQ(e.what(), "Susie Plugins could not decode");
        }
    }
}

// Fuzzing found tiny TIFF files that claim a large picture whose strips are not there; the
// decoder went on strip after strip (minutes under the sanitizers) instead of stopping.
TEST_F(ShippedPlugins, TiffWithoutItsStripsIsRefused)
{
    for (const char* name : {"tiff-strips-missing-1.tif", "tiff-strips-missing-2.tif"}) {
        SCOPED_TRACE(name);
        EXPECT_THROW(LoadPictureByExtension(std::string(SUSIE_TEST_DATA_DIR) + "/" + name), EInvalidGraphic);
    }
}

// The resident memory a shipped plug-in's decode of a file from memory adds at its peak, in
// megabytes, measured in a child process so that nothing else in this one counts.
long DecodePeakMegabytes(const TSPIs& host, const char* plugin, const std::string& file)
{
    const std::vector<std::uint8_t> bytes = ReadFile(std::string(SUSIE_TEST_DATA_DIR) + "/" + file);
    const int index = host.IndexOf(ShippedPluginDir() + "/" + plugin);
    if (index < 0 || bytes.empty())
        return -1;
    const auto& spi = static_cast<const TInSPI&>(host.Items(index));
    const pid_t child = ::fork();
    if (child == 0) {
        rusage before{}, after{};
        ::getrusage(RUSAGE_SELF, &before);
        SusieHandle info = nullptr, bits = nullptr;
        const std::int32_t result = spi.GetPicture(reinterpret_cast<const char*>(bytes.data()),
                                                   std::intptr_t(bytes.size()), SPI_SOURCE_MEMORY, &info, &bits,
                                                   nullptr, 0);
        ::getrusage(RUSAGE_SELF, &after);
        const long grown = (after.ru_maxrss - before.ru_maxrss) / 1024;
        ::_exit(result == SPI_ALL_RIGHT || info || bits ? 255 : int(std::min(grown, 254L)));
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

// Files of a few hundred bytes (found by fuzzing) whose headers claim hundreds of megapixels:
// a TIFF took 4 GB and 3 s, a HEIF whose grid claimed 30307 x 12544 against a declared 16 x 12
// took 4.5 GB and 6 s, to end as broken. They are refused before anything large is allocated.
TEST_F(ShippedPlugins, HeadersClaimingMoreThanTheirFileCanHoldAreRefusedBeforeAllocating)
{
    const std::pair<const char*, const char*> files[] = {{"gz_tiff.spi", "tiff-claims-702-megapixels.tif"},
                                                         {"gz_heif.spi", "heif-grid-claims-30307x12544.heic"}};
    for (const auto& [plugin, file] : files) {
        SCOPED_TRACE(file);
        const long grown = DecodePeakMegabytes(host, plugin, file);
        EXPECT_GE(grown, 0) << "decoded, or the decode did not end";
        EXPECT_LT(grown, 64);
    }
}

} // namespace
} // namespace gz::test
