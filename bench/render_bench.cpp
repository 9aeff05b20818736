// Scaling, drop shadow and rotation of the image surface against peers:
// the engine's bilinear resampler against stb_image_resize and
// QImage::scaled (smooth) (1000 and 2000 give weights that are not multiples
// of 1/256, which the resampler's vector loop sums exactly), the drop shadow at blur depth 1 and 10 (the
// running sums make both cost about the same), and the engine's bilinear
// rotation against QPainter with smooth transformation (and its nearest
// neighbour rotation, which must not fall behind).
// Qt spreads its smooth scaling and transformed drawing over a thread pool:
// its cases report wall time ("Time") and the CPU time of all the process's
// threads ("CPU"), and `taskset -c 0` gives the one-core comparison. The
// engine's own cases run on the calling thread alone.
// BM_RenderSquare times the rotation's last step alone (the working square
// drawn onto the host through the alpha-blend call, 1, or the own blend, 0).
#include "imaging/c32bppDIB.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

#define STB_IMAGE_RESIZE_IMPLEMENTATION
#include <stb/stb_image_resize.h>

#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <random>

namespace {

// A smooth premultiplied image with an alpha ramp, so that no path can skip
// transparent or opaque pixels wholesale.
std::vector<std::uint8_t> makePixels(int side)
{
    std::vector<std::uint8_t> px(std::size_t(side) * side * 4);
    std::mt19937 rng(11);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            std::uint8_t *p = &px[(std::size_t(y) * side + x) * 4];
            const unsigned a = (x * 255u / side + (rng() & 15)) & 255;
            p[0] = std::uint8_t((y * 255u / side) * a / 255);
            p[1] = std::uint8_t(((x ^ y) & 255) * a / 255);
            p[2] = std::uint8_t((255 - x * 255u / side) * a / 255);
            p[3] = std::uint8_t(a);
        }
    return px;
}

// Surfaces and images of each size, made once.
imaging::c32bppDIB &surface(int side)
{
    static std::map<int, std::unique_ptr<imaging::c32bppDIB>> cache;
    auto &slot = cache[side];
    if (!slot) {
        slot = std::make_unique<imaging::c32bppDIB>();
        slot->InitializeDIB(side, side);
        const auto px = makePixels(side);
        std::memcpy(slot->BitsPointer(), px.data(), px.size());
    }
    return *slot;
}

const QImage &image(int side)
{
    static std::map<int, QImage> cache;
    QImage &img = cache[side];
    if (img.isNull()) {
        img = QImage(side, side, QImage::Format_ARGB32_Premultiplied);
        const auto px = makePixels(side);
        std::memcpy(img.bits(), px.data(), px.size());
    }
    return img;
}

void setPixels(benchmark::State &state, std::int64_t outputPixels)
{
    state.counters["Mpix/s"] = benchmark::Counter(double(outputPixels) * double(state.iterations()) / 1e6,
                                                  benchmark::Counter::kIsRate);
}

// ---- bilinear scaling ------------------------------------------------------

void BM_Scale_Own(benchmark::State &state)
{
    const int from = int(state.range(0)), to = int(state.range(1));
    imaging::c32bppDIB &src = surface(from);
    src.setAlphaBlendFriendly(false);   // the engine's own resampler
    src.setHighQualityInterpolation(true);
    imaging::c32bppDIB target;
    target.InitializeDIB(to, to);
    for (auto _ : state) {
        src.CopyImageTo(target, to, to);
        benchmark::DoNotOptimize(target.BitsPointer());
    }
    setPixels(state, std::int64_t(to) * to);
}

void BM_Scale_Stb(benchmark::State &state)
{
    const int from = int(state.range(0)), to = int(state.range(1));
    const QImage &src = image(from);
    std::vector<unsigned char> out(std::size_t(to) * to * 4);
    for (auto _ : state) {
        stbir_resize_uint8_generic(src.constBits(), from, from, 0, out.data(), to, to, 0, 4, 3,
                                   STBIR_FLAG_ALPHA_PREMULTIPLIED, STBIR_EDGE_CLAMP, STBIR_FILTER_TRIANGLE,
                                   STBIR_COLORSPACE_LINEAR, nullptr);
        benchmark::DoNotOptimize(out.data());
    }
    setPixels(state, std::int64_t(to) * to);
}

void BM_Scale_StbDefault(benchmark::State &state)
{
    const int from = int(state.range(0)), to = int(state.range(1));
    const QImage &src = image(from);
    std::vector<unsigned char> out(std::size_t(to) * to * 4);
    for (auto _ : state) {
        stbir_resize_uint8(src.constBits(), from, from, 0, out.data(), to, to, 0, 4);
        benchmark::DoNotOptimize(out.data());
    }
    setPixels(state, std::int64_t(to) * to);
}

