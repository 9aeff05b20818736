// Decode time of the engine's PNG decoder against libpng, libspng and stb_image,
// and of its built-in inflater against zlib. The large images are encoded with
// libpng on first use; PngSuite is read from the test data folder when present.
#include "imaging/c32bppDIB.h"
#include "imaging/png/inflate.h"
#include "imaging/png/png_parser.h"

#include <QGuiApplication>

#include <benchmark/benchmark.h>
#include <png.h>
#include <spng.h>
#include <zlib.h>

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#include <stb/stb_image.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

// ---- test images -------------------------------------------------------

struct PngWriter {
    Bytes out;
    static void write(png_structp png, png_bytep data, png_size_t n)
    {
        auto *w = static_cast<PngWriter *>(png_get_io_ptr(png));
        w->out.insert(w->out.end(), data, data + n);
    }
    static void flush(png_structp) {}
};

// rowFilters: libpng's filter mask, or -1 for its default choice.
Bytes encodePng(int w, int h, int channels, bool interlaced, const Bytes &pixels, int rowFilters = -1)
{
    PngWriter writer;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return {};
    }
    png_set_write_fn(png, &writer, PngWriter::write, PngWriter::flush);
    png_set_IHDR(png, info, w, h, 8, channels == 4 ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB,
                 interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (rowFilters >= 0)
        png_set_filter(png, 0, rowFilters);
    png_write_info(png, info);
    std::vector<png_bytep> rows(static_cast<size_t>(h));
    for (int y = 0; y < h; ++y)
        rows[size_t(y)] = const_cast<png_bytep>(pixels.data() + size_t(y) * size_t(w) * size_t(channels));
    png_write_image(png, rows.data());
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return writer.out;
}

uint32_t nextRandom(uint32_t &s)
{
    s = s * 1664525u + 1013904223u;
    return s >> 8;
}

// Smooth shapes with sensor-like noise.
Bytes photoPixels(int w, int h, int channels)
{
    Bytes px(size_t(w) * size_t(h) * size_t(channels));
    uint32_t rngState = 12345;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t *p = &px[(size_t(y) * size_t(w) + size_t(x)) * size_t(channels)];
            const double r = 128 + 90 * std::sin(x / 57.0) * std::cos(y / 41.0);
            const double g = 128 + 80 * std::sin((x + y) / 93.0);
            const double b = 100 + 60 * std::cos(std::hypot(x - w / 2.0, y - h / 3.0) / 37.0);
            const int noise = int(nextRandom(rngState) % 9) - 4;
            p[0] = uint8_t(std::clamp(int(r) + noise, 0, 255));
            p[1] = uint8_t(std::clamp(int(g) + noise, 0, 255));
            p[2] = uint8_t(std::clamp(int(b) - noise, 0, 255));
            if (channels == 4)
                p[3] = uint8_t(std::clamp(int(200 + 55 * std::sin(y / 80.0)), 0, 255));
        }
    return px;
}

// Flat panels, a title gradient, glyph-like text and a soft translucent shadow.
Bytes screenshotPixels(int w, int h)
{
    Bytes px(size_t(w) * size_t(h) * 4, 0);
    uint32_t rngState = 777;
    auto at = [&](int x, int y) { return &px[(size_t(y) * size_t(w) + size_t(x)) * 4]; };
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t *p = at(x, y);
            const int dx = std::min(x, w - 1 - x), dy = std::min(y, h - 1 - y);
            const int edge = std::min(dx, dy);
            if (edge < 24) { // shadow around the window
                p[0] = p[1] = p[2] = 0;
                p[3] = uint8_t(edge * 5);
                continue;
            }
            p[3] = 255;
            if (y < 60) { // title bar
                p[0] = uint8_t(40 + y);
                p[1] = uint8_t(70 + y);
                p[2] = uint8_t(150 + y);
            } else if (x < 300) { // side panel
                p[0] = p[1] = p[2] = 235;
            } else {
                p[0] = p[1] = p[2] = 255;
            }
        }
    // Text lines: short runs of dark pixels in 8 x 12 cells.
    for (int line = 100; line + 12 < h - 40; line += 18)
        for (int cell = 320; cell + 8 < w - 60; cell += 8) {
            if (nextRandom(rngState) % 7 == 0)
                continue;
            const uint32_t glyph = nextRandom(rngState);
            for (int gy = 0; gy < 12; ++gy)
                for (int gx = 0; gx < 6; ++gx)
                    if ((glyph >> ((gy * 3 + gx) % 24)) & 1) {
                        uint8_t *p = at(cell + gx, line + gy);
                        p[0] = p[1] = p[2] = uint8_t(30 + (gx * 7));
                    }
        }
    return px;
}

Bytes readFile(const std::filesystem::path &p)
{
    std::ifstream f(p, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(f), {});
}

