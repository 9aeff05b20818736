#pragma once
// Where a control of a window definition sits, told in words for the
// editor's list: the window (known from the definition file's name) and what
// the control shows there.
#include <QString>
#include <QStringList>

namespace skineditor {

// "메인 창: 로고" for a control the program's windows are known to have; the
// window alone ("메인 창") for another control of a known window; the file's
// base name ("frmOther") for a window the editor does not know.
QString controlPlace(const QString &definitionPath, const QString &controlName);

// The list's text for a control: "aicAlphaImage1 — 메인 창: 로고".
QString controlListText(const QString &definitionPath, const QString &controlName);
// The same for every control of one definition.
QStringList controlListTexts(const QString &definitionPath, const QStringList &controlNames);

} // namespace skineditor
