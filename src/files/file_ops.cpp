#include "files/file_ops.h"

#include "files/desktop_trash.h"
#include "files/file_copy.h"
#include "files/file_helpers.h"
#include "lang/texts.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>
#include <vector>

namespace vorn
{

namespace
{

constexpr int kMaxCollisionNumber = 100000;
// Copies to another file system wait in a batch until it holds this many files or bytes; then
// the batch is put on the disk at once. Each waiting copy keeps a descriptor open.
constexpr size_t kBatchFiles = 128;
constexpr qint64 kBatchBytes = qint64(256) << 20;
// From this many copies on, one sync of the target file system costs less than one per copy
// (each sync of a file ends in a flush of the disk's cache).
constexpr int kSyncWholeFrom = 4;

FileOpHook g_hook = nullptr;

void hook(FileOpStage stage, const QString &source)
{
    if (g_hook)
        g_hook(stage, source);
}

FileOpResult failure(int err)
{
    FileOpResult r;
    r.errorCode = err ? err : EIO;
    r.error = qt_error_string(r.errorCode);
    return r;
}

FileOpResult success(const QString &path)
{
    FileOpResult r;
    r.ok = true;
    r.newPath = path;
    return r;
}

// A path that names no file: empty, an embedded NUL, text that stands for no bytes.
bool unusable(const QString &path)
{
    return native_path(path).isEmpty();
}

FileOpResult refused(Msg reason)
{
    FileOpResult r;
    r.errorCode = EINVAL;
    r.reason = reason;
    r.error = Texts::msg(reason, English);
    return r;
}

FileIdentity identity_of(const struct stat &st)
{
    return FileIdentity{quint64(st.st_dev), quint64(st.st_ino), qint64(st.st_size),
                        qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

bool same_file(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
           a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

// syncfs reports the file system's write errors from Linux 5.8 on; before, it reported success
// whatever happened, so there each copy is synced by itself.
bool syncfs_reports_errors()
{
    static const bool reports = [] {
        struct utsname u {
        };
        int major = 0;
        int minor = 0;
        if (uname(&u) != 0 || std::sscanf(u.release, "%d.%d", &major, &minor) != 2)
            return false;
        return major > 5 || (major == 5 && minor >= 8);
    }();
    return reports;
}

// A copy of a regular file, complete in a file of the target folder that has no visible name.
struct WrittenCopy {
    std::unique_ptr<PendingFile> file;
    struct stat source {
    }; // the source as the copy read it
    struct stat written {
    }; // the copy
};

// Writes the data, permissions, times and attributes of `from` into a new pending file of the
// folder (its path ends with '/'; folderFd is a descriptor of it or -1). ok or the failure;
// with `linkFails`, a symbolic link is not followed and fails with ELOOP.
FileOpResult write_copy(const QByteArray &from, const QString &source, const QByteArray &folder, int folderFd,
                        const FileOpProgress &progress, bool *noKernelCopy, bool linkFails, WrittenCopy *out)
{
    // Without blocking: a named pipe put in place of the file must not hang the program.
    FileDescriptor in(::open(from.constData(),
                             O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY | (linkFails ? O_NOFOLLOW : 0)));
    if (in.get() < 0)
        return failure(errno);
    struct stat st {
    };
    if (fstat(in.get(), &st) != 0)
        return failure(errno);
    if (S_ISDIR(st.st_mode))
        return failure(EISDIR);
    if (!S_ISREG(st.st_mode))
        return refused(Msg::NotRegularFile);
    fcntl(in.get(), F_SETFL, 0); // reads of the data may wait again
    if (st.st_size >= (off_t(1) << 20))
        posix_fadvise(in.get(), 0, 0, POSIX_FADV_SEQUENTIAL);

    out->file = std::make_unique<PendingFile>(folder, folderFd);
    const int fd = out->file->fd();
    if (fd < 0)
        return failure(errno);
    CopyMeter meter(progress, qint64(st.st_size),
                    g_hook ? std::function<void()>([&source] { hook(FileOpStage::DataCopied, source); })
                           : std::function<void()>());
    if (const int err = copy_data(in.get(), fd, st.st_size, meter, noKernelCopy))
        return failure(err);
    if (fstat(in.get(), &out->source) != 0)
        return failure(errno);
    copy_dos_attrib(in.get(), fd);
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    if (futimens(fd, times) != 0)
        return failure(errno);
    if (fchmod(fd, st.st_mode & 0777) != 0)
        return failure(errno);
    if (fstat(fd, &out->written) != 0)
        return failure(errno);
    // A source that grew or shrank meanwhile, or a short copy, is no copy.
    if (out->source.st_size != st.st_size || out->written.st_size != st.st_size)
        return failure(EIO);
    return success({});
}

// The copy of source into folder (copy_into_folder): written without a visible name, named
// when complete, so an interruption never leaves a partial file under a real name. A plain copy
// is not forced to the disk: its source stays.
FileOpResult copy_file(const QString &source, const QString &folderIn, const FileOpProgress &progress)
{
    const QByteArray from = native_path(source);
    const QString folder = with_trailing_slash(folderIn);
    const QByteArray folderBytes = native_path(folder);
    if (from.isEmpty() || folderBytes.isEmpty())
        return failure(EINVAL);
    WrittenCopy copy;
    if (FileOpResult r = write_copy(from, source, folderBytes, -1, progress, nullptr, false, &copy); !r.ok)
        return r;
    hook(FileOpStage::CopyWritten, source);
    QString target;
    if (const int err = copy.file->publish(folder, QFileInfo(source).fileName(), &target))
        return failure(err);
    if (!copy.file->close()) {
        const int err = errno;
        ::unlink(native_path(target).constData());
        return failure(err);
    }
    FileOpResult r = success(target);
    r.identity = identity_of(copy.written);
    return r;
}

// A symbolic link put into another file system as the same link (not a copy of its target),
// under the first free name.
FileOpResult copy_link(const QString &source, const QString &folder, struct stat *sourceSeen)
{
    const QByteArray from = native_path(source);
    struct stat st {
    };
    if (lstat(from.constData(), &st) != 0)
        return failure(errno);
    QByteArray target(qMax<qsizetype>(st.st_size, 255) + 1, Qt::Uninitialized);
    const ssize_t n = readlink(from.constData(), target.data(), size_t(target.size()));
    if (n < 0)
        return failure(errno);
    if (n >= target.size())
        return failure(ENAMETOOLONG);
    target.truncate(n);
    const QString name = QFileInfo(source).fileName();
    for (int k = 1; k <= kMaxCollisionNumber; ++k) {
        const QString candidate = folder + FileOps::collision_name(name, k);
        const QByteArray path = native_path(candidate);
        if (symlink(target.constData(), path.constData()) == 0) {
            struct stat made {
            };
            lstat(path.constData(), &made);
            *sourceSeen = st;
            FileOpResult r = success(candidate);
            r.identity = identity_of(made);
            return r;
        }
        if (errno != EEXIST)
            return failure(errno);
    }
    return failure(EEXIST);
}

// Moves files into one folder (FileOps::move_all_into_folder). A rename is final at once. A
// copy to another file system waits in a batch; the batch is put on the disk as a whole, then
// its copies get their names, the names are put on the disk, and only then are the sources
// removed, each only while its name still holds the very file that was copied.
class Mover
{
  public:
    Mover(const QString &folder, const MoveBatchCalls &calls);
    qsizetype run(const QStringList &sources);

  private:
    struct Waiting {
        qsizetype index = 0;
        QString source;
        QByteArray from;
        QString name;
        std::unique_ptr<PendingFile> file; // the unnamed copy; none for a link
        QString named;                     // the copy's path once it has a name
        struct stat seen {
        }; // the source as it was copied
        FileOpResult result;
    };
    enum class Step { Final, Waits, Stopped };
    Step moveOne(qsizetype index, const QString &source, FileOpResult *result);
    Step copyAcross(qsizetype index, const QString &source, const QByteArray &from, FileOpResult *result);
    // Where the source's folder lies: the target folder itself, or another file system.
    void placeParent(const QByteArray &parent, bool *same, bool *otherDevice);
    void flush();
    void drop(Waiting &w, const FileOpResult &failed);
    void finish(qsizetype index, const FileOpResult &r) const
    {
        if (calls_.done)
            calls_.done(index, r);
    }

    const MoveBatchCalls &calls_;
    QString folder_; // ends with '/'
    QByteArray folderBytes_;
    FileDescriptor dir_; // names are looked up from it
    int dirError_ = 0;
    struct stat dirStat_ {
    };
    FileDescriptor syncDir_; // a readable descriptor for the syncs, opened before the first copy
    bool syncDirOpened_ = false;
    QByteArray parent_; // the last source folder and where it lies
    bool parentSame_ = false;
    bool parentOther_ = false;
    bool noKernelCopy_ = false;
    std::vector<Waiting> waiting_;
    qint64 waitingBytes_ = 0;
};

Mover::Mover(const QString &folder, const MoveBatchCalls &calls)
    : calls_(calls), folder_(with_trailing_slash(folder)), folderBytes_(native_path(folder_))
{
    if (folder.isEmpty() || folderBytes_.isEmpty()) {
        dirError_ = EINVAL;
        return;
    }
    dir_.reset(::open(folderBytes_.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (dir_.get() < 0 || fstat(dir_.get(), &dirStat_) != 0)
        dirError_ = errno;
}

qsizetype Mover::run(const QStringList &sources)
{
    qsizetype handled = 0;
    for (; handled < sources.size(); ++handled) {
        if (calls_.next && !calls_.next(handled))
            break;
        FileOpResult r;
        const Step step = moveOne(handled, sources[handled], &r);
        if (step == Step::Stopped)
            break;
        if (step == Step::Final)
            finish(handled, r);
        else if (waiting_.size() >= kBatchFiles || waitingBytes_ >= kBatchBytes)
            flush();
    }
    flush();
    return handled;
}

void Mover::placeParent(const QByteArray &parent, bool *same, bool *otherDevice)
{
    if (parent != parent_ || parent_.isNull()) {
        parent_ = parent;
        struct stat st {
        };
        const bool known = stat(parent.constData(), &st) == 0;
        parentSame_ = known && st.st_dev == dirStat_.st_dev && st.st_ino == dirStat_.st_ino;
        parentOther_ = known && st.st_dev != dirStat_.st_dev;
    }
    *same = parentSame_;
    *otherDevice = parentOther_;
}

Mover::Step Mover::moveOne(qsizetype index, const QString &source, FileOpResult *result)
{
    hook(FileOpStage::Starting, source);
    const QByteArray from = native_path(source);
    if (dirError_ || from.isEmpty()) {
        *result = failure(dirError_ ? dirError_ : EINVAL);
        return Step::Final;
    }
    const qsizetype slash = from.lastIndexOf('/');
    bool same = false;
    bool otherDevice = false;
    placeParent(slash < 0    ? QByteArray(".")
                : slash == 0 ? QByteArray("/")
                             : from.left(slash),
                &same, &otherDevice);
    if (same) {
        // Into its own folder: nothing changes, but a missing file is still reported.
        struct stat st {
        };
        *result = lstat(from.constData(), &st) == 0 ? success(source) : failure(errno);
        return Step::Final;
    }
    // A folder on another file system refuses every rename: no need to ask.
    if (!otherDevice) {
        const QString name = source.mid(source.lastIndexOf(QLatin1Char('/')) + 1);
        for (int n = 1; n <= kMaxCollisionNumber; ++n) {
            const QString candidate = FileOps::collision_name(name, n);
            const QByteArray to = n == 1 ? from.mid(slash + 1) : native_path(candidate);
            const int err = rename_noreplace_at(AT_FDCWD, from, dir_.get(), to);
            if (err == 0) {
                *result = success(folder_ + candidate);
                struct stat moved {
                };
                if (fstatat(dir_.get(), to.constData(), &moved, AT_SYMLINK_NOFOLLOW) == 0)
                    result->identity = identity_of(moved);
                return Step::Final;
            }
            if (err == EEXIST)
                continue;
            // Another file system, or one without hard links: copy, then remove the source.
            if (err == EXDEV || err == EPERM || err == EOPNOTSUPP || err == EMLINK)
                return copyAcross(index, source, from, result);
            *result = failure(err);
            return Step::Final;
        }
        *result = failure(EEXIST);
        return Step::Final;
    }
    return copyAcross(index, source, from, result);
}

Mover::Step Mover::copyAcross(qsizetype index, const QString &source, const QByteArray &from,
                              FileOpResult *result)
{
    if (!syncDirOpened_) {
        // Opened before anything is written: a sync through it reports the write errors since.
        syncDirOpened_ = true;
        syncDir_.reset(::open(folderBytes_.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    }
    Waiting w;
    w.index = index;
    w.source = source;
    w.from = from;
    bool stopped = false;
    FileOpProgress progress;
    if (calls_.progress)
        progress = [this, index, &stopped](qint64 done, qint64 total) {
            stopped = !calls_.progress(index, done, total);
            return !stopped;
        };
    WrittenCopy copy;
    w.result = write_copy(from, source, folderBytes_, dir_.get(), progress, &noKernelCopy_, true, &copy);
    if (!w.result.ok && (w.result.errorCode == EMFILE || w.result.errorCode == ENFILE) && !waiting_.empty()) {
        // The waiting copies hold the descriptors: finish them first.
        flush();
        w.result = write_copy(from, source, folderBytes_, dir_.get(), progress, &noKernelCopy_, true, &copy);
    }
    struct stat st {
    };
    if (!w.result.ok && w.result.errorCode == ELOOP && lstat(from.constData(), &st) == 0 &&
        S_ISLNK(st.st_mode)) {
        // A symbolic link stays a link, named at once.
        w.result = copy_link(source, folder_, &w.seen);
        if (w.result.ok) {
            w.named = w.result.newPath;
            waiting_.push_back(std::move(w));
            return Step::Waits;
        }
    }
    if (!w.result.ok) {
        *result =
            w.result.errorCode == EISDIR ? failure(EXDEV) : w.result; // a folder stays on its file system
        return stopped ? Step::Stopped : Step::Final;
    }
    hook(FileOpStage::CopyWritten, source);
    w.name = source.mid(source.lastIndexOf(QLatin1Char('/')) + 1);
    w.file = std::move(copy.file);
    w.seen = copy.source;
    w.result.identity = identity_of(copy.written);
    waitingBytes_ += copy.written.st_size;
    waiting_.push_back(std::move(w));
    return Step::Waits;
}

void Mover::drop(Waiting &w, const FileOpResult &failed)
{
    w.file.reset();
    if (!w.named.isEmpty())
        ::unlink(native_path(w.named).constData());
    w.named.clear();
    w.result = failed;
}

void Mover::flush()
{
    if (waiting_.empty())
        return;
    std::vector<Waiting> batch;
    batch.swap(waiting_);
    waitingBytes_ = 0;

    // 1. The data of every copy on the disk before any of them gets its name.
    int files = 0;
    for (const Waiting &w : batch)
        files += w.file ? 1 : 0;
    const bool whole = syncDir_.get() >= 0 && files >= kSyncWholeFrom && syncfs_reports_errors();
    const int syncError = whole && syncfs(syncDir_.get()) != 0 ? errno : 0;
    for (Waiting &w : batch) {
        if (syncError) {
            drop(w, failure(syncError));
        } else if (w.file && !whole && fsync(w.file->fd()) != 0) {
            drop(w, failure(errno));
        } else if (w.file) {
            // 2. Named under the first free name.
            QString target;
            if (const int err = w.file->publish(folder_, w.name, &target)) {
                drop(w, failure(err));
                continue;
            }
            w.named = target;
            w.result.newPath = target;
            if (!w.file->close())
                drop(w, failure(errno));
        }
    }
    // 3. The names on the disk before any source goes.
    if (syncDir_.get() >= 0 && fsync(syncDir_.get()) != 0) {
        const int err = errno;
        for (Waiting &w : batch)
            if (w.result.ok)
                drop(w, failure(err));
    }
    // 4. Each source removed while its name still holds the very file that was copied: a file
    // saved over it meanwhile (a new file renamed over the name) must stay.
    for (Waiting &w : batch) {
        if (w.result.ok) {
            hook(FileOpStage::BeforeSourceRemoved, w.source);
            struct stat now {
            };
            if (lstat(w.from.constData(), &now) != 0)
                drop(w, failure(errno));
            else if (!same_file(now, w.seen))
                drop(w, refused(Msg::SourceChanged));
            else if (::unlink(w.from.constData()) != 0)
                drop(w, failure(errno)); // the source stays, so the copy goes: no move happened
        }
        finish(w.index, w.result);
    }
}

} // namespace

FileIdentity identity_of_path(const QString &path)
{
    struct stat st {
    };
    const QByteArray p = native_path(path);
    if (p.isEmpty() || lstat(p.constData(), &st) != 0)
        return {};
    return identity_of(st);
}

QString FileOpResult::errorText(int language) const
{
    return reason ? Texts::msg(*reason, language) : error;
}

QString FileOps::set_aside(const QString &path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const QString folder = path.left(slash + 1);
    const QString name = path.mid(slash + 1) + QStringLiteral(".unreadable");
    for (int n = 1; n < 1000; ++n) {
        const QString candidate = folder + collision_name(name, n);
        const FileOpResult r = rename_no_replace(path, candidate);
        if (r.ok)
            return candidate;
        if (r.errorCode != EEXIST)
            break;
    }
    return {};
}

QString FileOps::collision_name(const QString &name, int n)
{
    if (n < 2)
        return name;
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString number = QStringLiteral(" (%1)").arg(n);
    if (dot <= 0)
        return name + number;
    return name.left(dot) + number + name.mid(dot);
}

FileOpResult FileOps::copy_into_folder(const QString &source, const QString &folder,
                                       const FileOpProgress &progress)
{
    hook(FileOpStage::Starting, source);
    return copy_file(source, folder, progress);
}

FileOpResult FileOps::move_into_folder(const QString &source, const QString &folder,
                                       const FileOpProgress &progress)
{
    FileOpResult out = failure(ECANCELED); // stays so only when the progress function stopped it
    MoveBatchCalls calls;
    if (progress)
        calls.progress = [&progress](qsizetype, qint64 done, qint64 total) { return progress(done, total); };
    calls.done = [&out](qsizetype, const FileOpResult &r) { out = r; };
    move_all_into_folder(QStringList{source}, folder, calls);
    return out;
}

qsizetype FileOps::move_all_into_folder(const QStringList &sources, const QString &folder,
                                        const MoveBatchCalls &calls)
{
    return Mover(folder, calls).run(sources);
}

void FileOps::set_hook(FileOpHook hook)
{
    g_hook = hook;
}

FileOpResult FileOps::rename_no_replace(const QString &from, const QString &to)
{
    if (g_hook)
        g_hook(FileOpStage::Renaming, from);
    if (unusable(from) || unusable(to))
        return failure(EINVAL);
    const int err = rename_noreplace_at(AT_FDCWD, native_path(from), AT_FDCWD, native_path(to));
    return err ? failure(err) : success(to);
}

FileOpResult FileOps::delete_to_trash(const QString &path, const FileOpProgress &progress)
{
    if (g_hook)
        g_hook(FileOpStage::Starting, path);
    if (unusable(path))
        return failure(EINVAL);
    struct stat st {
    };
    if (lstat(native_path(path).constData(), &st) != 0)
        return failure(errno);
    const FileOpResult trashed = move_to_desktop_trash(path);
    if (trashed.ok)
        return trashed;
    if (trashDir_.isEmpty())
        return failure(ENOENT);
    if (!QDir().mkpath(trashDir_))
        return failure(errno);
    return move_into_folder(path, trashDir_, progress);
}

} // namespace vorn
