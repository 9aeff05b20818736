#include "editorwindow.h"

#include "controlplace.h"
#include "platform/dialogs.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <algorithm>

static void initResourcesOutsideNamespace() { Q_INIT_RESOURCE(resources); }

namespace skineditor {

namespace {
// The controls of the program's windows are 48 pixels square (720 twips);
// a stored icon without a chosen entry is decoded at that size.
constexpr int kControlSize = 48;
} // namespace

void initEditorResources() { initResourcesOutsideNamespace(); }

EditorWindow::EditorWindow(DefinitionDocument document, QWidget *parent)
    : QWidget(parent), m_document(std::move(document))
{
    setWindowTitle(QFileInfo(m_document.path()).fileName() + QStringLiteral(" - Sorimba 2 스킨 편집기"));

    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("lstControls"));
    // Added at once: a definition may be generated with very many sections.
    m_names = m_document.alphaImageControls();
    m_list->addItems(controlListTexts(m_document.path(), m_names));
    // Wide enough for the longest name with its place; a window has a few
    // controls, so a huge generated definition is measured by its first rows.
    int widest = 0;
    const QFontMetrics metrics(m_list->font());
    for (int i = 0; i < std::min(m_list->count(), 64); ++i)
        widest = std::max(widest, metrics.horizontalAdvance(m_list->item(i)->text()));
    m_list->setFixedWidth(std::max(150, widest + 2 * m_list->frameWidth() + 16));

    // The page under its caption, as a designer shows a property page.
    auto *pageBox = new QGroupBox(QStringLiteral("Image Source"), this);
    m_page = new ppgSourceImage(pageBox);
    auto *pageLayout = new QVBoxLayout(pageBox);
    pageLayout->addWidget(m_page);

    m_surface = new QWidget(this);
    m_surface->setObjectName(QStringLiteral("picSurface"));
    m_surface->setFixedSize(150, 150);
    m_surface->setAutoFillBackground(true);

    m_apply = new QPushButton(QStringLiteral("Apply"), this);
    m_apply->setObjectName(QStringLiteral("cmdApply"));
    m_apply->setEnabled(false);
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("lblStatus"));
    m_status->setWordWrap(true);

    auto *side = new QVBoxLayout;
    side->addWidget(new QLabel(QStringLiteral("컨트롤 모양"), this));
    side->addWidget(m_surface);
    side->addWidget(m_apply);
    side->addStretch();
    auto *row = new QHBoxLayout;
    row->addWidget(m_list);
    row->addWidget(pageBox);
    row->addLayout(side);
    auto *all = new QVBoxLayout(this);
    all->addLayout(row);
    all->addWidget(m_status);

    connect(m_list, &QListWidget::currentItemChanged, this, &EditorWindow::currentItemChanged);
    connect(m_page, &ppgSourceImage::changedMarked, m_apply, &QPushButton::setEnabled);
    connect(m_apply, &QPushButton::clicked, this, &EditorWindow::apply);
    connect(m_page, &ppgSourceImage::fileLoaded, this, &EditorWindow::tellFileLoaded);

    if (m_list->count() > 0)
        m_list->setCurrentRow(0);
    else
        setStatus(QStringLiteral("이 정의 파일에는 알파 이미지 컨트롤이 없습니다."), false);
}

QString EditorWindow::statusText() const { return m_status->text(); }

void EditorWindow::setStatus(const QString &text, bool error)
{
    m_status->setText(text);
    m_status->setStyleSheet(error ? QStringLiteral("color: #c00000;") : QString());
}

QListWidgetItem *EditorWindow::itemOf(const QString &name) const
{
    for (qsizetype row = 0; row < m_names.size(); ++row)
        if (m_names[row].compare(name, Qt::CaseInsensitive) == 0)
            return m_list->item(int(row));
    return nullptr;
}

QString EditorWindow::nameOf(const QListWidgetItem *item) const
{
    const int row = item ? m_list->row(item) : -1;
    return row >= 0 && row < m_names.size() ? m_names[row] : QString();
}

bool EditorWindow::selectControl(const QString &name)
{
    QListWidgetItem *item = itemOf(name);
    if (!item)
        return false;
    m_list->setCurrentItem(item);
    return m_controlName.compare(name, Qt::CaseInsensitive) == 0;
}

bool EditorWindow::hasUnappliedChanges() const { return m_control && (m_page->Changed() || m_saveFailed); }

