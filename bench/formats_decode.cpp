// Decode time of the loading pipeline for icons, GIF and bitmaps against Qt's
// image reader and stb_image. The inputs are made at start-up: an icon file
// with eight entries (16, 24, 32 and 48 pixels at 8 and 32 bits), a 1024 x 768
// GIF of a dithered photo-like picture, and 2048 x 1536 bitmaps at 24 and 32 bits.
#include "imaging/c32bppDIB.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>

#include <benchmark/benchmark.h>

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_GIF
#define STBI_ONLY_BMP
#include <stb/stb_image.h>

#include <cmath>
#include <cstring>
#include <unordered_map>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

void le16(Bytes &b, uint32_t v)
{
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}
void le32(Bytes &b, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b.push_back(uint8_t(v >> (8 * i)));
}

uint32_t nextRandom(uint32_t &s)
{
    s = s * 1664525u + 1013904223u;
    return s >> 8;
}

// Smooth shapes with noise, as blue, green, red.
void photoPixel(int x, int y, uint32_t &rng, uint8_t out[3])
{
    const int noise = int(nextRandom(rng) % 9) - 4;
    out[2] = uint8_t(std::clamp(int(128 + 90 * std::sin(x / 57.0) * std::cos(y / 41.0)) + noise, 0, 255));
    out[1] = uint8_t(std::clamp(int(128 + 80 * std::sin((x + y) / 93.0)) + noise, 0, 255));
    out[0] = uint8_t(std::clamp(int(100 + 60 * std::cos(std::hypot(x - 300.0, y - 200.0) / 37.0)) - noise, 0, 255));
}

// ---- icon ---------------------------------------------------------------

Bytes iconEntry(int size, int bits)
{
    Bytes d;
    le32(d, 40);
    le32(d, uint32_t(size));
    le32(d, uint32_t(size * 2));
    le16(d, 1);
    le16(d, uint32_t(bits));
    for (int i = 0; i < 6; ++i)
        le32(d, 0);
    uint32_t rng = uint32_t(size * 31 + bits);
    if (bits == 8)
        for (int i = 0; i < 256; ++i)
            le32(d, (uint32_t(i) << 16) | (uint32_t(255 - i) << 8) | uint32_t(i / 2));
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            if (bits == 8) {
                d.push_back(uint8_t(nextRandom(rng)));
            } else {
                uint8_t c[3];
                photoPixel(x, y, rng, c);
                const bool edge = x == 0 || y == 0 || x == size - 1 || y == size - 1;
                d.insert(d.end(), {c[0], c[1], c[2], uint8_t(edge ? 0 : 255)});
            }
        }
    const int maskRow = ((size + 31) / 32) * 4;
    for (int y = 0; y < size; ++y)
        for (int i = 0; i < maskRow; ++i)
            d.push_back(y == 0 ? 0xFF : 0);
    return d;
}

Bytes iconFile()
{
    std::vector<Bytes> entries;
    std::vector<std::pair<int, int>> dims;
    for (int size : {16, 24, 32, 48})
        for (int bits : {8, 32}) {
            entries.push_back(iconEntry(size, bits));
            dims.push_back({size, bits});
        }
    Bytes f;
    le16(f, 0);
    le16(f, 1);
    le16(f, uint32_t(entries.size()));
    uint32_t offset = uint32_t(6 + 16 * entries.size());
    for (size_t i = 0; i < entries.size(); ++i) {
        f.insert(f.end(), {uint8_t(dims[i].first), uint8_t(dims[i].first), 0, 0});
        le16(f, 1);
        le16(f, uint32_t(dims[i].second));
        le32(f, uint32_t(entries[i].size()));
        le32(f, offset);
        offset += uint32_t(entries[i].size());
    }
    for (const Bytes &e : entries)
        f.insert(f.end(), e.begin(), e.end());
    return f;
}

// ---- GIF ----------------------------------------------------------------

