// Painting a document window's view of a 20000 x 20000 picture at 100, 33 and 800 %.
//
// One paint is what the window does for a 1000 x 800 view scrolled into the middle of the
// picture: sample the visible part nearest-neighbour into an image and draw it. The peer is
// drawing an already prepared 1000 x 800 image with the same painter (the cost any view
// pays to put that many pixels on the surface); the ratio shows what the sampling adds.
// A paint must stay under 16 ms to keep scrolling and zooming smooth.

#include "workspace/ZoomedRaster.h"

#include "platform/Bitmap.h"
#include "join/JoinTypes.h"

#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QPainter>

#include <cstring>

using namespace gz;

namespace {

constexpr int Side = 20000;
const QSize View(1000, 800);

const TBitmap& HugePicture()
{
    static const TBitmap picture = [] {
        TBitmap bmp;
        bmp.AllocateUninitialized(Side, Side, pf24bit);
        for (int y = 0; y < Side; ++y) {
            std::uint8_t* row = bmp.ScanLine(y);
            for (int i = 0; i < Side * 3; ++i)
                row[i] = std::uint8_t(i + y);
        }
        return bmp;
    }();
    return picture;
}

void PaintView(benchmark::State& state)
{
    const int zoom = int(state.range(0));
    const TBitmap& picture = HugePicture();
    QImage surface(View, QImage::Format_RGB32);
    // Scrolled to the middle of the zoomed picture.
    const int zw = ZoomedSize(Side, zoom), zh = ZoomedSize(Side, zoom);
    const QRect exposed(QPoint(zw / 2, zh / 2), View);
    for (auto _ : state) {
        QPainter painter(&surface);
        painter.translate(-exposed.topLeft());
        ui::PaintZoomedView(painter, picture, zoom, exposed, QColor(240, 240, 240));
        benchmark::DoNotOptimize(surface.constBits());
    }
    state.SetLabel("zoom " + std::to_string(zoom) + " %");
}

void DrawPreparedImage(benchmark::State& state)
{
    QImage surface(View, QImage::Format_RGB32);
    QImage prepared(View, QImage::Format_RGB32);
    prepared.fill(QColor(10, 120, 200));
    for (auto _ : state) {
        QPainter painter(&surface);
        painter.drawImage(0, 0, prepared);
        benchmark::DoNotOptimize(surface.constBits());
    }
    state.SetLabel("peer");
}

} // namespace

BENCHMARK(DrawPreparedImage)->Unit(benchmark::kMillisecond);
BENCHMARK(PaintView)->Arg(100)->Arg(33)->Arg(800)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
