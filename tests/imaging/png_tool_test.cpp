// The sorimba-image tool's decode command: its output line, raw pixel dump and exit
// statuses. Skipped when the tool has not been built (test-only builds).
#include "png_fixture.h"
#include "tool_runner.h"

#include "support/testdata.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace pngtest;
using namespace tooltest;

TEST(PngTool, DecodePrintsTheSurfaceAndDumpsTopDownPixels)
{
    if (!QFile::exists(QString::fromUtf8(SORIMBA_BINARY_DIR) + "/tools/sorimba-image"))
        GTEST_SKIP() << "sorimba-image not built";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // 2 x 2 RGBA: a half-transparent top row over an opaque bottom row.
    const Bytes png = simplePng(2, 2, 8, 6, {{200, 100, 50, 128, 0, 0, 0, 0}, {1, 2, 3, 255, 4, 5, 6, 255}});
    const QString input = dir.filePath("in.png"), raw = dir.filePath("out.raw");
    ASSERT_GT(png.size(), 56u); // shorter files are never decoded
    QFile f(input);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(reinterpret_cast<const char *>(png.data()), qint64(png.size()));
    f.close();

    const ToolRun ok = runTool({"decode", input, "--raw", raw});
    EXPECT_EQ(ok.status, 0) << ok.err.toStdString();
    EXPECT_EQ(ok.out, "size=2x2 type=10 (Png) alpha=1\n");
    QFile dump(raw);
    ASSERT_TRUE(dump.open(QIODevice::ReadOnly));
    const QByteArray bytes = dump.readAll();
    EXPECT_EQ(bytes, QByteArray::fromHex("19326480" "00000000" "030201ff" "060504ff"));

    // Not decodable, not an image, usage.
    Bytes broken = png;
    broken[broken.size() - 14] ^= 0xFF; // inside the IDAT CRC
    QFile b(dir.filePath("broken.png"));
    ASSERT_TRUE(b.open(QIODevice::WriteOnly));
    b.write(reinterpret_cast<const char *>(broken.data()), qint64(broken.size()));
    b.close();
    const ToolRun bad = runTool({"decode", b.fileName()});
    EXPECT_EQ(bad.status, 1);
    EXPECT_TRUE(bad.out.isEmpty());
    EXPECT_EQ(bad.err.count('\n'), 1) << bad.err.toStdString();
    EXPECT_EQ(runTool({"decode", dir.filePath("missing.png")}).status, 1);
    EXPECT_EQ(runTool({"decode"}).status, 2);
    EXPECT_EQ(runTool({"encode", input}).status, 2);
    EXPECT_EQ(runTool({"decode", input, "--raw"}).status, 2);
}
