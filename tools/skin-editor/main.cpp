// sorimba-skin-editor DEFINITION_FILE: gives the alpha image controls of a
// window definition their images.
#include "editorwindow.h"

#include <QApplication>
#include <cstdio>

int main(int argc, char **argv)
{
    // A wrong call is answered before the window system is asked for.
    if (argc != 2) {
        std::fprintf(stderr, "usage: sorimba-skin-editor DEFINITION_FILE\n");
        return 2;
    }
    // Fonts in the definition need the application.
    QApplication app(argc, argv);
    const QString path = QString::fromLocal8Bit(argv[1]);
    skineditor::initEditorResources();
    QString why;
    auto document = skineditor::DefinitionDocument::open(path, &why);
    if (!document) {
        std::fprintf(stderr, "sorimba-skin-editor: %s: %s\n", argv[1], qPrintable(why));
        return 1;
    }
    skineditor::EditorWindow window(std::move(*document));
    window.show();
    return app.exec();
}
