#include "controls/fonts.h"

#include <QStringList>

namespace controls {

void installFontSubstitutions()
{
    static const bool done = [] {
        const QString nanum = QStringLiteral("NanumGothic");
        QFont::insertSubstitution(QStringLiteral("Gulim"), nanum);
        QFont::insertSubstitution(QStringLiteral("GulimChe"), nanum);
        QFont::insertSubstitution(QString::fromUtf8("굴림"), nanum);
        QFont::insertSubstitution(QString::fromUtf8("굴림체"), nanum);
        QFont::insertSubstitution(QStringLiteral("Tahoma"), QStringLiteral("DejaVu Sans"));
        return true;
    }();
    (void)done;
}

QFont makeFont(const QString &family, double pointSize, bool bold, bool italic)
{
    installFontSubstitutions();
    QFont f(family);
    if (pointSize > 0)
        f.setPointSizeF(pointSize);
    f.setBold(bold);
    f.setItalic(italic);
    return f;
}

QFont crispFont(const QFont &f)
{
    QFont c(f);
    c.setStyleStrategy(QFont::StyleStrategy(c.styleStrategy() | QFont::NoAntialias));
    c.setHintingPreference(QFont::PreferFullHinting);
    return c;
}

} // namespace controls
