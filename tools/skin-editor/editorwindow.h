#pragma once
// The editor's window: the alpha image controls of one window definition on
// the left, the "Image Source" page for the chosen one, the control itself as
// it will look, "Apply" and a status line. Apply hands the page's choice to
// the control and writes the definition file back.
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

    // Chooses a control by its section name; false when there is none.
    bool selectControl(const QString &name);
    // Applies the page to the edited control and saves the definition.
    // False when the file could not be written (the status line says why).
    bool apply();

    const DefinitionDocument &document() const { return m_document; }
    ppgSourceImage *page() const { return m_page; }
    controls::aicAlphaImage *editedControl() const { return m_control; }
    QListWidget *controlList() const { return m_list; }
    QPushButton *applyButton() const { return m_apply; }
    QString statusText() const;

private:
    void showControl(const QString &name);
    void setStatus(const QString &text, bool error);
    void tellFileLoaded(const QString &name, bool ok);

    DefinitionDocument m_document;
    QListWidget *m_list;
    ppgSourceImage *m_page;
    QWidget *m_surface;              // where the edited control is shown
    controls::aicAlphaImage *m_control = nullptr;
    QString m_controlName;
    bool m_imageReplaced = false; // since the control's image was last saved
    QPushButton *m_apply;
    QLabel *m_status;
};

// Makes the program's pictures (file::/pictures/...) readable, as the
// definitions refer to them.
void initEditorResources();

} // namespace skineditor
