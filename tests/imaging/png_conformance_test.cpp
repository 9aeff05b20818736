// PngSuite against libpng: every valid file decodes to the reference pixels (16-bit
// samples by their high byte, premultiplied by truncation), with and without the
// compression library; every corrupt file ends without pixels.
#include "png_fixture.h"

#include "imaging/parsers.h"
#include "support/testdata.h"

#include <QDir>
#include <QFile>
#include <QTemporaryFile>
#include <gtest/gtest.h>
#include <png.h>

#include <csetjmp>

using namespace pngtest;

namespace {

struct Reference {
    int width = 0, height = 0;
    bool alpha = false;
    Bytes bgra; // top row first, premultiplied
};

struct MemoryReader {
    const Bytes *bytes;
    std::size_t pos;
};

void readFromMemory(png_structp png, png_bytep out, png_size_t n)
{
    auto *r = static_cast<MemoryReader *>(png_get_io_ptr(png));
    if (r->bytes->size() - r->pos < n)
        png_error(png, "truncated");
    std::memcpy(out, r->bytes->data() + r->pos, n);
    r->pos += n;
}

// Expands everything to RGBA at the file's depth, then reduces and premultiplies.
bool referenceDecode(const Bytes &file, Reference &ref)
{
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    MemoryReader reader{&file, 0};
    Bytes buffer;
    std::vector<png_bytep> rows;
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    png_set_read_fn(png, &reader, readFromMemory);
    png_read_info(png, info);
    const int type = png_get_color_type(png, info);
    png_bytep trans = nullptr;
    int transCount = 0;
    png_color_16p transColour = nullptr;
    const bool hasTrns = png_get_tRNS(png, info, &trans, &transCount, &transColour) != 0;
    const png_color_16 key = hasTrns && transColour ? *transColour : png_color_16{};
    png_set_expand(png);
    png_set_gray_to_rgb(png);
    png_set_add_alpha(png, 0xFFFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    const int w = int(png_get_image_width(png, info)), h = int(png_get_image_height(png, info));
    const int depth = png_get_bit_depth(png, info);
    const std::size_t rowBytes = png_get_rowbytes(png, info);
    buffer.resize(rowBytes * std::size_t(h));
    rows.resize(std::size_t(h));
    for (int y = 0; y < h; ++y)
        rows[std::size_t(y)] = buffer.data() + rowBytes * std::size_t(y);
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);

    ref.width = w;
    ref.height = h;
    ref.alpha = (type & PNG_COLOR_MASK_ALPHA) != 0 || hasTrns;
    ref.bgra.assign(std::size_t(w) * std::size_t(h) * 4, 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const std::uint8_t *s = rows[std::size_t(y)] + std::size_t(x) * (depth == 16 ? 8 : 4);
            unsigned r, g, b, a;
            if (depth == 16) {
                r = s[0], g = s[2], b = s[4], a = s[6];
                // Our transparency key for 16-bit grey and RGB compares high bytes only.
                if (hasTrns && (type == PNG_COLOR_TYPE_GRAY || type == PNG_COLOR_TYPE_RGB)) {
                    const bool grey = type == PNG_COLOR_TYPE_GRAY;
                    const unsigned kr = (grey ? key.gray : key.red) >> 8, kg = (grey ? key.gray : key.green) >> 8,
                                   kb = (grey ? key.gray : key.blue) >> 8;
                    a = (r == kr && g == kg && b == kb) ? 0 : 255;
                }
            } else {
                r = s[0], g = s[1], b = s[2], a = s[3];
            }
            std::uint8_t *d = &ref.bgra[(std::size_t(y) * std::size_t(w) + std::size_t(x)) * 4];
            if (a != 0) {
                d[0] = std::uint8_t(b * a / 255);
                d[1] = std::uint8_t(g * a / 255);
                d[2] = std::uint8_t(r * a / 255);
                d[3] = std::uint8_t(a);
            }
        }
    return true;
}

void writeToMemory(png_structp png, png_bytep data, png_size_t n)
{
    auto *out = static_cast<Bytes *>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + n);
}

// Encodes random samples with one forced row filter. Palette images get 16 entries,
// the first 10 with transparency.
// level: the compression level, -1 for libpng's default.
bool writePng(Bytes &out, int w, int h, int depth, int type, bool interlaced, int filter, int level,
              std::vector<png_color> &palette, std::vector<png_byte> &alpha, std::vector<png_bytep> &rows);

