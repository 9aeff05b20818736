// Encode time and file size of the engine's PNG encoder against libpng writing
// the same pixels at compression level 9 with its default filter choice, on the
// photo, screenshot and palette pictures. The engine runs with its default
// filter mode (0) and with the adaptive one (6). After the benchmarks a table
// gives the sizes and the ratios of the best times.
#include "bench_images.h"

#include "imaging/c32bppDIB.h"
#include "imaging/png/png_writer.h"

#include <QGuiApplication>

#include <benchmark/benchmark.h>
#include <png.h>

#include <ctime>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>

namespace {

using benchimages::Bytes;

struct Picture {
    int width = 0, height = 0;
    std::unique_ptr<imaging::c32bppDIB> dib;   // what the engine encodes
    int colourType = PNG_COLOR_TYPE_RGB;       // what libpng is given
    int channels = 3;
    Bytes rows;      // top row first, straight
    Bytes palette;   // for PNG_COLOR_TYPE_PALETTE
};

// A surface from straight red-green-blue(-alpha) rows, premultiplied.
std::unique_ptr<imaging::c32bppDIB> surfaceFrom(const Bytes &px, int w, int h, int channels, bool alpha)
{
    auto dib = std::make_unique<imaging::c32bppDIB>();
    dib->InitializeDIB(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const std::uint8_t *s = &px[(std::size_t(y) * std::size_t(w) + std::size_t(x)) * std::size_t(channels)];
            std::uint8_t *d = dib->BitsPointer() + (std::size_t(h - 1 - y) * std::size_t(w) + std::size_t(x)) * 4;
            const int a = channels == 4 ? s[3] : 255;
            d[0] = std::uint8_t(s[2] * a / 255);
            d[1] = std::uint8_t(s[1] * a / 255);
            d[2] = std::uint8_t(s[0] * a / 255);
            d[3] = std::uint8_t(a);
        }
    dib->setAlpha(alpha);
    return dib;
}

// The surface's pixels as straight RGBA, the colours libpng is given.
Bytes straightFrom(const imaging::c32bppDIB &dib)
{
    const int w = dib.Width(), h = dib.Height();
    Bytes out(std::size_t(w) * std::size_t(h) * 4);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const std::uint8_t *s = dib.BitsPointer() + (std::size_t(h - 1 - y) * std::size_t(w) + std::size_t(x)) * 4;
            std::uint8_t *d = &out[(std::size_t(y) * std::size_t(w) + std::size_t(x)) * 4];
            const int a = s[3];
            for (int c = 0; c < 3; ++c)
                d[c] = a == 0 ? 0 : std::uint8_t(std::min(255, s[2 - c] * 255 / a));
            d[3] = std::uint8_t(a);
        }
    return out;
}

struct Pictures {
    Picture photo, screenshot, palette;
    Pictures()
    {
        photo.width = 2048, photo.height = 1536;
        photo.rows = benchimages::photoPixels(photo.width, photo.height, 3);
        photo.dib = surfaceFrom(photo.rows, photo.width, photo.height, 3, false);

        screenshot.width = 1920, screenshot.height = 1080;
        screenshot.dib = surfaceFrom(benchimages::screenshotPixels(1920, 1080), 1920, 1080, 4, true);
        screenshot.colourType = PNG_COLOR_TYPE_RGBA;
        screenshot.channels = 4;
        screenshot.rows = straightFrom(*screenshot.dib);

        palette.width = 1600, palette.height = 1200;
        const benchimages::PalettePicture pic = benchimages::palettePicture(1600, 1200);
        Bytes rgb(pic.indices.size() * 3);
        for (std::size_t i = 0; i < pic.indices.size(); ++i)
            std::memcpy(&rgb[i * 3], &pic.palette[std::size_t(pic.indices[i]) * 3], 3);
        palette.dib = surfaceFrom(rgb, 1600, 1200, 3, false);
        palette.colourType = PNG_COLOR_TYPE_PALETTE;
        palette.channels = 1;
        palette.rows = pic.indices;
        palette.palette = pic.palette;
    }
};

Pictures &pictures()
{
    static Pictures p;
    return p;
}

void writeToMemory(png_structp png, png_bytep data, png_size_t n)
{
    auto *out = static_cast<Bytes *>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + n);
}

