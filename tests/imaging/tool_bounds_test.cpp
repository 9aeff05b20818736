// The sorimba-image tool's bounds: what it writes over (regular files only,
// by rename; "-" is standard output), its pixel limit for decoded and made
// images, sizes that are not positive, and large bitmaps of the engine's own
// making read back. Skipped when the tool has not been built.
#include "formats_fixture.h"
#include "tool_runner.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

using namespace fmttest;
using namespace tooltest;

namespace {

// A 24-bit bitmap header claiming width x height, followed by `dataBytes`
// zero bytes (fewer than the claim needs, when so chosen).
Bytes bmp24Claim(std::int32_t width, std::int32_t height, std::uint32_t dataBytes)
{
    Bytes f{'B', 'M'};
    le32(f, 54 + dataBytes);
    le32(f, 0);
    le32(f, 54);
    le32(f, 40);
    le32(f, std::uint32_t(width));
    le32(f, std::uint32_t(height));
    le16(f, 1);
    le16(f, 24);
    for (int i = 0; i < 6; ++i)
        le32(f, 0);
    f.resize(f.size() + dataBytes, 0);
    return f;
}

mode_t kindOf(const QString &path)
{
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & S_IFMT : 0;
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

struct ToolFixture : ::testing::Test {
    QTemporaryDir dir;
    QString png;
    void SetUp() override
    {
        if (!QFile::exists(toolPath()))
            GTEST_SKIP() << "sorimba-image not built";
        ASSERT_TRUE(dir.isValid());
        png = dir.filePath("in.png");
        ASSERT_TRUE(writeFile(png, pngtest::simplePng(10, 10, 8, 2, std::vector<Bytes>(10, Bytes(30, 90)))));
    }
};

} // namespace

using ImageToolOutputs = ToolFixture;

TEST_F(ImageToolOutputs, OnlyRegularFilesAreReplaced)
{
    const QString fifo = dir.filePath("pipe");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    // A null device of our own (making one needs root; the row is left out
    // otherwise), so that a tool that replaced it harms nothing.
    const QString device = dir.filePath("null");
    const bool haveDevice = ::mknod(QFile::encodeName(device).constData(), S_IFCHR | 0666, makedev(1, 3)) == 0;
    const QString folder = dir.filePath("folder");
    ASSERT_TRUE(QDir().mkpath(folder));

    struct Target {
        QString path;
        mode_t kind;
        const char *said;
    };
    QList<Target> targets{{fifo, S_IFIFO, "a pipe"}, {folder, S_IFDIR, "a folder"}};
    if (haveDevice)
        targets.append({device, S_IFCHR, "a device"});
    for (const Target &t : targets) {
        for (const QStringList &args : {QStringList{"encode", png, t.path}, QStringList{"apply", png, "invert", "--bmp", t.path},
                                        QStringList{"apply", png, "invert", "--raw", t.path},
                                        QStringList{"decode", png, "--raw", t.path}}) {
            const ToolRun r = runTool(args);
            EXPECT_EQ(r.status, 1) << args.join(' ').toStdString();
            EXPECT_TRUE(r.err.contains(t.said)) << r.err.toStdString();
            EXPECT_EQ(kindOf(t.path), t.kind) << args.join(' ').toStdString();
        }
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"in.png"}) << "no temporary file left";

    // A regular file is replaced by a new file renamed over it: a second name
    // of the old file keeps the old bytes.
    const QString out = dir.filePath("out.png"), link = dir.filePath("old.png");
    ASSERT_TRUE(writeFile(out, {1, 2, 3}));
    ASSERT_EQ(::link(QFile::encodeName(out).constData(), QFile::encodeName(link).constData()), 0);
    EXPECT_EQ(runTool({"encode", png, out}).status, 0);
    EXPECT_TRUE(readAll(out).startsWith("\x89PNG"));
    EXPECT_EQ(readAll(link), QByteArray("\x01\x02\x03"));
}