Bytes encodeRandom(int w, int h, int depth, int type, bool interlaced, int filter, std::uint32_t rngState,
                   int level = -1)
{
    auto next = [&rngState]() {
        rngState = rngState * 1664525u + 1013904223u;
        return rngState >> 8;
    };
    const int entries = std::min(16, 1 << depth);
    std::vector<png_color> palette(static_cast<std::size_t>(entries));
    std::vector<png_byte> alpha(static_cast<std::size_t>(std::min(10, entries)));
    for (auto &c : palette)
        c = {png_byte(next()), png_byte(next()), png_byte(next())};
    for (auto &a : alpha)
        a = png_byte(next());
    const int channels = type == PNG_COLOR_TYPE_RGB ? 3 : type == PNG_COLOR_TYPE_RGBA ? 4 : type == PNG_COLOR_TYPE_GA ? 2 : 1;
    const std::size_t rowBytes = (std::size_t(w) * std::size_t(channels * depth) + 7) / 8;
    Bytes pixels(rowBytes * std::size_t(h));
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        // Smooth ramps with noise so that every predictor has work to do.
        pixels[i] = std::uint8_t((i % rowBytes) * 3 + (i / rowBytes) * 5 + (next() % 23));
        if (type == PNG_COLOR_TYPE_PALETTE && depth == 8)
            pixels[i] %= std::uint8_t(entries);
    }
    std::vector<png_bytep> rows(static_cast<std::size_t>(h));
    for (int y = 0; y < h; ++y)
        rows[std::size_t(y)] = pixels.data() + rowBytes * std::size_t(y);

    Bytes out;
    return writePng(out, w, h, depth, type, interlaced, filter, level, palette, alpha, rows) ? out : Bytes();
}

// Kept apart from the buffers it fills: nothing here lives across the longjmp.
bool writePng(Bytes &out, int w, int h, int depth, int type, bool interlaced, int filter, int level,
              std::vector<png_color> &palette, std::vector<png_byte> &alpha, std::vector<png_bytep> &rows)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, &out, writeToMemory, nullptr);
    png_set_IHDR(png, info, png_uint_32(w), png_uint_32(h), depth, type,
                 interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_set_filter(png, 0, filter);
    if (level >= 0)
        png_set_compression_level(png, level);
    if (type == PNG_COLOR_TYPE_PALETTE) {
        png_set_PLTE(png, info, palette.data(), int(palette.size()));
        png_set_tRNS(png, info, alpha.data(), int(alpha.size()), nullptr);
    }
    png_write_info(png, info);
    png_write_image(png, rows.data());
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}

QStringList suiteFiles()
{
    return QDir(testsupport::testdataDir("pngsuite")).entryList({"*.png"}, QDir::Files, QDir::Name);
}

Bytes readFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray b = f.readAll();
    return Bytes(b.begin(), b.end());
}

// Number of rows that differ from the reference.
int differingRows(const imaging::c32bppDIB &dib, const Reference &ref)
{
    int bad = 0;
    const std::size_t rowBytes = std::size_t(ref.width) * 4;
    for (int y = 0; y < ref.height; ++y) {
        const std::uint8_t *ours = dib.BitsPointer() + std::size_t(dib.Height() - 1 - y) * rowBytes;
        if (std::memcmp(ours, ref.bgra.data() + std::size_t(y) * rowBytes, rowBytes) != 0)
            ++bad;
    }
    return bad;
}

} // namespace

TEST(PngConformance, ValidFilesMatchTheReference)
{
    SORIMBA_REQUIRE_TESTDATA("pngsuite");
    int checked = 0;
    for (const QString &name : suiteFiles()) {
        if (name.startsWith('x'))
            continue;
        const Bytes file = readFile(testsupport::testdataDir("pngsuite") + '/' + name);
        Reference ref;
        ASSERT_TRUE(referenceDecode(file, ref)) << name.toStdString();
        for (bool library : {true, false}) {
            imaging::c32bppDIB dib;
            ASSERT_TRUE(loadPng(file, dib, library)) << name.toStdString();
            ASSERT_NE(dib.Handle(), 0u) << name.toStdString() << " library " << library;
            ASSERT_EQ(dib.Width(), ref.width);
            ASSERT_EQ(dib.Height(), ref.height);
            EXPECT_EQ(differingRows(dib, ref), 0) << name.toStdString() << " library " << library;
            EXPECT_EQ(dib.Alpha(), ref.alpha) << name.toStdString();
            EXPECT_EQ(dib.ImageType(), imaging::Png);
        }
        ++checked;
    }
    EXPECT_GT(checked, 150);
}

