#include "rename/rename_list_model.h"

#include "files/file_attributes.h"
#include "files/file_helpers.h"

#include <QLocale>

#include <dirent.h>
#include <sys/stat.h>

namespace vorn
{

QList<RenameFileEntry> list_rename_folder(const QString &folderIn)
{
    QList<RenameFileEntry> out;
    if (folderIn.isEmpty())
        return out;
    const QString folder = folderIn.endsWith(QLatin1Char('/')) ? folderIn : folderIn + QLatin1Char('/');
    DIR *dir = opendir(native_path(folder).constData());
    if (!dir)
        return out;
    while (const dirent *d = readdir(dir)) {
        const QString name = path_from_native(QByteArray(d->d_name));
        if (name == QLatin1String(".") || name == QLatin1String(".."))
            continue;
        struct stat st = {};
        if (fstatat(dirfd(dir), d->d_name, &st, 0) != 0 || !S_ISREG(st.st_mode))
            continue;
        RenameFileEntry e;
        e.name = name;
        e.sortKey = shown_name(name).toLower();
        e.modified = QDateTime::fromSecsSinceEpoch(st.st_mtim.tv_sec);
        e.attributes = file_attributes(folder + name);
        out << e;
    }
    closedir(dir);
    return out;
}

QString attribute_letters(quint32 a)
{
    QString s;
    if (a & AttrReadOnly)
        s += QLatin1Char('R');
    if (a & AttrHidden)
        s += QLatin1Char('H');
    if (a & AttrSystem)
        s += QLatin1Char('S');
    if (a & AttrArchive)
        s += QLatin1Char('A');
    return s;
}

int RenameListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : count();
}

int RenameListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant RenameListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= count())
        return {};
    const RenameFileEntry &e = entries_[index.row()];
    auto ext = [&e] {
        const qsizetype dot = e.name.lastIndexOf(QLatin1Char('.'));
        return dot < 0 ? QString() : shown_name(e.name.mid(dot + 1)).toUpper();
    };
    if (role == Qt::DisplayRole || role == Qt::EditRole) {
        switch (index.column()) {
        case NameColumn:
            return shown_name(e.name);
        case TypeColumn:
            return ext();
        case ModifiedColumn:
            return QLocale::system().toString(e.modified, QStringLiteral("dd.MM.yyyy HH:mm:ss"));
        case AttributesColumn:
            return attribute_letters(e.attributes);
        }
    } else if (role == SortRole) {
        switch (index.column()) {
        case NameColumn:
            return e.sortKey;
        case TypeColumn:
            return ext();
        case ModifiedColumn:
            return e.modified.toSecsSinceEpoch();
        case AttributesColumn:
            return attribute_letters(e.attributes);
        }
    }
    return {};
}

QVariant RenameListModel::headerData(int section, Qt::Orientation o, int role) const
{
    if (o == Qt::Horizontal && role == Qt::DisplayRole)
        return titles_.value(section);
    return QAbstractTableModel::headerData(section, o, role);
}

bool RenameListModel::setHeaderData(int section, Qt::Orientation o, const QVariant &value, int role)
{
    if (o != Qt::Horizontal || role != Qt::EditRole || section < 0 || section >= ColumnCount)
        return false;
    while (titles_.size() <= section)
        titles_ << QString();
    titles_[section] = value.toString();
    emit headerDataChanged(o, section, section);
    return true;
}

Qt::ItemFlags RenameListModel::flags(const QModelIndex &index) const
{
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (index.isValid() && index.column() == NameColumn)
        f |= Qt::ItemIsEditable;
    return f;
}

bool RenameListModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || role != Qt::EditRole || index.column() != NameColumn)
        return false;
    const QString name = value.toString();
    // The editor held the name as shown: unchanged text is no new name, whatever bytes it stands for.
    if (name != shown_name(entries_[index.row()].name))
        emit renameRequested(index.row(), name);
    return false; // the list follows the disk after the rename, not the typed text
}

void RenameListModel::setFolder(const QString &folder)
{
    beginResetModel();
    folder_ = folder;
    entries_ = list_rename_folder(folder);
    endResetModel();
}

} // namespace vorn
