// The editor window over a real window definition: which sections it offers
// and where each sits, applying and writing the file back (comments,
// references and the other sections kept), a file that cannot be written,
// the question before unapplied changes would be lost, and screenshots.
#include "controlplace.h"
#include "editor_fixtures.h"
#include "editorwindow.h"
#include "platform/dialogs.h"
#include "support/file_size_limit.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCoreApplication>
#include <QMessageBox>
#include <QTimer>
#include <QDir>
#include <QFileInfo>
#include <QPainter>
#include <QPixmap>
#include <gtest/gtest.h>

using namespace editor_fixtures;
using controls::PropertyBag;
using controls::PropertyValue;
using controls::WindowDefinition;
using skineditor::DefinitionDocument;
using skineditor::EditorWindow;

namespace {

// The download window's definition, copied where the test may rewrite it.
struct Definition {
    Files files;
    QString path;
    QByteArray original;
    Definition()
    {
        skineditor::initEditorResources(); // its icons are file::/pictures/... references
        original = readFile(sourcePath("resources/forms/frmDownload.def"));
        path = files.write("frmDownload.def", original);
    }
    std::unique_ptr<EditorWindow> window()
    {
        QString why;
        auto doc = DefinitionDocument::open(path, &why);
        EXPECT_TRUE(doc) << why.toStdString();
        return doc ? std::make_unique<EditorWindow>(std::move(*doc)) : nullptr;
    }
};

// The list's rows as shown.
QStringList listTexts(const EditorWindow &w)
{
    QStringList out;
    for (int i = 0; i < w.controlList()->count(); ++i)
        out << w.controlList()->item(i)->text();
    return out;
}

QStringList commentLines(const QString &text)
{
    QStringList out;
    for (const QString &line : text.split('\n'))
        if (line.trimmed().startsWith('#'))
            out << line;
    return out;
}

} // namespace

