#include "app/application.h"

#include "app/demo.h"
#include "app/frmmain.h"

#include <QFont>
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

int runApplication(int argc, char **argv)
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Sorimba2"));
    initApplication();
    frmMain main;
    Demo demo(&main); // does nothing unless SORIMBA_DEMO_DIR is set
    main.Load();
    if (!main.isVisible() && !demo.active())
        return 0; // closed while the chart was loading
    demo.afterLoad();
    return application.exec();
}

} // namespace app
