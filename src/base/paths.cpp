#include "base/paths.h"

#include <QDir>
#include <QFileInfo>

namespace vorn
{

QString with_trailing_slash(const QString &path)
{
    if (path.isEmpty() || path.endsWith(QLatin1Char('/')))
        return path;
    return path + QLatin1Char('/');
}

Paths form_paths(const QString &programDir)
{
    Paths p;
    p.progDir = with_trailing_slash(QDir::cleanPath(programDir));
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
    p.stateFile = p.progDir + QStringLiteral("vorn.win");
    return p;
}

QString choose_program_dir(const ProgramDirSources &s)
{
    const auto absolute = [&s](const QString &dir) {
        return QDir::cleanPath(QDir(s.currentDir).absoluteFilePath(dir));
    };
    if (!s.given.isEmpty())
        return absolute(s.given);
    if (!s.envHome.isEmpty())
        return absolute(s.envHome);
    if (!s.currentDir.isEmpty() &&
        QFileInfo(QDir(s.currentDir).filePath(QStringLiteral("vorn.cfg"))).isFile())
        return QDir::cleanPath(s.currentDir);
    // A relative XDG_DATA_HOME counts as unset (the XDG base directory rules).
    const QString data = QDir::isAbsolutePath(s.xdgDataHome)
                             ? s.xdgDataHome
                             : QDir(s.home).filePath(QStringLiteral(".local/share"));
    return QDir::cleanPath(QDir(data).filePath(QStringLiteral("vorn")));
}

QString program_dir_for_start(const QString &given)
{
    ProgramDirSources s;
    s.given = given;
    s.envHome = qEnvironmentVariable("VORN_HOME");
    s.currentDir = QDir::currentPath();
    s.xdgDataHome = qEnvironmentVariable("XDG_DATA_HOME");
    s.home = QDir::homePath();
    const QString dir = choose_program_dir(s);
    QDir().mkpath(dir);
    return dir;
}

} // namespace vorn
