#pragma once
// The editor's window: the alpha image controls of one window definition on
// the left (each with its place in words), the "Image Source" page for the
// chosen one, the control itself as it will look, "Apply" and a status line.
// Apply hands the page's choice to the control and writes the definition file
// back. Choosing another control or closing the window with changes not yet
// applied asks first: apply, discard or stay.
#include "definitiondocument.h"
#include "imagesourcepage.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QWidget>

namespace skineditor {

class EditorWindow : public QWidget {
    Q_OBJECT
public:
    explicit EditorWindow(DefinitionDocument document, QWidget *parent = nullptr);

    // Chooses a control by its section name; false when there is none, or
    // when the question about unapplied changes was answered with "취소".
    bool selectControl(const QString &name);
    // A choice on the page not yet applied, or an applied one that could not
    // be written to the file.
    bool hasUnappliedChanges() const;
    QString editedControlName() const { return m_controlName; }
    // The section name of the control on a list row.
    QString controlNameAt(int row) const { return m_names.value(row); }
    // Applies the page to the edited control and saves the definition.
    // False when the file could not be written (the status line says why).
    bool apply();

    const DefinitionDocument &document() const { return m_document; }
    ppgSourceImage *page() const { return m_page; }
    controls::aicAlphaImage *editedControl() const { return m_control; }
    QListWidget *controlList() const { return m_list; }
    QPushButton *applyButton() const { return m_apply; }
    QString statusText() const;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    // Asks whether to apply or discard unapplied changes before they would be
    // lost; true when the window may go on (nothing to lose, applied and
    // saved, or discarded), false to stay.
    bool settleUnappliedChanges();
    void currentItemChanged(QListWidgetItem *current, QListWidgetItem *previous);
    QListWidgetItem *itemOf(const QString &name) const;
    QString nameOf(const QListWidgetItem *item) const;
    // Puts the list's current row and selection back on the edited control.
    void restoreSelection();
    void showControl(const QString &name);
    void setStatus(const QString &text, bool error);
    void tellFileLoaded(const QString &name, bool ok);

    DefinitionDocument m_document;
    QStringList m_names; // the controls' section names, by list row
    QListWidget *m_list;
    ppgSourceImage *m_page;
    QWidget *m_surface;              // where the edited control is shown
    controls::aicAlphaImage *m_control = nullptr;
    QString m_controlName;
    bool m_imageReplaced = false; // since the control's image was last saved
    bool m_saveFailed = false;    // the control holds an applied change the file lacks
    QPushButton *m_apply;
    QLabel *m_status;
};

// Makes the program's pictures (file::/pictures/...) readable, as the
// definitions refer to them.
void initEditorResources();

} // namespace skineditor
