#include "app/startup.h"

#include "app/frmupdate.h"
#include "app/frmwarning.h"
#include "app/noticesetting.h"

#include <QMetaObject>

namespace app {

Startup::Startup(const QStringList &arguments, QObject *parent)
    : QObject(parent), m_chain(chainWanted(arguments)), m_pageAddress(pageArgument(arguments))
{
}

Startup::~Startup()
{
    // Windows of an unfinished chain go with the start-up that made them.
    delete m_update.data();
    delete m_notice.data();
}

bool Startup::chainWanted(const QStringList &arguments)
{
    return arguments.mid(1).contains(QStringLiteral("--notice")) || !noticeAgreed();
}

QString Startup::pageArgument(const QStringList &arguments)
{
    for (const QString &argument : arguments.mid(1))
        if (!argument.startsWith(u'-'))
            return argument;
    return {};
}

void Startup::start()
{
    if (!m_chain) {
        openMain(false);
        return;
    }
    m_update = new FrmUpdate([this] { openNotice(); });
    m_update->Load();
}

void Startup::openNotice()
{
    if (m_notice)
        return;
    m_notice = new frmWarning([this] { openMain(true); });
    m_notice->Load();
}

void Startup::openMain(bool queued)
{
    if (m_main)
        return; // the main window and its start sequence exist once
    m_main = std::make_unique<frmMain>();
    if (onMainMade)
        onMainMade(m_main.get());
    if (!queued) {
        loadMain();
        return;
    }
    // Opened from the notice's close: the window shows at once (so that a
    // window is always open), and its load runs once the notice is gone.
    m_main->show();
    QMetaObject::invokeMethod(this, &Startup::loadMain, Qt::QueuedConnection);
}

void Startup::loadMain()
{
    if (!m_main || m_mainLoads > 0)
        return;
    ++m_mainLoads;
    m_main->Load();
    if (onMainLoaded && m_main)
        onMainLoaded(m_main.get());
    // Closed while the chart loaded: the program is ending.
    if (m_main && !m_pageAddress.isEmpty() && m_main->isVisible()) {
        m_main->txtKeyword->setText(m_pageAddress);
        m_main->openPage(m_pageAddress);
    }
}

} // namespace app
