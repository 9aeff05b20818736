#pragma once
// Program start: application set-up (fonts, locale, resources) and the main
// window's load.
#include <QApplication>
#include <QLocale>

namespace app {
// Fonts named by the window definitions that this system lacks, resources,
// and the numeric locale the player needs. Safe to call more than once.
void initApplication();
// Loads Qt's own translations (message box buttons, file dialogs) for the
// locale; false when Qt has none for it. The last one loaded wins.
bool installQtTranslations(const QLocale &locale);
int runApplication(int argc, char **argv);
} // namespace app