void BM_Scale_QImage(benchmark::State &state)
{
    const int from = int(state.range(0)), to = int(state.range(1));
    const QImage &src = image(from);
    for (auto _ : state) {
        QImage out = src.scaled(to, to, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        benchmark::DoNotOptimize(out.constBits());
    }
    setPixels(state, std::int64_t(to) * to);
}

// ---- drop shadow -------------------------------------------------------------

void BM_DropShadow(benchmark::State &state)
{
    imaging::c32bppDIB &src = surface(2048);
    for (auto _ : state) {
        auto shadow = src.CreateDropShadow(int(state.range(0)), 0);
        benchmark::DoNotOptimize(shadow->BitsPointer());
    }
    setPixels(state, std::int64_t(2048 + 2 * state.range(0)) * (2048 + 2 * state.range(0)));
}

// ---- rotation ----------------------------------------------------------------

// The rotations take the source's side as their argument: 2048 is the case
// compared; 512 (whose source fits the processor's cache) shows how each
// rotation's speed holds as the image outgrows it.
int diagonalOf(int side) { return int(std::lround(std::sqrt(2.0) * side)); }

void rotate30Own(benchmark::State &state, bool highQuality)
{
    const int side = int(state.range(0)), diagonal = diagonalOf(side);
    imaging::c32bppDIB &src = surface(side);
    src.setAlphaBlendFriendly(true);
    src.setHighQualityInterpolation(highQuality);
    imaging::c32bppDIB host;
    host.InitializeDIB(diagonal, diagonal);
    const gdi::HDC dc = host.LoadDIBinDC(true);
    for (auto _ : state) {
        src.RotateAtCenterPoint(dc, 30.0f, diagonal / 2, diagonal / 2, 0, 0, 0, 0, 0, 0, 100, &host);
        benchmark::DoNotOptimize(host.BitsPointer());
    }
    host.LoadDIBinDC(false);
    setPixels(state, std::int64_t(diagonal) * diagonal);
}

void BM_Rotate30_Own(benchmark::State &state) { rotate30Own(state, true); }
void BM_Rotate30_OwnNearest(benchmark::State &state) { rotate30Own(state, false); }

// The last step of the rotation alone: the working square drawn onto the host.
void BM_RenderSquare(benchmark::State &state)
{
    const int diagonal = diagonalOf(2048);
    imaging::c32bppDIB &src = surface(diagonal);
    src.setAlphaBlendFriendly(state.range(0) != 0);
    imaging::c32bppDIB host;
    host.InitializeDIB(diagonal, diagonal);
    const gdi::HDC dc = host.LoadDIBinDC(true);
    for (auto _ : state) {
        src.Render(dc, 0, 0, 0, 0, 0, 0, 0, 0, 100, true, false, &host);
        benchmark::DoNotOptimize(host.BitsPointer());
    }
    host.LoadDIBinDC(false);
    setPixels(state, std::int64_t(diagonal) * diagonal);
}

void BM_Rotate30_QPainter(benchmark::State &state)
{
    const int side = int(state.range(0)), diagonal = diagonalOf(side);
    const QImage &src = image(side);
    QImage host(diagonal, diagonal, QImage::Format_ARGB32_Premultiplied);
    host.fill(0);
    for (auto _ : state) {
        QPainter p(&host);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.translate(diagonal / 2.0, diagonal / 2.0);
        p.rotate(30.0);
        p.drawImage(QPointF(-side / 2.0, -side / 2.0), src);
        p.end();
        benchmark::DoNotOptimize(host.constBits());
    }
    setPixels(state, std::int64_t(diagonal) * diagonal);
}

} // namespace

BENCHMARK(BM_Scale_Own)->Args({4096, 1024})->Args({512, 2048})->Args({4096, 1000})->Args({512, 2000})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Scale_Stb)->Args({4096, 1024})->Args({512, 2048})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Scale_StbDefault)->Args({4096, 1024})->Args({512, 2048})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Scale_QImage)
    ->Args({4096, 1024})
    ->Args({512, 2048})
    ->Args({4096, 1000})
    ->Args({512, 2000})
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DropShadow)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Rotate30_Own)->Arg(512)->Arg(2048)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Rotate30_OwnNearest)->Arg(512)->Arg(2048)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RenderSquare)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Rotate30_QPainter)->Arg(512)->Arg(2048)->MeasureProcessCPUTime()->UseRealTime()->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    // The drawing layer behind the surfaces wants a GUI application.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
