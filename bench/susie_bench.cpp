// Decoding through the plug-in host against calling the plug-in directly: a 1600 x 1200
// pixel map (P6) read by the PNM plug-in we ship.
//   PluginDirect     the plug-in's GetPicture on the file, handles freed (the peer)
//   SPIGraphicFile   TSPIGraphic: header, IsSupported, GetPictureInfo, GetPicture, bitmap check
//   SPIBitmapFile    TSPIBitmap: the above plus the bitmap file image and the platform bitmap
//   SPIBitmapMemory  the same from a memory stream

#include "platform/Streams.h"
#include "susie/SPIBmp.h"
#include "susie/SPIs.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

constexpr int kWidth = 1600, kHeight = 1200;

struct Fixture {
    gz::TSPIs host;
    std::string file;
    gz::TInSPI* pnm = nullptr;

    Fixture()
    {
        host.Search(gz::ApplicationFolder() + "/gz_pnm.spi");
        if (host.Count() == 1)
            pnm = dynamic_cast<gz::TInSPI*>(&host.Items(0));
        file = "/tmp/gz-susie-bench-" + std::to_string(getpid()) + ".ppm";
        std::ofstream out(file, std::ios::binary);
        out << "P6 " << kWidth << " " << kHeight << " 255\n";
        std::string row(std::size_t(kWidth) * 3, '\0');
        for (int y = 0; y < kHeight; ++y) {
            for (std::size_t i = 0; i < row.size(); ++i)
                row[i] = char((i * 7 + std::size_t(y) * 3) & 0xFF);
            out.write(row.data(), std::streamsize(row.size()));
        }
    }
    ~Fixture() { std::remove(file.c_str()); }
};

Fixture& Shared()
{
    static Fixture fixture;
    return fixture;
}

void PluginDirect(benchmark::State& state)
{
    Fixture& f = Shared();
    if (!f.pnm) {
        state.SkipWithError("gz_pnm.spi not found beside the benchmark");
        return;
    }
    for (auto _ : state) {
        SusieHandle info = nullptr, bits = nullptr;
        if (f.pnm->GetPicture(f.file.c_str(), 0, SPI_SOURCE_FILE, &info, &bits, nullptr, 0) != 0)
            state.SkipWithError("decode failed");
        LocalFree(info);
        LocalFree(bits);
    }
}

void SPIGraphicFile(benchmark::State& state)
{
    Fixture& f = Shared();
    for (auto _ : state) {
        gz::TSPIGraphic graphic;
        graphic.LoadFromFile(f.file);
        benchmark::DoNotOptimize(graphic.Width());
    }
}

void SPIBitmapFile(benchmark::State& state)
{
    Fixture& f = Shared();
    for (auto _ : state) {
        gz::TSPIBitmap bitmap;
        bitmap.LoadFromFile(f.file);
        benchmark::DoNotOptimize(bitmap.ScanLine(0));
    }
}

void SPIBitmapMemory(benchmark::State& state)
{
    Fixture& f = Shared();
    gz::TMemoryStream stream;
    stream.LoadFromFile(f.file);
    for (auto _ : state) {
        stream.SetPosition(0);
        gz::TSPIBitmap bitmap;
        bitmap.LoadFromStreamWithName(stream, "picture.ppm");
        benchmark::DoNotOptimize(bitmap.ScanLine(0));
    }
}

BENCHMARK(PluginDirect)->Unit(benchmark::kMillisecond);
BENCHMARK(SPIGraphicFile)->Unit(benchmark::kMillisecond);
BENCHMARK(SPIBitmapFile)->Unit(benchmark::kMillisecond);
BENCHMARK(SPIBitmapMemory)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
