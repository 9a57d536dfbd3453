// Small helpers shared by the benchmarks: timing a piece of work and running a peer tool.
#pragma once

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <functional>

namespace vorn::bench
{

// Seconds the work took.
inline double timeIt(const std::function<void()> &work)
{
    QElapsedTimer t;
    t.start();
    work();
    return double(t.nsecsElapsed()) / 1e9;
}

// Runs a program to its end (in workDir when given); a failure ends the benchmark.
inline void runTool(const QString &program, const QStringList &args, const QString &workDir = {})
{
    QProcess p;
    if (!workDir.isEmpty())
        p.setWorkingDirectory(workDir);
    p.start(program, args);
    if (!p.waitForFinished(-1) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        qFatal("%s failed: %s", qPrintable(program), p.readAllStandardError().constData());
}

// An empty folder at that path (removed first when it exists).
inline void freshFolder(const QString &folder)
{
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
}

} // namespace vorn::bench