// GIF89a LZW (variable code width up to 12 bits, a clear code when the table is full).
Bytes lzw(const Bytes &indices, int minCodeSize)
{
    const uint32_t clear = 1u << minCodeSize, end = clear + 1;
    Bytes packed;
    uint32_t acc = 0;
    int nbits = 0, width = minCodeSize + 1;
    auto putCode = [&](uint32_t code) {
        acc |= code << nbits;
        nbits += width;
        while (nbits >= 8) {
            packed.push_back(uint8_t(acc));
            acc >>= 8;
            nbits -= 8;
        }
    };
    std::unordered_map<uint32_t, uint32_t> table;
    uint32_t next = end + 1;
    putCode(clear);
    uint32_t prefix = indices[0];
    for (size_t i = 1; i < indices.size(); ++i) {
        const uint32_t key = (prefix << 8) | indices[i];
        if (auto it = table.find(key); it != table.end()) {
            prefix = it->second;
            continue;
        }
        putCode(prefix);
        if (next < 4095) {
            table[key] = next++;
            if (next > (1u << width) && width < 12)
                ++width;
        } else {
            putCode(clear);
            table.clear();
            next = end + 1;
            width = minCodeSize + 1;
        }
        prefix = indices[i];
    }
    putCode(prefix);
    putCode(end);
    if (nbits)
        packed.push_back(uint8_t(acc));
    Bytes out{uint8_t(minCodeSize)};
    for (size_t i = 0; i < packed.size(); i += 255) {
        const size_t n = std::min<size_t>(255, packed.size() - i);
        out.push_back(uint8_t(n));
        out.insert(out.end(), packed.begin() + long(i), packed.begin() + long(i + n));
    }
    out.push_back(0);
    return out;
}

Bytes gifFile(int w, int h)
{
    // A 6 x 7 x 6 colour cube; the picture dithered onto it.
    Bytes indices(size_t(w) * size_t(h));
    uint32_t rng = 99;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t c[3];
            photoPixel(x, y, rng, c);
            const int r = c[2] * 5 / 255, g = c[1] * 6 / 255, b = c[0] * 5 / 255;
            indices[size_t(y) * size_t(w) + size_t(x)] = uint8_t((r * 7 + g) * 6 + b);
        }
    Bytes f = {'G', 'I', 'F', '8', '9', 'a'};
    le16(f, uint32_t(w));
    le16(f, uint32_t(h));
    f.insert(f.end(), {0xF7, 0, 0});
    for (int i = 0; i < 256; ++i) {
        const int r = i / 42, g = (i / 6) % 7, b = i % 6;
        f.insert(f.end(), {uint8_t(r * 51), uint8_t(g * 42), uint8_t(b * 51)});
    }
    f.insert(f.end(), {0x2C, 0, 0, 0, 0});
    le16(f, uint32_t(w));
    le16(f, uint32_t(h));
    f.push_back(0);
    const Bytes data = lzw(indices, 8);
    f.insert(f.end(), data.begin(), data.end());
    f.push_back(0x3B);
    return f;
}

// ---- BMP ----------------------------------------------------------------

Bytes bmpFile(int w, int h, int bits)
{
    const int row = ((w * bits + 31) / 32) * 4;
    Bytes f = {'B', 'M'};
    le32(f, uint32_t(54 + row * h));
    le32(f, 0);
    le32(f, 54);
    le32(f, 40);
    le32(f, uint32_t(w));
    le32(f, uint32_t(h));
    le16(f, 1);
    le16(f, uint32_t(bits));
    for (int i = 0; i < 6; ++i)
        le32(f, 0);
    uint32_t rng = 5;
    for (int y = 0; y < h; ++y) {
        const size_t start = f.size();
        for (int x = 0; x < w; ++x) {
            uint8_t c[3];
            photoPixel(x, h - 1 - y, rng, c);
            f.insert(f.end(), c, c + 3);
            if (bits == 32)
                f.push_back(255);
        }
        f.resize(start + size_t(row), 0);
    }
    return f;
}

