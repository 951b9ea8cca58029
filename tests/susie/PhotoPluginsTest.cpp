// The plug-ins we ship on pictures with transparent parts, orientation tags, colour profiles
// and the sample kinds the RGBA reader of TIFF refuses, and the HEIF, AVIF and JPEG XL
// plug-ins against their libraries' own decoders. Pictures are made here with the formats'
// own encoders and read as both programs read them (LoadFilePicture), then laid over another
// picture with and without see-through. Loud colours (magenta, black) hide under the
// transparent parts.

#include "SusieTestKit.h"

#include "join/FileRaster.h"
#include "registry/PictureFormats.h"
#include "support/PhotoFiles.h"
#include "support/Rasters.h"
#include "susie/SPIDib.h"
#include "susie/SPIs.h"
#include "susie/SusieStartup.h"

#include <gif_lib.h>
#include <jxl/decode.h>
#include <jxl/encode.h>
#include <lcms2.h>
#include <libheif/heif.h>
#include <tiffio.h>
#include <webp/encode.h>
#include <webp/mux.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace gz::test {
namespace {

struct TRgba {
    std::uint8_t r, g, b, a;
};
using PixelAt = std::function<TRgba(int x, int y)>;

// Loud colours under transparency, partial opacity in between, opaque colours elsewhere.
TRgba Logo(int x, int y)
{
    if (x < 3)
        return {255, 0, 255, 0};
    if (y < 2)
        return {0, 0, 0, std::uint8_t(40 * x)};
    return {std::uint8_t(20 * x), std::uint8_t(30 * y), 200, 255};
}

Bytes RgbaBytes(int w, int h, const PixelAt& pixel)
{
    Bytes out;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const TRgba p = pixel(x, y);
            out.insert(out.end(), {p.r, p.g, p.b, p.a});
        }
    return out;
}

// The picture laid over white, computed here.
TBitmap OverWhite(int w, int h, const PixelAt& pixel)
{
    return MakeBitmap(w, h, [&](int x, int y) {
        const TRgba p = pixel(x, y);
        return RGBColor(ReferenceOverWhite(p.r, p.a), ReferenceOverWhite(p.g, p.a), ReferenceOverWhite(p.b, p.a));
    });
}

// Opacity as the raster carries it: none for opaque pictures.
std::vector<std::uint8_t> OpacityOf(const TPictureRaster& raster)
{
    std::vector<std::uint8_t> out;
    for (int y = 0; y < raster.Alpha.Height(); ++y)
        for (int x = 0; x < raster.Alpha.Width(); ++x)
            out.push_back(raster.Alpha.ScanLine(y)[x]);
    return out;
}

std::vector<std::uint8_t> OpacityOf(int w, int h, const PixelAt& pixel)
{
    std::vector<std::uint8_t> out;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            out.push_back(pixel(x, y).a);
    if (std::all_of(out.begin(), out.end(), [](std::uint8_t a) { return a == 255; }))
        out.clear();
    return out;
}

class PhotoPlugins : public ::testing::Test {
protected:
    void SetUp() override
    {
        InitializeSusiePictures();
        host.Search(ShippedPluginDir() + "/*.spi");
    }
    void TearDown() override { FinalizeSusiePictures(); }

    std::string Save(const std::string& name, const Bytes& bytes)
    {
        WriteFile(dir / name, bytes);
        return dir / name;
    }
    // The file through the plug-ins, as the programs read it: laid over white, its opacity beside.
    void ExpectLogo(const std::string& file, int w, int h, const PixelAt& pixel)
    {
        SCOPED_TRACE(file);
        const TPictureRaster raster = ui::LoadFilePicture(file);
        EXPECT_EQ(FirstDifference(raster.Colour, OverWhite(w, h, pixel)), "");
        EXPECT_EQ(OpacityOf(raster), OpacityOf(w, h, pixel));

        // Laid over another picture, with and without see-through.
        EXPECT_EQ(OverlayDifference(raster, {w, h, [&](int x, int y) {
                                                 const TRgba p = pixel(x, y);
                                                 return TStraightPixel{p.r, p.g, p.b, p.a};
                                             }}),
                  "");
    }

