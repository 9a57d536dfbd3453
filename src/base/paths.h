// The program folder and the files and working folders in it. Every folder path ends with the
// native separator.
#pragma once

#include <QString>

namespace vorn
{

// The path with exactly one trailing "/"; an empty path stays empty.
QString with_trailing_slash(const QString &path);

struct Paths {
    QString progDir;
    QString cfgFile;
    QString pthFile;
    QString mskFile;
    QString tempDir;
    QString templateDir;
    QString archivDir;
    QString zipDir;
    QString catalogDir;
    QString helpDir;
    QString trashDir;    // where a delete goes when no desktop trash takes the file
    QString journalFile; // the undo journal of sort runs
    QString stateFile;   // the window's place and the last folder
};

Paths form_paths(const QString &programDir);

// The program folder must be the program's own: the program empties temp/ and zipdir/ there at
// close. In this order: the folder given explicitly (--home DIR), else $VORN_HOME, else the
// current folder when it already holds "vorn.cfg" (a portable setup), else
// $XDG_DATA_HOME/vorn (~/.local/share/vorn when XDG_DATA_HOME is unset or relative).
// Empty arguments count as not given.
struct ProgramDirSources {
    QString given;      // --home
    QString envHome;    // VORN_HOME
    QString currentDir; // the current folder
    QString xdgDataHome;
    QString home; // the user's home folder
};
QString choose_program_dir(const ProgramDirSources &sources);
// The choice above from this process's environment and current folder; the folder is created
// (with its parents) when missing.
QString program_dir_for_start(const QString &given);

} // namespace vorn