bool EditorWindow::settleUnappliedChanges()
{
    if (!hasUnappliedChanges())
        return true;
    platform::MessageRequest question;
    question.title = QStringLiteral("Sorimba 2 스킨 편집기");
    question.text = QStringLiteral("적용하지 않은 변경이 있습니다.\n\n%1 컨트롤의 바뀐 그림을 적용하고 정의 파일에 "
                                   "저장할까요? 버리면 이 변경은 없어집니다.")
                        .arg(m_controlName);
    question.icon = platform::MessageIcon::Question;
    question.buttons = platform::MessageButtons::YesNoCancel;
    question.defaultButton = platform::MessageResult::Cancel;
    question.buttonTexts = {QStringLiteral("적용"), QStringLiteral("버리기"), QStringLiteral("취소")};
    switch (platform::Dialogs::messageBox(question, this)) {
    case platform::MessageResult::Yes:
        return apply(); // a failed save keeps the window where it is; the status line says why
    case platform::MessageResult::No:
        return true;
    default:
        return false;
    }
}

void EditorWindow::restoreSelection()
{
    const QSignalBlocker blocker(m_list);
    if (QListWidgetItem *item = itemOf(m_controlName))
        m_list->setCurrentItem(item, QItemSelectionModel::ClearAndSelect);
}

void EditorWindow::currentItemChanged(QListWidgetItem *current, QListWidgetItem *)
{
    const QString name = nameOf(current);
    if (name.compare(m_controlName, Qt::CaseInsensitive) == 0 && m_control)
        return;
    if (!settleUnappliedChanges()) {
        restoreSelection();
        // A mouse press selects the clicked row after this signal: put the
        // selection back once more when the press is done.
        QMetaObject::invokeMethod(this, &EditorWindow::restoreSelection, Qt::QueuedConnection);
        return;
    }
    showControl(name);
}

void EditorWindow::closeEvent(QCloseEvent *event)
{
    if (settleUnappliedChanges())
        event->accept();
    else
        event->ignore();
}

void EditorWindow::showControl(const QString &name)
{
    m_page->SelectionChanged(nullptr);
    delete m_control;
    m_control = nullptr;
    m_controlName = name;
    m_imageReplaced = false;
    m_saveFailed = false;
    m_apply->setEnabled(false);
    const controls::PropertyBag *bag = m_document.definition().properties(QStringView(name));
    if (!bag)
        return;
    // A control on a form being designed: it keeps the bytes it was given.
    m_control = new controls::aicAlphaImage(m_surface, false);
    m_control->setObjectName(name);
    m_control->setGeometry(0, 0, kControlSize, kControlSize);
    m_control->ReadProperties(*bag);
    m_control->show();
    m_page->SelectionChanged(m_control);
    setStatus(QStringLiteral("편집 중: %1").arg(name), false);
}

void EditorWindow::tellFileLoaded(const QString &name, bool ok)
{
    if (ok) {
        setStatus(QStringLiteral("편집 중: %1").arg(m_controlName), false);
        return;
    }
    // An unreadable file leaves the preview empty, and applying would clear
    // the control's image: say so rather than show an empty page.
    const QFileInfo file(name);
    QString cause;
    if (!file.exists())
        cause = QStringLiteral("파일이 없습니다");
    else if (!file.isFile() || !file.isReadable())
        cause = QStringLiteral("파일을 열 수 없습니다");
    else
        cause = QStringLiteral("지원하지 않는 형식이거나 손상된 그림입니다");
    setStatus(QStringLiteral("그림을 읽지 못했습니다: %1 (%2). 지금 적용하면 이 컨트롤의 그림이 지워집니다.")
                  .arg(file.fileName(), cause),
              true);
}

bool EditorWindow::apply()
{
    if (!m_control)
        return false;
    m_imageReplaced = m_imageReplaced || m_page->ImageReplaced();
    m_page->ApplyChanges();
    controls::PropertyBag bag = *m_document.definition().properties(QStringView(m_controlName));
    const std::optional<controls::PropertyValue> stored =
        bag.find(u"Image") ? std::optional(*bag.find(u"Image")) : std::nullopt;
    m_control->WriteProperties(bag);
    // Decoding an icon entry rewrites that entry's header inside the kept
    // bytes. When only the entry changed, the stored value (often a reference
    // to the picture file) is kept as written.
    if (!m_imageReplaced && stored && bag.contains(u"Image"))
        bag.write(QStringLiteral("Image"), *stored);
    QString why;
    if (!m_document.save(m_controlName, bag, &why)) {
        setStatus(QStringLiteral("정의 파일을 저장하지 못했습니다. 원래 파일은 그대로 남아 있습니다. (%1)").arg(why), true);
        m_apply->setEnabled(true); // the control holds the change: it can be saved again
        m_saveFailed = true;
        return false;
    }
    m_imageReplaced = false;
    m_saveFailed = false;
    setStatus(QStringLiteral("%1 컨트롤의 이미지를 저장했습니다.").arg(m_controlName), false);
    return true;
}

} // namespace skineditor
