// The sorimba-image tool on icons, GIF and bitmaps: decode with the icon
// entry options, and the info listing of an icon directory.
#include "formats_fixture.h"
#include "tool_runner.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace fmttest;
using namespace tooltest;

TEST(ImageTool, DecodesEveryFormatAndListsIcons)
{
    if (!QFile::exists(QString::fromUtf8(SORIMBA_BINARY_DIR) + "/tools/sorimba-image"))
        GTEST_SKIP() << "sorimba-image not built";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    IconImage png;
    png.width = png.height = 40;
    png.png = pngtest::simplePng(40, 40, 8, 2, std::vector<Bytes>(40, Bytes(120, 7)));
    png.dirBits = 0;
    const QString ico = dir.filePath("a.ico");
    ASSERT_TRUE(writeFile(ico, iconFile({solidImage(16, 8), solidImage(32, 32), png})));
    const QString bmp = dir.filePath("a.bmp");
    ASSERT_TRUE(writeFile(bmp, bmp32(4, 4, std::vector<std::uint32_t>(16, 0x80402010))));

    // Defaults: 32 x 32 at 32 bits.
    ToolRun r = runTool({"decode", ico});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, "size=32x32 type=8 (AlphaIcon) alpha=1\n");
    r = runTool({"decode", ico, "--icon", "16x16", "--depth", "8", "--raw", dir.filePath("o.raw")});
    EXPECT_EQ(r.out, "size=16x16 type=3 (Icon) alpha=0\n");
    EXPECT_EQ(QFileInfo(dir.filePath("o.raw")).size(), 16 * 16 * 4);
    r = runTool({"decode", ico, "--icon", "40x40", "--depth", "24"});
    EXPECT_EQ(r.out, "size=40x40 type=11 (PngIcon) alpha=0\n");
    r = runTool({"decode", bmp});
    EXPECT_EQ(r.out, "size=4x4 type=7 (PremultipliedBitmap) alpha=1\n");

    r = runTool({"info", ico});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "entry=1 size=16x16 bits=8 png=0\n"
                     "entry=2 size=32x32 bits=32 png=0\n"
                     "entry=3 size=40x40 bits=24 png=1\n");
    r = runTool({"info", bmp});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.out.isEmpty());
    EXPECT_EQ(r.err.count('\n'), 1);

    EXPECT_EQ(runTool({"decode", ico, "--icon", "16"}).status, 2);
    EXPECT_EQ(runTool({"decode", ico, "--depth"}).status, 2);
    EXPECT_EQ(runTool({"info", ico, "extra"}).status, 2);
    EXPECT_EQ(runTool({"info", dir.filePath("missing")}).status, 1);
}