    TSPIs host;
    ScratchDir dir;
};

// ---- GIF, WebP, TGA ------------------------------------------------------------------------

TEST_F(PhotoPlugins, GifTransparentColourAndUncoveredScreenAreClear)
{
    // A 4 x 3 frame at (1, 1) on a 6 x 5 screen whose background is red; index 2 is transparent.
    const GifColorType colours[] = {{0, 0, 0}, {255, 0, 255}, {255, 0, 0}, {0, 200, 0}};
    const std::string file = dir / "clear.gif";
    int error = 0;
    GifFileType* gif = EGifOpenFileName(file.c_str(), false, &error);
    ColorMapObject* map = GifMakeMapObject(4, colours);
    EGifSetGifVersion(gif, true);
    ASSERT_EQ(EGifPutScreenDesc(gif, 6, 5, 2, 2, map), GIF_OK);
    const GifByteType control[4] = {1, 0, 0, 1}; // transparent colour: index 1
    ASSERT_EQ(EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, control), GIF_OK);
    ASSERT_EQ(EGifPutImageDesc(gif, 1, 1, 4, 3, false, nullptr), GIF_OK);
    for (int y = 0; y < 3; ++y) {
        GifPixelType line[4] = {1, 3, GifPixelType(y == 0 ? 0 : 1), 3};
        ASSERT_EQ(EGifPutLine(gif, line, 4), GIF_OK);
    }
    GifFreeMapObject(map);
    ASSERT_EQ(EGifCloseFile(gif, &error), GIF_OK);
    ExpectLogo(file, 6, 5, [](int x, int y) -> TRgba {
        const int fx = x - 1, fy = y - 1;
        if (fx < 0 || fy < 0 || fx >= 4 || fy >= 3 || fx == 0 || (fx == 2 && fy > 0))
            return {255, 0, 255, 0};
        return fx == 2 ? TRgba{0, 0, 0, 255} : TRgba{0, 200, 0, 255};
    });
}

TEST_F(PhotoPlugins, WebpOpacityOverWhiteAndItsColourProfile)
{
    const int w = 9, h = 5;
    const Bytes rgba = RgbaBytes(w, h, Logo);
    std::uint8_t* encoded = nullptr;
    const std::size_t size = WebPEncodeLosslessRGBA(rgba.data(), w, h, w * 4, &encoded);
    ASSERT_GT(size, 0u);
    const Bytes plain(encoded, encoded + size);
    WebPFree(encoded);
    ExpectLogo(Save("logo.webp", plain), w, h, Logo);

    // The same opaque picture with a Display P3 profile in an ICCP chunk.
    Bytes rgb, bgr;
    for (int i = 0; i < w * h; ++i) {
        rgb.insert(rgb.end(), {std::uint8_t(25 * (i % w)), std::uint8_t(50 * (i / w)), 90});
        bgr.insert(bgr.end(), {90, std::uint8_t(50 * (i / w)), std::uint8_t(25 * (i % w))});
    }
    const std::size_t opaqueSize = WebPEncodeLosslessRGB(rgb.data(), w, h, w * 3, &encoded);
    const Bytes p3 = DisplayP3Profile();
    WebPMux* mux = WebPMuxNew();
    const WebPData image{encoded, opaqueSize}, profile{p3.data(), p3.size()};
    ASSERT_EQ(WebPMuxSetImage(mux, &image, 1), WEBP_MUX_OK);
    ASSERT_EQ(WebPMuxSetChunk(mux, "ICCP", &profile, 1), WEBP_MUX_OK);
    WebPData assembled{};
    ASSERT_EQ(WebPMuxAssemble(mux, &assembled), WEBP_MUX_OK);
    const std::string file = Save("p3.webp", Bytes(assembled.bytes, assembled.bytes + assembled.size));
    WebPDataClear(&assembled);
    WebPMuxDelete(mux);
    WebPFree(encoded);
    EXPECT_EQ(FirstDifference(ui::LoadFileRaster(file),
                              BitmapFromBgr(w, h, LittleCmsToSrgb(p3, TYPE_BGR_8, bgr, std::size_t(w * h)))),
              "");
}

