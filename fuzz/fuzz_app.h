#pragma once
// Shared start-up of the fuzz targets: the drawing layer and the fonts want a
// GUI application, which runs offscreen here.
#include <QGuiApplication>

#include <cstdlib>

namespace fuzzsupport {

inline void startApplication(int *argc, char ***argv)
{
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static QGuiApplication *app = new QGuiApplication(*argc, *argv);
    (void)app;
}

} // namespace fuzzsupport

namespace fuzzsupport {
// Keeps a computed value alive so that the reads producing it are not dropped.
inline volatile unsigned g_sink = 0;
inline void keep(unsigned v) { g_sink = v; }
} // namespace fuzzsupport
