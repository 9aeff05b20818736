// The sorimba-image tool's encode command: options become PNG properties, an
// existing output is replaced, failures and usage errors have their statuses,
// and texts outside Latin-1 go as iTXt that outside readers (Pillow, pngcheck)
// read back. Skipped when the tool has not been built (test-only builds), and
// the outside readers' parts when a reader is absent.
#include "png_writer_fixture.h"
#include "tool_runner.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
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

struct Outside {
    bool ran = false;
    int status = -1;
    QByteArray out;
};

// Runs an outside program; not `ran` when it cannot be started.
Outside runOutside(const QString &program, const QStringList &args)
{
    QProcess p;
    p.start(program, args);
    Outside r;
    if (!p.waitForStarted(10000))
        return r;
    if (!p.waitForFinished(30000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.ran = true;
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    return r;
}

// The system's Python with Pillow, which reads tEXt, zTXt and iTXt alike.
const QString kPython = QStringLiteral("/usr/bin/python3");
const QString kReadTexts = QStringLiteral("import sys, json\n"
                                          "from PIL import Image\n"
                                          "im = Image.open(sys.argv[1])\n"
                                          "im.load()\n"
                                          "sys.stdout.write(json.dumps(im.text))\n");

bool pillowPresent()
{
    return runOutside(kPython, {"-c", "import PIL"}).status == 0;
}

// An image carrying texts in every form: a standard keyword with Korean
// (iTXt before PLTE), Latin-1 (tEXt), Korean mixed with Latin (iTXt), a long
// Latin-1 text (zTXt) and an empty one.
struct TextFixture {
    QTemporaryDir dir;
    QString in, out;
    const QString longText = QString(1500, QChar(0xE9));
    QJsonObject expected;
    TextFixture()
    {
        in = dir.filePath("in.png");
        out = dir.filePath("out.png");
        writeFile(in, pngtest::simplePng(3, 2, 8, 2, {{10, 20, 30, 40, 50, 60, 70, 80, 90}, {1, 2, 3, 4, 5, 6, 7, 8, 9}}));
        expected = {{"Title", QString::fromUtf8("노래 제목")},
                    {"Mood", QString::fromUtf8("caf\u00e9 au lait")},
                    {QString::fromUtf8("Caf\u00e9 Artist"), QString::fromUtf8("아이유 IU \u266A")},
                    {"Liner notes", longText},
                    {"Empty", ""}};
    }
    tooltest::ToolRun encode()
    {
        QStringList args{"encode", in, out};
        for (const QString &k : QStringList{"title", "Mood", QString::fromUtf8("Caf\u00e9 Artist"), "Liner notes", "Empty"}) {
            const QString key = k == "title" ? "Title" : k;
            args << "--text" << k + "=" + expected.value(key).toString();
        }
        return runTool(args);
    }
};

} // namespace

TEST(PngEncodeTool, TextsOutsideLatin1GoAsInternationalText)
{
    if (!QFile::exists(toolPath()))
        GTEST_SKIP() << "sorimba-image not built";
    TextFixture f;
    const ToolRun r = f.encode();
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    const auto chunks = chunksOf(readFile(f.out));
    EXPECT_EQ(chunkTypes(chunks), "IHDR iTXt PLTE IDAT tEXt iTXt zTXt tEXt IEND");
    ASSERT_EQ(chunks.size(), 9u);
    for (const Chunk &c : chunks)
        EXPECT_TRUE(c.crcOk) << c.type;
    const auto text = [&](std::size_t i) { return QByteArray(reinterpret_cast<const char *>(chunks[i].data.data()), qsizetype(chunks[i].data.size())); };
    // Keyword, NUL, not compressed, method 0, empty language tag and
    // translated keyword, then the UTF-8 text.
    EXPECT_EQ(text(1), QByteArray("Title\0\0\0\0\0", 10) + QString::fromUtf8("노래 제목").toUtf8());
    EXPECT_EQ(text(4), QByteArray("Mood\0caf\xE9 au lait", 17));
    EXPECT_EQ(text(5), QByteArray("Caf\xE9 Artist\0\0\0\0\0", 16) + QString::fromUtf8("아이유 IU \u266A").toUtf8());
    EXPECT_EQ(text(7), QByteArray("Empty\0", 6));
}

TEST(PngEncodeTool, PillowReadsTheTextsBack)
{
    if (!QFile::exists(toolPath()))
        GTEST_SKIP() << "sorimba-image not built";
    if (!pillowPresent())
        GTEST_SKIP() << "Python's Pillow (python3-pil) is not installed: the outside read-back is not checked";
    TextFixture f;
    const ToolRun r = f.encode();
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    const Outside read = runOutside(kPython, {"-c", kReadTexts, f.out});
    ASSERT_EQ(read.status, 0);
    EXPECT_EQ(QJsonDocument::fromJson(read.out).object(), f.expected) << read.out.toStdString();
}

TEST(PngEncodeTool, PngcheckFindsTheTextChunksWellFormed)
{
    if (!QFile::exists(toolPath()))
        GTEST_SKIP() << "sorimba-image not built";
    const QString pngcheck = QStandardPaths::findExecutable("pngcheck");
    if (pngcheck.isEmpty())
        GTEST_SKIP() << "pngcheck is not installed: the outside check is not made";
    TextFixture f;
    const ToolRun r = f.encode();
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    // -t7 prints the texts, Latin-1 letters above 127 as escapes; iTXt text
    // is told by its UTF-8 length (counted with its end).
    const Outside texts = runOutside(pngcheck, {"-t7", f.out});
    ASSERT_EQ(texts.status, 0) << texts.out.toStdString();
    const QByteArray said = texts.out.mid(texts.out.indexOf('\n') + 1);
    EXPECT_TRUE(said.startsWith("Title:\n    (no translated keyword, 14 bytes of UTF-8 text)\n"
                                "Mood:\n    caf\\E9 au lait\n"
                                "Caf\\E9 Artist:\n    (no translated keyword, 17 bytes of UTF-8 text)\n"
                                "Liner notes:\n(compressed zTXt text)\n"
                                "Empty:\n"))
        << said.toStdString();
    EXPECT_TRUE(said.contains("\nOK: ")) << said.toStdString();
    // -v tells each iTXt as not compressed and without a language tag.
    const Outside chunks = runOutside(pngcheck, {"-v", f.out});
    ASSERT_EQ(chunks.status, 0) << chunks.out.toStdString();
    EXPECT_EQ(chunks.out.count("uncompressed, no language tag"), 2) << chunks.out.toStdString();
    EXPECT_TRUE(chunks.out.contains("No errors detected")) << chunks.out.toStdString();
}

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
    EXPECT_EQ(ok.out, "size=3x2 type=10 (Png) alpha=0\n");
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
    EXPECT_EQ(runTool({"decode", out}).out, "size=3x2 type=10 (Png) alpha=0\n");

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
