// sorimba-skin-editor DEFINITION_FILE: gives the alpha image controls of a
// window definition their images.
#include "editorwindow.h"

#include <QApplication>
#include <cstdio>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: sorimba-skin-editor DEFINITION_FILE\n");
        return 2;
    }
    skineditor::initEditorResources();
    QString why;
    auto document = skineditor::DefinitionDocument::open(args[1], &why);
    if (!document) {
        std::fprintf(stderr, "sorimba-skin-editor: %s: %s\n", qPrintable(args[1]), qPrintable(why));
        return 1;
    }
    skineditor::EditorWindow window(std::move(*document));
    window.show();
    return app.exec();
}