TEST(PngConformance, EveryFilterColourTypeAndDepthMatchesTheReference)
{
    const int combos[][2] = {{1, 0}, {2, 0}, {4, 0}, {8, 0}, {16, 0}, {8, 2}, {16, 2}, {1, 3}, {2, 3},
                             {4, 3}, {8, 3}, {8, 4}, {16, 4}, {8, 6}, {16, 6}};
    const int filters[] = {PNG_FILTER_NONE, PNG_FILTER_SUB, PNG_FILTER_UP, PNG_FILTER_AVG, PNG_FILTER_PAETH};
    std::uint32_t rngState = 1;
    for (const auto &[depth, type] : combos)
        for (int filter : filters)
            for (bool interlaced : {false, true}) {
                const Bytes file = encodeRandom(37, 11, depth, type, interlaced, filter, ++rngState);
                Reference ref;
                ASSERT_TRUE(referenceDecode(file, ref));
                imaging::c32bppDIB dib;
                ASSERT_TRUE(loadPng(file, dib));
                ASSERT_NE(dib.Handle(), 0u);
                EXPECT_EQ(differingRows(dib, ref), 0)
                    << "depth " << depth << " type " << type << " filter " << filter << " interlaced " << interlaced;
            }
}

// Images whose inflated data is far larger than the decoder's working buffer: the
// buffer slides many times, inside stored blocks too (level 0), with rows of a few
// bytes up to rows longer than the 32 KB window.
TEST(PngConformance, LargeImagesMatchTheReference)
{
    struct Case {
        int w, h, depth, type, level;
    };
    const Case cases[] = {
        {640, 300, 8, 6, -1}, {640, 300, 8, 2, 0}, {1000, 200, 16, 6, 1}, {5000, 12, 16, 6, -1},
        {3000, 600, 1, 0, 9}, {900, 400, 8, 3, 0},  {777, 333, 8, 4, -1},
    };
    std::uint32_t rngState = 99;
    for (const Case &c : cases)
        for (bool interlaced : {false, true}) {
            const Bytes file = encodeRandom(c.w, c.h, c.depth, c.type, interlaced, PNG_ALL_FILTERS, ++rngState, c.level);
            Reference ref;
            ASSERT_TRUE(referenceDecode(file, ref));
            for (bool library : {true, false}) {
                imaging::c32bppDIB dib;
                ASSERT_TRUE(loadPng(file, dib, library));
                ASSERT_NE(dib.Handle(), 0u);
                EXPECT_EQ(differingRows(dib, ref), 0) << c.w << " x " << c.h << " depth " << c.depth << " type "
                                                      << c.type << " interlaced " << interlaced << " library " << library;
            }
        }
}

TEST(PngConformance, CorruptFilesEndWithoutPixels)
{
    SORIMBA_REQUIRE_TESTDATA("pngsuite");
    int checked = 0;
    for (const QString &name : suiteFiles()) {
        if (!name.startsWith('x'))
            continue;
        const Bytes file = readFile(testsupport::testdataDir("pngsuite") + '/' + name);
        imaging::c32bppDIB dib;
        const bool isPng = loadPng(file, dib);
        // A mangled signature is not PNG at all; everything else is PNG that fails.
        EXPECT_EQ(isPng, !name.startsWith("xs") && !name.startsWith("xcr") && !name.startsWith("xlf"))
            << name.toStdString();
        EXPECT_EQ(dib.Handle(), 0u) << name.toStdString();
        // Without CRC checks some decode; none may crash.
        imaging::c32bppDIB other;
        loadPng(file, other, false);
        ++checked;
    }
    EXPECT_EQ(checked, 14);
}

TEST(PngConformance, FileAndStreamLoadsAgree)
{
    SORIMBA_REQUIRE_TESTDATA("pngsuite");
    for (const char *name : {"basi6a16.png", "oi9n2c16.png", "tbrn2c08.png"}) {
        const QString path = testsupport::testdataDir("pngsuite") + '/' + name;
        const Bytes file = readFile(path);
        imaging::c32bppDIB fromStream, fromFile;
        ASSERT_TRUE(loadPng(file, fromStream));
        const int fd = imaging::OpenFileHandle(path, true);
        ASSERT_GE(fd, 0);
        imaging::cPNGparser parser;
        std::uint32_t token = 0;
        EXPECT_TRUE(parser.LoadFile(fd, path, fromFile, token));
        imaging::CloseFileHandle(fd);
        ASSERT_NE(fromFile.Handle(), 0u) << name;
        EXPECT_EQ(std::memcmp(fromFile.BitsPointer(), fromStream.BitsPointer(), std::size_t(fromStream.scanWidth()) * fromStream.Height()), 0) << name;
        EXPECT_EQ(fromFile.Alpha(), fromStream.Alpha());
    }
}

