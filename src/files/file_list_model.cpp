#include "files/file_list_model.h"

#include "files/file_helpers.h"

#include <QDir>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/xattr.h>
#include <thread>
#include <unistd.h>

namespace vorn
{

namespace
{

// The flags of user.DOSATTRIB, the form Samba writes ("0x" + hex), of the file `name` in the
// folder open as dfd (path `dirPath`, with trailing '/'). Returns the value's length, or -1 with
// errno. getxattrat looks the name up in the folder alone; older kernels take the full path.
ssize_t readDosAttrib(int dfd, const QByteArray &dirPath, const QByteArray &name, char *buf, size_t size)
{
#if defined(__linux__)
#ifndef SYS_getxattrat
#define SYS_getxattrat 464 // the same number on every architecture
#endif
    static std::atomic<bool> withoutAt{false};
    if (!withoutAt.load(std::memory_order_relaxed)) {
        struct {
            quint64 value;
            quint32 size;
            quint32 flags;
        } args{quint64(quintptr(buf)), quint32(size), 0};
        const long rc = syscall(SYS_getxattrat, dfd, name.constData(), AT_SYMLINK_NOFOLLOW, "user.DOSATTRIB",
                                &args, sizeof args);
        if (rc >= 0 || (errno != ENOSYS && errno != EPERM))
            return rc;
        withoutAt.store(true, std::memory_order_relaxed);
    }
#endif
    Q_UNUSED(dfd)
    return lgetxattr((dirPath + name).constData(), "user.DOSATTRIB", buf, size);
}

// Hidden (2) or system (4) in user.DOSATTRIB. A file system without extended attributes
// clears `xattrsSupported`, so it is asked once.
bool flaggedHiddenOrSystem(int dfd, const QByteArray &dirPath, const QByteArray &name, bool &xattrsSupported)
{
    if (!xattrsSupported)
        return false;
    char buf[64];
    const ssize_t n = readDosAttrib(dfd, dirPath, name, buf, sizeof(buf) - 1);
    if (n < 0) {
        if (errno == ENOTSUP)
            xattrsSupported = false;
        return false;
    }
    buf[n] = 0;
    const unsigned long v = std::strtoul(buf, nullptr, 0);
    return (v & 0x6) != 0;
}

struct Candidate {
    QByteArray raw;
    QString key; // the lower-cased name, the sort key
    QString name;
    bool listed = false;
};
using Block = std::vector<Candidate>;

// Blocks of names read from the folder, handed from the reading thread to the threads that
// check them (name decoded, mask, the extended attribute: one system call per file, the
// costly part), so the checks run while the folder is still being read.
class BlockQueue
{
  public:
    void push(Block *b)
    {
        {
            std::lock_guard lock(mutex_);
            blocks_.push_back(b);
        }
        ready_.notify_one();
    }
    void close()
    {
        {
            std::lock_guard lock(mutex_);
            closed_ = true;
        }
        ready_.notify_all();
    }
    // The next block; null once the queue is closed and empty. `wait` false returns null at once
    // when no block is waiting.
    Block *pop(bool wait)
    {
        std::unique_lock lock(mutex_);
        if (wait)
            ready_.wait(lock, [this] { return closed_ || !blocks_.empty(); });
        if (blocks_.empty())
            return nullptr;
        Block *b = blocks_.front();
        blocks_.pop_front();
        return b;
    }

  private:
    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<Block *> blocks_;
    bool closed_ = false;
};

constexpr size_t kBlockSize = 2048;

} // namespace

QList<FileEntry> list_folder(const QString &folder, const std::function<bool(const QString &)> &accept,
                             const std::function<void(const QList<FileEntry> &)> &first, int firstCount)
{
    QList<FileEntry> out;
    const QString dirPath = with_trailing_slash(folder);
    const QByteArray encoded = native_path(dirPath);
    DIR *dir = opendir(encoded.constData());
    if (!dir)
        return out;
    const int dfd = dirfd(dir);
    bool xattrs = true;
    {
        char probe[64];
        if (lgetxattr(encoded.constData(), "user.DOSATTRIB", probe, sizeof probe) < 0 && errno == ENOTSUP)
            xattrs = false;
    }
    auto byName = [](const Candidate &a, const Candidate &b) {
        const int c = a.key.compare(b.key);
        return c != 0 ? c < 0 : a.name < b.name;
    };
    // First pass, per block: the name decoded and matched against the mask, the block sorted.
    // The attributes come in a second pass, in the final order, so that the first screenful
    // can be handed out before the attributes of the rest are read.
    auto decode = [&](Block &block) {
        for (Candidate &c : block) {
            c.name = path_from_native(c.raw);
            c.key = c.name.toLower();
            c.listed = !accept || accept(c.key);
            c.raw = QByteArray(); // the name's bytes come back from the name when needed
        }
        block.erase(std::remove_if(block.begin(), block.end(), [](const Candidate &c) { return !c.listed; }),
                    block.end());
        std::sort(block.begin(), block.end(), byName);
    };
    // Hidden or system files leave the list.
    auto flagged = [&](const Candidate &c, bool &supported) {
        return supported && flaggedHiddenOrSystem(dfd, encoded, native_path(c.name), supported);
    };
    auto checkRange = [&](Candidate *from, Candidate *to) {
        bool supported = xattrs;
        for (Candidate *c = from; c != to; ++c)
            c->listed = !flagged(*c, supported);
    };

    // Own threads, not the shared pool: this already runs on a pool thread, and waiting there
    // for more pool work can starve the pool. They start with the first full block, so a small
    // folder costs no thread.
    std::deque<Block> blocks(1);
    BlockQueue queue;
    std::vector<std::thread> helpers;
    const int helperCount = qMax(1, QThread::idealThreadCount()) - 1;
    auto helper = [&queue, &decode] {
        while (Block *b = queue.pop(true))
            decode(*b);
    };
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
        if (blocks.back().size() == kBlockSize) {
            queue.push(&blocks.back());
            blocks.emplace_back();
            for (int i = int(helpers.size()); i < helperCount; ++i)
                helpers.emplace_back(helper);
        }
        if (blocks.back().empty())
            blocks.back().reserve(kBlockSize);
        blocks.back().push_back({QByteArray(e->d_name), {}, {}, false});
    }
    queue.push(&blocks.back());
    queue.close();
    // The reading thread decodes what is left, beside the helpers.
    while (Block *b = queue.pop(false))
        decode(*b);
    for (std::thread &t : helpers)
        t.join();
    helpers.clear();

