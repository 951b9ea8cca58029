// Decoding a 4000 x 3000 24-bit PNG written by libpng with its default filters, plain and
// Adam7-interlaced: our reader into a platform bitmap against libpng into 24-bit rows, both
// from memory, in the same run.

#include "png/KroPNG.h"

#include "platform/Streams.h"

#include <benchmark/benchmark.h>
#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <stdexcept>
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

void Fail(png_structp, png_const_charp message) { throw std::runtime_error(message); }

void Append(png_structp png, png_bytep data, png_size_t n)
{
    auto* out = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + n);
}

void NoFlush(png_structp) {}

std::vector<std::uint8_t> EncodeWithLibpng(const std::vector<std::uint8_t>& rgb, bool interlaced)
{
    std::vector<std::uint8_t> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, Fail, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(png, &out, Append, NoFlush);
    png_set_IHDR(png, info, kWidth, kHeight, 8, PNG_COLOR_TYPE_RGB,
                 interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    const int passes = png_set_interlace_handling(png);
    for (int pass = 0; pass < passes; ++pass)
        for (int y = 0; y < kHeight; ++y)
            png_write_row(png, rgb.data() + std::size_t(y) * kWidth * 3);
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

const std::vector<std::uint8_t>& File(bool interlaced)
{
    static const std::vector<std::uint8_t> rgb = PictureRGB();
    static const std::vector<std::uint8_t> plain = EncodeWithLibpng(rgb, false);
    static const std::vector<std::uint8_t> adam7 = EncodeWithLibpng(rgb, true);
    return interlaced ? adam7 : plain;
}

struct TMemorySource {
    const std::vector<std::uint8_t>* bytes;
    std::size_t pos;
};

void ReadMemory(png_structp png, png_bytep out, png_size_t n)
{
    auto* src = static_cast<TMemorySource*>(png_get_io_ptr(png));
    if (src->pos + n > src->bytes->size())
        png_error(png, "read past the end");
    std::memcpy(out, src->bytes->data() + src->pos, n);
    src->pos += n;
}

// Decodes into freshly allocated (not cleared) rows, as our reader decodes into a fresh bitmap.
std::unique_ptr<std::uint8_t[]> DecodeWithLibpng(const std::vector<std::uint8_t>& file)
{
    std::unique_ptr<std::uint8_t[]> pixels;
    std::vector<png_bytep> rows;
    TMemorySource src{&file, 0};
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, Fail, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_read_fn(png, &src, ReadMemory);
    png_read_info(png, info);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    const std::size_t rowBytes = png_get_rowbytes(png, info);
    pixels.reset(new std::uint8_t[rowBytes * kHeight]);
    rows.resize(kHeight);
    for (int y = 0; y < kHeight; ++y)
        rows[std::size_t(y)] = pixels.get() + std::size_t(y) * rowBytes;
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
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
