// JPEG speed of TJPEGImage against direct libjpeg-turbo calls doing the same work, on a
// 4000 x 3000 photo-like picture.
//
// Decode: TJPEGImage loads the file from a memory stream (copying the bytes, parsing the
// header) and decodes it into a 24-bit bitmap; the peer decodes the same bytes from memory
// into a freshly allocated buffer of blue-green-red rows with the library defaults.
// Encode: TJPEGImage encodes a 24-bit bitmap at quality 90 into a memory stream; the peer
// encodes the same rows at quality 90 (baseline tables) into libjpeg's memory destination.
// The overhead ratio is TJPEGImage time / peer time for each pair.

#include "jpeg/JPEGImage.h"
#include "support/BenchPictures.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <jpeglib.h>

using namespace gz;

namespace {

constexpr int W = bench::kPhotoWidth, H = bench::kPhotoHeight;

const TBitmap& Photo() { return bench::PhotoLikeBitmap(); }

const std::vector<std::uint8_t>& PhotoFile()
{
    static const std::vector<std::uint8_t> file = [] {
        TJPEGImage jpeg;
        jpeg.Assign(Photo());
        TMemoryStream out;
        jpeg.SaveToStream(out);
        return std::vector<std::uint8_t>(out.Memory(), out.Memory() + out.Size());
    }();
    return file;
}

void TJPEGImageDecode(benchmark::State& state)
{
    const auto& file = PhotoFile();
    for (auto _ : state) {
        TMemoryViewStream stream(file.data(), file.size());
        TJPEGImage jpeg;
        jpeg.LoadFromStream(stream);
        benchmark::DoNotOptimize(jpeg.Bitmap().ScanLine(H - 1));
    }
}

void DirectDecode(benchmark::State& state)
{
    const auto& file = PhotoFile();
    for (auto _ : state) {
        jpeg_decompress_struct c{};
        jpeg_error_mgr err{};
        c.err = jpeg_std_error(&err);
        jpeg_create_decompress(&c);
        jpeg_mem_src(&c, file.data(), static_cast<unsigned long>(file.size()));
        jpeg_read_header(&c, TRUE);
        c.out_color_space = JCS_EXT_BGR;
        jpeg_start_decompress(&c);
        const std::size_t stride = (std::size_t(c.output_width) * 3 + 3) & ~std::size_t(3);
        auto* pixels = static_cast<std::uint8_t*>(std::malloc(stride * c.output_height));
        std::vector<JSAMPROW> rows(c.output_height);
        for (JDIMENSION y = 0; y < c.output_height; ++y)
            rows[y] = pixels + y * stride;
        while (c.output_scanline < c.output_height)
            jpeg_read_scanlines(&c, &rows[c.output_scanline], JDIMENSION(c.rec_outbuf_height));
        jpeg_finish_decompress(&c);
        jpeg_destroy_decompress(&c);
        benchmark::DoNotOptimize(pixels[stride * (H - 1)]);
        std::free(pixels);
    }
}

void TJPEGImageEncode(benchmark::State& state)
{
    const TBitmap& photo = Photo();
    for (auto _ : state) {
        TJPEGImage jpeg;
        jpeg.Assign(photo);
        TMemoryStream out;
        jpeg.SaveToStream(out);
        benchmark::DoNotOptimize(out.Memory());
    }
}

void DirectEncode(benchmark::State& state)
{
    const TBitmap& photo = Photo();
    std::vector<JSAMPROW> rows(H);
    for (int y = 0; y < H; ++y)
        rows[std::size_t(y)] = const_cast<JSAMPROW>(photo.ScanLine(y));
    for (auto _ : state) {
        jpeg_compress_struct c{};
        jpeg_error_mgr err{};
        c.err = jpeg_std_error(&err);
        jpeg_create_compress(&c);
        unsigned char* out = nullptr;
        unsigned long outSize = 0;
        jpeg_mem_dest(&c, &out, &outSize);
        c.image_width = W;
        c.image_height = H;
        c.input_components = 3;
        c.in_color_space = JCS_EXT_BGR;
        jpeg_set_defaults(&c);
        jpeg_set_quality(&c, 90, TRUE);
        jpeg_start_compress(&c, TRUE);
        while (c.next_scanline < c.image_height)
            jpeg_write_scanlines(&c, &rows[c.next_scanline], 16);
        jpeg_finish_compress(&c);
        jpeg_destroy_compress(&c);
        benchmark::DoNotOptimize(out);
        std::free(out);
    }
}

} // namespace

BENCHMARK(TJPEGImageDecode)->Unit(benchmark::kMillisecond);
BENCHMARK(DirectDecode)->Unit(benchmark::kMillisecond);
BENCHMARK(TJPEGImageEncode)->Unit(benchmark::kMillisecond);
BENCHMARK(DirectEncode)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
