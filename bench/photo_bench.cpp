// What photos cost on the way to the raster, on a 12-megapixel picture (4000 x 3000): turning
// it upright, converting it from Display P3 to sRGB, and recognising an sRGB profile, against
// a plain copy of the same raster and against Little CMS converting the rows on its own.

#include "join/PictureRaster.h"
#include "photo/ColourProfile.h"

#include <benchmark/benchmark.h>
#include <lcms2.h>

#include <vector>

namespace {

constexpr int kWidth = 4000, kHeight = 3000;

const gz::TBitmap& Photo()
{
    static const gz::TBitmap photo = [] {
        gz::TBitmap b(kWidth, kHeight, gz::pf24bit);
        std::uint32_t s = 1;
        for (int y = 0; y < kHeight; ++y) {
            std::uint8_t* row = b.ScanLine(y);
            for (int x = 0; x < kWidth * 3; ++x, s = s * 1664525u + 1013904223u)
                row[x] = std::uint8_t((x / 3 + y) / 32 + (s >> 29));
        }
        return b;
    }();
    return photo;
}

std::vector<std::uint8_t> Profile(cmsHPROFILE p)
{
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(p, nullptr, &size);
    std::vector<std::uint8_t> bytes(size);
    cmsSaveProfileToMem(p, bytes.data(), &size);
    cmsCloseProfile(p);
    return bytes;
}

std::vector<std::uint8_t> DisplayP3()
{
    const cmsCIExyY white{0.3127, 0.3290, 1.0};
    const cmsCIExyYTRIPLE primaries{{0.680, 0.320, 1.0}, {0.265, 0.690, 1.0}, {0.150, 0.060, 1.0}};
    const cmsFloat64Number params[5] = {2.4, 1.0 / 1.055, 0.055 / 1.055, 1.0 / 12.92, 0.04045};
    cmsToneCurve* curve = cmsBuildParametricToneCurve(nullptr, 4, params);
    cmsToneCurve* curves[3] = {curve, curve, curve};
    auto bytes = Profile(cmsCreateRGBProfile(&white, &primaries, curves));
    cmsFreeToneCurve(curve);
    return bytes;
}

void Copy(benchmark::State& state)
{
    for (auto _ : state) {
        gz::TBitmap copy(Photo());
        copy.ScanLine(0); // takes storage of its own
        benchmark::DoNotOptimize(copy);
    }
}

void Orient(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(gz::OrientedRaster(Photo(), int(state.range(0))));
}

void ConvertP3(benchmark::State& state)
{
    const auto icc = DisplayP3();
    const auto conversion = gz::photo::TSrgbConversion::FromProfile(icc.data(), icc.size(), gz::photo::TPixelLayout::BGR);
    gz::TBitmap out(kWidth, kHeight, gz::pf24bit);
    for (auto _ : state)
        for (int y = 0; y < kHeight; ++y)
            conversion->Convert(Photo().ScanLine(y), out.ScanLine(y), kWidth);
}

// The peer: Little CMS with its defaults (and its cache) on the same rows.
void LittleCmsAlone(benchmark::State& state)
{
    const auto icc = DisplayP3();
    cmsHPROFILE in = cmsOpenProfileFromMem(icc.data(), cmsUInt32Number(icc.size())), srgb = cmsCreate_sRGBProfile();
    cmsHTRANSFORM t = cmsCreateTransform(in, TYPE_BGR_8, srgb, TYPE_BGR_8, INTENT_PERCEPTUAL, 0);
    gz::TBitmap out(kWidth, kHeight, gz::pf24bit);
    for (auto _ : state)
        for (int y = 0; y < kHeight; ++y)
            cmsDoTransform(t, Photo().ScanLine(y), out.ScanLine(y), kWidth);
    cmsDeleteTransform(t);
    cmsCloseProfile(in);
    cmsCloseProfile(srgb);
}

void RecogniseSrgb(benchmark::State& state)
{
    const auto icc = Profile(cmsCreate_sRGBProfile());
    for (auto _ : state)
        benchmark::DoNotOptimize(gz::photo::TSrgbConversion::FromProfile(icc.data(), icc.size(), gz::photo::TPixelLayout::BGR));
}

BENCHMARK(Copy)->Unit(benchmark::kMillisecond);
BENCHMARK(Orient)->Arg(3)->Arg(6)->Arg(8)->Unit(benchmark::kMillisecond);
BENCHMARK(ConvertP3)->Unit(benchmark::kMillisecond);
BENCHMARK(LittleCmsAlone)->Unit(benchmark::kMillisecond);
BENCHMARK(RecogniseSrgb)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
