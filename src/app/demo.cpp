#include "app/demo.h"

#include "app/frmmain.h"
#include "platform/wait.h"

#include <QCoreApplication>
#include <QDir>
#include <QTextStream>
#include <QTimer>

namespace app {

Demo::Demo(frmMain *main) : m_main(main), m_dir(qEnvironmentVariable("SORIMBA_DEMO_DIR")) {}

void Demo::saveShot(QWidget *window, const QString &name)
{
    const QString path = QDir(m_dir).filePath(name);
    window->grab().save(path);
    QTextStream(stdout) << "screenshot: " << path << Qt::endl;
}

void Demo::afterLoad()
{
    if (!active())
        return;
    QDir().mkpath(m_dir);
    platform::WaitTime(200, true); // let the last slide step paint
    saveShot(m_main, QStringLiteral("01-chart.png"));
    QTimer::singleShot(0, qApp, &QCoreApplication::quit);
}

} // namespace app
