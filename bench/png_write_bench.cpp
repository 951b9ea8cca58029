// PNG writing speed and size against libpng, on the same 4000 x 3000 24-bit picture.
//
// Filter None at the default level: both writers do the same work (colour order swap, one
// filter byte per row, deflate level 6, 32 KB IDAT chunks), so the time ratio shows the
// writer's own overhead. Adaptive: our scored choice among the five filters against libpng's
// default filter heuristics (with libpng's own default strategy). The "bytes" counter is the
// file size.

#include "platform/Bitmap.h"
#include "platform/Streams.h"
#include "png/PngWriter.h"
#include "support/BenchPictures.h"

#include <benchmark/benchmark.h>
#include <png.h>
#include <zlib.h>

#include <vector>

using namespace gz;

namespace {

constexpr int W = bench::kPhotoWidth, H = bench::kPhotoHeight;

const TBitmap& Picture() { return bench::PhotoLikeBitmap(); }

void OurWriter(benchmark::State& state, std::uint8_t filterMode)
{
    const TBitmap& bmp = Picture();
    std::int64_t bytes = 0;
    for (auto _ : state) {
        TMemoryStream out;
        TKroPNGWriteStream writer;
        writer.SetFilterMode(filterMode);
        writer.SetGamma(0.45455);
        writer.WriteBitmap(bmp, out);
        bytes = out.Size();
        benchmark::DoNotOptimize(out.Memory());
    }
    state.counters["bytes"] = double(bytes);
}

void AppendToStream(png_structp png, png_bytep data, png_size_t length)
{
    static_cast<TMemoryStream*>(png_get_io_ptr(png))->WriteBuffer(data, length);
}

void NoFlush(png_structp) {}

void Libpng(benchmark::State& state, bool filterNone)
{
    const TBitmap& bmp = Picture();
    std::vector<png_bytep> rows(H);
    for (int y = 0; y < H; ++y)
        rows[y] = const_cast<png_bytep>(bmp.ScanLine(y));
    std::int64_t bytes = 0;
    for (auto _ : state) {
        TMemoryStream out;
        png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
        png_infop info = png_create_info_struct(png);
        png_set_write_fn(png, &out, AppendToStream, NoFlush);
        png_set_IHDR(png, info, W, H, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                     PNG_FILTER_TYPE_DEFAULT);
        png_set_gAMA_fixed(png, info, 45455);
        png_set_compression_level(png, Z_DEFAULT_COMPRESSION);
        png_set_compression_buffer_size(png, 32768);
        if (filterNone)
            png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
        png_write_info(png, info);
        png_set_bgr(png);
        png_write_image(png, rows.data());
        png_write_end(png, info);
        png_destroy_write_struct(&png, &info);
        bytes = out.Size();
        benchmark::DoNotOptimize(out.Memory());
    }
    state.counters["bytes"] = double(bytes);
}

void BM_Ours_FilterNone(benchmark::State& state) { OurWriter(state, 1); }
void BM_Libpng_FilterNone(benchmark::State& state) { Libpng(state, true); }
void BM_Ours_Adaptive(benchmark::State& state) { OurWriter(state, 0); }
void BM_Libpng_DefaultFilters(benchmark::State& state) { Libpng(state, false); }

BENCHMARK(BM_Ours_FilterNone)->Unit(benchmark::kMillisecond)->MinTime(3);
BENCHMARK(BM_Libpng_FilterNone)->Unit(benchmark::kMillisecond)->MinTime(3);
BENCHMARK(BM_Ours_Adaptive)->Unit(benchmark::kMillisecond)->MinTime(3);
BENCHMARK(BM_Libpng_DefaultFilters)->Unit(benchmark::kMillisecond)->MinTime(3);

} // namespace

BENCHMARK_MAIN();
