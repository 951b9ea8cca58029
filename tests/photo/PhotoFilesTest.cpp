// Photo files made here, read the way both programs read them (LoadFileRaster): orientation,
// CMYK, colour profiles and PNG transparency, each against a reference computed in the test.

#include "join/FileRaster.h"
#include "jpeg/JPEGImage.h"
#include "png/KroPNG.h"
#include "support/PhotoFiles.h"
#include "support/Rasters.h"
#include "support/TestData.h"

#include <lcms2.h>

#include <gtest/gtest.h>

#include <filesystem>

#include <unistd.h>

namespace gz::test {
namespace {

class PhotoFiles : public ::testing::Test {
protected:
    PhotoFiles() : dir_(std::filesystem::temp_directory_path() / ("gazorin-photo-" + std::to_string(::getpid())))
    {
        std::filesystem::create_directories(dir_);
    }
    ~PhotoFiles() override { std::filesystem::remove_all(dir_); }

    std::string Save(const std::string& name, const Bytes& bytes)
    {
        const std::string path = (dir_ / name).string();
        WriteBytes(path, bytes);
        return path;
    }

    std::filesystem::path dir_;
};

TEST_F(PhotoFiles, JpegOrientationTurnsThePictureAsViewersShowIt)
{
    const TBitmap picture = NoiseBitmap(24, 16, 7);
    const TBitmap stored = ui::LoadFileRaster(Save("plain.jpg", JpegFile(picture)));
    for (int o = 1; o <= 8; ++o) {
        SCOPED_TRACE(o);
        const std::string file = Save("o.jpg", JpegFile(picture, {o, o % 2 == 0}));
        EXPECT_EQ(FirstDifference(ui::LoadFileRaster(file), TurnedByTag(stored, o)), "");
        EXPECT_EQ(FirstDifference(ui::LoadFileRaster(file, {.AutoOrient = false}), stored), "");
    }
    // A portrait phone photo: 256 x 192 stored, tag 6, arrives 192 x 256; so through the
    // registry's loader (".jpeg") too.
    RegisterJPEGFormats();
    const TBitmap phone = ui::LoadFileRaster(Save("phone.jpeg", JpegFile(NoiseBitmap(256, 192, 1), {6})));
    UnregisterJPEGFormats();
    EXPECT_EQ(phone.Width(), 192);
    EXPECT_EQ(phone.Height(), 256);
}

// CMYK pixels over a grid of ink levels, the references worked out from libjpeg's own samples.
Bytes InkGrid(int width, int height)
{
    Bytes cmyk;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            cmyk.insert(cmyk.end(), {std::uint8_t(x * 255 / (width - 1)), std::uint8_t(y * 255 / (height - 1)),
                                     std::uint8_t((x + y) * 8), std::uint8_t(x * y % 256)});
    return cmyk;
}

TEST_F(PhotoFiles, CmykJpegsBecomeRgbWithOrWithoutTheirProfile)
{
    const int w = 32, h = 24;
    const Bytes profile = CmykProfile();
    for (bool adobe : {false, true})
        for (bool withProfile : {false, true}) {
            SCOPED_TRACE(testing::Message() << "adobe " << adobe << " profile " << withProfile);
            const Bytes file = CmykJpegFile(w, h, InkGrid(w, h), adobe, withProfile ? profile : Bytes{});
            int sw = 0, sh = 0;
            const Bytes samples = JpegSamples(file, true, sw, sh);
            Bytes expected;
            if (withProfile) {
                expected = LittleCmsToSrgb(profile, adobe ? TYPE_CMYK_8_REV : TYPE_CMYK_8, samples, std::size_t(w * h));
            } else {
                for (std::size_t i = 0; i < samples.size(); i += 4) {
                    // Adobe's files store 255 - ink.
                    auto ink = [&](int k) { return adobe ? 255.0 - samples[i + std::size_t(k)] : double(samples[i + std::size_t(k)]); };
                    const double white = (255.0 - ink(3)) / 255.0;
                    for (int k : {2, 1, 0})
                        expected.push_back(std::uint8_t((255.0 - ink(k)) * white + 0.5));
                }
            }
            const TBitmap raster = ui::LoadFileRaster(Save("cmyk.jpg", file));
            EXPECT_EQ(FirstDifference(raster, BitmapFromBgr(w, h, expected)), "");
        }
}

TEST_F(PhotoFiles, JpegProfilesAreConvertedToSrgbAndSrgbIsLeftAlone)
{
    const TBitmap picture = NoiseBitmap(40, 30, 3);
    const Bytes p3 = DisplayP3Profile();
    int w = 0, h = 0;
    const Bytes tagged = JpegFile(picture, {.Icc = p3});
    const Bytes samples = JpegSamples(tagged, false, w, h);
    EXPECT_EQ(FirstDifference(ui::LoadFileRaster(Save("p3.jpg", tagged)),
                              BitmapFromBgr(w, h, LittleCmsToSrgb(p3, TYPE_BGR_8, samples, std::size_t(w * h)))),
              "");
    const Bytes srgbTagged = JpegFile(picture, {.Icc = SrgbProfile()});
    const Bytes srgbSamples = JpegSamples(srgbTagged, false, w, h);
    EXPECT_EQ(FirstDifference(ui::LoadFileRaster(Save("srgb.jpg", srgbTagged)), BitmapFromBgr(w, h, srgbSamples)), "");
}

// ---- PNG transparency: loud colours hidden where the picture is transparent, or what lies
// beneath showing through it with see-through ----

struct TPixel {
    std::uint8_t r, g, b, a;
};

// The file's raster is the picture over white; laid over another picture it hides the picture
// beneath, or with see-through lets it show through.
void ExpectOverWhite(const std::string& file, int w, int h, const std::function<TPixel(int, int)>& pixel)
{
    SCOPED_TRACE(file);
    const TPictureRaster raster = ui::LoadFilePicture(file);
    ASSERT_EQ(raster.Colour.Width(), w);
    ASSERT_EQ(raster.Colour.Height(), h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const TPixel p = pixel(x, y);
            ASSERT_EQ(raster.Colour.Pixel(x, y), RGBColor(ReferenceOverWhite(p.r, p.a), ReferenceOverWhite(p.g, p.a),
                                                          ReferenceOverWhite(p.b, p.a)))
                << "at " << x << "," << y;
        }
    EXPECT_EQ(OverlayDifference(raster, {w, h, [&](int x, int y) {
                                             const TPixel p = pixel(x, y);
                                             return TStraightPixel{p.r, p.g, p.b, p.a};
                                         }}),
              "");
}

TEST_F(PhotoFiles, PngTransparencyArrivesOverWhiteAndThePngKeepsItsImage)
{
    const int w = 8, h = 6;
    // Alpha channel: magenta hidden under alpha 0, a ramp of partial alphas, opaque elsewhere.
    auto rgba = [](int x, int y) -> TPixel {
        if (x < 2)
            return {255, 0, 255, 0};
        return {std::uint8_t(x * 30), std::uint8_t(y * 40), 90, std::uint8_t(x < 5 ? y * 50 : 255)};
    };
    for (int depth : {8, 16}) {
        TPngRecipe s{w, h, 6, depth};
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const TPixel p = rgba(x, y);
                for (std::uint8_t v : {p.r, p.g, p.b, p.a}) {
                    s.Pixels.push_back(v);
                    if (depth == 16)
                        s.Pixels.push_back(std::uint8_t(v ^ 0x5A)); // low bytes do not count
                }
            }
        ExpectOverWhite(Save("rgba.png", PngFile(s)), w, h, rgba);
    }
    // Grey with alpha: black hidden.
    TPngRecipe ga{w, h, 4, 8};
    auto grey = [](int x, int y) -> TPixel {
        const auto v = std::uint8_t(x == y ? 0 : 40 * y), a = std::uint8_t(x == y ? 0 : 255 - 30 * x);
        return {v, v, v, a};
    };
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            ga.Pixels.insert(ga.Pixels.end(), {grey(x, y).r, grey(x, y).a});
    ExpectOverWhite(Save("ga.png", PngFile(ga)), w, h, grey);