TEST_F(ImageToolOutputs, DashWritesToStandardOutput)
{
    const QString raw = dir.filePath("o.raw");
    ASSERT_EQ(runTool({"decode", png, "--raw", raw}).status, 0);
    const struct {
        QStringList args;
        QByteArray starts; // the output, or how it starts
    } cases[] = {
        {{"encode", png, "-"}, "\x89PNG\r\n\x1a\n"},
        {{"decode", png, "--raw", "-"}, readAll(raw)},
        {{"apply", png, "mirror=x", "--bmp", "-"}, "BM"},
    };
    for (const auto &c : cases) {
        const ToolRun r = runTool(c.args);
        EXPECT_EQ(r.status, 0) << c.args.join(' ').toStdString() << ": " << r.err.toStdString();
        EXPECT_TRUE(r.outBytes.startsWith(c.starts)) << c.args.join(' ').toStdString();
        EXPECT_FALSE(r.outBytes.contains("size=")) << "no surface line in the image";
    }
    EXPECT_FALSE(QFile::exists(dir.filePath("-")));
    EXPECT_EQ(runTool({"apply", png, "invert", "--raw", "-", "--bmp", "-"}).status, 2);
}

using ImageToolPixelLimit = ToolFixture;

TEST_F(ImageToolPixelLimit, LargeResultsAreRefusedBeforeTheyAreMade)
{
    // 19.8 KB claiming 20147 x 353: its turned square would be 20150 pixels wide.
    const QString claim = dir.filePath("claim.bmp");
    ASSERT_TRUE(writeFile(claim, bmp24Claim(20147, 353, 19800 - 54)));
    // A PNG header claiming 30000 x 30000.
    const QString bigPng = dir.filePath("big.png");
    ASSERT_TRUE(writeFile(bigPng, pngtest::simplePng(30000, 30000, 8, 0, {Bytes(30000, 0)})));

    const struct {
        QStringList args;
        QStringList environment;
        const char *what; // named in the reason
    } refused[] = {
        {{"apply", claim, "rotate=30"}, {}, "rotate=30"},
        {{"apply", claim, "rotate-nearest=90"}, {}, "rotate-nearest=90"},
        {{"apply", png, "resize=23170x23170"}, {}, "resize=23170x23170"},
        {{"apply", png, "render=23170x23170:100:-1"}, {}, "render=23170x23170"},
        {{"decode", bigPng}, {}, "big.png"},
        {{"encode", bigPng, dir.filePath("o.png")}, {}, "big.png"},
        {{"--max-pixels", "99", "decode", png}, {}, "in.png"},
        {{"apply", png, "shadow=2:000000"}, {"SORIMBA_IMAGE_MAX_PIXELS=195"}, "shadow=2:000000"},
        {{"apply", png, "resize=20x20"}, {"SORIMBA_IMAGE_MAX_PIXELS=399"}, "resize=20x20"},
    };
    for (const auto &c : refused) {
        QElapsedTimer t;
        t.start();
        const ToolRun r = runTool(c.args, c.environment);
        EXPECT_EQ(r.status, 1) << c.args.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains(c.what) && r.err.contains("limit")) << r.err.toStdString();
        EXPECT_LT(t.elapsed(), 10000) << c.args.join(' ').toStdString();
    }
    EXPECT_FALSE(QFile::exists(dir.filePath("o.png")));

    // At the limit, and with the limit raised, the work is done.
    EXPECT_EQ(runTool({"apply", png, "shadow=2:000000"}, {"SORIMBA_IMAGE_MAX_PIXELS=196"}).out,
              "size=14x14 type=7 (PremultipliedBitmap) alpha=1\n");
    EXPECT_EQ(runTool({"--max-pixels", "400", "apply", png, "resize=20x20"}, {"SORIMBA_IMAGE_MAX_PIXELS=10"}).status, 0);
    for (const QStringList &args : {QStringList{"--max-pixels", "0", "decode", png}, QStringList{"--max-pixels"},
                                    QStringList{"--max-pixels", "many", "decode", png}})
        EXPECT_EQ(runTool(args).status, 2) << args.join(' ').toStdString();
    EXPECT_EQ(runTool({"decode", png}, {"SORIMBA_IMAGE_MAX_PIXELS=-5"}).status, 2);
}

