#pragma once
// The "Image Source" page of the alpha image control: the designer picks a
// file, pastes from the clipboard or drops a file, sees a preview, chooses one
// entry of an icon or cursor file, and applies. Applying hands the encoded
// bytes and the chosen entry to the edited control (LoadSourceBytes); nothing
// reaches the control before that.
//
//   skineditor::ppgSourceImage page;
//   page.SelectionChanged(control);         // the control to edit (or null)
//   page.cmdBrowse_Click();                 // or cmdClipBoard_Click, OLEDragDrop ...
//   if (page.Changed()) page.ApplyChanges();
//
// Every control of the page is public so that the window and tests can reach
// it; the page keeps its own logic in the handlers below.
#include "controls/alphaimage.h"

#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QWidget>

#include <functional>

namespace skineditor {

// One entry of the open-file dialog's filter list.
struct FileFilter {
    QString description;
    QString pattern; // patterns separated by ';'
};

// What the page asks of the open-file dialog.
struct FileRequest {
    QString title;
    QList<FileFilter> filters;
};

// The filter list of the image dialog, in its order.
const QList<FileFilter> &imageFileFilters();
// "016x016 {8 bit, 256 colors}" for an entry of SourceIconSizes.
QString iconItemText(const imaging::c32bppDIB::IconSize &entry);
// The sort key of an entry: width x height + bits per pixel.
int iconSortKey(const imaging::c32bppDIB::IconSize &entry);
// The text after "W x H - " for a surface's ImageType (empty for other types).
QString formatText(int imageType, bool alpha);

class ppgSourceImage : public QWidget {
    Q_OBJECT
public:
    explicit ppgSourceImage(QWidget *parent = nullptr);

    // Replaces the open-file dialog (tests; an empty function restores it).
    // The answer is the chosen name, empty when cancelled.
    using FileChooser = std::function<QString(const FileRequest &)>;
    void setFileChooser(FileChooser chooser) { m_chooser = std::move(chooser); }

    // ---- page events ----
    // The designer's selection: the first selected control, or null for none.
    void SelectionChanged(controls::aicAlphaImage *first);
    void ApplyChanges();
    // Files dropped on the page: the first one is loaded as Browse does.
    void OLEDragDrop(platform::DataObject &Data);
    void cmdBrowse_Click();
    void cmdClipBoard_Click();
    void Command1_Click();
    void cboIcon_Click();

    // ---- page operations ----
    void ShowPreview();
    void HidePreview();
    // Fills cboIcon or lblFormat from the preview; true when the icon list
    // holds entries (then it has also loaded the largest entry).
    bool DescribeImage();
    // The entry selected in cboIcon; all 0 while the list is hidden.
    void SelectedIconSize(int &Width, int &Height, int &Depth) const;
    QString ChooseImageFile();

    bool Changed() const { return m_changed; }
    // Whether an image from elsewhere (file, clipboard, drop) or a clear
    // replaced the edited control's own since it was selected or last applied;
    // choosing another icon entry does not count.
    bool ImageReplaced() const { return m_replaced; }
    controls::aicAlphaImage *editedControl() const { return m_edited; }

    // The page's controls (positions in twips on a 4800 x 3600 page).
    QFrame *Shape1;
    controls::aicAlphaImage *ucAlphaImage1;
    QPushButton *cmdBrowse;
    QPushButton *cmdClipBoard;
    QPushButton *Command1;
    QComboBox *cboIcon;
    QLabel *lblFormat;

signals:
    // The page's changed mark moved (the window enables its Apply button).
    void changedMarked(bool changed);
    // A file chosen, pasted or dropped was read (ok) or could not be (the
    // preview is then empty); the window tells the designer which and why.
    void fileLoaded(const QString &name, bool ok);

protected:
    void dragEnterEvent(QDragEnterEvent *) override;
    void dragMoveEvent(QDragMoveEvent *) override;
    void dropEvent(QDropEvent *) override;

private:
    void setChanged(bool on);
    void loadFile(const QString &name);
    void clearDescription();
    QRect frameRect() const { return Shape1->geometry(); }

    QPointer<controls::aicAlphaImage> m_edited;
    FileChooser m_chooser;
    bool m_changed = false;
    bool m_replaced = false;
};

} // namespace skineditor