// A 32-bit Targa of the logo, bottom row first; attributeBits in the descriptor, and an
// extension area with the attributes type when it is not negative.
Bytes Targa(int w, int h, int attributeBits, int attributesType, const PixelAt& pixel)
{
    Bytes t = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, std::uint8_t(w), 0, std::uint8_t(h), 0, 32, std::uint8_t(attributeBits)};
    for (int y = h - 1; y >= 0; --y)
        for (int x = 0; x < w; ++x) {
            const TRgba p = pixel(x, y);
            t.insert(t.end(), {p.b, p.g, p.r, p.a});
        }
    if (attributesType >= 0) {
        const std::size_t extension = t.size();
        t.resize(t.size() + 495, 0);
        t[extension] = 495 & 0xFF, t[extension + 1] = 495 >> 8;
        t[extension + 494] = std::uint8_t(attributesType);
        for (int i = 0; i < 4; ++i)
            t.push_back(std::uint8_t(extension >> (8 * i)));
        t.insert(t.end(), 4, 0);
        const char signature[] = "TRUEVISION-XFILE.";
        t.insert(t.end(), signature, signature + sizeof signature);
    }
    return t;
}

TEST_F(PhotoPlugins, TargaAttributeBitsAreOpacityOnlyWhenTheFileSaysSo)
{
    const int w = 9, h = 5;
    ExpectLogo(Save("logo.tga", Targa(w, h, 8, -1, Logo)), w, h, Logo);
    ExpectLogo(Save("logo2.tga", Targa(w, h, 8, 3, Logo)), w, h, Logo);
    const PixelAt opaque = [](int x, int y) { TRgba p = Logo(x, y); p.a = 255; return p; };
    // Attributes type 0 (no opacity), no attribute bits, or all of them 0: the colours as stored.
    ExpectLogo(Save("none.tga", Targa(w, h, 8, 0, Logo)), w, h, opaque);
    ExpectLogo(Save("bits0.tga", Targa(w, h, 0, -1, Logo)), w, h, opaque);
    ExpectLogo(Save("zero.tga", Targa(w, h, 8, -1, [&](int x, int y) { TRgba p = Logo(x, y); p.a = 0; return p; })), w, h,
               opaque);
}

// ---- TIFF ----------------------------------------------------------------------------------

struct TTiffRecipe {
    int width, height, samples, bits;
    std::uint16_t photometric;
    std::uint16_t format = SAMPLEFORMAT_UINT;
    std::uint16_t extra = 0; // EXTRASAMPLE_* of a fourth (or second) sample, 0 for none
    std::uint16_t orientation = ORIENTATION_TOPLEFT;
    bool separate = false;   // one plane per sample
    Bytes icc = {};
};

// Samples are given in pixel order (as bytes of the sample size, native order).
std::string WriteTiff(const std::string& path, const TTiffRecipe& s, const Bytes& samples)
{
    TIFF* tif = TIFFOpen(path.c_str(), "w");
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, s.width);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, s.height);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, s.samples);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, s.bits);
    TIFFSetField(tif, TIFFTAG_SAMPLEFORMAT, s.format);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, s.photometric);
    TIFFSetField(tif, TIFFTAG_ORIENTATION, s.orientation);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, s.separate ? PLANARCONFIG_SEPARATE : PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 2);
    if (s.extra) {
        const std::uint16_t kinds[] = {s.extra};
        TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, kinds);
    }
    if (!s.icc.empty())
        TIFFSetField(tif, TIFFTAG_ICCPROFILE, std::uint32_t(s.icc.size()), s.icc.data());
    const std::size_t sampleBytes = std::size_t(s.bits / 8), pixelBytes = sampleBytes * std::size_t(s.samples);
    Bytes row;
    for (int plane = 0; plane < (s.separate ? s.samples : 1); ++plane)
        for (int y = 0; y < s.height; ++y) {
            const std::uint8_t* first = &samples[std::size_t(y) * std::size_t(s.width) * pixelBytes];
            if (s.separate) {
                row.clear();
                for (int x = 0; x < s.width; ++x)
                    row.insert(row.end(), first + std::size_t(x) * pixelBytes + std::size_t(plane) * sampleBytes,
                               first + std::size_t(x) * pixelBytes + std::size_t(plane + 1) * sampleBytes);
                TIFFWriteScanline(tif, row.data(), std::uint32_t(y), std::uint16_t(plane));
            } else {
                TIFFWriteScanline(tif, const_cast<std::uint8_t*>(first), std::uint32_t(y), 0);
            }
        }
    TIFFClose(tif);
    return path;
}

