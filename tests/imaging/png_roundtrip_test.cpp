// Round trip through the PNG encoder: every test image the engine decodes is
// encoded with each filter mode, decoded again by libpng, and must give the
// engine's pixels back; every output must pass pngcheck.
#include "png_writer_fixture.h"

#include "support/testdata.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <png.h>

#include <csetjmp>

using namespace pngwritetest;

namespace {

using Loader = bool (*)(const QString &path, imaging::c32bppDIB &dib);

Bytes readFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray b = f.readAll();
    return Bytes(b.begin(), b.end());
}

bool loadWithPngParser(const QString &path, imaging::c32bppDIB &dib)
{
    return pngtest::loadPng(readFile(path), dib) && dib.Handle() != 0;
}

// One folder of test images, the files in it that the engine must decode, and
// how the engine decodes them.
struct Suite {
    const char *folder;
    const char *pattern;
    bool (*skip)(const QString &name);
    Loader load;
};

bool none(const QString &) { return false; }   // every file must decode
bool corruptPng(const QString &name) { return name.startsWith('x'); }

// Icon, cursor and bitmap files through the loading pipeline; whether each
// one decodes is the formats' conformance test's business, so a file the
// engine refuses is passed over here.
bool loadIfDecodable(const QString &path, imaging::c32bppDIB &dib)
{
    dib.LoadPicture_File(path);
    return true;
}

const Suite kSuites[] = {
    {"pngsuite", "*.png", corruptPng, loadWithPngParser},
    {"ico-cur/image-rs", "*.ico", none, loadIfDecodable},
    {"ico-cur/pillow", "*.ico", none, loadIfDecodable},
    {"ico-cur/pillow", "*.cur", none, loadIfDecodable},
    {"ico-cur/wuffs", "*.ico", none, loadIfDecodable},
    {"bmpsuite/g", "*.bmp", none, loadIfDecodable},
};

struct Straight {
    int width = 0, height = 0;
    Bytes rgba;   // top row first
    int warnings = 0;
};

struct MemoryReader {
    const Bytes *bytes;
    std::size_t pos;
    int *warnings;
};

void readFromMemory(png_structp png, png_bytep out, png_size_t n)
{
    auto *r = static_cast<MemoryReader *>(png_get_io_ptr(png));
    if (r->bytes->size() - r->pos < n)
        png_error(png, "truncated");
    std::memcpy(out, r->bytes->data() + r->pos, n);
    r->pos += n;
}

void onError(png_structp png, png_const_charp) { longjmp(png_jmpbuf(png), 1); }
void onWarning(png_structp png, png_const_charp)
{
    ++*static_cast<MemoryReader *>(png_get_io_ptr(png))->warnings;
}

// libpng's reading, expanded to 8-bit straight RGBA.
bool libpngDecode(const Bytes &file, Straight &out)
{
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, onError, nullptr);
    png_infop info = png_create_info_struct(png);
    MemoryReader reader{&file, 0, &out.warnings};
    std::vector<png_bytep> rows;
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    png_set_read_fn(png, &reader, readFromMemory);
    png_set_error_fn(png, nullptr, onError, onWarning);
    png_read_info(png, info);
    png_set_expand(png);
    png_set_gray_to_rgb(png);
    png_set_strip_16(png);
    png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    png_read_update_info(png, info);
    out.width = int(png_get_image_width(png, info));
    out.height = int(png_get_image_height(png, info));
    out.rgba.assign(std::size_t(out.width) * std::size_t(out.height) * 4, 0);
    rows.resize(std::size_t(out.height));
    for (int y = 0; y < out.height; ++y)
        rows[std::size_t(y)] = out.rgba.data() + std::size_t(y) * std::size_t(out.width) * 4;
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

