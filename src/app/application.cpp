#include "app/application.h"

#include "app/demo.h"
#include "app/frmmain.h"

#include <QCoreApplication>
#include <QFont>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <clocale>

static void initResourcesOnce()
{
    Q_INIT_RESOURCE(resources);
}

namespace app {

void initApplication()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    initResourcesOnce();
    QFont::insertSubstitution(QStringLiteral("Gulim"), QStringLiteral("NanumGothic"));
    QFont::insertSubstitution(QStringLiteral("Tahoma"), QStringLiteral("DejaVu Sans"));
    // mpv needs the C numeric locale once Qt has set the user's.
    std::setlocale(LC_NUMERIC, "C");
}

bool installQtTranslations(const QLocale &locale)
{
    static QTranslator *installed = nullptr;
    auto *translator = new QTranslator(QCoreApplication::instance());
    // Qt's own texts ("Yes", "Look in" ...) in the user's language; the
    // program's texts are Korean already.
    if (!translator->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    if (installed) {
        QCoreApplication::removeTranslator(installed);
        delete installed;
    }
    installed = translator;
    QCoreApplication::installTranslator(translator);
    return true;
}

int runApplication(int argc, char **argv)
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Sorimba2"));
    initApplication();
    installQtTranslations(QLocale());
    frmMain main;
    Demo demo(&main); // does nothing unless SORIMBA_DEMO_DIR is set
    main.Load();
    if (!main.isVisible() && !demo.active())
        return 0; // closed while the chart was loading
    demo.afterLoad();
    return application.exec();
}

} // namespace app