TEST_F(PhotoPlugins, TiffOpacityKindsAndTheOrientationTag)
{
    const int w = 9, h = 5;
    const Bytes logo = RgbaBytes(w, h, Logo);
    ExpectLogo(WriteTiff(dir / "straight.tif", {w, h, 4, 8, PHOTOMETRIC_RGB, SAMPLEFORMAT_UINT, EXTRASAMPLE_UNASSALPHA},
                         logo),
               w, h, Logo);
    // Associated opacity: the colours are stored multiplied by it.
    Bytes multiplied = logo;
    for (std::size_t i = 0; i < multiplied.size(); i += 4)
        for (int c = 0; c < 3; ++c)
            multiplied[i + std::size_t(c)] = std::uint8_t((logo[i + std::size_t(c)] * logo[i + 3] + 127) / 255);
    ExpectLogo(WriteTiff(dir / "multiplied.tif", {w, h, 4, 8, PHOTOMETRIC_RGB, SAMPLEFORMAT_UINT, EXTRASAMPLE_ASSOCALPHA},
                         multiplied),
               w, h, Logo);

    // Orientation 6 on a stored 9 x 5 picture: 5 x 9, turned; kept as stored on request.
    Bytes rgb;
    for (std::size_t i = 0; i < logo.size(); i += 4)
        rgb.insert(rgb.end(), {logo[i], logo[i + 1], logo[i + 2]});
    const std::string turned = WriteTiff(dir / "turned.tif", {w, h, 3, 8, PHOTOMETRIC_RGB, SAMPLEFORMAT_UINT, 0, 6}, rgb);
    const TBitmap stored = MakeBitmap(w, h, [](int x, int y) { const TRgba p = Logo(x, y); return RGBColor(p.r, p.g, p.b); });
    EXPECT_EQ(FirstDifference(ui::LoadFileRaster(turned), TurnedByTag(stored, 6)), "");
    EXPECT_EQ(FirstDifference(ui::LoadFileRaster(turned, {.AutoOrient = false}), stored), "");
}

std::uint8_t Scaled(double v) { return std::uint8_t(std::clamp(std::isnan(v) ? 0.0 : v, 0.0, 1.0) * 255.0 + 0.5); }

TEST_F(PhotoPlugins, TiffCmykOf16BitsAndFloatingPointSamples)
{
    const int w = 7, h = 4;
    // 16-bit CMYK, planes apart: each ink scaled to 8 bits, then the plain formula.
    Bytes cmyk16;
    std::vector<std::array<std::uint16_t, 4>> inks;
    for (int i = 0; i < w * h; ++i) {
        const std::array<std::uint16_t, 4> ink = {std::uint16_t(9000 * (i % w)), std::uint16_t(15000 * (i / w)),
                                                   std::uint16_t(2000 * i), std::uint16_t(65535 - 2100 * i)};
        inks.push_back(ink);
        for (std::uint16_t v : ink)
            cmyk16.insert(cmyk16.end(), reinterpret_cast<const std::uint8_t*>(&v), reinterpret_cast<const std::uint8_t*>(&v) + 2);
    }
    const std::string cmykFile =
        WriteTiff(dir / "cmyk16.tif", {w, h, 4, 16, PHOTOMETRIC_SEPARATED, SAMPLEFORMAT_UINT, 0, 1, true}, cmyk16);
    EXPECT_EQ(FirstDifference(ui::LoadFileRaster(cmykFile), MakeBitmap(w, h, [&](int x, int y) {
                                  const auto& ink = inks[std::size_t(y * w + x)];
                                  auto eight = [](std::uint16_t v) { return double(Scaled(v / 65535.0)); };
                                  const double white = (255 - eight(ink[3])) / 255.0;
                                  auto channel = [&](int c) { return std::uint8_t((255 - eight(ink[std::size_t(c)])) * white + 0.5); };
                                  return RGBColor(channel(0), channel(1), channel(2));
                              })),
              "");

    // 32-bit floating point RGB with straight opacity; values outside 0 … 1 and NaN are clipped.
    const float special[] = {-0.5f, 1.5f, std::nanf("")};
    std::vector<std::array<float, 4>> values;
    Bytes floats;
    for (int i = 0; i < w * h; ++i) {
        std::array<float, 4> v = {float(i % w) / 6.0f, float(i / w) / 3.0f, special[i % 3], i < w ? 0.0f : 1.0f - 0.01f * i};
        values.push_back(v);
        floats.insert(floats.end(), reinterpret_cast<const std::uint8_t*>(v.data()),
                      reinterpret_cast<const std::uint8_t*>(v.data()) + 16);
    }
    ExpectLogo(WriteTiff(dir / "float.tif", {w, h, 4, 32, PHOTOMETRIC_RGB, SAMPLEFORMAT_IEEEFP, EXTRASAMPLE_UNASSALPHA},
                         floats),
               w, h, [&](int x, int y) -> TRgba {
                   const auto& v = values[std::size_t(y * w + x)];
                   return {Scaled(v[0]), Scaled(v[1]), Scaled(v[2]), Scaled(v[3])};
               });
}

