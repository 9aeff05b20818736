#include "controlplace.h"

#include <QFileInfo>
#include <initializer_list>

namespace skineditor {

namespace {

struct KnownControl {
    const char *name;
    const char *shows;
};

struct KnownWindow {
    const char *file; // the definition's base name
    const char *window;
    std::initializer_list<KnownControl> controls;
};

// The program's windows and the image controls each one places.
const KnownWindow kWindows[] = {
    {"frmMain", "메인 창",
     {{"aicAlphaImage1", "로고"},
      {"aicAlphaImage2", "\"음악 파일을 찾을 수 없습니다\" 안내의 그림"},
      {"aicAlphaImage3", "\"데이터 처리중\" 안내의 그림"}}},
    {"frmDownload", "다운로드 창",
     {{"aicAlphaImage1", "창 아이콘 (회색)"},
      {"aicAlphaImage2", "10초 앞으로 버튼"},
      {"aicAlphaImage3", "10초 뒤로 버튼"}}},
    {"frmWarning", "사용 안내 창", {{"aicAlphaImage1", "프로그램 아이콘"}}},
    {"frmUpdate", "업데이트 창", {}},
};

const KnownWindow *knownWindow(const QString &base)
{
    for (const KnownWindow &w : kWindows)
        if (base.compare(QLatin1String(w.file), Qt::CaseInsensitive) == 0)
            return &w;
    return nullptr;
}

QString placeIn(const KnownWindow *window, const QString &base, const QString &controlName)
{
    if (!window)
        return base;
    const QString name = QString::fromUtf8(window->window);
    for (const KnownControl &c : window->controls)
        if (controlName.compare(QLatin1String(c.name), Qt::CaseInsensitive) == 0)
            return name + QStringLiteral(": ") + QString::fromUtf8(c.shows);
    return name;
}

QString listText(const QString &controlName, const QString &place)
{
    return place.isEmpty() ? controlName : controlName + QStringLiteral(" — ") + place;
}

} // namespace

QString controlPlace(const QString &definitionPath, const QString &controlName)
{
    const QString base = QFileInfo(definitionPath).completeBaseName();
    return placeIn(knownWindow(base), base, controlName);
}

QString controlListText(const QString &definitionPath, const QString &controlName)
{
    return listText(controlName, controlPlace(definitionPath, controlName));
}

QStringList controlListTexts(const QString &definitionPath, const QStringList &controlNames)
{
    const QString base = QFileInfo(definitionPath).completeBaseName();
    const KnownWindow *window = knownWindow(base);
    QStringList texts;
    texts.reserve(controlNames.size());
    for (const QString &name : controlNames)
        texts << listText(name, placeIn(window, base, name));
    return texts;
}

} // namespace skineditor
