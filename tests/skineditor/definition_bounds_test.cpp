// What the editor and the window definition reader do with definitions that
// are not plain UTF-8 text files: bytes in another encoding kept exactly, a
// file changed behind the editor's back, devices, pipes and oversized files
// refused at once, and large definitions read in linear time.
#include "editor_fixtures.h"
#include "editorwindow.h"
#include "platform/limits.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <chrono>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace editor_fixtures;
using controls::WindowDefinition;
using skineditor::DefinitionDocument;
using skineditor::EditorWindow;

namespace {

// "한글" in the Korean code page: not UTF-8.
const QByteArray kKorean("\xC7\xD1\xB1\xDB");

std::unique_ptr<EditorWindow> openWindow(const QString &path)
{
    QString why;
    auto doc = DefinitionDocument::open(path, &why);
    EXPECT_TRUE(doc) << why.toStdString();
    return doc ? std::make_unique<EditorWindow>(std::move(*doc)) : nullptr;
}

// The time this thread has run: what the reading costs, whatever else the
// machine is doing meanwhile.
qint64 cpuMilliseconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return qint64(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

// Sanitizer builds run several times slower; the budgets are upper bounds.
#if defined(__SANITIZE_ADDRESS__)
constexpr int kSlowdown = 4;
#else
constexpr int kSlowdown = 1;
#endif

} // namespace

TEST(DefinitionBytes, ClearingAnImageKeepsEveryByteOutsideItsSection)
{
    Files files;
    const QByteArray image = "Image = bytes(base64:" + png(4, 4).toBase64() + ")\r\n";
    // A byte order mark, Windows line ends, code page comments and a caption
    // before, inside and after the edited section.
    const QByteArray before = "\xEF\xBB\xBF# " + kKorean + " window\r\n[capTitle]\r\nCaption = \"" + kKorean
                              + "\"\r\n\r\n";
    const QByteArray section = "[aicLogo]\r\n# " + kKorean + "\r\n" + image + "Props = 5\r\n\r\n";
    const QByteArray after = "; " + kKorean + "\r\n[lblEnd]\r\nCaption = \"x" + kKorean + "\"\r\n";
    const QString path = files.write("form.def", before + section + after);

    auto w = openWindow(path);
    ASSERT_TRUE(w);
    ASSERT_TRUE(w->selectControl("aicLogo"));
    w->page()->Command1_Click();
    ASSERT_TRUE(w->apply()) << w->statusText().toStdString();

    const QByteArray written = readFile(path);
    EXPECT_TRUE(written.startsWith(before)) << written.toStdString();
    EXPECT_TRUE(written.endsWith(after)) << written.toStdString();
    EXPECT_EQ(written.mid(before.size(), written.size() - before.size() - after.size()),
              "[aicLogo]\r\n# " + kKorean + "\r\nProps = 5\r\n\r\n")
        << "the section keeps its comment and its unchanged key line";

    // A second Apply on the same document starts from what was written.
    w->page()->Command1_Click();
    EXPECT_TRUE(w->apply()) << w->statusText().toStdString();
    EXPECT_EQ(readFile(path), written);
}

TEST(DefinitionBytes, AFileChangedSinceItWasOpenedIsNotOverwritten)
{
    Files files;
    const QString path = files.write("form.def", "[aicLogo]\nProps = 5\n");
    auto w = openWindow(path);
    ASSERT_TRUE(w);
    const QByteArray changed = "# " + kKorean + "\n[aicLogo]\nProps = 5\n[capOther]\nCaption = \"x\"\n";
    files.write("form.def", changed);

    w->page()->Command1_Click();
    EXPECT_FALSE(w->apply());
    EXPECT_EQ(readFile(path), changed);
    EXPECT_TRUE(w->statusText().startsWith(QStringLiteral("정의 파일을 저장하지 못했습니다.")));
    EXPECT_TRUE(w->statusText().contains(QStringLiteral("바뀌었습니다"))) << w->statusText().toStdString();
}

TEST(DefinitionFiles, OnlyRegularFilesWithinTheLimitAreRead)
{
    Files files;
    const QString fifo = files.path("pipe");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    // A reader that waits for the pipe's writer would wait for ever: this
    // writer comes after 3 s, so that such a wait ends and shows as slow.
    std::atomic<bool> done = false;
    std::thread rescue([&] {
        for (int i = 0; i < 30 && !done; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        if (!done) {
            const int fd = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0)
                ::close(fd);
        }
    });
    const QString big = files.write("big.def", {});
    ASSERT_EQ(::truncate(QFile::encodeName(big).constData(), limits::kMaxDefinitionBytes + 1), 0);

    const struct {
        QString definition;
        const char *reason;
    } cases[] = {
        {files.write("ref.def", ("[aicLogo]\nImage = bytes(file:" + fifo + ")\n").toUtf8()), "not a regular file"},
        {"/dev/zero", "not a regular file"},
        {fifo, "not a regular file"},
        {files.path(""), "not a regular file"},
        {big, "larger than"},
        {files.write("bigref.def", ("[aicLogo]\nImage = bytes(file:" + big + ")\n").toUtf8()), "larger than"},
        {files.path("missing.def"), "cannot read"},
    };
    for (const auto &c : cases) {
        QElapsedTimer t;
        t.start();
        QString why;
        EXPECT_FALSE(DefinitionDocument::open(c.definition, &why)) << c.definition.toStdString();
        EXPECT_TRUE(why.contains(QLatin1String(c.reason))) << c.definition.toStdString() << ": " << why.toStdString();
        EXPECT_LT(t.elapsed(), 1000) << c.definition.toStdString();
        why.clear();
        EXPECT_FALSE(WindowDefinition::load(c.definition, &why)) << c.definition.toStdString();
        EXPECT_TRUE(why.contains(QLatin1String(c.reason))) << c.definition.toStdString() << ": " << why.toStdString();
    }
    done = true;
    rescue.join();

    // A file at the limit, and a resource, are read.
    const QString atLimit = files.write("limit.def", {});
    ASSERT_EQ(::truncate(QFile::encodeName(atLimit).constData(), limits::kMaxDefinitionBytes), 0);
    EXPECT_EQ(WindowDefinition::readFile(atLimit).value_or(QByteArray()).size(), limits::kMaxDefinitionBytes);
    skineditor::initEditorResources();
    EXPECT_EQ(WindowDefinition::readFile(":/pictures/note.ico"), noteIcon());
}

TEST(DefinitionFiles, LargeDefinitionsOpenInLinearTime)
{
    Files files;
    const auto generate = [](int sections, int keysPerSection) {
        QByteArray text;
        for (int s = 0; s < sections; ++s) {
            text += "# control " + QByteArray::number(s) + "\n[aicImage" + QByteArray::number(s) + "]\n";
            for (int k = 0; k < keysPerSection; ++k)
                text += "Key" + QByteArray::number(k) + " = " + QByteArray::number(k) + "\n";
            if (keysPerSection == 0)
                text += "Props = 5\nOpacity = 80\n";
        }
        return text;
    };
    const struct {
        const char *shape;
        QByteArray text;
    } cases[] = {
        {"many sections", generate(90000, 0)},
        {"many keys", generate(1, 260000)},
    };
    for (const auto &c : cases) {
        ASSERT_GT(c.text.size(), 4 * 1000 * 1000) << c.shape;
        const QString path = files.write("big.def", c.text);
        const qint64 start = cpuMilliseconds();
        auto doc = DefinitionDocument::open(path);
        ASSERT_TRUE(doc) << c.shape;
        EXPECT_EQ(doc->definition().controls().size(), qsizetype(c.text.count("\n["))) << c.shape;
        EditorWindow window(std::move(*doc));
        EXPECT_LT(cpuMilliseconds() - start, 1000 * kSlowdown) << c.shape;
    }
}
