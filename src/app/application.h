#pragma once
// Program start: application set-up (fonts, locale, resources) and the main
// window's load.
#include <QApplication>

namespace app {
// Fonts named by the window definitions that this system lacks, resources,
// and the numeric locale the player needs. Safe to call more than once.
void initApplication();
int runApplication(int argc, char **argv);
} // namespace app
