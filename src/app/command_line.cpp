#include "app/command_line.h"

#include <QDir>
#include <QFileInfo>

namespace vorn
{

CommandLine parse_command_line(const QStringList &args, const QString &workingDir)
{
    CommandLine cl;
    const QDir wd(workingDir);
    bool options = true;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        if (options && a == QLatin1String("--")) {
            options = false;
        } else if (options && a == QLatin1String("--home")) {
            if (i + 1 < args.size())
                cl.programDir = args[++i];
            else if (cl.badOption.isEmpty())
                cl.badOption = a;
        } else if (options && a.startsWith(QLatin1String("--home="))) {
            cl.programDir = a.mid(7);
        } else if (options && (a == QLatin1String("--help") || a == QLatin1String("-h"))) {
            cl.help = true;
        } else if (options && (a == QLatin1String("--version") || a == QLatin1String("-v"))) {
            cl.version = true;
        } else if (options && a.startsWith(QLatin1Char('-')) && a.size() > 1) {
            // Qt's own options (-platform, -style ...) are left to the application object.
            if (cl.badOption.isEmpty() && a.startsWith(QLatin1String("--")))
                cl.badOption = a;
        } else if (!a.isEmpty()) {
            cl.paths << QDir::cleanPath(wd.absoluteFilePath(a));
        }
    }
    return cl;
}

PathPlan plan_paths(const QStringList &paths)
{
    PathPlan plan;
    for (const QString &p : paths) {
        const QFileInfo fi(p);
        if (!fi.exists()) {
            plan.missing << p;
            continue;
        }
        const QString folder = fi.isDir() ? fi.absoluteFilePath() : fi.absolutePath();
        if (plan.folder.isEmpty())
            plan.folder = folder;
        if (fi.isDir()) {
            // A folder after files of another folder is not listed: the list shows one folder.
            if (folder != plan.folder)
                plan.elsewhere << p;
            continue;
        }
        if (folder == plan.folder)
            plan.selectFiles << fi.absoluteFilePath();
        else
            plan.elsewhere << p;
    }
    return plan;
}

} // namespace vorn
