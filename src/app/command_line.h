// The command line of the program: --home, --help, --version and the paths to open. Read
// before any application object exists, so --help and --version need no display.
#pragma once

#include <QString>
#include <QStringList>

namespace vorn
{

struct CommandLine {
    QString programDir; // --home DIR / --home=DIR; empty when not given
    QStringList paths;  // the paths to open, absolute and clean
    bool help = false;
    bool version = false;
    QString badOption; // the first option the program does not know
};

// args without the program name. A relative path is taken from workingDir. "--" ends the
// options, so a file named "--help" can be opened.
CommandLine parse_command_line(const QStringList &args, const QString &workingDir);

// What openPaths does with a list of paths: the folder to list and the files in it to select.
struct PathPlan {
    QString folder;          // the folder to open; empty when no path exists
    QStringList selectFiles; // full paths of files in that folder to select
    QStringList missing;     // paths that do not exist
    QStringList elsewhere;   // paths outside the listed folder: the list shows one folder
};
PathPlan plan_paths(const QStringList &paths);

} // namespace vorn