TEST_F(PhotoPlugins, TiffColourProfilesForRgbAndCmyk)
{
    const int w = 8, h = 3;
    Bytes rgb, bgr, cmyk;
    for (int i = 0; i < w * h; ++i) {
        const std::uint8_t r = std::uint8_t(30 * (i % w)), g = std::uint8_t(80 * (i / w)), b = std::uint8_t(10 * i);
        rgb.insert(rgb.end(), {r, g, b});
        bgr.insert(bgr.end(), {b, g, r});
        cmyk.insert(cmyk.end(), {r, g, b, std::uint8_t(255 - 10 * i)});
    }
    const Bytes p3 = DisplayP3Profile(), inks = CmykProfile();
    EXPECT_EQ(FirstDifference(ui::LoadFileRaster(WriteTiff(dir / "p3.tif", {w, h, 3, 8, PHOTOMETRIC_RGB, SAMPLEFORMAT_UINT, 0, 1,
                                                                            false, p3},
                                                           rgb)),
                              BitmapFromBgr(w, h, LittleCmsToSrgb(p3, TYPE_BGR_8, bgr, std::size_t(w * h)))),
              "");
    EXPECT_EQ(FirstDifference(ui::LoadFileRaster(WriteTiff(dir / "inks.tif", {w, h, 4, 8, PHOTOMETRIC_SEPARATED,
                                                                              SAMPLEFORMAT_UINT, 0, 1, false, inks},
                                                           cmyk)),
                              BitmapFromBgr(w, h, LittleCmsToSrgb(inks, TYPE_CMYK_8, cmyk, std::size_t(w * h)))),
              "");
}

// ---- HEIF and AVIF -------------------------------------------------------------------------

struct THeifPicture {
    int width = 0, height = 0;
    Bytes rgba;
};

// Encodes the logo with libheif's encoder for the format; empty when it has none.
Bytes EncodeHeif(heif_compression_format format, int w, int h, const Bytes& rgba, heif_orientation orientation,
                 const Bytes& icc)
{
    heif_context* context = heif_context_alloc();
    heif_encoder* encoder = nullptr;
    if (heif_context_get_encoder_for_format(context, format, &encoder).code != heif_error_Ok) {
        heif_context_free(context);
        return {};
    }
    heif_encoder_set_lossy_quality(encoder, 80);
    heif_image* image = nullptr;
    heif_image_create(w, h, heif_colorspace_RGB, heif_chroma_interleaved_RGBA, &image);
    heif_image_add_plane(image, heif_channel_interleaved, w, h, 8);
    int stride = 0;
    std::uint8_t* plane = heif_image_get_plane(image, heif_channel_interleaved, &stride);
    for (int y = 0; y < h; ++y)
        std::memcpy(plane + y * stride, &rgba[std::size_t(y) * std::size_t(w) * 4], std::size_t(w) * 4);
    if (!icc.empty())
        heif_image_set_raw_color_profile(image, "prof", icc.data(), icc.size());
    heif_encoding_options* options = heif_encoding_options_alloc();
    options->image_orientation = orientation;
    const bool encoded = heif_context_encode_image(context, image, encoder, options, nullptr).code == heif_error_Ok;
    heif_encoding_options_free(options);
    heif_image_release(image);
    heif_encoder_release(encoder);
    Bytes out;
    heif_writer writer{1, [](heif_context*, const void* data, size_t size, void* userdata) {
                           auto* o = static_cast<Bytes*>(userdata);
                           o->insert(o->end(), static_cast<const std::uint8_t*>(data), static_cast<const std::uint8_t*>(data) + size);
                           return heif_error{heif_error_Ok, heif_suberror_Unspecified, ""};
                       }};
    if (encoded)
        heif_context_write(context, &writer, &out);
    heif_context_free(context);
    return out;
}

