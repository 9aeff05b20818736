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
    QByteArray outBytes; // standard output as written
};

// SORIMBA_IMAGE_TOOL runs the tests against another build of the tool.
inline QString toolPath()
{
    const QString other = qEnvironmentVariable("SORIMBA_IMAGE_TOOL");
    return other.isEmpty() ? QString::fromUtf8(SORIMBA_BINARY_DIR) + "/tools/sorimba-image" : other;
}

// Test-only builds have no tool; its tests skip then.
inline bool toolBuilt()
{
    return QFile::exists(toolPath());
}

// `environment`: NAME=VALUE entries added to the tool's environment.
inline ToolRun runTool(const QStringList &args, const QStringList &environment = {})
{
    QProcess p;
    if (!environment.isEmpty())
        p.setEnvironment(QProcess::systemEnvironment() + environment);
    p.start(toolPath(), args);
    ToolRun r;
    if (!p.waitForFinished(30000))
        return r;
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.outBytes = p.readAllStandardOutput();
    r.out = QString::fromUtf8(r.outBytes);
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

} // namespace tooltest