    // Palette: index 0 magenta and fully transparent, index 1 black at half, others opaque.
    TPngRecipe pal{w, h, 3, 8};
    pal.Palette = {255, 0, 255, 0, 0, 0, 10, 200, 30, 250, 240, 5};
    auto palColour = [&](int x, int y) -> TPixel {
        const int i = (x + 2 * y) % 4;
        const std::uint8_t alpha[4] = {0, 128, 255, 255};
        return {pal.Palette[3 * i], pal.Palette[3 * i + 1], pal.Palette[3 * i + 2], alpha[i]};
    };
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            pal.Pixels.push_back(std::uint8_t((x + 2 * y) % 4));
    pal.Transparency = {0, 128};
    const std::string palFile = Save("pal.png", PngFile(pal));
    ExpectOverWhite(palFile, w, h, palColour);
    // One fully transparent index alone is the picture's transparent colour.
    pal.Transparency = {0};
    ExpectOverWhite(Save("key.png", PngFile(pal)), w, h, [&](int x, int y) {
        TPixel p = palColour(x, y);
        p.a = p.a == 0 ? 0 : 255;
        return p;
    });

    // RGB and grey with a transparent colour: black is the key.
    TPngRecipe rgb{w, h, 2, 8};
    auto rgbColour = [](int x, int y) -> TPixel {
        if ((x + y) % 3 == 0)
            return {0, 0, 0, 0};
        return {std::uint8_t(20 * x + 1), std::uint8_t(30 * y), 7, 255};
    };
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            rgb.Pixels.insert(rgb.Pixels.end(), {rgbColour(x, y).r, rgbColour(x, y).g, rgbColour(x, y).b});
    rgb.Transparency = {0, 0, 0, 0, 0, 0};
    ExpectOverWhite(Save("rgbkey.png", PngFile(rgb)), w, h, rgbColour);
    // 4-bit grey: level 0 (black) is the key.
    auto level = [](int x, int y) { return (x + 3 * y) % 16; };
    TPngRecipe g{w, h, 0, 4};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; x += 2)
            g.Pixels.push_back(std::uint8_t(level(x, y) << 4 | level(x + 1, y)));
    g.Transparency = {0, 0};
    ExpectOverWhite(Save("greykey.png", PngFile(g)), w, h, [&](int x, int y) -> TPixel {
        const auto v = std::uint8_t(level(x, y) * 17);
        return {v, v, v, std::uint8_t(level(x, y) == 0 ? 0 : 255)};
    });

