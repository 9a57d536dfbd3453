#include "base/paths.h"

#include "files/file_helpers.h"

#include <QDir>

namespace vorn
{

Paths form_paths(const QString &currentDir)
{
    Paths p;
    p.progDir = add_backslash(QDir::cleanPath(currentDir));
    p.cfgFile = p.progDir + QStringLiteral("vorn.cfg");
    p.pthFile = p.progDir + QStringLiteral("vorn.pth");
    p.mskFile = p.progDir + QStringLiteral("vorn.msk");
    p.tempDir = p.progDir + QStringLiteral("temp/");
    p.templateDir = p.progDir + QStringLiteral("templates/");
    p.archivDir = p.progDir + QStringLiteral("archiv/");
    p.zipDir = p.progDir + QStringLiteral("zipdir/");
    p.catalogDir = p.progDir + QStringLiteral("catalogs/");
    p.helpDir = p.progDir + QStringLiteral("help/");
    p.trashDir = p.progDir + QStringLiteral("trash/");
    p.journalFile = p.progDir + QStringLiteral("vorn.jnl");
    return p;
}

void create_working_folders(const Paths &paths)
{
    for (const QString &dir :
         {paths.tempDir, paths.templateDir, paths.zipDir, paths.catalogDir, paths.helpDir}) {
        if (!QDir(dir).exists())
            QDir().mkdir(dir);
    }
}

void remove_working_folders(const Paths &paths)
{
    for (const QString &dir : {paths.zipDir, paths.tempDir}) {
        clear_folder(dir);
        QDir().rmdir(dir); // fails quietly when something is left in it
    }
}

} // namespace vorn
