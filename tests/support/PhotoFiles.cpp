#include "support/PhotoFiles.h"

#include <lcms2.h>
#include <png.h>

#include <cstdio>
#include <jpeglib.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace gz::test {

void WriteBytes(const std::string& path, const Bytes& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

Bytes ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// ---- JPEG ----

namespace {

struct JpegMemory {
    unsigned char* data = nullptr;
    unsigned long size = 0;
    ~JpegMemory() { std::free(data); }
};

Bytes EncodeJpeg(int width, int height, int components, J_COLOR_SPACE in, const Bytes& samples, int quality,
                 const std::function<void(jpeg_compress_struct&)>& beforeStart,
                 const std::function<void(jpeg_compress_struct&)>& afterStart)
{
    jpeg_compress_struct c{};
    jpeg_error_mgr errors{};
    c.err = jpeg_std_error(&errors);
    jpeg_create_compress(&c);
    JpegMemory memory;
    jpeg_mem_dest(&c, &memory.data, &memory.size);
    c.image_width = JDIMENSION(width);
    c.image_height = JDIMENSION(height);
    c.input_components = components;
    c.in_color_space = in;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, quality, TRUE);
    for (int i = 0; i < c.num_components; ++i) // no subsampling
        c.comp_info[i].h_samp_factor = c.comp_info[i].v_samp_factor = 1;
    if (beforeStart)
        beforeStart(c);
    jpeg_start_compress(&c, TRUE);
    if (afterStart)
        afterStart(c);
    const std::size_t stride = std::size_t(width) * std::size_t(components);
    while (c.next_scanline < c.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(&samples[c.next_scanline * stride]);
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    return Bytes(memory.data, memory.data + memory.size);
}

void Put16(Bytes& b, unsigned v, bool big)
{
    if (big)
        b.insert(b.end(), {std::uint8_t(v >> 8), std::uint8_t(v)});
    else
        b.insert(b.end(), {std::uint8_t(v), std::uint8_t(v >> 8)});
}
void Put32(Bytes& b, std::uint32_t v, bool big)
{
    Put16(b, big ? v >> 16 : v & 0xFFFF, big);
    Put16(b, big ? v & 0xFFFF : v >> 16, big);
}

} // namespace

Bytes ExifBlock(int orientation, bool big)
{
    const std::uint8_t order = big ? 'M' : 'I';
    Bytes b;
    b.reserve(64);
    for (std::uint8_t c : {std::uint8_t('E'), std::uint8_t('x'), std::uint8_t('i'), std::uint8_t('f'), std::uint8_t(0),
                           std::uint8_t(0), order, order})
        b.push_back(c);
    Put16(b, 42, big);
    Put32(b, 8, big);
    Put16(b, 3, big); // three entries: another tag before and after the orientation
    Put16(b, 0x010F, big), Put16(b, 2, big), Put32(b, 4, big), b.insert(b.end(), {'c', 'a', 'm', 0});
    Put16(b, 0x0112, big), Put16(b, 3, big), Put32(b, 1, big), Put16(b, unsigned(orientation), big), Put16(b, 0, big);
    Put16(b, 0x011A, big), Put16(b, 4, big), Put32(b, 1, big), Put32(b, 72, big);
    Put32(b, 0, big);
    return b;
}

Bytes JpegFile(const TBitmap& picture, const TJpegRecipe& recipe)
{
    const Bytes bgr = BgrOf(picture);
    return EncodeJpeg(
        picture.Width(), picture.Height(), 3, JCS_EXT_BGR, bgr, recipe.Quality, nullptr, [&](jpeg_compress_struct& c) {
            if (recipe.Orientation) {
                const Bytes exif = ExifBlock(recipe.Orientation, recipe.BigEndianExif);
                jpeg_write_marker(&c, JPEG_APP0 + 1, exif.data(), unsigned(exif.size()));
            }
            if (!recipe.Icc.empty())
                jpeg_write_icc_profile(&c, recipe.Icc.data(), unsigned(recipe.Icc.size()));
        });
}

Bytes CmykJpegFile(int width, int height, const Bytes& cmyk, bool adobe, const Bytes& icc)
{
    return EncodeJpeg(
        width, height, 4, JCS_CMYK, cmyk, 95, [&](jpeg_compress_struct& c) { c.write_Adobe_marker = adobe; },
        [&](jpeg_compress_struct& c) {
            if (!icc.empty())
                jpeg_write_icc_profile(&c, icc.data(), unsigned(icc.size()));
        });
}

Bytes JpegSamples(const Bytes& file, bool fourComponents, int& width, int& height)
{
    jpeg_decompress_struct c{};
    jpeg_error_mgr errors{};
    c.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&c);
    jpeg_mem_src(&c, file.data(), static_cast<unsigned long>(file.size()));
    jpeg_read_header(&c, TRUE);
    c.out_color_space = fourComponents ? JCS_CMYK : JCS_EXT_BGR;
    jpeg_start_decompress(&c);
    width = int(c.output_width);
    height = int(c.output_height);
    const std::size_t stride = std::size_t(width) * std::size_t(c.output_components);
    Bytes samples(stride * std::size_t(height));
    while (c.output_scanline < c.output_height) {
        JSAMPROW row = &samples[c.output_scanline * stride];
        jpeg_read_scanlines(&c, &row, 1);
    }
    jpeg_finish_decompress(&c);
    jpeg_destroy_decompress(&c);
    return samples;
}