    // The picture itself keeps its image (magenta and all) and its mask.
    TKroPNG png;
    png.LoadFromFile(palFile);
    EXPECT_TRUE(png.HasAlpha);
    EXPECT_EQ(png.ImageBitmap().Pixel(0, 0), RGBColor(255, 0, 255));
    EXPECT_EQ(png.AlphaBitmap().ScanLine(0)[0], 255);
}

TEST_F(PhotoFiles, PngProfilesAreConvertedBeforeTheColoursGoOverWhite)
{
    const int w = 16, h = 4;
    const Bytes p3 = DisplayP3Profile();
    TPngRecipe s{w, h, 6, 8};
    Bytes bgr;
    std::vector<std::uint8_t> alpha;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const std::uint8_t r = std::uint8_t(16 * x), g = std::uint8_t(60 * y), b = std::uint8_t(255 - 16 * x),
                               a = std::uint8_t(y == 0 ? 255 : 60 * y);
            s.Pixels.insert(s.Pixels.end(), {r, g, b, a});
            bgr.insert(bgr.end(), {b, g, r});
            alpha.push_back(a);
        }
    s.Icc = p3;
    const Bytes converted = LittleCmsToSrgb(p3, TYPE_BGR_8, bgr, std::size_t(w * h));
    const TBitmap raster = ui::LoadFileRaster(Save("p3.png", PngFile(s)));
    for (int i = 0; i < w * h; ++i) {
        const std::size_t k = std::size_t(i) * 3;
        ASSERT_EQ(raster.Pixel(i % w, i / w),
                  RGBColor(ReferenceOverWhite(converted[k + 2], alpha[std::size_t(i)]),
                           ReferenceOverWhite(converted[k + 1], alpha[std::size_t(i)]),
                           ReferenceOverWhite(converted[k], alpha[std::size_t(i)])))
            << i;
    }
    // A grey picture with a grey profile: every level converted once.
    TPngRecipe grey{w, h, 0, 8};
    for (int i = 0; i < w * h; ++i)
        grey.Pixels.push_back(std::uint8_t(i * 4));
    grey.Icc = GreyGamma18Profile();
    const Bytes expected = LittleCmsToSrgb(grey.Icc, TYPE_GRAY_8, grey.Pixels, std::size_t(w * h));
    EXPECT_EQ(FirstDifference(ui::LoadFileRaster(Save("grey.png", PngFile(grey))), BitmapFromBgr(w, h, expected)), "");
}

// ---- the public test pictures ----

double MeanDifference(const TBitmap& a, const TBitmap& b)
{
    const Bytes pa = BgrOf(a), pb = BgrOf(b);
    double sum = 0;
    for (std::size_t i = 0; i < pa.size(); ++i)
        sum += std::abs(int(pa[i]) - int(pb[i]));
    return pa.empty() ? 0 : sum / double(pa.size());
}

TEST(PhotoSamples, OrientedAndCmykSamplesLookLikeTheirReferences)
{
    GZ_REQUIRE_TESTDATA(dir);
    const auto extra = dir / "jpeg" / "pillow-extra";
    const TBitmap upright = ui::LoadFileRaster((extra / "hopper.jpg").string());
    for (int o = 2; o <= 8; ++o) {
        SCOPED_TRACE(o);
        const TBitmap shown = ui::LoadFileRaster((extra / ("hopper_orientation_" + std::to_string(o) + ".jpg")).string());
        ASSERT_EQ(shown.Width(), upright.Width());
        // The same picture encoded again; left as stored it would differ several times as much.
        EXPECT_LT(MeanDifference(shown, upright), 6.0);
        const std::string stored = (extra / ("hopper_orientation_" + std::to_string(o) + ".jpg")).string();
        EXPECT_GT(MeanDifference(ui::LoadFileRaster(stored, {.AutoOrient = false}), upright), 20.0);
    }
    const TBitmap cmyk = ui::LoadFileRaster((extra / "pil_sample_cmyk.jpg").string());
    const TBitmap rgb = ui::LoadFileRaster((extra / "pil_sample_rgb.jpg").string());
    EXPECT_LT(MeanDifference(cmyk, rgb), 8.0);
}

} // namespace
} // namespace gz::test
