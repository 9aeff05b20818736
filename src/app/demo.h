#pragma once
// The demo run: when SORIMBA_DEMO_DIR names a folder, the program walks its
// main path by itself after start and saves a screenshot of each step there,
// with the file it downloaded, then quits. Without the variable it does
// nothing.
#include <QElapsedTimer>
#include <QString>
class QWidget;

namespace app {

class frmMain;

class Demo {
public:
    explicit Demo(frmMain *main);
    bool active() const { return !m_dir.isEmpty(); }
    void afterLoad();

private:
    void saveShot(QWidget *window, const QString &step);
    void walkMainPath();
    QElapsedTimer m_clock;
    frmMain *m_main;
    QString m_dir;
    int m_shotCount = 0;
};

} // namespace app