    std::vector<Candidate> found;
    std::vector<size_t> bounds{0}; // where each sorted run of `found` starts, and its end
    size_t total = 0;
    for (const Block &b : blocks)
        total += b.size();
    found.reserve(total);
    for (Block &b : blocks) {
        std::move(b.begin(), b.end(), std::back_inserter(found));
        bounds.push_back(found.size());
    }
    blocks.clear();
    // Neighbouring runs merged pairwise until one is left.
    while (bounds.size() > 2) {
        std::vector<size_t> merged{0};
        for (size_t i = 0; i + 1 < bounds.size(); i += 2) {
            if (i + 2 < bounds.size()) {
                std::inplace_merge(found.begin() + qsizetype(bounds[i]),
                                   found.begin() + qsizetype(bounds[i + 1]),
                                   found.begin() + qsizetype(bounds[i + 2]), byName);
                merged.push_back(bounds[i + 2]);
            } else {
                merged.push_back(bounds[i + 1]);
            }
        }
        bounds = std::move(merged);
    }

    // The first screenful: attributes read in order until enough files are listed; those are
    // final (the order is), so they go out at once.
    Candidate *const begin = found.data();
    Candidate *const end = begin + found.size();
    Candidate *checked = begin;
    if (first) {
        QList<FileEntry> screen;
        bool supported = xattrs;
        for (; checked != end && screen.size() < firstCount; ++checked) {
            checked->listed = !flagged(*checked, supported);
            if (checked->listed)
                screen.append(FileEntry{checked->name, dirPath, -1});
        }
        first(screen);
    }
    // The rest, split between the threads.
    const qsizetype left = end - checked;
    const int parts = left >= qsizetype(kBlockSize) ? helperCount + 1 : 1;
    const qsizetype share = (left + parts - 1) / parts;
    for (int i = 1; i < parts; ++i) {
        Candidate *from = checked + std::min(left, share * i);
        Candidate *to = checked + std::min(left, share * (i + 1));
        helpers.emplace_back([&checkRange, from, to] { checkRange(from, to); });
    }
    checkRange(checked, checked + std::min(left, share));
    for (std::thread &t : helpers)
        t.join();
    closedir(dir);

    out.reserve(qsizetype(found.size()));
    // The size is read when a file is selected, not for every listed file.
    for (Candidate &c : found)
        if (c.listed)
            out.append(FileEntry{std::move(c.name), dirPath, -1});
    return out;
}

FileListModel::FileListModel(QObject *parent) : QAbstractTableModel(parent)
{
    connect(&lister_, &Job::finished, this, [this] {
        if (lister_.wasCancelled())
            return; // superseded
        QList<FileEntry> all = lister_.result<QList<FileEntry>>();
        if (firstShown_ < 0) {
            beginResetModel();
            entries_ = std::move(all);
            endResetModel();
        } else {
            // The first screenful is in (and may have been worked on since): the rest follows
            // it, in one batch.
            const qsizetype shown = std::min<qsizetype>(firstShown_, all.size());
            if (shown < all.size()) {
                beginInsertRows({}, int(entries_.size()), int(entries_.size() + all.size() - shown - 1));
                entries_.append(all.mid(shown));
                endInsertRows();
            }
        }
        firstShown_ = -1;
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
    firstShown_ = -1;
    // The first screenful is shown as soon as it is known; the rest of the folder follows.
    lister_.start([this, f = folder_, accept = std::move(accept)](JobToken &t) {
        const auto first = [this, &t](const QList<FileEntry> &screen) {
            t.deliver([this, screen] { showFirst(screen); });
        };
        return list_folder(f, accept, first, kFirstScreenful);
    });
}

void FileListModel::showFirst(const QList<FileEntry> &screen)
{
    beginResetModel();
    entries_ = screen;
    endResetModel();
    firstShown_ = screen.size();
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
    firstShown_ = -1;
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