struct Corpus {
    Bytes icon = iconFile();
    Bytes gif = gifFile(1024, 768);
    Bytes bmp24 = bmpFile(2048, 1536, 24);
    Bytes bmp32 = bmpFile(2048, 1536, 32);
};

const Corpus &corpus()
{
    static const Corpus c;
    return c;
}

// ---- decoders -----------------------------------------------------------

// The caller's byte array is made once, as a caller holding the bytes would
// (the icon decoder's header rewrites are the same on every pass).
bool decodeOurs(const Bytes &f, int iconSize = 0)
{
    static std::unordered_map<const Bytes *, imaging::ByteArray> arrays;
    auto it = arrays.find(&f);
    if (it == arrays.end())
        it = arrays.emplace(&f, imaging::ByteArray(std::span<const uint8_t>(f))).first;
    imaging::c32bppDIB dib;
    return dib.LoadPicture_Stream(it->second, iconSize, iconSize, 0, 0, false, 32);
}

bool decodeQt(const Bytes &f, int imageIndex = -1)
{
    QByteArray data = QByteArray::fromRawData(reinterpret_cast<const char *>(f.data()), qsizetype(f.size()));
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    if (imageIndex >= 0)
        reader.jumpToImage(imageIndex);
    QImage image;
    return reader.read(&image);
}

bool decodeStb(const Bytes &f)
{
    int w = 0, h = 0, n = 0;
    unsigned char *p = stbi_load_from_memory(f.data(), int(f.size()), &w, &h, &n, 4);
    stbi_image_free(p);
    return p != nullptr;
}

template <class F> void run(benchmark::State &state, const Bytes &f, F decode)
{
    for (auto _ : state)
        if (!decode(f))
            state.SkipWithError("decode failed");
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(f.size()));
}

void BM_Icon32_Ours(benchmark::State &s) { run(s, corpus().icon, [](const Bytes &f) { return decodeOurs(f, 32); }); }
// Entry 6 is 32 pixels at 32 bits, the one the pipeline picks for 32 x 32.
void BM_Icon32_Qt(benchmark::State &s) { run(s, corpus().icon, [](const Bytes &f) { return decodeQt(f, 5); }); }
void BM_Gif_Ours(benchmark::State &s) { run(s, corpus().gif, [](const Bytes &f) { return decodeOurs(f); }); }
void BM_Gif_Qt(benchmark::State &s) { run(s, corpus().gif, [](const Bytes &f) { return decodeQt(f); }); }
void BM_Gif_Stb(benchmark::State &s) { run(s, corpus().gif, decodeStb); }
void BM_Bmp24_Ours(benchmark::State &s) { run(s, corpus().bmp24, [](const Bytes &f) { return decodeOurs(f); }); }
void BM_Bmp24_Qt(benchmark::State &s) { run(s, corpus().bmp24, [](const Bytes &f) { return decodeQt(f); }); }
void BM_Bmp24_Stb(benchmark::State &s) { run(s, corpus().bmp24, decodeStb); }
void BM_Bmp32_Ours(benchmark::State &s) { run(s, corpus().bmp32, [](const Bytes &f) { return decodeOurs(f); }); }
void BM_Bmp32_Qt(benchmark::State &s) { run(s, corpus().bmp32, [](const Bytes &f) { return decodeQt(f); }); }
void BM_Bmp32_Stb(benchmark::State &s) { run(s, corpus().bmp32, decodeStb); }

BENCHMARK(BM_Icon32_Ours);
BENCHMARK(BM_Icon32_Qt);
BENCHMARK(BM_Gif_Ours)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Gif_Qt)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Gif_Stb)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Bmp24_Ours)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Bmp24_Qt)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Bmp24_Stb)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Bmp32_Ours)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Bmp32_Qt)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Bmp32_Stb)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
