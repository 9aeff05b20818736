#pragma once
// Runs the sorimba-image tool built beside the tests and keeps what it said.
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace tooltest {

struct ToolRun {
    int status = -1; // -1: it did not finish normally
    QString out, err;
};

inline QString toolPath()
{
    return QString::fromUtf8(SORIMBA_BINARY_DIR) + "/tools/sorimba-image";
}

// Test-only builds have no tool; its tests skip then.
inline bool toolBuilt()
{
    return QFile::exists(toolPath());
}

inline ToolRun runTool(const QStringList &args)
{
    QProcess p;
    p.start(toolPath(), args);
    ToolRun r;
    if (!p.waitForFinished(30000))
        return r;
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

} // namespace tooltest
