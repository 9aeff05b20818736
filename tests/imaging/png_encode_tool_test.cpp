// The sorimba-image tool's encode command: options become PNG properties, an
// existing output is replaced, failures and usage errors have their statuses.
// Skipped when the tool has not been built (test-only builds).
#include "png_writer_fixture.h"
#include "tool_runner.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace pngwritetest;
using namespace tooltest;

namespace {

bool writeFile(const QString &path, const Bytes &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) &&
           f.write(reinterpret_cast<const char *>(bytes.data()), qint64(bytes.size())) == qint64(bytes.size());
}

Bytes readFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray b = f.readAll();
    return Bytes(b.begin(), b.end());
}

} // namespace

TEST(PngEncodeTool, EncodeWritesThePropertiesAndReplacesTheOutput)
{
    if (!QFile::exists(toolPath()))
        GTEST_SKIP() << "sorimba-image not built";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // 3 x 2 RGB, enough bytes to be examined as PNG.
    const Bytes input = pngtest::simplePng(3, 2, 8, 2, {{10, 20, 30, 40, 50, 60, 70, 80, 90}, {1, 2, 3, 4, 5, 6, 7, 8, 9}});
    const QString in = dir.filePath("in.png"), out = dir.filePath("out.png");
    ASSERT_TRUE(writeFile(in, input));
    ASSERT_TRUE(writeFile(out, {1, 2, 3}));   // replaced without a question

    const ToolRun ok = runTool({"encode", in, out, "--filter", "3", "--text", "title=Sea", "--text", "Mood=calm",
                                "--time", "2024-05-06T07:08:09", "--background", "FF8000"});
    EXPECT_EQ(ok.status, 0) << ok.err.toStdString();
    EXPECT_EQ(ok.out, runTool({"decode", in}).out);
    EXPECT_EQ(ok.out, "size=3x2 type=10 alpha=0\n");
    const auto chunks = chunksOf(readFile(out));
    EXPECT_EQ(chunkTypes(chunks), "IHDR tEXt PLTE bKGD IDAT tIME tEXt IEND");
    ASSERT_EQ(chunks.size(), 8u);
    EXPECT_EQ(std::string(chunks[1].data.begin(), chunks[1].data.end()), std::string("Title\0Sea", 9));
    EXPECT_EQ(chunks[3].data, Bytes{6});   // orange appended after the six colours
    EXPECT_EQ(Bytes(chunks[2].data.end() - 3, chunks[2].data.end()), (Bytes{0xFF, 0x80, 0x00}));
    EXPECT_EQ(chunks[5].data, (Bytes{0x07, 0xE8, 5, 6, 7, 8, 9}));
    EXPECT_EQ(std::string(chunks[6].data.begin(), chunks[6].data.end()), std::string("Mood\0calm", 9));
    const Bytes rows = imageData(chunks, 8);
    ASSERT_EQ(rows.size(), 8u);
    EXPECT_EQ(rows[0], 2);   // mode 3: Up
    EXPECT_EQ(rows[4], 2);
    EXPECT_EQ(runTool({"decode", out}).out, "size=3x2 type=10 alpha=0\n");

    // Failures: one line of reason and status 1.
    for (const QStringList &args : {QStringList{"encode", dir.filePath("missing.png"), out},
                                    QStringList{"encode", in, dir.filePath("no/such/folder.png")},
                                    QStringList{"encode", in, out, "--text", QString::fromUtf8("제목=x")},
                                    QStringList{"encode", in, out, "--time", "soon"}}) {
        const ToolRun bad = runTool(args);
        EXPECT_EQ(bad.status, 1) << args.join(' ').toStdString();
        EXPECT_TRUE(bad.out.isEmpty());
        EXPECT_EQ(bad.err.count('\n'), 1) << bad.err.toStdString();
    }
    // Usage errors.
    for (const QStringList &args : {QStringList{"encode", in}, QStringList{"encode", in, out, "--filter"},
                                    QStringList{"encode", in, out, "--filter", "x"},
                                    QStringList{"encode", in, out, "--text", "novalue"},
                                    QStringList{"encode", in, out, "--background", "12345"},
                                    QStringList{"encode", in, out, "--colour", "1"}})
        EXPECT_EQ(runTool(args).status, 2) << args.join(' ').toStdString();
}
