#include "app/demo.h"

#include "app/frmmain.h"
#include "download/frmdownload.h"
#include "platform/dialogs.h"
#include "platform/wait.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QTextStream>
#include <QTimer>

namespace app {

namespace {
QTextStream &out()
{
    static QTextStream stream(stdout);
    return stream;
}

// Pumps events until cond holds or the time runs out.
bool waitFor(const std::function<bool()> &cond, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!cond() && !deadline.hasExpired())
        platform::WaitTime(20, true);
    return cond();
}
} // namespace

Demo::Demo(frmMain *main) : m_main(main), m_dir(qEnvironmentVariable("SORIMBA_DEMO_DIR"))
{
    m_clock.start();
    if (active()) {
        // Message boxes are answered and written out instead of waiting for a person.
        platform::Dialogs::setMessageAnswer([](const platform::MessageRequest &m) {
            out() << "message [" << m.title << "] " << QString(m.text).replace("\r\n", " / ") << Qt::endl;
            return m.buttons == platform::MessageButtons::YesNo ? platform::MessageResult::Yes : platform::MessageResult::Ok;
        });
    }
}

void Demo::saveShot(QWidget *window, const QString &step)
{
    // Shots are numbered in the order taken, so a step that did not happen
    // (no post without music) leaves no gap.
    const QString name = QStringLiteral("%1-%2.png").arg(++m_shotCount, 2, 10, QLatin1Char('0')).arg(step);
    const QString path = QDir(m_dir).filePath(name);
    window->grab().save(path);
    out() << "screenshot: " << path << Qt::endl;
}

void Demo::afterLoad()
{
    if (!active())
        return;
    QDir().mkpath(m_dir);
    out() << "chart: " << m_main->lstTop->topLevelItemCount() << " rows shown " << m_clock.elapsed()
          << " ms after start" << Qt::endl;
    platform::WaitTime(100, true); // let the last slide step paint
    saveShot(m_main, QStringLiteral("chart"));
    walkMainPath();
    QTimer::singleShot(0, qApp, &QCoreApplication::quit);
}

void Demo::walkMainPath()
{
    // Search: a chart row becomes the keyword.
    if (m_main->lstTop->topLevelItemCount() == 0)
        return;
    m_main->lstTop->setCurrentItem(m_main->lstTop->topLevelItem(0));
    m_main->lstTop_DblClick();
    platform::WaitTime(100, true);
    saveShot(m_main, QStringLiteral("search"));

    // Post: open results until one yields music; keep a shot of the error panel
    // if a post has none.
    download::frmDownload *window = nullptr;
    bool errorShown = false;
    for (int row = 0; row < m_main->lstResult->topLevelItemCount() && !window; ++row) {
        if (m_main->ResultURLs.value(row + 1).isEmpty())
            continue;
        m_main->lstResult->setCurrentItem(m_main->lstResult->topLevelItem(row));
        m_main->lstResult_DblClick();
        window = static_cast<download::frmDownload *>(m_main->downloadWindow());
        if (!window && m_main->picError->isVisible() && !errorShown) {
            platform::WaitTime(100, true);
            saveShot(m_main, QStringLiteral("post-without-music"));
            errorShown = true;
            m_main->picError->hide();
        }
    }
    if (!window) {
        out() << "no post with music on the first result page" << Qt::endl;
        return;
    }

    // Play: the player starts at once; wait for its rating.
    waitFor([&] { return window->Caption5->caption().contains("kb/s"); }, 10000);
    platform::WaitTime(200, true);
    saveShot(window, QStringLiteral("play"));

    // Download into the demo folder, with a shot of the bar half way.
    window->txtPath->setText(QDir::toNativeSeparators(m_dir));
    bool midShot = false;
    const auto connection = QObject::connect(window->Pro, &controls::ProgressBar::propertyChanged, window, [&](const QString &key) {
        if (!midShot && key == QLatin1String("Value") && window->Pro->value() * 2 >= window->Pro->max()) {
            midShot = true;
            saveShot(window, QStringLiteral("downloading"));
        }
    });
    window->CandyButton1_Click();
    QObject::disconnect(connection);
    platform::WaitTime(150, true);
    saveShot(window, QStringLiteral("downloaded"));
    out() << "downloaded: " << QDir(m_dir).filePath(window->txtFN->text()) << Qt::endl;
    window->close();
}

} // namespace app
