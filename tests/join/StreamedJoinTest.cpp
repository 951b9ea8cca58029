// The streamed join (gazorin-cli's way) against the join engine on whole rasters, over seeded
// random join sequences and pictures in every format the join reads row by row or whole.

#include "jpeg/JPEGCodec.h"
#include "jpeg/JPEGImage.h"
#include "platform/Streams.h"
#include "platform/WorkerPool.h"
#include "png/KroPNG.h"
#include "registry/DibBytes.h"
#include "support/JoinComparison.h"
#include "support/PhotoFiles.h"
#include "support/Rasters.h"
#include "susie/SusieStartup.h"

#include <gif_lib.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <unistd.h>

namespace gz::test {
namespace {

namespace fs = std::filesystem;

TBitmap Photo(int w, int h, std::uint32_t seed)
{
    // Smooth enough for JPEG to keep its structure, noisy enough to catch a shifted row.
    return MakeBitmap(w, h, [&](int x, int y) {
        return RGBColor(std::uint8_t(x * 7 + seed), std::uint8_t(y * 11 + seed * 3), std::uint8_t((x ^ y) * 5 + seed));
    });
}

TBitmap Indexed(int w, int h, TPixelFormat pf, std::uint32_t seed)
{
    TBitmap bmp(w, h, pf);
    std::mt19937 rng(seed);
    std::vector<TPaletteEntry> palette(std::size_t(1) << BitsPerPixel(pf));
    for (auto& e : palette)
        e = {std::uint8_t(rng()), std::uint8_t(rng()), std::uint8_t(rng())};
    bmp.SetPalette(palette);
    for (int y = 0; y < h; ++y) {
        std::uint8_t* row = bmp.ScanLine(y);
        for (std::size_t i = 0; i < bmp.RowBytes(); ++i)
            row[i] = std::uint8_t(rng());
    }
    return bmp;
}

// An 8-bit run-length compressed bitmap: runs of equal indices, bottom row first.
Bytes Rle8File(int w, int h, std::uint32_t seed)
{
    std::mt19937 rng(seed);
    Bytes rle;
    for (int r = 0; r < h; ++r) {
        for (int x = 0; x < w;) {
            const int run = std::min<int>(w - x, 1 + int(rng() % 9));
            rle.push_back(std::uint8_t(run));
            rle.push_back(std::uint8_t(rng() % 5));
            x += run;
        }
        rle.insert(rle.end(), {0, 0});
    }
    rle.insert(rle.end(), {0, 1});
    DibLayout s;
    s.width = w;
    s.height = h;
    s.bitCount = 8;
    s.compression = 1;
    s.table = {0x102030, 0xF0E0D0, 0x00FF00, 0xFF00FF, 0x808080};
    s.clrUsed = 5;
    s.rawBits = rle;
    return MakeBmpFile(s);
}

// A 24-bit bitmap stored top row first.
Bytes TopDownFile(int w, int h, std::uint32_t seed)
{
    const TBitmap picture = Photo(w, h, seed);
    DibLayout s;
    s.width = w;
    s.height = -h;
    s.row = [&](int r) { return Bytes(picture.ScanLine(r), picture.ScanLine(r) + 3 * w); };
    return MakeBmpFile(s);
}

void WriteGif(const std::string& path, int w, int h, std::uint32_t seed)
{
    int error = 0;
    GifFileType* gif = EGifOpenFileName(path.c_str(), false, &error);
    ASSERT_NE(gif, nullptr);
    const GifColorType colours[4] = {{0, 0, 0}, {250, 10, 20}, {30, 240, 50}, {255, 255, 255}};
    ColorMapObject* map = GifMakeMapObject(4, colours);
    ASSERT_EQ(EGifPutScreenDesc(gif, w, h, 2, 0, map), GIF_OK);
    ASSERT_EQ(EGifPutImageDesc(gif, 0, 0, w, h, false, nullptr), GIF_OK);
    std::vector<GifPixelType> line(std::size_t(w), 0);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x)
            line[std::size_t(x)] = GifPixelType((x + y * 3 + int(seed)) % 4);
        ASSERT_EQ(EGifPutLine(gif, line.data(), w), GIF_OK);
    }
    GifFreeMapObject(map);
    ASSERT_EQ(EGifCloseFile(gif, &error), GIF_OK);
}

