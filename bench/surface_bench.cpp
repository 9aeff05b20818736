// Throughput of the image surface's bulk pixel paths on a 4096 x 4096 surface,
// against memcpy of the same bytes (the physical limit).
#include "imaging/c32bppDIB.h"

#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <cstring>
#include <random>
#include <vector>

namespace {

constexpr int kSide = 4096;
constexpr std::size_t kBytes = std::size_t(kSide) * kSide * 4;

// A surface of premultiplied pixels with mixed alpha.
imaging::c32bppDIB &surface()
{
    static imaging::c32bppDIB dib;
    if (!dib.Handle()) {
        dib.InitializeDIB(kSide, kSide);
        std::mt19937 rng(7);
        std::uint8_t *p = dib.BitsPointer();
        for (std::size_t i = 0; i < kBytes; i += 4) {
            const std::uint8_t a = std::uint8_t(rng());
            p[i] = std::uint8_t(rng() % (a + 1u));
            p[i + 1] = std::uint8_t(rng() % (a + 1u));
            p[i + 2] = std::uint8_t(rng() % (a + 1u));
            p[i + 3] = a;
        }
    }
    return dib;
}

void setBytes(benchmark::State &state)
{
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(kBytes));
}

void BM_Memcpy(benchmark::State &state)
{
    const std::uint8_t *src = surface().BitsPointer();
    std::vector<std::uint8_t> dst(kBytes, 1);
    for (auto _ : state) {
        std::memcpy(dst.data(), src, kBytes);
        benchmark::ClobberMemory();
    }
    setBytes(state);
}

void BM_GetDIBbitsFastPath(benchmark::State &state)
{
    imaging::ByteArray out;
    for (auto _ : state) {
        surface().GetDIBbits(out);
        benchmark::DoNotOptimize(out.data());
    }
    setBytes(state);
}

// Red-green-blue order, top-down rows, straight alpha.
void BM_GetDIBbitsConverting(benchmark::State &state)
{
    imaging::ByteArray out;
    for (auto _ : state) {
        surface().GetDIBbits(out, true, false, true, true, false, 0, 0, 0, 0, false);
        benchmark::DoNotOptimize(out.data());
    }
    setBytes(state);
}

// Straight-alpha input: copied in, classified, premultiplied.
void BM_SetDIBbitsClassifying(benchmark::State &state)
{
    imaging::ByteArray in;
    surface().GetDIBbits(in, true, true, true, true, true, 0, 0, 0, 0, false);
    imaging::c32bppDIB dst;
    dst.InitializeDIB(kSide, kSide);
    for (auto _ : state) {
        dst.SetDIBbits(in);
        benchmark::DoNotOptimize(dst.BitsPointer());
    }
    setBytes(state);
}

// Opaque input: the classification scans everything and sets alpha to 255.
void BM_SetDIBbitsOpaque(benchmark::State &state)
{
    std::vector<std::uint8_t> in(kBytes);
    for (std::size_t i = 0; i < kBytes; ++i)
        in[i] = (i % 4 == 3) ? 255 : std::uint8_t(i * 31);
    imaging::c32bppDIB dst;
    dst.InitializeDIB(kSide, kSide);
    for (auto _ : state) {
        dst.SetDIBbits(in);
        benchmark::DoNotOptimize(dst.BitsPointer());
    }
    setBytes(state);
}

} // namespace

BENCHMARK(BM_Memcpy)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GetDIBbitsFastPath)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GetDIBbitsConverting)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SetDIBbitsClassifying)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SetDIBbitsOpaque)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