Bytes encodeLibpng(const Picture &pic)
{
    Bytes out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    std::vector<png_bytep> rows(std::size_t(pic.height));
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return {};
    }
    png_set_write_fn(png, &out, writeToMemory, nullptr);
    png_set_compression_level(png, 9);
    png_set_IHDR(png, info, png_uint_32(pic.width), png_uint_32(pic.height), 8, pic.colourType, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (pic.colourType == PNG_COLOR_TYPE_PALETTE)
        png_set_PLTE(png, info, reinterpret_cast<png_colorp>(const_cast<std::uint8_t *>(pic.palette.data())),
                     int(pic.palette.size() / 3));
    png_write_info(png, info);
    const std::size_t rowBytes = std::size_t(pic.width) * std::size_t(pic.channels);
    for (int y = 0; y < pic.height; ++y)
        rows[std::size_t(y)] = const_cast<std::uint8_t *>(pic.rows.data()) + std::size_t(y) * rowBytes;
    png_write_image(png, rows.data());
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

Bytes encodeOurs(const Picture &pic, int mode)
{
    imaging::c32bppDIB &dib = *pic.dib;
    if (mode == 0)
        dib.PngPropertySet(-1);   // no store: the plain save
    else
        dib.PngPropertySet(imaging::pngFilterMode, mode);
    imaging::ByteArray out;
    if (!dib.SaveToStream_PNG(out))
        return {};
    return out.toVector();
}

// CPU time of this thread: the machine is shared, so wall time says more
// about the neighbours than about the encoders.
double threadSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

struct Result {
    double best = 1e30;   // seconds of CPU time
    std::size_t bytes = 0;
};
std::map<std::string, Result> results;

template <typename Encode>
void run(benchmark::State &state, const std::string &key, Encode encode)
{
    Result &r = results[key];
    for (auto _ : state) {
        const double t0 = threadSeconds();
        const Bytes png = encode();
        const double s = threadSeconds() - t0;
        if (png.empty())
            state.SkipWithError("encode failed");
        r.best = std::min(r.best, s);
        r.bytes = png.size();
        state.counters["bytes"] = double(png.size());
    }
}

double minimum(const std::vector<double> &v) { return *std::min_element(v.begin(), v.end()); }

#define ENCODE_BENCH(pic)                                                                                    \
    void BM_##pic##_Sorimba(benchmark::State &s) { run(s, #pic "/sorimba", [] { return encodeOurs(pictures().pic, 0); }); } \
    void BM_##pic##_SorimbaAdaptive(benchmark::State &s)                                                     \
    {                                                                                                        \
        run(s, #pic "/adaptive", [] { return encodeOurs(pictures().pic, 6); });                              \
    }                                                                                                        \
    void BM_##pic##_Libpng(benchmark::State &s) { run(s, #pic "/libpng", [] { return encodeLibpng(pictures().pic); }); } \
    BENCHMARK(BM_##pic##_Sorimba)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3)->ComputeStatistics("min", minimum); \
    BENCHMARK(BM_##pic##_SorimbaAdaptive)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3)->ComputeStatistics("min", minimum); \
    BENCHMARK(BM_##pic##_Libpng)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3)->ComputeStatistics("min", minimum);

ENCODE_BENCH(photo)
ENCODE_BENCH(screenshot)
ENCODE_BENCH(palette)

void printRatios()
{
    std::printf("\n%-11s %12s %12s %12s %8s %8s %8s %8s\n", "picture", "libpng B", "mode 0 B", "mode 6 B",
                "size 0", "time 0", "size 6", "time 6");
    for (const char *pic : {"photo", "screenshot", "palette"}) {
        const Result &lib = results[std::string(pic) + "/libpng"];
        const Result &m0 = results[std::string(pic) + "/sorimba"];
        const Result &m6 = results[std::string(pic) + "/adaptive"];
        if (lib.bytes == 0 || m0.bytes == 0 || m6.bytes == 0)
            continue;
        std::printf("%-11s %12zu %12zu %12zu %8.3f %8.3f %8.3f %8.3f\n", pic, lib.bytes, m0.bytes, m6.bytes,
                    double(m0.bytes) / double(lib.bytes), m0.best / lib.best, double(m6.bytes) / double(lib.bytes),
                    m6.best / lib.best);
    }
    std::printf("(sizes and best CPU times as ratios to libpng; goal: size <= 1, time <= 1.2)\n");
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    pictures();   // build the pictures before timing
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    printRatios();
    return 0;
}
