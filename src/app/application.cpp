#include "app/application.h"

#include "app/demo.h"
#include "app/frmmain.h"
#include "app/startup.h"

#include <QCoreApplication>
#include <QFont>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <clocale>
#include <memory>

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
    // The desktop entry that the install puts in share/applications.
    QGuiApplication::setDesktopFileName(QStringLiteral("sorimba2"));
    initApplication();
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/pictures/sorimba.ico")));
    installQtTranslations(QLocale());
    Startup startup(application.arguments());
    std::unique_ptr<Demo> demo; // does nothing unless SORIMBA_DEMO_DIR is set
    startup.onMainMade = [&demo](frmMain *main) { demo = std::make_unique<Demo>(main); };
    startup.onMainLoaded = [&demo](frmMain *) { demo->afterLoad(); };
    startup.start();
    if (!startup.runsChain() && !startup.mainWindow()->isVisible() && !demo->active())
        return 0; // closed while the chart was loading
    return application.exec();
}

} // namespace app
