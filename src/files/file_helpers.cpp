#include "files/file_helpers.h"

#include <QDir>
#include <QFile>

namespace vorn {

QString add_backslash(const QString &path)
{
    if (path.isEmpty() || path.endsWith(QLatin1Char('/')))
        return path;
    return path + QLatin1Char('/');
}

void clear_folder(const QString &folder)
{
    QDir dir(folder);
    const QStringList files = dir.entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QString &name : files) {
        const QString path = dir.filePath(name);
        QFile::setPermissions(path, QFile::permissions(path) | QFile::WriteOwner);
        QFile::remove(path);
    }
}

} // namespace vorn