TEST_F(ImageToolPixelLimit, SizesThatAreNotPositiveAreUsageErrors)
{
    for (const char *op : {"resize=0x0", "resize=0x5", "resize=5x0", "resize-nearest=-3x4", "render=0x0:100:-1",
                           "render=4x-1:50:-1"}) {
        const ToolRun r = runTool({"apply", png, QString::fromLatin1(op)});
        EXPECT_EQ(r.status, 2) << op;
        EXPECT_EQ(r.err, QStringLiteral("sorimba-image: apply: %1: sizes must be positive\n").arg(op));
        EXPECT_TRUE(r.out.isEmpty()) << op;
    }
}

using ImageToolMessages = ToolFixture;

TEST_F(ImageToolMessages, HelpListsEveryOperation)
{
    for (const char *word : {"help", "--help"}) {
        const ToolRun r = runTool({QString::fromLatin1(word)});
        EXPECT_EQ(r.status, 0) << word;
        EXPECT_TRUE(r.err.isEmpty()) << word;
        for (const char *op : {"resize=WxH", "resize-nearest=WxH", "gray=F", "invert", "trim", "key=RRGGBB",
                               "mirror=x|y|xy", "checker=N", "shadow=D:RRGGBB", "rotate=DEG", "rotate-nearest=DEG",
                               "render=WxH:OPACITY:GRAY", "--png OUT", "--max-pixels"})
            EXPECT_TRUE(r.out.contains(QLatin1String(op))) << word << " lacks " << op;
    }
    EXPECT_EQ(runTool({"help", "apply"}).status, 2);
}

TEST_F(ImageToolMessages, ValuesOutOfRangeAreRefusedAndNamed)
{
    const struct {
        QStringList args;
        QString said;
    } cases[] = {
        {{"apply", png, "resize=-5x5"}, "apply: resize=-5x5: sizes must be positive"},
        {{"apply", png, "gray=99"}, "apply: gray=99: the gray formula must be 0 to 7"},
        {{"apply", png, "gray=-1"}, "apply: gray=-1: the gray formula must be 0 to 7"},
        {{"apply", png, "checker=0"}, "apply: checker=0: sizes must be positive"},
        {{"apply", png, "shadow=11:000000"}, "apply: shadow=11:000000: the blur depth must be 0 to 10"},
        {{"apply", png, "render=4x4:150:-1"}, "apply: render=4x4:150:-1: the opacity must be 1 to 100"},
        {{"apply", png, "render=4x4:50:8"}, "apply: render=4x4:50:8: the gray formula must be -1 to 7"},
        {{"encode", png, dir.filePath("o.png"), "--filter", "9"}, "encode: --filter 9: the filter mode must be 0 to 6"},
    };
    for (const auto &c : cases) {
        const ToolRun r = runTool(c.args);
        EXPECT_EQ(r.status, 2) << c.args.join(' ').toStdString();
        EXPECT_EQ(r.err, "sorimba-image: " + c.said + "\n");
    }
    EXPECT_FALSE(QFile::exists(dir.filePath("o.png")));
    // The ends of each range are taken.
    for (const char *ops : {"gray=0,gray=7", "shadow=10:000000", "render=4x4:100:7", "render=4x4:1:-1", "checker=1"})
        EXPECT_EQ(runTool({"apply", png, QString::fromLatin1(ops)}).status, 0) << ops;
    EXPECT_EQ(runTool({"encode", png, dir.filePath("o.png"), "--filter", "6"}).status, 0);
}