TEST(SkinEditor, OffersTheSectionsOfAlphaImageControls)
{
    Definition def;
    auto w = def.window();
    ASSERT_TRUE(w);
    EXPECT_EQ(w->document().alphaImageControls(), (QStringList{"aicAlphaImage1", "aicAlphaImage3", "aicAlphaImage2"}));
    EXPECT_EQ(w->editedControl()->objectName(), QStringLiteral("aicAlphaImage1"));
    EXPECT_EQ(w->page()->cboIcon->count(), 8) << "the stored icon is described at once";
    EXPECT_FALSE(w->applyButton()->isEnabled());

    const auto section = [](const char *name, std::initializer_list<std::pair<const char *, PropertyValue>> keys) {
        controls::ControlDefinition c{QString::fromLatin1(name), {}};
        for (const auto &[k, v] : keys)
            c.properties.write(QString::fromLatin1(k), v);
        return c;
    };
    const auto image = PropertyValue::bytes("x");
    const struct {
        controls::ControlDefinition c;
        bool offered;
    } cases[] = {
        {section("aicLogo", {}), true},                                              // by name
        {section("picLogo", {{"image", image}, {"Props", PropertyValue::integer(5)}}), true}, // by its Image
        {section("cmdGo", {{"Image", image}, {"Caption", PropertyValue::text("go")}}), false}, // a button's keys
        {section("lblTitle", {{"Caption", PropertyValue::text("t")}}), false},
        {section("aicOdd", {{"Theme", PropertyValue::integer(1)}}), false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(DefinitionDocument::isAlphaImageSection(c.c), c.offered) << c.c.name.toStdString();
}

TEST(SkinEditor, AppliedIconEntrySurvivesWritingAndReading)
{
    Definition def;
    auto w = def.window();
    ASSERT_TRUE(w);
    ASSERT_TRUE(w->selectControl("aicAlphaImage3"));
    auto *page = w->page();
    ASSERT_EQ(page->cboIcon->count(), 8);
    page->cboIcon->setCurrentIndex(0); // 16 x 16 at 8 bits
    page->cboIcon_Click();
    EXPECT_TRUE(w->applyButton()->isEnabled());
    ASSERT_TRUE(w->apply()) << w->statusText().toStdString();

    const QString text = QString::fromUtf8(readFile(def.path));
    const QString before = QString::fromUtf8(def.original);
    // Comments, the icon reference and every other section are as they were.
    EXPECT_EQ(commentLines(text), commentLines(before));
    EXPECT_TRUE(text.contains("[aicAlphaImage3]\nImage = bytes(file::/pictures/seek_back.ico)\nProps = 5\n"
                              "IconWidth = 16\nIconHeight = 16\nIconDepth = 8\n"));
    const auto read = WindowDefinition::parse(text);
    const auto old = WindowDefinition::parse(before);
    ASSERT_TRUE(read && old);
    ASSERT_EQ(read->controls().size(), old->controls().size());
    for (const auto &c : old->controls()) {
        if (c.name != "aicAlphaImage3") {
            EXPECT_EQ(*read->properties(QStringView(c.name)), c.properties) << c.name.toStdString();
        }
    }

    // A control read from the file shows that entry at the program's size.
    controls::aicAlphaImage control(nullptr, true);
    control.setAutoSize(false);
    control.setGeometry(0, 0, 48, 48);
    control.ReadProperties(*read->properties(u"aicAlphaImage3"));
    EXPECT_EQ(control.GetSourceSurface().Width(), 16);
    EXPECT_EQ(control.GetSourceSurface().ImageType(), imaging::Icon) << "the 8-bit entry";

    // And the editor, opened again, holds the same control.
    auto again = def.window();
    ASSERT_TRUE(again && again->selectControl("aicAlphaImage3"));
    EXPECT_EQ(again->editedControl()->storedIconSize(), QSize(16, 16));
    EXPECT_EQ(again->editedControl()->storedIconDepth(), 8);
}

TEST(SkinEditor, AFileThatCannotBeReadIsToldWithItsCause)
{
    Definition def;
    auto w = def.window();
    ASSERT_TRUE(w);
    auto *page = w->page();
    const struct {
        QString file;
        const char *cause;
    } cases[] = {
        {def.files.write("junk.png", "not a picture at all"), "지원하지 않는 형식이거나 손상된 그림입니다"},
        {def.files.path("gone.png"), "파일이 없습니다"},
    };
    for (const auto &c : cases) {
        page->setFileChooser([&](const skineditor::FileRequest &) { return c.file; });
        page->cmdBrowse_Click();
        const QString status = w->statusText();
        EXPECT_TRUE(status.contains(QFileInfo(c.file).fileName())) << status.toStdString();
        EXPECT_TRUE(status.contains(QString::fromUtf8(c.cause))) << status.toStdString();
        EXPECT_TRUE(status.contains(QStringLiteral("적용하면"))) << "applying now clears the image";
    }

    // A good file afterwards: the old failure is no longer shown.
    const QString good = def.files.write("good.png", png(20, 20));
    page->setFileChooser([&](const skineditor::FileRequest &) { return good; });
    page->cmdBrowse_Click();
    EXPECT_EQ(w->statusText(), QStringLiteral("편집 중: aicAlphaImage1"));
}

TEST(SkinEditor, NewImageIsStoredInlineAndClearedImageIsDropped)
{
    Definition def;
    auto w = def.window();
    ASSERT_TRUE(w);
    const QByteArray picture = png(40, 30);
    const QString file = def.files.write("new.png", picture);
    w->page()->setFileChooser([&](const skineditor::FileRequest &) { return file; });
    w->page()->cmdBrowse_Click();
    ASSERT_TRUE(w->apply());
    auto read = WindowDefinition::load(def.path);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->properties(u"aicAlphaImage1")->readBytes(u"Image"), std::optional<QByteArray>(picture));
    EXPECT_TRUE(QString::fromUtf8(readFile(def.path)).contains("[aicAlphaImage1]\nImage = bytes(base64:"));
    EXPECT_EQ(read->properties(u"aicAlphaImage1")->readInt(u"GrayScale", -1), std::optional<qint32>(0));
    EXPECT_EQ(w->editedControl()->size(), QSize(40, 30));

    w->page()->Command1_Click();
    ASSERT_TRUE(w->apply());
    read = WindowDefinition::load(def.path);
    ASSERT_TRUE(read);
    EXPECT_FALSE(read->properties(u"aicAlphaImage1")->contains(u"Image"));
    EXPECT_EQ(read->properties(u"aicAlphaImage1")->readInt(u"Props", 1), std::optional<qint32>(5));
}

TEST(SkinEditor, UnwritableDefinitionLeavesTheOldFileWholeAndSaysSo)
{
    Definition def;
    auto w = def.window();
    ASSERT_TRUE(w);
    w->page()->Command1_Click();
    bool saved = true;
    {
        testsupport::ScopedFileSizeLimit diskFull;
        saved = w->apply();
    }
    EXPECT_FALSE(saved);
    EXPECT_EQ(readFile(def.path), def.original);
    EXPECT_TRUE(w->statusText().startsWith(QStringLiteral("정의 파일을 저장하지 못했습니다. 원래 파일은 그대로 남아 있습니다.")))
        << w->statusText().toStdString();
    EXPECT_EQ(QDir(QFileInfo(def.path).path()).entryList(QDir::Files), QStringList{"frmDownload.def"})
        << "no temporary file is left behind";

    // Once the file can be written, the same Apply succeeds.
    EXPECT_TRUE(w->applyButton()->isEnabled());
    EXPECT_TRUE(w->apply());
    EXPECT_NE(readFile(def.path), def.original);
}

TEST(SkinEditor, ScreenshotOfAnIconsEntryList)
{
    Definition def;
    auto w = def.window();
    ASSERT_TRUE(w);
    w->show();
    auto *combo = w->page()->cboIcon;
    ASSERT_EQ(combo->count(), 8);
    // Another entry chosen (24 x 24 at 8 bits), then the list opened again:
    // the preview stays in sight above the list.
    combo->setCurrentIndex(2);
    w->page()->cboIcon_Click();
    combo->showPopup();
    QWidget *popup = combo->view()->window();
    ASSERT_TRUE(popup->isVisible());
    const QRect windowRect(w->mapToGlobal(QPoint(0, 0)), w->size());
    const QRect popupRect(popup->mapToGlobal(QPoint(0, 0)), popup->size());
    const QRect all = windowRect.united(popupRect);
    QPixmap shot(all.size());
    shot.fill(Qt::darkGray);
    {
        QPainter p(&shot);
        p.drawPixmap(windowRect.topLeft() - all.topLeft(), w->grab());
        p.drawPixmap(popupRect.topLeft() - all.topLeft(), popup->grab());
    }
    combo->hidePopup();
    const QString dir = QStringLiteral(SORIMBA_BINARY_DIR "/screenshots");
    QDir().mkpath(dir);
    ASSERT_TRUE(shot.save(dir + "/skin-editor-icon-list.png"));
}

TEST(SkinEditor, ListTellsWhereEachControlSits)
{
    Definition def;
    auto w = def.window();
    ASSERT_TRUE(w);
    w->show();
    EXPECT_EQ(listTexts(*w), (QStringList{QStringLiteral("aicAlphaImage1 — 다운로드 창: 창 아이콘 (회색)"),
                                          QStringLiteral("aicAlphaImage3 — 다운로드 창: 10초 뒤로 버튼"),
                                          QStringLiteral("aicAlphaImage2 — 다운로드 창: 10초 앞으로 버튼")}));
    // Each row is wide enough to be read whole.
    const int widest = w->controlList()->sizeHintForColumn(0);
    EXPECT_LE(widest, w->controlList()->viewport()->width());

    const struct {
        const char *file, *control, *place;
    } cases[] = {
        {"/x/frmMain.def", "aicAlphaImage1", "메인 창: 로고"},
        {"frmMain.def", "AICALPHAIMAGE3", "메인 창: \"데이터 처리중\" 안내의 그림"},
        {"/forms/frmWarning.def", "aicAlphaImage1", "사용 안내 창: 프로그램 아이콘"},
        {"/forms/frmDownload.def", "aicNew", "다운로드 창"},     // a control the table does not know
        {"/forms/frmUpdate.def", "aicAlphaImage1", "업데이트 창"},
        {"/elsewhere/frmOther.def", "aicAlphaImage1", "frmOther"}, // a window it does not know
    };
    for (const auto &c : cases)
        EXPECT_EQ(skineditor::controlPlace(QString::fromUtf8(c.file), QString::fromUtf8(c.control)),
                  QString::fromUtf8(c.place))
            << c.file << " " << c.control;
    EXPECT_EQ(skineditor::controlListText("frmOther.def", "aicX"), QStringLiteral("aicX — frmOther"));
}

// Another control chosen, or the window closed, with a picture chosen but not
// applied: the designer is asked, and each answer does what it says.
TEST(SkinEditor, UnappliedChangesAreNotLostSilently)
{
    const struct {
        platform::MessageResult answer;
        bool moves;       // to the other control, or the window closes
        bool fileWritten; // the new picture stored
    } answers[] = {
        {platform::MessageResult::Yes, true, true},     // 적용
        {platform::MessageResult::No, true, false},     // 버리기
        {platform::MessageResult::Cancel, false, false}, // 취소
    };
    for (const bool closing : {false, true}) {
        for (const auto &a : answers) {
            SCOPED_TRACE(::testing::Message() << (closing ? "closing, answer " : "switching, answer ") << int(a.answer));
            Definition def;
            auto w = def.window();
            ASSERT_TRUE(w);
            w->show();
            platform::ScopedDialogAnswers dialogs(a.answer);
            // Nothing changed yet: no question.
            ASSERT_TRUE(w->selectControl("aicAlphaImage3"));
            ASSERT_TRUE(w->selectControl("aicAlphaImage1"));
            EXPECT_TRUE(dialogs.messages().isEmpty());

            const QString file = def.files.write("new.png", png(40, 30));
            w->page()->setFileChooser([&](const skineditor::FileRequest &) { return file; });
            w->page()->cmdBrowse_Click();
            ASSERT_TRUE(w->hasUnappliedChanges());

            bool moved = false;
            if (closing) {
                moved = w->close();
                EXPECT_EQ(w->isVisible(), !moved);
            } else {
                moved = w->selectControl("aicAlphaImage2");
                QCoreApplication::processEvents(); // the selection is put back after a press
                EXPECT_EQ(w->editedControlName(), moved ? "aicAlphaImage2" : "aicAlphaImage1");
                QListWidgetItem *current = w->controlList()->currentItem();
                ASSERT_TRUE(current);
                EXPECT_EQ(w->controlNameAt(w->controlList()->row(current)), w->editedControlName());
                EXPECT_EQ(w->controlList()->selectedItems(), QList<QListWidgetItem *>{current});
            }
            EXPECT_EQ(moved, a.moves);
            ASSERT_EQ(dialogs.messages().size(), 1);
            const platform::MessageRequest &q = dialogs.messages()[0];
            EXPECT_TRUE(q.text.startsWith(QStringLiteral("적용하지 않은 변경이 있습니다."))) << q.text.toStdString();
            EXPECT_TRUE(q.text.contains("aicAlphaImage1"));
            EXPECT_EQ(q.buttons, platform::MessageButtons::YesNoCancel);
            EXPECT_EQ(q.buttonTexts, (QList<QString>{"적용", "버리기", "취소"}));
            EXPECT_EQ(q.defaultButton, platform::MessageResult::Cancel);
            EXPECT_EQ(q.icon, platform::MessageIcon::Question);

            const auto read = WindowDefinition::load(def.path);
            ASSERT_TRUE(read);
            const std::optional<QByteArray> stored = read->properties(u"aicAlphaImage1")->readBytes(u"Image");
            EXPECT_EQ(stored == std::optional<QByteArray>(png(40, 30)), a.fileWritten);
            if (!a.fileWritten)
                EXPECT_EQ(readFile(def.path), def.original);
            // Staying keeps the choice, still unapplied; the other control has nothing to ask about.
            if (!a.moves || !closing)
                EXPECT_EQ(w->hasUnappliedChanges(), !a.moves);
        }
    }
}

// Applying from the question when the file cannot be written keeps the window
// and the choice where they are, and says why.
TEST(SkinEditor, ApplyingFromTheQuestionThatFailsStays)
{
    Definition def;
    auto w = def.window();
    ASSERT_TRUE(w);
    w->show();
    w->page()->Command1_Click(); // the image cleared
    platform::ScopedDialogAnswers dialogs(platform::MessageResult::Yes);
    bool closed = true, moved = true;
    {
        testsupport::ScopedFileSizeLimit diskFull;
        closed = w->close();
        moved = w->selectControl("aicAlphaImage2");
    }
    EXPECT_FALSE(closed);
    EXPECT_FALSE(moved);
    EXPECT_EQ(dialogs.messages().size(), 2);
    EXPECT_EQ(readFile(def.path), def.original);
    EXPECT_TRUE(w->statusText().startsWith(QStringLiteral("정의 파일을 저장하지 못했습니다.")));
    EXPECT_TRUE(w->hasUnappliedChanges()) << "the control holds a change the file lacks";
    // Now it can be written: the close applies and goes.
    EXPECT_TRUE(w->close());
    EXPECT_NE(readFile(def.path), def.original);
    EXPECT_FALSE(w->hasUnappliedChanges());
}

// The real box: its buttons read 적용, 버리기, 취소 and each answers as named.
TEST(SkinEditor, TheQuestionBoxNamesItsButtons)
{
    Definition def;
    auto w = def.window();
    ASSERT_TRUE(w);
    w->show();
    w->page()->Command1_Click();
    platform::Dialogs::setShowWithoutScreen(true);
    QStringList buttons;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        for (QAbstractButton *b : box->buttons())
            buttons << b->text();
        const QString dir = QStringLiteral(SORIMBA_BINARY_DIR "/screenshots");
        QDir().mkpath(dir);
        box->grab().save(dir + "/skin-editor-unapplied-question.png");
        box->button(QMessageBox::No)->click(); // 버리기
    });
    poll.start(20);
    const bool moved = w->selectControl("aicAlphaImage2");
    poll.stop();
    platform::Dialogs::setShowWithoutScreen(false);
    buttons.sort();
    EXPECT_EQ(buttons, (QStringList{QStringLiteral("버리기"), QStringLiteral("적용"), QStringLiteral("취소")}));
    EXPECT_TRUE(moved);
    EXPECT_EQ(readFile(def.path), def.original);
}

TEST(SkinEditor, ScreenshotOfTheControlListWithPlaces)
{
    skineditor::initEditorResources();
    Files files;
    const QString path = files.write("frmMain.def", readFile(sourcePath("resources/forms/frmMain.def")));
    auto doc = DefinitionDocument::open(path);
    ASSERT_TRUE(doc);
    EditorWindow w(std::move(*doc));
    w.show();
    ASSERT_TRUE(w.selectControl("aicAlphaImage2"));
    const QString dir = QStringLiteral(SORIMBA_BINARY_DIR "/screenshots");
    QDir().mkpath(dir);
    ASSERT_TRUE(w.grab().save(dir + "/skin-editor-control-places.png"));
}