// The primary picture as libheif's own decoder gives it.
THeifPicture DecodeHeif(const Bytes& file)
{
    THeifPicture p;
    heif_context* context = heif_context_alloc();
    heif_context_read_from_memory_without_copy(context, file.data(), file.size(), nullptr);
    heif_image_handle* handle = nullptr;
    heif_context_get_primary_image_handle(context, &handle);
    heif_image* image = nullptr;
    if (heif_decode_image(handle, &image, heif_colorspace_RGB, heif_chroma_interleaved_RGBA, nullptr).code == heif_error_Ok) {
        p.width = heif_image_get_width(image, heif_channel_interleaved);
        p.height = heif_image_get_height(image, heif_channel_interleaved);
        int stride = 0;
        const std::uint8_t* plane = heif_image_get_plane_readonly(image, heif_channel_interleaved, &stride);
        for (int y = 0; y < p.height; ++y)
            p.rgba.insert(p.rgba.end(), plane + y * stride, plane + y * stride + p.width * 4);
        heif_image_release(image);
    }
    heif_image_handle_release(handle);
    heif_context_free(context);
    return p;
}

PixelAt PixelsOf(const THeifPicture& p)
{
    return [&p](int x, int y) {
        const std::uint8_t* q = &p.rgba[(std::size_t(y) * std::size_t(p.width) + std::size_t(x)) * 4];
        return TRgba{q[0], q[1], q[2], q[3]};
    };
}

TEST_F(PhotoPlugins, HeifAndAvifAgainstTheLibrarysOwnDecoder)
{
    const int w = 16, h = 10;
    const Bytes logo = RgbaBytes(w, h, [](int x, int y) { return Logo(x / 2, y / 2); });
    for (auto [format, name] : {std::pair{heif_compression_HEVC, "logo.heic"}, std::pair{heif_compression_AV1, "logo.avif"}}) {
        SCOPED_TRACE(name);
        const Bytes file = EncodeHeif(format, w, h, logo, heif_orientation_rotate_90_cw, {});
        if (file.empty()) {
            std::cout << "no encoder for " << name << " in libheif: skipped\n";
            continue;
        }
        const THeifPicture decoded = DecodeHeif(file);
        ASSERT_EQ(decoded.width, h); // turned as the file says
        ASSERT_EQ(decoded.rgba.size(), std::size_t(w * h * 4));
        ExpectLogo(Save(name, file), h, w, PixelsOf(decoded));
        // The turn is the orientation tag's quarter turn clockwise of the picture as coded,
        // which the same picture without the turn shows.
        const THeifPicture stored = DecodeHeif(EncodeHeif(format, w, h, logo, heif_orientation_normal, {}));
        ASSERT_EQ(stored.rgba.size(), std::size_t(w * h * 4));
        EXPECT_EQ(FirstDifference(TurnedByTag(OverWhite(w, h, PixelsOf(stored)), 6), OverWhite(h, w, PixelsOf(decoded))), "");
    }
    // A Display P3 profile: the library's colours converted by Little CMS.
    const Bytes p3 = DisplayP3Profile();
    const Bytes opaque = RgbaBytes(w, h, [](int x, int y) { return TRgba{std::uint8_t(15 * x), std::uint8_t(25 * y), 60, 255}; });
    const Bytes file = EncodeHeif(heif_compression_HEVC, w, h, opaque, heif_orientation_normal, p3);
    if (file.empty())
        GTEST_SKIP() << "no HEVC encoder in libheif";
    const THeifPicture decoded = DecodeHeif(file);
    Bytes bgr;
    for (std::size_t i = 0; i < decoded.rgba.size(); i += 4)
        bgr.insert(bgr.end(), {decoded.rgba[i + 2], decoded.rgba[i + 1], decoded.rgba[i]});
    EXPECT_EQ(FirstDifference(ui::LoadFileRaster(Save("p3.heic", file)),
                              BitmapFromBgr(w, h, LittleCmsToSrgb(p3, TYPE_BGR_8, bgr, std::size_t(w * h)))),
              "");
}