// Compares libpng's pixels, premultiplied by truncation, with the surface's.
// Returns the largest colour difference met (only partly transparent pixels
// may differ), or -1 when alpha or an opaque or clear pixel differs.
int compare(const Straight &ref, const imaging::c32bppDIB &dib)
{
    int worst = 0;
    for (int y = 0; y < ref.height; ++y)
        for (int x = 0; x < ref.width; ++x) {
            const std::uint8_t *s = &ref.rgba[(std::size_t(y) * std::size_t(ref.width) + std::size_t(x)) * 4];
            const std::uint8_t *d =
                dib.BitsPointer() + (std::size_t(dib.Height() - 1 - y) * std::size_t(dib.Width()) + std::size_t(x)) * 4;
            const int a = dib.Alpha() ? d[3] : 255;
            if (s[3] != a)
                return -1;
            for (int c = 0; c < 3; ++c) {
                const int back = s[2 - c] * a / 255;
                const int diff = std::abs(back - (a == 0 ? 0 : d[c]));
                if (diff != 0 && (a == 0 || a == 255))
                    return -1;
                worst = std::max(worst, diff);
            }
        }
    return worst;
}

struct Encoded {
    QString name;
    Bytes png;
};

// Every image of every suite, encoded with filter modes 0 to 6.
template <typename Visit>
int forEachEncoding(Visit visit)
{
    int images = 0;
    for (const Suite &suite : kSuites) {
        const QString dir = testsupport::testdataDir(QString::fromLatin1(suite.folder));
        for (const QString &name : QDir(dir).entryList({QString::fromLatin1(suite.pattern)}, QDir::Files, QDir::Name)) {
            if (suite.skip(name))
                continue;
            imaging::c32bppDIB dib;
            EXPECT_TRUE(suite.load(dir + '/' + name, dib)) << suite.folder << '/' << name.toStdString();
            if (dib.Handle() == 0)
                continue;
            ++images;
            for (int mode = 0; mode <= 6; ++mode) {
                EXPECT_TRUE(dib.PngPropertySet(imaging::pngFilterMode, mode));
                const Bytes png = encode(dib);
                EXPECT_FALSE(png.empty()) << name.toStdString() << " mode " << mode;
                visit(QStringLiteral("%1-%2-m%3").arg(QString::fromLatin1(suite.folder).replace('/', '_'), name).arg(mode),
                      dib, png);
            }
        }
    }
    return images;
}

} // namespace

TEST(PngRoundTrip, LibpngReadsBackTheEnginePixels)
{
    SORIMBA_REQUIRE_TESTDATA("pngsuite");
    int worst = 0;
    const int images = forEachEncoding([&](const QString &name, const imaging::c32bppDIB &dib, const Bytes &png) {
        Straight ref;
        ASSERT_TRUE(libpngDecode(png, ref)) << name.toStdString();
        EXPECT_EQ(ref.warnings, 0) << name.toStdString();
        ASSERT_EQ(ref.width, dib.Width()) << name.toStdString();
        ASSERT_EQ(ref.height, dib.Height()) << name.toStdString();
        const int diff = compare(ref, dib);
        EXPECT_GE(diff, 0) << name.toStdString();
        EXPECT_LE(diff, 1) << name.toStdString();
        worst = std::max(worst, diff);
    });
    EXPECT_GT(images, 150);
    std::printf("round trip: %d images x 7 filter modes; largest colour difference of partly transparent pixels: %d\n",
                images, worst);
}

TEST(PngRoundTrip, EveryOutputPassesPngcheck)
{
    SORIMBA_REQUIRE_TESTDATA("pngsuite");
    const QString pngcheck = QStandardPaths::findExecutable("pngcheck");
    if (pngcheck.isEmpty())
        GTEST_SKIP() << "pngcheck is not installed: the encoder's outputs are not checked with it";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QStringList files;
    forEachEncoding([&](const QString &name, const imaging::c32bppDIB &, const Bytes &png) {
        QFile f(dir.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(reinterpret_cast<const char *>(png.data()), qint64(png.size()));
        files << f.fileName();
    });
    // One run over all files: -q prints only the files with errors.
    QProcess p;
    p.start(pngcheck, QStringList{"-q"} + files);
    ASSERT_TRUE(p.waitForFinished(120000));
    EXPECT_EQ(p.exitCode(), 0);
    EXPECT_EQ(QString::fromLocal8Bit(p.readAllStandardOutput() + p.readAllStandardError()).trimmed(), QString());
    EXPECT_GT(files.size(), 1000);
}
