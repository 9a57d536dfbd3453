// The program folder (the current directory at start) and the files and working folders in
// it. Every folder path ends with the native separator.
#pragma once

#include <QString>

namespace vorn
{

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
};

Paths form_paths(const QString &currentDir);
// Creates temp, templates, zipdir, catalogs and help (one level each) when missing; failures
// are not reported, the operations that need a folder report their own errors later.
void create_working_folders(const Paths &paths);
// Deletes the files of zipdir, then temp, and removes each folder when it is empty.
void remove_working_folders(const Paths &paths);

} // namespace vorn
