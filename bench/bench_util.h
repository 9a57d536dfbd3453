// Small helpers shared by the benchmarks: timing a piece of work and running a peer tool.
#pragma once

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <cstdio>
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

// The resident memory of this process in KiB (0 when /proc is not readable).
inline long rssKb()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return 0;
}

// Milliseconds a shell loop took: `shell -c script shell args...`; a failure ends the benchmark.
inline double shellLoopMs(const QString &shell, const QString &script, const QStringList &args)
{
    QElapsedTimer t;
    t.start();
    runTool(shell, QStringList{QStringLiteral("-c"), script} + args);
    return double(t.nsecsElapsed()) / 1e6;
}

// A window-using benchmark runs on the offscreen platform unless a platform was chosen.
inline void offscreenUnlessChosen()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

// The machine's one-minute load average (0 when /proc is not readable).
inline double loadAverage()
{
    QFile f(QStringLiteral("/proc/loadavg"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    return f.readAll().split(' ').value(0).toDouble();
}

// Prints the load average with a label ("before", "after"), so a figure taken on a busy machine
// can be read as such.
inline void printLoad(const char *when)
{
    std::printf("load average %s: %.2f\n", when, loadAverage());
    std::fflush(stdout);
}

// A ratio as a figure of the closing table, e.g. "1.06 x ls -1".
inline QString ratioText(double ratio, const char *peer)
{
    return QStringLiteral("%1 x %2").arg(ratio, 0, 'f', 2).arg(QLatin1String(peer));
}

// One figure of the closing table of `make bench`: a tab-separated line starting with
// "BENCHROW" that the Makefile collects from every benchmark's output. `figure` and `goal` are
// what a reader sees (for example "1.06 x djpeg" and "<= 1.2 x"); `holds` says whether the
// figure meets its goal.
inline void reportRow(const char *name, const QString &figure, const QString &goal, bool holds)
{
    std::printf("BENCHROW\t%s\t%s\t%s\t%s\n", name, qPrintable(figure), qPrintable(goal),
                holds ? "yes" : "NO");
    std::fflush(stdout);
}

} // namespace vorn::bench