Bytes joinedImageData(const Bytes &png)
{
    Bytes z;
    for (size_t pos = 8; pos + 12 <= png.size();) {
        const uint32_t len = (uint32_t(png[pos]) << 24) | (uint32_t(png[pos + 1]) << 16) |
                             (uint32_t(png[pos + 2]) << 8) | png[pos + 3];
        if (std::memcmp(&png[pos + 4], "IDAT", 4) == 0)
            z.insert(z.end(), png.begin() + long(pos) + 8, png.begin() + long(pos + 8 + len));
        pos += len + 12;
    }
    return z;
}

// Each image is encoded on first use, before its benchmark's timed loop, so that a
// filtered run (or one under a profiler) encodes only what it decodes.
struct Corpus {
    static const Bytes &photo() // 2048 x 1536 RGB
    {
        static const Bytes b = encodePng(2048, 1536, 3, false, photoPixels(2048, 1536, 3));
        return b;
    }
    static const Bytes &screenshot() // 1920 x 1080 RGBA
    {
        static const Bytes b = encodePng(1920, 1080, 4, false, screenshotPixels(1920, 1080));
        return b;
    }
    static const Bytes &interlaced() // 1600 x 1200 RGBA, Adam7
    {
        static const Bytes b = encodePng(1600, 1200, 4, true, photoPixels(1600, 1200, 4));
        return b;
    }
    static const Bytes &interlacedRgb() // 1024 x 1024 RGB, Adam7
    {
        static const Bytes b = encodePng(1024, 1024, 3, true, photoPixels(1024, 1024, 3));
        return b;
    }
    // 2048 x 1536 RGBA stored without row filters: flat areas become matches a pixel
    // or a row back instead of runs of zeros.
    static const Bytes &flatScreenshot()
    {
        static const Bytes b = encodePng(2048, 1536, 4, false, screenshotPixels(2048, 1536), PNG_FILTER_NONE);
        return b;
    }
    static const std::vector<Bytes> &suite() // valid PngSuite files
    {
        static const std::vector<Bytes> files = [] {
            std::vector<Bytes> v;
            const std::filesystem::path dir = std::filesystem::path(SORIMBA_TESTDATA_DIR) / "pngsuite";
            if (std::filesystem::exists(dir))
                for (const auto &e : std::filesystem::directory_iterator(dir))
                    if (e.path().extension() == ".png" && e.path().filename().string()[0] != 'x')
                        v.push_back(readFile(e.path()));
            return v;
        }();
        return files;
    }
    // Joined IDAT data and its inflated size.
    static const Bytes &photoZlib()
    {
        static const Bytes b = joinedImageData(photo());
        return b;
    }
    static const Bytes &screenshotZlib()
    {
        static const Bytes b = joinedImageData(screenshot());
        return b;
    }
    static constexpr size_t photoRaw = size_t(2048 * 3 + 1) * 1536;
    static constexpr size_t screenshotRaw = size_t(1920 * 4 + 1) * 1080;
};

// ---- decoders ----------------------------------------------------------

template <bool Library>
bool decodeOurs(const Bytes &f)
{
    imaging::c32bppDIB dib;
    imaging::cPNGparser parser;
    parser.setCompressionLibrary(Library);
    std::uint32_t token = 0;
    return parser.LoadStream(f, dib, 0, std::int32_t(f.size()), token) && dib.Handle() != 0;
}

struct MemReader {
    const uint8_t *p;
    size_t n, pos;
};

void memRead(png_structp png, png_bytep out, png_size_t len)
{
    auto *r = static_cast<MemReader *>(png_get_io_ptr(png));
    if (r->n - r->pos < len)
        png_error(png, "eof");
    std::memcpy(out, r->p + r->pos, len);
    r->pos += len;
}

bool decodeLibpng(const Bytes &f)
{
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    MemReader r{f.data(), f.size(), 0};
    Bytes out;
    std::vector<png_bytep> rows;
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    png_set_read_fn(png, &r, memRead);
    png_read_info(png, info);
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    const size_t h = png_get_image_height(png, info), rb = png_get_rowbytes(png, info);
    out.resize(rb * h);
    rows.resize(h);
    for (size_t y = 0; y < h; ++y)
        rows[y] = out.data() + rb * y;
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    benchmark::DoNotOptimize(out.data());
    return true;
}

bool decodeSpng(const Bytes &f)
{
    spng_ctx *ctx = spng_ctx_new(0);
    bool ok = spng_set_png_buffer(ctx, f.data(), f.size()) == 0;
    size_t size = 0;
    ok = ok && spng_decoded_image_size(ctx, SPNG_FMT_RGBA8, &size) == 0;
    Bytes out;
    if (ok) {
        out.resize(size);
        ok = spng_decode_image(ctx, out.data(), size, SPNG_FMT_RGBA8, SPNG_DECODE_TRNS) == 0;
    }
    spng_ctx_free(ctx);
    benchmark::DoNotOptimize(out.data());
    return ok;
}

