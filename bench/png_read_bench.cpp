// Decoding a 4000 x 3000 24-bit PNG written by libpng with its default filters, plain and
// Adam7-interlaced: our reader into a platform bitmap against libpng into 24-bit rows, both
// from memory, in the same run.

#include "png/KroPNG.h"

#include "platform/Streams.h"
#include "support/LibpngOracle.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr int kWidth = 4000;
constexpr int kHeight = 3000;

// A photograph-like picture: smooth gradients, soft shapes and a little noise, so that the
// filters and the compressor see data like a real picture's.
std::vector<std::uint8_t> PictureRGB()
{
    std::vector<std::uint8_t> rgb(std::size_t(kWidth) * kHeight * 3);
    std::uint32_t state = 2024;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            state = state * 1664525u + 1013904223u;
            const int noise = int(state >> 29) - 4;
            const double wave = std::sin(x * 0.004) * std::cos(y * 0.006);
            std::uint8_t* px = &rgb[(std::size_t(y) * kWidth + std::size_t(x)) * 3];
            px[0] = std::uint8_t(std::clamp(int(128 + 100 * wave) + noise, 0, 255));
            px[1] = std::uint8_t(std::clamp((x * 255 / kWidth + y * 64 / kHeight) + noise, 0, 255));
            px[2] = std::uint8_t(std::clamp(int(200 - 120.0 * y / kHeight + 40 * wave) + noise, 0, 255));
        }
    return rgb;
}

std::vector<std::uint8_t> Encode(const std::vector<std::uint8_t>& rgb, bool interlaced)
{
    std::vector<std::uint8_t> file = gz::test::EncodeWithLibpng(kWidth, kHeight, rgb, interlaced);
    if (file.empty())
        throw std::runtime_error("libpng could not encode the picture");
    return file;
}

const std::vector<std::uint8_t>& File(bool interlaced)
{
    static const std::vector<std::uint8_t> rgb = PictureRGB();
    static const std::vector<std::uint8_t> plain = Encode(rgb, false);
    static const std::vector<std::uint8_t> adam7 = Encode(rgb, true);
    return interlaced ? adam7 : plain;
}

// Decodes the rows as stored into freshly allocated (not cleared) memory, as our reader
// decodes into a fresh bitmap.
std::unique_ptr<std::uint8_t[]> DecodeWithLibpng(const std::vector<std::uint8_t>& file)
{
    std::unique_ptr<std::uint8_t[]> pixels;
    gz::test::TLibpngDecodeOptions asStored;
    asStored.ExpandToRgba = false;
    asStored.Lenient = false;
    gz::test::TLibpngHeader header;
    std::string error;
    const auto allocate = [&](const gz::test::TLibpngHeader& h, std::size_t rowBytes) {
        pixels.reset(new std::uint8_t[rowBytes * std::size_t(h.Height)]);
        return pixels.get();
    };
    if (!gz::test::DecodeWithLibpng(file, asStored, header, allocate, error))
        throw std::runtime_error("libpng: " + error);
    return pixels;
}

void BM_KroPNGRead(benchmark::State& state)
{
    const auto& file = File(state.range(0) != 0);
    for (auto _ : state) {
        gz::TMemoryViewStream stream(file.data(), file.size());
        gz::TKroPNG png;
        png.LoadFromStream(stream);
        benchmark::DoNotOptimize(png.ImageBitmap().ScanLine(kHeight - 1));
    }
    state.SetLabel(state.range(0) ? "Adam7" : "plain");
    state.counters["file_MB"] = double(file.size()) / 1e6;
}

void BM_LibpngRead(benchmark::State& state)
{
    const auto& file = File(state.range(0) != 0);
    for (auto _ : state) {
        const auto pixels = DecodeWithLibpng(file);
        benchmark::DoNotOptimize(pixels.get());
    }
    state.SetLabel(state.range(0) ? "Adam7" : "plain");
}

BENCHMARK(BM_KroPNGRead)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_LibpngRead)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(2.0);

} // namespace

BENCHMARK_MAIN();