// A text the encoder cannot write as given fails with the reason and writes
// nothing; none is ever stored empty with success.
TEST_F(ImageToolMessages, TextsThatCannotBeWrittenFailWithTheReason)
{
    const QString out = dir.filePath("o.png");
    const struct {
        QString text, said;
    } cases[] = {
        {"=x", "encode: --text keyword \"\": the keyword is empty"},
        {QString(80, QChar('k')) + "=x",
         "encode: --text keyword \"" + QString(80, QChar('k')) + "\": the keyword is 80 bytes long; at most 79 are allowed"},
        {" Mood=x", "encode: --text keyword \" Mood\": the keyword starts or ends with a space"},
        {"Mood =x", "encode: --text keyword \"Mood \": the keyword starts or ends with a space"},
        {"My  Mood=x", "encode: --text keyword \"My  Mood\": the keyword holds two spaces in a row"},
        {QString::fromUtf8("제목=x"), QString::fromUtf8("encode: --text keyword \"제목\": the keyword holds U+C81C, "
                                                       "which is not a Latin-1 letter, digit, sign or space")},
        {QString("Mood=a") + QChar(1) + "b", "encode: --text keyword \"Mood\": the text holds the control character U+0001"},
    };
    for (const auto &c : cases) {
        const ToolRun r = runTool({"encode", png, out, "--text", "Plain=ok", "--text", c.text});
        EXPECT_EQ(r.status, 1) << c.text.toStdString();
        EXPECT_TRUE(r.out.isEmpty()) << c.text.toStdString();
        EXPECT_EQ(r.err, "sorimba-image: " + c.said + "\n");
        EXPECT_FALSE(QFile::exists(out)) << c.text.toStdString();
    }
    // The longest keyword, an empty text and one outside Latin-1 are written.
    const ToolRun r = runTool({"encode", png, out, "--text", QString(79, QChar('k')) + "=", "--text",
                               QString::fromUtf8("Mood=잔잔함")});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, "size=10x10 type=10 (Png) alpha=0\n");
}

TEST_F(ImageToolMessages, ApplyWritesPngThroughTheEncoder)
{
    const QString out = dir.filePath("out.png");
    const ToolRun r = runTool({"apply", png, "resize-nearest=3x2", "--png", out});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, "size=3x2 type=10 (Png) alpha=0\n");
    EXPECT_TRUE(readAll(out).startsWith("\x89PNG\r\n\x1a\n"));
    EXPECT_EQ(runTool({"decode", out}).out.left(9), "size=3x2 ");
    EXPECT_EQ(runTool({"apply", png, "invert", "--png", "-", "--raw", "-"}).status, 2);
}

// The engine saves an image without alpha as a 24-bit bitmap; one of 6000 x
// 6000 (more than the platform's picture loader takes) must read back.
TEST(BitmapRoundTrip, LargeBitmapsOfTheEnginesMakingReadBack)
{
    imaging::c32bppDIB dib;
    ASSERT_TRUE(dib.InitializeDIB(6000, 6000));
    // Opaque white with a coloured pixel at each end of the memory.
    const std::size_t bytes = std::size_t(dib.scanWidth()) * 6000;
    std::memset(dib.BitsPointer(), 255, bytes);
    const std::uint8_t corner[4] = {10, 20, 30, 255};
    std::memcpy(dib.BitsPointer(), corner, 4);
    std::memcpy(dib.BitsPointer() + bytes - 4, corner, 4);
    dib.setAlpha(false);
    imaging::ByteArray bmp;
    ASSERT_TRUE(dib.SaveToStream(bmp));
    EXPECT_EQ(bmp.size(), 54u + 6000u * 6000u * 3u);

    imaging::c32bppDIB back;
    ASSERT_TRUE(back.LoadPicture_Stream(bmp));
    ASSERT_EQ(back.Width(), 6000);
    ASSERT_EQ(back.Height(), 6000);
    EXPECT_FALSE(back.Alpha());
    EXPECT_EQ(std::memcmp(back.BitsPointer(), dib.BitsPointer(), bytes), 0);
}