TEST(PngConformance, FilesOf56BytesOrLessAreNotExamined)
{
    // A signature followed by zeros: 56 bytes are not PNG, 57 are (and fail to decode).
    for (int size : {56, 57}) {
        QTemporaryFile tmp;
        ASSERT_TRUE(tmp.open());
        Bytes bytes = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
        bytes.resize(std::size_t(size), 0);
        tmp.write(reinterpret_cast<const char *>(bytes.data()), size);
        tmp.flush();
        const int fd = imaging::OpenFileHandle(tmp.fileName(), true);
        ASSERT_GE(fd, 0);
        imaging::c32bppDIB dib;
        imaging::cPNGparser parser;
        std::uint32_t token = 0;
        EXPECT_EQ(parser.LoadFile(fd, tmp.fileName(), dib, token), size == 57);
        EXPECT_EQ(dib.Handle(), 0u);
        imaging::CloseFileHandle(fd);
    }
}

TEST(PngConformance, MutatedFilesNeverCrash)
{
    SORIMBA_REQUIRE_TESTDATA("pngsuite");
    std::vector<Bytes> files;
    for (const QString &name : suiteFiles())
        files.push_back(readFile(testsupport::testdataDir("pngsuite") + '/' + name));
    std::uint32_t rngState = 2024;
    auto next = [&rngState]() {
        rngState = rngState * 1103515245u + 12345u;
        return rngState >> 8;
    };
    // Mutations after the IHDR chunk (offset 33), so that no file claims a huge size:
    // flipped bits, random bytes, truncation, forged lengths, duplicated runs.
    for (int i = 0; i < 1500; ++i) {
        Bytes f = files[next() % files.size()];
        for (int m = 1 + int(next() % 4); m > 0 && f.size() > 34; --m) {
            const std::size_t pos = 33 + next() % (f.size() - 33);
            switch (next() % 5) {
            case 0:
                f[pos] ^= std::uint8_t(1u << (next() % 8));
                break;
            case 1:
                f[pos] = std::uint8_t(next());
                break;
            case 2:
                f.resize(pos);
                break;
            case 3:
                if (pos + 4 <= f.size()) {
                    const std::uint32_t v = next() % 70000;
                    for (int k = 0; k < 4; ++k)
                        f[pos + std::size_t(k)] = std::uint8_t(v >> (24 - 8 * k));
                }
                break;
            default: {
                const Bytes run(f.begin() + 33, f.begin() + long(std::min<std::size_t>(f.size(), 33 + next() % 40)));
                f.insert(f.begin() + long(pos), run.begin(), run.end());
                break;
            }
            }
        }
        for (bool library : {true, false}) {
            imaging::c32bppDIB dib;
            loadPng(f, dib, library);
            if (dib.Handle() != 0) {
                ASSERT_EQ(dib.ImageType(), imaging::Png);
            }
        }
    }
}

// Files larger than the decoder's working buffer, with bits flipped inside the image
// data and without CRC checks, so that the damage reaches the inflater and the rows
// while the buffer slides.
TEST(PngConformance, DamagedLargeImageDataNeverCrashes)
{
    const Bytes files[] = {encodeRandom(300, 200, 8, PNG_COLOR_TYPE_RGBA, true, PNG_ALL_FILTERS, 5),
                           encodeRandom(700, 100, 8, PNG_COLOR_TYPE_RGB, false, PNG_ALL_FILTERS, 6, 1),
                           encodeRandom(900, 300, 8, PNG_COLOR_TYPE_PALETTE, false, PNG_FILTER_NONE, 7, 0)};
    std::uint32_t rngState = 77;
    auto next = [&rngState]() {
        rngState = rngState * 1103515245u + 12345u;
        return rngState >> 8;
    };
    int decoded = 0;
    for (int i = 0; i < 150; ++i) {
        Bytes f = files[i % 3];
        // The first IDAT starts after the signature, IHDR and, for palette files, PLTE and tRNS.
        const std::size_t start = 41 + (i % 3 == 2 ? 12 + 48 + 12 + 10 : 0);
        for (int m = 1 + int(next() % 3); m > 0; --m)
            f[start + next() % (f.size() - start - 12)] ^= std::uint8_t(1u << (next() % 8));
        imaging::c32bppDIB dib;
        loadPng(f, dib, false);
        decoded += dib.Handle() != 0;
    }
    EXPECT_LT(decoded, 150);
}
