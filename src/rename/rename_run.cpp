#include "rename/rename_run.h"

#include "files/file_helpers.h"

#include <QHash>
#include <QSet>

#include <dirent.h>

namespace vorn
{

bool is_usable_name(const QString &name)
{
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..") ||
        name.contains(QLatin1Char('/')))
        return false;
    const QByteArray bytes = native_path(name); // empty for a NUL or a stray surrogate
    return !bytes.isEmpty() && bytes.size() <= 255;
}

QSet<QString> names_in_folder(const QString &folder)
{
    QSet<QString> names;
    DIR *dir = opendir(native_path(folder).constData());
    if (!dir)
        return names;
    while (const dirent *d = readdir(dir))
        names.insert(path_from_native(QByteArray(d->d_name)));
    closedir(dir);
    return names;
}

RenameCheck check_renames(const QString &folderIn, const QList<RenameRow> &rows)
{
    const QString folder = folderIn.endsWith(QLatin1Char('/')) ? folderIn : folderIn + QLatin1Char('/');
    // One read of the folder instead of a query per name: the names on disk now.
    const QSet<QString> onDisk = names_in_folder(folder);
    auto exists = [&onDisk](const QString &name) { return onDisk.contains(name); };

    RenameCheck check;
    check.rows.resize(rows.size(), RowCheck::Rename);
    QSet<QString> olds;
    QHash<QString, int> firstTarget;
    for (int i = 0; i < rows.size(); ++i) {
        const RenameRow &r = rows[i];
        RowCheck &c = check.rows[i];
        if (r.oldName.isEmpty() || r.newName.isEmpty())
            c = RowCheck::Empty;
        else if (!is_usable_name(r.newName))
            c = RowCheck::BadName;
        else if (!is_usable_name(r.oldName) || olds.contains(r.oldName) || !exists(r.oldName))
            c = RowCheck::Missing;
        else if (r.oldName == r.newName)
            c = RowCheck::Same;
        else if (firstTarget.contains(r.newName))
            c = RowCheck::Repeated;
        if (c != RowCheck::Empty && c != RowCheck::BadName)
            olds.insert(r.oldName);
        if (c == RowCheck::Rename)
            firstTarget.insert(r.newName, i);
    }

    // The names the run frees: old names of rows that are renamed. A row whose target is on
    // disk and not freed is refused, which keeps its own old name taken: repeat until stable.
    QSet<QString> freed;
    for (int i = 0; i < rows.size(); ++i)
        if (check.rows[i] == RowCheck::Rename)
            freed.insert(rows[i].oldName);
    QList<int> targetsOnDisk; // rows whose target exists now
    for (int i = 0; i < rows.size(); ++i)
        if (check.rows[i] == RowCheck::Rename && exists(rows[i].newName))
            targetsOnDisk << i;
    bool changed = true;
    while (changed) {
        changed = false;
        for (int i : targetsOnDisk) {
            if (check.rows[i] == RowCheck::Rename && !freed.contains(rows[i].newName)) {
                check.rows[i] = RowCheck::Taken;
                freed.remove(rows[i].oldName);
                changed = true;
            }
        }
    }
    return check;
}

} // namespace vorn
