#pragma once
// Starting the editor from its command line: the usage, and opening the
// definition file into a window or telling why it cannot be opened.
#include "editorwindow.h"

#include <memory>

namespace skineditor {

// "usage: sorimba-skin-editor DEFINITION_FILE" and what the editor does.
extern const char kEditorUsage[];

// The editor window over the definition file; a file that cannot be opened
// is told on standard error and in a message box (in Korean, with its
// cause), and nothing is returned.
std::unique_ptr<EditorWindow> openEditorWindow(const QString &path);

// Why a definition file could not be opened, in Korean: the file missing, not
// a regular file, not readable, or its text not a definition (`detail`, the
// reader's own words, follows).
QString openFailureText(const QString &path, const QString &detail);

} // namespace skineditor
