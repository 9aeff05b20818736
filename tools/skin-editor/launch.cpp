#include "launch.h"

#include "platform/dialogs.h"

#include <QFileInfo>
#include <cstdio>

namespace skineditor {

const char kEditorUsage[] =
    "usage: sorimba-skin-editor DEFINITION_FILE\n"
    "Gives the alpha image controls of a window definition (resources/forms/*.def) their images.\n";

QString openFailureText(const QString &path, const QString &detail)
{
    const QFileInfo file(path);
    QString cause;
    if (!file.exists())
        cause = QStringLiteral("파일이 없습니다.");
    else if (!file.isFile())
        cause = QStringLiteral("일반 파일이 아닙니다.");
    else if (!file.isReadable())
        cause = QStringLiteral("파일을 읽을 권한이 없습니다.");
    else
        cause = QStringLiteral("창 정의 파일로 읽을 수 없습니다.");
    return QStringLiteral("정의 파일을 열 수 없습니다: %1\n%2\n(%3)").arg(path, cause, detail);
}

std::unique_ptr<EditorWindow> openEditorWindow(const QString &path)
{
    QString why;
    auto document = DefinitionDocument::open(path, &why);
    if (document)
        return std::make_unique<EditorWindow>(std::move(*document));
    std::fprintf(stderr, "sorimba-skin-editor: %s: %s\n", qPrintable(path), qPrintable(why));
    platform::Dialogs::messageBox(QStringLiteral("Sorimba 2 스킨 편집기"), openFailureText(path, why),
                                  platform::MessageIcon::Critical);
    return nullptr;
}

} // namespace skineditor
