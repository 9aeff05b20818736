// The sorimba-image tool's apply command: operations in order, the final
// surface line, the pixel dump and BMP output, failures and usage. Skipped when
// the tool has not been built.
#include "png_fixture.h"
#include "tool_runner.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace pngtest;

namespace {

tooltest::ToolRun runApply(const QStringList &args)
{
    return tooltest::runTool(QStringList{"apply"} + args);
}

QString writePng(const QTemporaryDir &dir, const QString &name, const Bytes &png)
{
    QFile f(dir.filePath(name));
    if (!f.open(QIODevice::WriteOnly))
        return {};
    f.write(reinterpret_cast<const char *>(png.data()), qint64(png.size()));
    return f.fileName();
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

TEST(ApplyTool, OperationsRunInOrder)
{
    if (!QFile::exists(QString::fromUtf8(SORIMBA_BINARY_DIR) + "/tools/sorimba-image"))
        GTEST_SKIP() << "sorimba-image not built";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // 2 x 2 RGBA: opaque red, opaque green over opaque blue, transparent.
    const QString input = writePng(dir, "in.png",
                                   simplePng(2, 2, 8, 6, {{255, 0, 0, 255, 0, 255, 0, 255}, {0, 0, 255, 255, 0, 0, 0, 0}}));
    ASSERT_FALSE(input.isEmpty());
    const QString raw = dir.filePath("out.raw");

    struct Case {
        QString ops, line;
        QByteArray pixels;   // top-down B, G, R, A; empty: not checked
    };
    const Case cases[] = {
        {"mirror=x", "size=2x2 type=10 (Png) alpha=1\n", QByteArray::fromHex("00ff00ff" "0000ffff" "00000000" "ff0000ff")},
        {"mirror=y,invert", "size=2x2 type=10 (Png) alpha=1\n",
         QByteArray::fromHex("00ffffff" "00000000" "ffff00ff" "ff00ffff")},
        {"key=FF0000,trim", "size=2x2 type=10 (Png) alpha=1\n", {}},
        {"key=0000FF,trim", "size=2x1 type=10 (Png) alpha=1\n", QByteArray::fromHex("0000ffff" "00ff00ff")},
        {"resize-nearest=4x4", "size=4x4 type=10 (Png) alpha=1\n", {}},
        {"resize=3x3,gray=2", "size=3x3 type=10 (Png) alpha=1\n", {}},
        {"checker=1", "size=2x2 type=64 (Checkerboard) alpha=0\n", QByteArray::fromHex("ffffffff" "c0c0c0ff" "c0c0c0ff" "ffffffff")},
        {"shadow=0:0000FF", "size=2x2 type=7 (PremultipliedBitmap) alpha=1\n", QByteArray::fromHex("ff0000ff" "ff0000ff" "ff0000ff" "00000000")},
        {"shadow=4:000000", "size=10x10 type=7 (PremultipliedBitmap) alpha=1\n", {}},
        {"rotate=90", "size=3x3 type=10 (Png) alpha=1\n", {}},
        {"rotate-nearest=30", "size=3x3 type=10 (Png) alpha=1\n", {}},
        // Half opacity over white: red 255, the others 255 * 128 \ 255 = 128.
        {"render=1x1:50:-1", "size=1x1 type=10 (Png) alpha=0\n", QByteArray::fromHex("8080ffff")},
        {"render=1x1:100:2", "size=1x1 type=10 (Png) alpha=0\n", QByteArray::fromHex("545454ff")},
    };
    for (const Case &c : cases) {
        const tooltest::ToolRun r = runApply({input, c.ops, "--raw", raw});
        EXPECT_EQ(r.status, 0) << c.ops.toStdString() << ": " << r.err.toStdString();
        EXPECT_EQ(r.out, c.line) << c.ops.toStdString();
        if (!c.pixels.isEmpty()) {
            EXPECT_EQ(readAll(raw).toHex(), c.pixels.toHex()) << c.ops.toStdString();
        }
    }

    // BMP output: 32-bit with alpha, 24-bit rows padded to 4 bytes without.
    const QString bmp = dir.filePath("out.bmp");
    ASSERT_EQ(runApply({input, "invert", "--bmp", bmp}).status, 0);
    EXPECT_EQ(readAll(bmp).size(), 54 + 16);
    ASSERT_EQ(runApply({input, "checker=1", "--bmp", bmp, "--raw", raw}).status, 0);
    EXPECT_EQ(readAll(bmp).size(), 54 + 2 * 8);
}

TEST(ApplyTool, FailuresAndUsage)
{
    if (!QFile::exists(QString::fromUtf8(SORIMBA_BINARY_DIR) + "/tools/sorimba-image"))
        GTEST_SKIP() << "sorimba-image not built";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString clear = writePng(dir, "clear.png", simplePng(1, 1, 8, 6, {{0, 0, 0, 0}}));
    // Trimming a fully transparent image fails: status 1, the operation named.
    const tooltest::ToolRun trim = runApply({clear, "invert,trim"});
    EXPECT_EQ(trim.status, 1);
    EXPECT_TRUE(trim.out.isEmpty());
    EXPECT_TRUE(trim.err.contains("trim")) << trim.err.toStdString();
    EXPECT_EQ(runApply({dir.filePath("missing.png"), "invert"}).status, 1);
    for (const QStringList &args : {QStringList{clear}, QStringList{clear, "spin"}, QStringList{clear, "mirror=z"},
                                    QStringList{clear, "resize=4"}, QStringList{clear, "invert", "--raw"},
                                    QStringList{clear, "shadow=2"}, QStringList{clear, "render=1x1:50"},
                                    QStringList{clear, "gray=-1"}})
        EXPECT_EQ(runApply(args).status, 2) << args.join(' ').toStdString();
}