bool decodeStb(const Bytes &f)
{
    int w = 0, h = 0, n = 0;
    stbi_uc *p = stbi_load_from_memory(f.data(), int(f.size()), &w, &h, &n, 4);
    benchmark::DoNotOptimize(p);
    stbi_image_free(p);
    return p != nullptr;
}

template <bool (*Decode)(const Bytes &)>
void runOne(benchmark::State &state, const Bytes &file)
{
    for (auto _ : state)
        if (!Decode(file))
            state.SkipWithError("decode failed");
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(file.size()));
}

template <bool (*Decode)(const Bytes &)>
void runSuite(benchmark::State &state)
{
    const auto &suite = Corpus::suite();
    if (suite.empty()) {
        state.SkipWithError("PngSuite not found");
        return;
    }
    for (auto _ : state)
        for (const Bytes &f : suite)
            benchmark::DoNotOptimize(Decode(f));
}

// The machine is shared: each benchmark is repeated and its minimum reported too.
double minimum(const std::vector<double> &v) { return *std::min_element(v.begin(), v.end()); }
#define REGISTER(fn) BENCHMARK(fn)->Unit(benchmark::kMillisecond)->Repetitions(5)->ComputeStatistics("min", minimum)

#define PNG_BENCH(name, fn)                                                                     \
    void BM_Photo_##name(benchmark::State &s) { runOne<fn>(s, Corpus::photo()); }                \
    void BM_Screenshot_##name(benchmark::State &s) { runOne<fn>(s, Corpus::screenshot()); }      \
    void BM_Interlaced_##name(benchmark::State &s) { runOne<fn>(s, Corpus::interlaced()); }      \
    void BM_InterlacedRgb_##name(benchmark::State &s) { runOne<fn>(s, Corpus::interlacedRgb()); }  \
    void BM_FlatScreenshot_##name(benchmark::State &s) { runOne<fn>(s, Corpus::flatScreenshot()); } \
    void BM_PngSuite_##name(benchmark::State &s) { runSuite<fn>(s); }                           \
    REGISTER(BM_Photo_##name);                                                                  \
    REGISTER(BM_Screenshot_##name);                                                             \
    REGISTER(BM_Interlaced_##name);                                                             \
    REGISTER(BM_InterlacedRgb_##name);                                                          \
    REGISTER(BM_FlatScreenshot_##name);                                                         \
    REGISTER(BM_PngSuite_##name);

// With the compression library (CRC checks, zlib's uncompress first) and without it
// (the built-in inflater alone).
PNG_BENCH(Sorimba, decodeOurs<true>)
PNG_BENCH(SorimbaBuiltin, decodeOurs<false>)
PNG_BENCH(Libpng, decodeLibpng)
PNG_BENCH(Spng, decodeSpng)
PNG_BENCH(Stb, decodeStb)

// ---- inflaters ---------------------------------------------------------

bool inflateBuiltin(const Bytes &z, Bytes &out)
{
    size_t produced = 0;
    return imaging::png::inflateZlib(z.data(), z.size(), out.data(), out.size(), &produced);
}

bool inflateZlib(const Bytes &z, Bytes &out)
{
    uLongf len = out.size();
    return uncompress(out.data(), &len, z.data(), z.size()) == Z_OK;
}

template <bool (*Inflate)(const Bytes &, Bytes &)>
void runInflate(benchmark::State &state, const Bytes &z, size_t rawSize)
{
    Bytes out(rawSize);
    for (auto _ : state) {
        if (!Inflate(z, out))
            state.SkipWithError("inflate failed");
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(rawSize));
}

void BM_InflatePhoto_Builtin(benchmark::State &s) { runInflate<inflateBuiltin>(s, Corpus::photoZlib(), Corpus::photoRaw); }
void BM_InflatePhoto_Zlib(benchmark::State &s) { runInflate<inflateZlib>(s, Corpus::photoZlib(), Corpus::photoRaw); }
void BM_InflateScreenshot_Builtin(benchmark::State &s)
{
    runInflate<inflateBuiltin>(s, Corpus::screenshotZlib(), Corpus::screenshotRaw);
}
void BM_InflateScreenshot_Zlib(benchmark::State &s)
{
    runInflate<inflateZlib>(s, Corpus::screenshotZlib(), Corpus::screenshotRaw);
}
REGISTER(BM_InflatePhoto_Builtin);
REGISTER(BM_InflatePhoto_Zlib);
REGISTER(BM_InflateScreenshot_Builtin);
REGISTER(BM_InflateScreenshot_Zlib);

} // namespace

int main(int argc, char **argv)
{
    // The surfaces live in the drawing layer, which wants a GUI application.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