// ---- PNG ----

Bytes PngFile(const TPngRecipe& recipe)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    Bytes out;
    png_set_write_fn(
        png, &out,
        [](png_structp p, png_bytep data, png_size_t n) {
            auto* o = static_cast<Bytes*>(png_get_io_ptr(p));
            o->insert(o->end(), data, data + n);
        },
        nullptr);
    png_set_IHDR(png, info, png_uint_32(recipe.Width), png_uint_32(recipe.Height), recipe.BitDepth, recipe.ColorType,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    std::vector<png_color> palette;
    for (std::size_t i = 0; i + 2 < recipe.Palette.size(); i += 3)
        palette.push_back({recipe.Palette[i], recipe.Palette[i + 1], recipe.Palette[i + 2]});
    if (!palette.empty())
        png_set_PLTE(png, info, palette.data(), int(palette.size()));
    if (!recipe.Icc.empty())
        png_set_iCCP(png, info, "test profile", 0, recipe.Icc.data(), png_uint_32(recipe.Icc.size()));
    if (!recipe.Transparency.empty()) {
        if (recipe.ColorType == 3) {
            png_set_tRNS(png, info, recipe.Transparency.data(), int(recipe.Transparency.size()), nullptr);
        } else {
            const Bytes& t = recipe.Transparency;
            auto v = [&](std::size_t i) { return png_uint_16(t[2 * i] << 8 | t[2 * i + 1]); };
            png_color_16 key{};
            if (recipe.ColorType == 0)
                key.gray = v(0);
            else
                key.red = v(0), key.green = v(1), key.blue = v(2);
            png_set_tRNS(png, info, nullptr, 0, &key);
        }
    }
    png_write_info(png, info);
    const int channels = recipe.ColorType == 2 ? 3 : recipe.ColorType == 4 ? 2 : recipe.ColorType == 6 ? 4 : 1;
    const std::size_t stride = (std::size_t(recipe.Width) * std::size_t(channels) * std::size_t(recipe.BitDepth) + 7) / 8;
    for (int y = 0; y < recipe.Height; ++y)
        png_write_row(png, &recipe.Pixels[std::size_t(y) * stride]);
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

// ---- colour profiles ----

namespace {

Bytes Saved(cmsHPROFILE profile)
{
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(profile, nullptr, &size);
    Bytes bytes(size);
    cmsSaveProfileToMem(profile, bytes.data(), &size);
    cmsCloseProfile(profile);
    return bytes;
}

cmsInt32Number InkToLab(const cmsUInt16Number in[], cmsUInt16Number out[], void*)
{
    const double c = in[0] / 65535.0, m = in[1] / 65535.0, y = in[2] / 65535.0, k = in[3] / 65535.0;
    cmsCIELab lab;
    lab.L = 100.0 * (1 - k) * (1 - 0.25 * c - 0.45 * m - 0.08 * y);
    lab.a = 70.0 * m - 40.0 * c;
    lab.b = 65.0 * y - 45.0 * c - 10.0 * m;
    cmsFloat2LabEncoded(out, &lab);
    return TRUE;
}

} // namespace

Bytes DisplayP3Profile()
{
    const cmsCIExyY white{0.3127, 0.3290, 1.0};
    const cmsCIExyYTRIPLE primaries{{0.680, 0.320, 1.0}, {0.265, 0.690, 1.0}, {0.150, 0.060, 1.0}};
    const cmsFloat64Number params[5] = {2.4, 1.0 / 1.055, 0.055 / 1.055, 1.0 / 12.92, 0.04045};
    cmsToneCurve* curve = cmsBuildParametricToneCurve(nullptr, 4, params);
    cmsToneCurve* curves[3] = {curve, curve, curve};
    cmsHPROFILE p = cmsCreateRGBProfile(&white, &primaries, curves);
    cmsFreeToneCurve(curve);
    return Saved(p);
}

Bytes SrgbProfile() { return Saved(cmsCreate_sRGBProfile()); }

Bytes GreyGamma18Profile()
{
    cmsToneCurve* curve = cmsBuildGamma(nullptr, 1.8);
    cmsHPROFILE p = cmsCreateGrayProfile(cmsD50_xyY(), curve);
    cmsFreeToneCurve(curve);
    return Saved(p);
}

Bytes CmykProfile()
{
    cmsHPROFILE p = cmsCreateProfilePlaceholder(nullptr);
    cmsSetProfileVersion(p, 2.1); // a bare grid is written as a 16-bit table
    cmsSetDeviceClass(p, cmsSigInputClass);
    cmsSetColorSpace(p, cmsSigCmykData);
    cmsSetPCS(p, cmsSigLabData);
    cmsPipeline* lut = cmsPipelineAlloc(nullptr, 4, 3);
    cmsStage* grid = cmsStageAllocCLut16bit(nullptr, 5, 4, 3, nullptr);
    cmsStageSampleCLut16bit(grid, InkToLab, nullptr, 0);
    cmsPipelineInsertStage(lut, cmsAT_BEGIN, grid);
    cmsWriteTag(p, cmsSigAToB0Tag, lut);
    cmsWriteTag(p, cmsSigMediaWhitePointTag, cmsD50_XYZ());
    cmsPipelineFree(lut);
    return Saved(p);
}

// ---- references ----

namespace {

TBitmap TurnedClockwise(const TBitmap& b)
{
    const int w = b.Width(), h = b.Height();
    TBitmap out(h, w, pf24bit);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            out.SetPixel(h - 1 - y, x, b.Pixel(x, y)); // the left column becomes the top row
    return out;
}

TBitmap Mirrored(const TBitmap& b, bool leftRight)
{
    const int w = b.Width(), h = b.Height();
    TBitmap out(w, h, pf24bit);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            out.SetPixel(leftRight ? w - 1 - x : x, leftRight ? y : h - 1 - y, b.Pixel(x, y));
    return out;
}

} // namespace

TBitmap TurnedByTag(const TBitmap& picture, int orientation)
{
    TBitmap b(picture);
    b.SetPixelFormat(pf24bit);
    switch (orientation) {
    case 2: return Mirrored(b, true);
    case 3: return TurnedClockwise(TurnedClockwise(b));
    case 4: return Mirrored(b, false);
    case 5: return Mirrored(TurnedClockwise(b), true);
    case 6: return TurnedClockwise(b);
    case 7: return Mirrored(TurnedClockwise(TurnedClockwise(TurnedClockwise(b))), true);
    case 8: return TurnedClockwise(TurnedClockwise(TurnedClockwise(b)));
    default: return b;
    }
}

std::uint8_t ReferenceOverWhite(std::uint8_t c, std::uint8_t a)
{
    const double exact = (double(c) * a + 255.0 * (255 - a)) / 255.0;
    return std::uint8_t(exact + 0.5);
}

Bytes LittleCmsToSrgb(const Bytes& profile, std::uint32_t inputFormat, const Bytes& pixels, std::size_t count)
{
    cmsHPROFILE in = cmsOpenProfileFromMem(profile.data(), cmsUInt32Number(profile.size()));
    cmsHPROFILE srgb = cmsCreate_sRGBProfile();
    cmsHTRANSFORM t = cmsCreateTransform(in, inputFormat, srgb, TYPE_BGR_8, INTENT_PERCEPTUAL, 0);
    Bytes out(count * 3);
    cmsDoTransform(t, pixels.data(), out.data(), cmsUInt32Number(count));
    cmsDeleteTransform(t);
    cmsCloseProfile(in);
    cmsCloseProfile(srgb);
    return out;
}

TBitmap BitmapFromBgr(int width, int height, const Bytes& bgr)
{
    TBitmap b(width, height, pf24bit);
    for (int y = 0; y < height; ++y)
        std::memcpy(b.ScanLine(y), &bgr[std::size_t(y) * std::size_t(width) * 3], std::size_t(width) * 3);
    return b;
}

Bytes BgrOf(const TBitmap& bitmap)
{
    Bytes out(std::size_t(bitmap.Width()) * std::size_t(bitmap.Height()) * 3);
    for (int y = 0; y < bitmap.Height(); ++y)
        bitmap.ReadRowBGR(y, &out[std::size_t(y) * std::size_t(bitmap.Width()) * 3]);
    return out;
}

int LargestDifference(const TBitmap& a, const TBitmap& b)
{
    if (a.Width() != b.Width() || a.Height() != b.Height())
        return 255;
    const Bytes pa = BgrOf(a), pb = BgrOf(b);
    int largest = 0;
    for (std::size_t i = 0; i < pa.size(); ++i)
        largest = std::max(largest, std::abs(int(pa[i]) - int(pb[i])));
    return largest;
}

} // namespace gz::test