Bytes Noise(std::size_t n, std::uint32_t seed)
{
    std::mt19937 rng(seed);
    Bytes b(n);
    for (auto& v : b)
        v = std::uint8_t(rng());
    return b;
}

// Colour with alpha, every opacity from clear to opaque.
Bytes RgbaPng(int w, int h, std::uint32_t seed, const Bytes& icc)
{
    TPngRecipe s(w, h, 6, 8);
    s.Pixels = Noise(std::size_t(w) * h * 4, seed);
    s.Icc = icc;
    return PngFile(s);
}

Bytes GreyAlphaPng(int w, int h, std::uint32_t seed)
{
    TPngRecipe s(w, h, 4, 8);
    s.Pixels = Noise(std::size_t(w) * h * 2, seed);
    return PngFile(s);
}

// A palette picture whose transparency is one clear colour (keyed) or partial alphas.
Bytes PaletteAlphaPng(int w, int h, std::uint32_t seed, bool keyed)
{
    TPngRecipe s(w, h, 3, 8);
    s.Pixels = Noise(std::size_t(w) * h, seed);
    for (auto& v : s.Pixels)
        v %= 16;
    s.Palette = Noise(16 * 3, seed + 1);
    s.Transparency = keyed ? Bytes{255, 255, 0} : Noise(12, seed + 2);
    return PngFile(s);
}

class StreamedJoinTest : public testing::Test {
protected:
    void SetUp() override
    {
        dir_ = fs::temp_directory_path() / ("gz-stream-" + std::to_string(::getpid()));
        fs::create_directories(dir_);
        RegisterKroPNGFormat();
        RegisterJPEGFormats();
        InitializeSusiePictures();
        host_.Search(std::string(SHIPPED_PLUGIN_DIR) + "/*.spi");
    }
    void TearDown() override
    {
        FinalizeSusiePictures();
        UnregisterJPEGFormats();
        UnregisterKroPNGFormat();
        fs::remove_all(dir_);
    }

    std::string Path(const std::string& name) const { return (dir_ / name).string(); }

    void SavePng(const std::string& name, const TBitmap& picture, bool grey, bool interlace)
    {
        TKroPNG png;
        png.Assign(picture);
        png.GrayScale = grey;
        png.Interlace = interlace ? 1 : 0;
        png.SaveToFile(Path(name));
    }

    void SaveJpeg(const std::string& name, const TBitmap& picture, bool grey, bool progressive)
    {
        TFileStream out(Path(name), fmCreate);
        TJPEGEncodeOptions options;
        options.Quality = 85;
        options.GrayScale = grey;
        options.Progressive = progressive;
        EncodeJPEG(picture, out, options);
    }

