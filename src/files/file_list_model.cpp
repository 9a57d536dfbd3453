#include "files/file_list_model.h"

#include "files/file_helpers.h"

#include <QDir>
#include <QThread>

#include <algorithm>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <thread>

namespace vorn
{

namespace
{

// Hidden (2) and system (4) in user.DOSATTRIB, the form Samba writes ("0x" + hex).
bool flaggedHiddenOrSystem(const QByteArray &path, bool &xattrsSupported)
{
    if (!xattrsSupported)
        return false;
    char buf[64];
    const ssize_t n = lgetxattr(path.constData(), "user.DOSATTRIB", buf, sizeof(buf) - 1);
    if (n < 0) {
        if (errno == ENOTSUP)
            xattrsSupported = false;
        return false;
    }
    buf[n] = 0;
    const unsigned long v = std::strtoul(buf, nullptr, 0);
    return (v & 0x6) != 0;
}

} // namespace

QList<FileEntry> list_folder(const QString &folder, const std::function<bool(const QString &)> &accept)
{
    QList<FileEntry> out;
    const QString dirPath = with_trailing_slash(folder);
    const QByteArray encoded = native_path(dirPath);
    DIR *dir = opendir(encoded.constData());
    if (!dir)
        return out;
    const int dfd = dirfd(dir);
    struct Candidate {
        QString key;
        QString name;
        QByteArray raw;
        bool flagged = false;
    };
    std::vector<Candidate> found;
    while (dirent *e = readdir(dir)) {
        if (e->d_name[0] == '.')
            continue; // dot-names are hidden (and "." and "..")
        // The entry's type suffices; only unknown types and links cost a stat.
        bool isFile = e->d_type == DT_REG;
        if (e->d_type == DT_UNKNOWN || e->d_type == DT_LNK) {
            struct stat st {
            };
            if (fstatat(dfd, e->d_name, &st, 0) != 0)
                continue;
            isFile = S_ISREG(st.st_mode);
        }
        if (!isFile)
            continue;
        QString name = path_from_native(QByteArray(e->d_name));
        QString lower = name.toLower();
        if (accept && !accept(lower))
            continue;
        found.push_back({std::move(lower), std::move(name), QByteArray(e->d_name), false});
    }
    closedir(dir);

    // Hidden and system flags live in an extended attribute: one lookup per file, spread over
    // the cores. A file system without extended attributes is asked once.
    bool xattrs = true;
    flaggedHiddenOrSystem(encoded, xattrs);
    if (xattrs && !found.empty()) {
        const int chunks = found.size() > 4096 ? qMax(1, QThread::idealThreadCount()) : 1;
        const size_t per = (found.size() + chunks - 1) / chunks;
        QList<std::pair<size_t, size_t>> ranges;
        for (size_t b = 0; b < found.size(); b += per)
            ranges.append({b, std::min(found.size(), b + per)});
        auto check = [&found, &encoded](std::pair<size_t, size_t> r) {
            bool supported = true;
            for (size_t i = r.first; i < r.second; ++i)
                found[i].flagged = flaggedHiddenOrSystem(encoded + found[i].raw, supported);
        };
        // Own threads, not the shared pool: this already runs on a pool thread, and waiting
        // there for more pool work can starve the pool.
        std::vector<std::thread> helpers;
        for (qsizetype i = 1; i < ranges.size(); ++i)
            helpers.emplace_back(check, ranges[i]);
        check(ranges.first());
        for (std::thread &t : helpers)
            t.join();
    }
    std::sort(found.begin(), found.end(), [](const Candidate &a, const Candidate &b) {
        const int c = a.key.compare(b.key);
        return c != 0 ? c < 0 : a.name < b.name;
    });
    out.reserve(qsizetype(found.size()));
    for (Candidate &c : found)
        if (!c.flagged)
            // The size is read when a file is selected, not for every listed file.
            out.append(FileEntry{std::move(c.name), dirPath, -1});
    return out;
}

FileListModel::FileListModel(QObject *parent) : QAbstractTableModel(parent)
{
    connect(&lister_, &Job::finished, this, [this] {
        if (lister_.wasCancelled())
            return; // superseded
        beginResetModel();
        entries_ = lister_.result<QList<FileEntry>>();
        endResetModel();
        emit listed();
    });
}

FileListModel::~FileListModel() = default;

int FileListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(entries_.size());
}

int FileListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 2;
}

QVariant FileListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= entries_.size())
        return {};
    const FileEntry &e = entries_[index.row()];
    // Bytes that are not UTF-8 show as replacement characters; the entry keeps them.
    if (role == Qt::DisplayRole || role == Qt::EditRole)
        return shown_name(index.column() == NameColumn ? e.name : e.folder);
    if (role == Qt::ToolTipRole)
        return shown_name(e.fullPath());
    return {};
}

Qt::ItemFlags FileListModel::flags(const QModelIndex &index) const
{
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (editable_ && index.column() == NameColumn)
        f |= Qt::ItemIsEditable;
    return f;
}

bool FileListModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::EditRole || !index.isValid() || index.column() != NameColumn)
        return false;
    const QString name = value.toString();
    if (name == shown_name(entries_[index.row()].name))
        return false;
    emit renameRequested(index.row(), name);
    return false; // the owner sets the name once the file really has it
}

void FileListModel::setFolder(const QString &folder, std::function<bool(const QString &)> accept)
{
    folder_ = with_trailing_slash(folder);
    beginResetModel();
    entries_.clear();
    endResetModel();
    lister_.start([f = folder_, accept = std::move(accept)](JobToken &) { return list_folder(f, accept); });
}

void FileListModel::append(const QList<FileEntry> &entries)
{
    if (entries.isEmpty())
        return;
    beginInsertRows({}, int(entries_.size()), int(entries_.size() + entries.size() - 1));
    entries_.append(entries);
    endInsertRows();
}

void FileListModel::clear()
{
    lister_.cancel();
    beginResetModel();
    entries_.clear();
    endResetModel();
}

void FileListModel::removeEntries(QList<int> rows)
{
    std::sort(rows.begin(), rows.end(), std::greater<int>());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    for (int r : rows) {
        if (r < 0 || r >= entries_.size())
            continue;
        beginRemoveRows({}, r, r);
        entries_.removeAt(r);
        endRemoveRows();
    }
}

void FileListModel::setEntryName(int row, const QString &name)
{
    if (row < 0 || row >= entries_.size())
        return;
    entries_[row].name = name;
    emit dataChanged(index(row, 0), index(row, 1));
}

} // namespace vorn