// ---- JPEG XL -------------------------------------------------------------------------------

Bytes EncodeJxl(int w, int h, const Bytes& rgba, JxlOrientation orientation, const Bytes& icc, bool lossless)
{
    JxlEncoder* encoder = JxlEncoderCreate(nullptr);
    JxlBasicInfo info;
    JxlEncoderInitBasicInfo(&info);
    info.xsize = std::uint32_t(w);
    info.ysize = std::uint32_t(h);
    info.bits_per_sample = 8;
    info.num_color_channels = 3;
    info.alpha_bits = 8;
    info.num_extra_channels = 1;
    info.uses_original_profile = lossless;
    info.orientation = orientation;
    JxlEncoderSetBasicInfo(encoder, &info);
    if (icc.empty()) {
        JxlColorEncoding srgb;
        JxlColorEncodingSetToSRGB(&srgb, JXL_FALSE);
        JxlEncoderSetColorEncoding(encoder, &srgb);
    } else {
        JxlEncoderSetICCProfile(encoder, icc.data(), icc.size());
    }
    JxlEncoderFrameSettings* settings = JxlEncoderFrameSettingsCreate(encoder, nullptr);
    if (lossless)
        JxlEncoderSetFrameLossless(settings, JXL_TRUE);
    else
        JxlEncoderSetFrameDistance(settings, 1.5f);
    const JxlPixelFormat format{4, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};
    JxlEncoderAddImageFrame(settings, &format, rgba.data(), rgba.size());
    JxlEncoderCloseInput(encoder);
    Bytes out(4096);
    std::uint8_t* next = out.data();
    std::size_t left = out.size();
    JxlEncoderStatus status;
    while ((status = JxlEncoderProcessOutput(encoder, &next, &left)) == JXL_ENC_NEED_MORE_OUTPUT) {
        const std::size_t used = std::size_t(next - out.data());
        out.resize(out.size() * 2);
        next = out.data() + used;
        left = out.size() - used;
    }
    out.resize(status == JXL_ENC_SUCCESS ? std::size_t(next - out.data()) : 0);
    JxlEncoderDestroy(encoder);
    return out;
}

// What libjxl's own decoder gives, in sRGB where the picture is stored in its own colour space.
THeifPicture DecodeJxl(const Bytes& file)
{
    THeifPicture p;
    JxlDecoder* decoder = JxlDecoderCreate(nullptr);
    JxlDecoderSubscribeEvents(decoder, JXL_DEC_BASIC_INFO | JXL_DEC_COLOR_ENCODING | JXL_DEC_FULL_IMAGE);
    JxlDecoderSetInput(decoder, file.data(), file.size());
    JxlDecoderCloseInput(decoder);
    const JxlPixelFormat format{4, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};
    JxlBasicInfo info{};
    for (JxlDecoderStatus s = JxlDecoderProcessInput(decoder); s != JXL_DEC_FULL_IMAGE && s != JXL_DEC_ERROR &&
                                                              s != JXL_DEC_SUCCESS && s != JXL_DEC_NEED_MORE_INPUT;
         s = JxlDecoderProcessInput(decoder)) {
        if (s == JXL_DEC_BASIC_INFO) {
            JxlDecoderGetBasicInfo(decoder, &info);
        } else if (s == JXL_DEC_COLOR_ENCODING && !info.uses_original_profile) {
            JxlColorEncoding srgb;
            JxlColorEncodingSetToSRGB(&srgb, JXL_FALSE);
            JxlDecoderSetPreferredColorProfile(decoder, &srgb);
        } else if (s == JXL_DEC_NEED_IMAGE_OUT_BUFFER) {
            std::size_t size = 0;
            JxlDecoderImageOutBufferSize(decoder, &format, &size);
            p.rgba.resize(size);
            JxlDecoderSetImageOutBuffer(decoder, &format, p.rgba.data(), size);
        }
    }
    const bool swapped = info.orientation >= JXL_ORIENT_TRANSPOSE;
    p.width = int(swapped ? info.ysize : info.xsize);
    p.height = int(swapped ? info.xsize : info.ysize);
    JxlDecoderDestroy(decoder);
    return p;
}