    // One picture of every kind the join reads, of random sizes; returns the file names.
    std::vector<std::string> WritePictures(std::mt19937& rng)
    {
        std::uniform_int_distribution<int> side(1, 37);
        auto seed = [&] { return std::uint32_t(rng()); };
        int w = side(rng), h = side(rng);
        std::vector<std::string> files;
        auto add = [&](const std::string& name) {
            files.push_back(Path(name));
            w = side(rng), h = side(rng);
        };
        Photo(w, h, seed()).SaveToFile(Path("rgb.bmp")), add("rgb.bmp");
        Indexed(w, h, pf8bit, seed()).SaveToFile(Path("pal8.BMP")), add("pal8.BMP");
        Indexed(w, h, pf4bit, seed()).SaveToFile(Path("pal4.bmp")), add("pal4.bmp");
        Indexed(w, h, pf1bit, seed()).SaveToFile(Path("mono.bmp")), add("mono.bmp");
        WriteBytes(Path("topdown.bmp"), TopDownFile(w, h, seed())), add("topdown.bmp");
        WriteBytes(Path("rle.bmp"), Rle8File(w, h, seed())), add("rle.bmp");
        SavePng("rgb.png", Photo(w, h, seed()), false, false), add("rgb.png");
        SavePng("pal.png", Indexed(w, h, pf8bit, seed()), false, false), add("pal.png");
        SavePng("pal4.png", Indexed(w, h, pf4bit, seed()), false, false), add("pal4.png");
        SavePng("grey.png", Photo(w, h, seed()), true, false), add("grey.png");
        SavePng("adam7.png", Photo(w, h, seed()), false, true), add("adam7.png");
        SaveJpeg("photo.jpg", Photo(w, h, seed()), false, false), add("photo.jpg");
        SaveJpeg("grey.jpg", Photo(w, h, seed()), true, false), add("grey.jpg");
        SaveJpeg("progressive.jpg", Photo(w, h, seed()), false, true), add("progressive.jpg");
        SaveJpeg("registry.jpeg", Photo(w, h, seed()), false, false), add("registry.jpeg");
        WriteGif(Path("plugin.gif"), w, h, seed()), add("plugin.gif");
        // Photos: turned by their orientation tag, with colour profiles, CMYK; PNG transparency.
        WriteBytes(Path("turned.jpg"), JpegFile(Photo(w, h, seed()), {int(1 + rng() % 8)})), add("turned.jpg");
        WriteBytes(Path("p3.jpg"), JpegFile(Photo(w, h, seed()), {0, false, DisplayP3Profile()})), add("p3.jpg");
        WriteBytes(Path("cmyk.jpg"), CmykJpegFile(w, h, Noise(std::size_t(w) * h * 4, seed()), rng() % 2 == 0,
                                                  rng() % 2 ? CmykProfile() : Bytes{})),
            add("cmyk.jpg");
        WriteBytes(Path("rgba.png"), RgbaPng(w, h, seed(), {})), add("rgba.png");
        WriteBytes(Path("p3.png"), RgbaPng(w, h, seed(), DisplayP3Profile())), add("p3.png");
        WriteBytes(Path("greyalpha.png"), GreyAlphaPng(w, h, seed())), add("greyalpha.png");
        WriteBytes(Path("palalpha.png"), PaletteAlphaPng(w, h, seed(), false)), add("palalpha.png");
        WriteBytes(Path("palkey.png"), PaletteAlphaPng(w, h, seed(), true)), add("palkey.png");
        return files;
    }

    fs::path dir_;
    TSPIs host_;
};

// A random join sequence over the inputs (each file may be joined more than once).
std::vector<TLayoutStep> RandomSteps(std::mt19937& rng, std::size_t fileCount, std::vector<int>& inputFiles,
                                     TColor& background)
{
    auto chance = [&](int percent) { return int(rng() % 100) < percent; };
    const int count = 1 + int(rng() % 6);
    std::vector<TLayoutStep> steps;
    TLayoutSettings s;
    inputFiles.clear();
    for (int i = 0; i < count; ++i) {
        s.direction = TJoinDir(int(jdUp) + int(rng() % 4));
        s.position = TJoinPos(rng() % 3);
        s.flips = int(rng() % 4);
        s.keepSize = chance(25) ? smKeep : smGrow;
        s.seeThrough = chance(40);
        s.gap = chance(20) ? int(rng() % 4) : 0;
        s.at.reset();
        if (chance(20))
            s.at = TPoint{int(rng() % 90) - 45, int(rng() % 90) - 45};
        if (chance(10))
            s.across = 1 + int(rng() % 3);
        if (s.across > 0)
            s.keepSize = smGrow, s.at.reset();
        if (i > 0 && chance(12)) {
            steps.push_back({kBlankInput, s});
            continue;
        }
        inputFiles.push_back(int(rng() % fileCount));
        steps.push_back({int(inputFiles.size()) - 1, s});
    }
    background = chance(30) ? TColor(rng() & 0xFFFFFF) : clWhite;
    return steps;
}

