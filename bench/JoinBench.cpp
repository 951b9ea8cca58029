// Join speed and memory against a plain copy of the output raster.
//
// Time: each join is compared with one memcpy of a raster of the output's size into freshly
// allocated memory (what any join must at least do: produce that many new bytes).
// Memory: the pixel bytes allocated during the join beyond the inputs, as a multiple of the
// output raster ("extra/output"; 1.0 means the inputs plus exactly one output raster).

#include "platform/PixelMemory.h"
#include "join/JoinEngine.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>

using namespace gz;

namespace {

constexpr int W = 6000, H = 4000;

TABitmap Photo(std::uint8_t seed)
{
    TABitmap bmp(W, H);
    for (int y = 0; y < H; ++y) {
        std::uint8_t* row = bmp.ScanLine(y);
        for (int i = 0; i < W * 3; ++i)
            row[i] = std::uint8_t(i * 7 + y * 3 + seed);
    }
    return bmp;
}

void CopyRaster(benchmark::State& state, std::size_t width, std::size_t height)
{
    const std::size_t bytes = width * height * 3;
    auto* source = static_cast<std::uint8_t*>(std::malloc(bytes));
    std::memset(source, 0x5A, bytes);
    for (auto _ : state) {
        auto* copy = static_cast<std::uint8_t*>(std::malloc(bytes));
        std::memcpy(copy, source, bytes);
        benchmark::DoNotOptimize(copy);
        std::free(copy);
    }
    std::free(source);
    state.SetBytesProcessed(std::int64_t(state.iterations() * bytes));
}

void Join(benchmark::State& state, TJoinDir dir, TJoinPos pos, TSizeMode keep)
{
    const TABitmap old = Photo(1);
    const TABitmap picture = Photo(2);
    TImageDocument doc;
    doc.joinDir = dir;
    doc.joinPos = pos;
    doc.keepSize = keep;
    double worstExtra = 0;
    std::size_t outputBytes = 0;
    for (auto _ : state) {
        state.PauseTiming();
        doc.workBmp = old;
        doc.undoBmp.Clear();
        const std::size_t before = PixelMemory::Current();
        PixelMemory::ResetPeak();
        state.ResumeTiming();

        JoinPicture(doc, picture, nullptr);

        state.PauseTiming();
        outputBytes = doc.workBmp.RowBytes() * std::size_t(doc.workBmp.Height());
        worstExtra = std::max(worstExtra, double(PixelMemory::Peak() - before) / double(outputBytes));
        state.ResumeTiming();
    }
    state.counters["extra/output"] = worstExtra;
    state.counters["output_MB"] = double(outputBytes) / 1e6;
    state.SetBytesProcessed(std::int64_t(state.iterations() * outputBytes));
}

void BM_CopyGrownOutput(benchmark::State& state) { CopyRaster(state, 2 * W, H); }
void BM_JoinRightCentreGrow(benchmark::State& state) { Join(state, jdRight, jpCenter, smGrow); }
void BM_CopyKeptOutput(benchmark::State& state) { CopyRaster(state, W, H); }
void BM_JoinRightOverlayKeepSize(benchmark::State& state) { Join(state, jdRight, jpStart, smKeep); }

} // namespace

BENCHMARK(BM_CopyGrownOutput)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_JoinRightCentreGrow)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_CopyKeptOutput)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_JoinRightOverlayKeepSize)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK_MAIN();