TEST_F(PhotoPlugins, JpegXlLosslessLossyAndProfiled)
{
    const int w = 12, h = 7;
    const PixelAt logo = [](int x, int y) { return Logo(x, y / 2); };
    const Bytes rgba = RgbaBytes(w, h, logo);
    // Lossless and turned: the picture itself, over white and turned, computed here.
    const Bytes lossless = EncodeJxl(w, h, rgba, JXL_ORIENT_ROTATE_90_CW, {}, true);
    ASSERT_FALSE(lossless.empty());
    const TPictureRaster raster = ui::LoadFilePicture(Save("turned.jxl", lossless));
    EXPECT_EQ(FirstDifference(raster.Colour, TurnedByTag(OverWhite(w, h, logo), 6)), "");
    // Lossy: as libjxl's own decoder gives it.
    const Bytes lossy = EncodeJxl(w, h, rgba, JXL_ORIENT_IDENTITY, {}, false);
    const THeifPicture decoded = DecodeJxl(lossy);
    ASSERT_EQ(decoded.width, w);
    ExpectLogo(Save("lossy.jxl", lossy), w, h, PixelsOf(decoded));
    // Display P3 kept losslessly: converted by Little CMS.
    const Bytes p3 = DisplayP3Profile();
    const Bytes opaque = RgbaBytes(w, h, [](int x, int y) { return TRgba{std::uint8_t(20 * x), std::uint8_t(35 * y), 99, 255}; });
    Bytes bgr;
    for (std::size_t i = 0; i < opaque.size(); i += 4)
        bgr.insert(bgr.end(), {opaque[i + 2], opaque[i + 1], opaque[i]});
    EXPECT_EQ(FirstDifference(ui::LoadFileRaster(Save("p3.jxl", EncodeJxl(w, h, opaque, JXL_ORIENT_IDENTITY, p3, true))),
                              BitmapFromBgr(w, h, LittleCmsToSrgb(p3, TYPE_BGR_8, bgr, std::size_t(w * h)))),
              "");
}

// ---- what a plug-in says about its bitmap ----------------------------------------------------

TEST(PictureNotes, ReadOnlyWhatTheyKnowFromTheTextBlock)
{
    auto notes = [](const std::string& text, bool terminated = true) {
        SusieHandle h = LocalAlloc(SUSIE_LMEM_ZEROINIT, text.size() + (terminated ? 1 : 0));
        auto* block = static_cast<char*>(LocalLock(h));
        for (std::size_t i = 0; block && i < text.size(); ++i)
            block[i] = text[i];
        LocalUnlock(h);
        const TSPIPictureNotes n = ReadPictureNotes(h);
        LocalFree(h);
        return n;
    };
    EXPECT_EQ(notes("alpha=white\r\norientation=6\r\n").Orientation, 6);
    EXPECT_TRUE(notes("orientation=8\nalpha=white").OpacityOverWhite);
    EXPECT_EQ(notes("orientation=8", false).Orientation, 8); // no terminating zero: the block's end
    for (const char* other : {"orientation=9", "orientation=66", "Orientation=6", " orientation=6", "alpha=whitex", "test"}) {
        EXPECT_EQ(notes(other).Orientation, 1) << other;
        EXPECT_FALSE(notes(other).OpacityOverWhite) << other;
    }
    EXPECT_EQ(ReadPictureNotes(nullptr).Orientation, 1);
}

} // namespace
} // namespace gz::test
