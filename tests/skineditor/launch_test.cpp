// Starting the editor: its usage on --help, and a definition file that cannot
// be opened told in a box as well as on standard error.
#include "editor_fixtures.h"
#include "launch.h"
#include "platform/dialogs.h"

#include <QDir>
#include <QProcess>
#include <gtest/gtest.h>

using namespace editor_fixtures;

namespace {

QString editorPath() { return QStringLiteral(SORIMBA_BINARY_DIR "/tools/sorimba-skin-editor"); }

struct EditorRun {
    int status = -1;
    QString out, err;
};

EditorRun runEditor(const QStringList &args)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    p.setProcessEnvironment(env);
    p.start(editorPath(), args);
    EditorRun r;
    if (!p.waitForFinished(30000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

} // namespace

TEST(SkinEditorLaunch, HelpAndWrongCalls)
{
    if (!QFile::exists(editorPath()))
        GTEST_SKIP() << "sorimba-skin-editor not built";
    for (const char *word : {"--help", "-h"}) {
        const EditorRun r = runEditor({QString::fromLatin1(word)});
        EXPECT_EQ(r.status, 0) << word;
        EXPECT_EQ(r.out, QString::fromLatin1(skineditor::kEditorUsage)) << word;
        EXPECT_TRUE(r.err.isEmpty()) << word;
    }
    for (const QStringList &args : {QStringList{}, QStringList{"a.def", "b.def"}}) {
        const EditorRun r = runEditor(args);
        EXPECT_EQ(r.status, 2);
        EXPECT_TRUE(r.out.isEmpty());
        EXPECT_TRUE(r.err.startsWith("usage: sorimba-skin-editor DEFINITION_FILE\n"));
    }
    // A missing file: status 1, its reason on standard error, and the box
    // (which a run without a screen reports there too).
    Files files;
    const EditorRun r = runEditor({files.path("gone.def")});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains("sorimba-skin-editor: " + files.path("gone.def") + ": cannot read")) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("[dialog] Sorimba 2 스킨 편집기: 정의 파일을 열 수 없습니다: ")))
        << r.err.toStdString();
}

TEST(SkinEditorLaunch, AFileThatCannotBeOpenedIsToldInABox)
{
    skineditor::initEditorResources();
    Files files;
    QDir(files.path("")).mkdir("folder.def");
    const struct {
        QString path;
        QString cause;
    } cases[] = {
        {files.path("gone.def"), QStringLiteral("파일이 없습니다.")},
        {files.path("folder.def"), QStringLiteral("일반 파일이 아닙니다.")},
        {files.write("broken.def", "[aicAlphaImage1]\nImage = nonsense(\n"), QStringLiteral("창 정의 파일로 읽을 수 없습니다.")},
    };
    for (const auto &c : cases) {
        platform::ScopedDialogAnswers dialogs;
        EXPECT_FALSE(skineditor::openEditorWindow(c.path)) << c.path.toStdString();
        ASSERT_EQ(dialogs.messages().size(), 1) << c.path.toStdString();
        const platform::MessageRequest &box = dialogs.messages()[0];
        EXPECT_EQ(box.icon, platform::MessageIcon::Critical);
        EXPECT_EQ(box.title, QStringLiteral("Sorimba 2 스킨 편집기"));
        EXPECT_TRUE(box.text.startsWith(QStringLiteral("정의 파일을 열 수 없습니다: ") + c.path + "\n" + c.cause))
            << box.text.toStdString();
    }
    // A good file opens without a box.
    platform::ScopedDialogAnswers dialogs;
    EXPECT_TRUE(skineditor::openEditorWindow(sourcePath("resources/forms/frmWarning.def")));
    EXPECT_TRUE(dialogs.messages().isEmpty());
}
