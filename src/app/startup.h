#pragma once
// What the program opens at start. On a user's first start (no agreement
// stored) and whenever it is started with --notice, the chain runs: update
// window, then usage notice, then main window, each window unloaded when the
// next opens. Otherwise the main window opens at once. Either way the main
// window is made and loaded exactly once. An address given on the command
// line (sorimba URL) is opened as a page once the main window has loaded.
#include "app/frmmain.h"
#include "app/frmupdate.h"
#include "app/frmwarning.h"

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <functional>
#include <memory>

namespace app {

class Startup : public QObject {
    Q_OBJECT
public:
    explicit Startup(const QStringList &arguments, QObject *parent = nullptr);
    ~Startup() override;

    // The chain runs on a first start and with the --notice option.
    static bool chainWanted(const QStringList &arguments);
    bool runsChain() const { return m_chain; }
    // The first argument after the program's name that is no option; empty
    // when there is none. It is opened as given: one that is no web address
    // is refused with its reason in the window.
    static QString pageArgument(const QStringList &arguments);

    // Opens the first window. Without the chain the main window is loaded
    // before this returns; with it, start() returns once the update window shows.
    void start();

    FrmUpdate *updateWindow() const { return m_update; }
    frmWarning *noticeWindow() const { return m_notice; }
    frmMain *mainWindow() const { return m_main.get(); }
    int mainLoads() const { return m_mainLoads; }

    // Called with the main window when it is made (before its load) and
    // again once its load has run.
    std::function<void(frmMain *)> onMainMade;
    std::function<void(frmMain *)> onMainLoaded;

private:
    void openNotice();
    void openMain(bool queued);
    void loadMain();

    bool m_chain;
    QString m_pageAddress;
    QPointer<FrmUpdate> m_update;
    QPointer<frmWarning> m_notice;
    std::unique_ptr<frmMain> m_main;
    int m_mainLoads = 0;
};

} // namespace app
