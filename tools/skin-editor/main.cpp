// sorimba-skin-editor DEFINITION_FILE: gives the alpha image controls of a
// window definition their images.
#include "launch.h"

#include <QApplication>
#include <cstdio>
#include <cstring>

int main(int argc, char **argv)
{
    // A wrong call, or a call for help, is answered before the window system
    // is asked for.
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(skineditor::kEditorUsage, stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    if (argc != 2) {
        std::fputs(skineditor::kEditorUsage, stderr);
        return 2;
    }
    // Fonts in the definition need the application.
    QApplication app(argc, argv);
    skineditor::initEditorResources();
    auto window = skineditor::openEditorWindow(QString::fromLocal8Bit(argv[1]));
    if (!window)
        return 1;
    window->show();
    return app.exec();
}