std::string Describe(const std::vector<TLayoutStep>& steps, const std::vector<std::string>& files)
{
    std::ostringstream out;
    for (const TLayoutStep& s : steps) {
        out << (s.input == kBlankInput ? std::string(":blank") : fs::path(files[std::size_t(s.input)]).filename().string())
            << " [dir " << int(s.settings.direction) << " pos " << int(s.settings.position) << " flips " << s.settings.flips
            << (s.settings.keepSize == smKeep ? " keep" : "") << (s.settings.seeThrough ? " see-through" : "") << " gap " << s.settings.gap << " across " << s.settings.across;
        if (s.settings.at)
            out << " at " << s.settings.at->X << "," << s.settings.at->Y;
        out << "] ";
    }
    return out.str();
}

} // namespace

TEST_F(StreamedJoinTest, EqualsTheEngineOverRandomSequences)
{
    TWorkerPool one(1), three(3);
    for (std::uint32_t round = 0; round < 6; ++round) {
        std::mt19937 rng(round * 7919 + 11);
        const std::vector<std::string> pictures = WritePictures(rng);
        for (int sequence = 0; sequence < 30; ++sequence) {
            std::vector<int> picked;
            TColor background = clWhite;
            const std::vector<TLayoutStep> steps = RandomSteps(rng, pictures.size(), picked, background);
            std::vector<std::string> files;
            for (int p : picked)
                files.push_back(pictures[std::size_t(p)]);
            const int bandRows = 1 + int(rng() % 19);
            TWorkerPool& pool = sequence % 2 ? three : one;
            ASSERT_EQ(CompareJoins(steps, files, background, bandRows, pool), "")
                << "round " << round << ", bands of " << bandRows << ": " << Describe(steps, files);
        }
    }
}

TEST_F(StreamedJoinTest, EveryFormatIsReadAsTheEngineReadsIt)
{
    // Each picture alone and mirrored both ways, where a streamed reader must read rows
    // backwards or fall back to the whole picture.
    TWorkerPool pool(2);
    std::mt19937 rng(5);
    const std::vector<std::string> pictures = WritePictures(rng);
    Photo(45, 45, 3).SaveToFile(Path("base.bmp"));
    for (const std::string& file : pictures)
        for (int flips = 0; flips < 4; ++flips) {
            TLayoutSettings s;
            s.flips = flips;
            ASSERT_EQ(CompareJoins({{0, s}}, {file}, clWhite, 5, pool), "") << file << " flips " << flips;
            // Laid over another picture, seeing through, partly outside.
            s.keepSize = smKeep;
            s.seeThrough = true;
            s.at = TPoint{-2, 3};
            ASSERT_EQ(CompareJoins({{0, {}}, {1, s}}, {Path("base.bmp"), file}, clWhite, 5, pool), "")
                << file << " over a picture, flips " << flips;
        }
}

TEST_F(StreamedJoinTest, BrokenInputsFailBothWays)
{
    TWorkerPool pool(2);
    const TBitmap picture = Photo(30, 20, 1);
    SavePng("good.png", picture, false, false);
    SaveJpeg("good.jpg", picture, false, false);
    // Cut inside the image data: the PNG reader refuses it, the JPEG reader makes up the rest.
    for (const char* name : {"good.png", "good.jpg"}) {
        const std::string cut = Path(std::string("cut-") + name);
        fs::copy_file(Path(name), cut);
        fs::resize_file(cut, fs::file_size(cut) - 60);
    }
    TLayoutSettings overlay;
    overlay.keepSize = smKeep;
    overlay.at = TPoint{5, -15}; // only the top rows show: the rest must still be read
    for (const char* name : {"cut-good.png", "cut-good.jpg"})
        for (bool shown : {true, false}) {
            TLayoutSettings s = overlay;
            if (!shown)
                s.at = TPoint{500, 500};
            const std::vector<std::string> files = {Path("good.png"), Path(name)};
            EXPECT_EQ(CompareJoins({{0, {}}, {1, s}}, files, clWhite, 4, pool, false), "")
                << name << (shown ? "" : " (outside)");
        }
    EXPECT_TRUE(StreamedJoin({{0, {}}, {1, overlay}}, {Path("good.png"), Path("cut-good.png")}, clWhite, 4, pool).failed);
}

} // namespace gz::test
