#include "files/file_ops.h"

#include "files/desktop_trash.h"
#include "files/file_helpers.h"
#include "lang/texts.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <stdio.h> // renameat2
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

namespace vorn
{

namespace
{

constexpr int kMaxCollisionNumber = 100000;
constexpr size_t kCopyChunk = size_t(1) << 30; // per copy_file_range / sendfile call
constexpr size_t kBufferSize = size_t(1) << 20;
constexpr size_t kProgressChunk = size_t(8) << 20; // per call while progress is reported

FileOpHook g_hook = nullptr;

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

class Fd
{
  public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    int get() const { return fd_; }
    // Closes now and reports a failed close (NFS reports write errors there).
    bool close()
    {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

  private:
    int fd_;
};

bool write_all(int out, const char *data, size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(out, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= size_t(n);
    }
    return true;
}

bool fast_copy_refused(int err)
{
    return err == EXDEV || err == EINVAL || err == ENOSYS || err == EOPNOTSUPP || err == EBADF ||
           err == ETXTBSY || err == EPERM;
}

// Counts the bytes of one copy and tells the progress function after each slice.
class CopyMeter
{
  public:
    CopyMeter(const FileOpProgress &progress, const QString &source, qint64 total)
        : progress_(progress), source_(source), total_(total)
    {
    }
    // Slices of this size between two reports.
    size_t slice(size_t quiet) const { return progress_ ? kProgressChunk : quiet; }
    // n more bytes are written; false when the copy must stop.
    bool add(qint64 n)
    {
        done_ += n;
        if (g_hook)
            g_hook(FileOpStage::DataCopied, source_);
        return !progress_ || progress_(done_, total_);
    }

  private:
    const FileOpProgress &progress_;
    const QString &source_;
    qint64 total_;
    qint64 done_ = 0;
};

// Copies the contents of in to out from their current offsets. The kernel copies (and shares
// blocks where the file system can) through copy_file_range, else sendfile; a large buffer is
// the last resort. Returns 0 or an errno (ECANCELED when the meter said stop).
int copy_data(int in, int out, off_t size, CopyMeter &meter)
{
    off_t left = size;
    bool kernelCopy = true;
    while (left > 0 && kernelCopy) {
        const ssize_t n = copy_file_range(in, nullptr, out, nullptr,
                                          size_t(std::min<off_t>(left, off_t(meter.slice(kCopyChunk)))), 0);
        if (n > 0) {
            left -= n;
            if (!meter.add(n))
                return ECANCELED;
        } else if (n == 0) {
            kernelCopy = false; // some file systems report 0 instead of refusing
        } else if (errno == EINTR) {
            continue;
        } else if (fast_copy_refused(errno)) {
            kernelCopy = false;
        } else {
            return errno;
        }
    }
    bool sendCopy = true;
    while (left > 0 && sendCopy) {
        const ssize_t n =
            sendfile(out, in, nullptr, size_t(std::min<off_t>(left, off_t(meter.slice(kCopyChunk)))));
        if (n > 0) {
            left -= n;
            if (!meter.add(n))
                return ECANCELED;
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n == 0 || fast_copy_refused(errno)) {
            sendCopy = false;
        } else {
            return errno;
        }
    }
    if (left == 0 && size > 0)
        return 0; // a file that grows meanwhile fails the size check
    // Whatever is left, or a file whose size the system does not know, goes through a buffer up
    // to the end of the file.
    std::vector<char> buffer(size_t(std::clamp<off_t>(left, 64 * 1024, kBufferSize)));
    for (;;) {
        const ssize_t n = ::read(in, buffer.data(), buffer.size());
        if (n == 0)
            return 0;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (!write_all(out, buffer.data(), size_t(n)))
            return errno;
        if (!meter.add(n))
            return ECANCELED;
    }
}

// Copies the attribute text that keeps hidden/system/archive; silently skipped where the file
// systems keep none.
void copy_dos_attrib(int in, int out)
{
    char buf[256];
    const ssize_t n = fgetxattr(in, "user.DOSATTRIB", buf, sizeof buf);
    if (n > 0)
        fsetxattr(out, "user.DOSATTRIB", buf, size_t(n), 0);
}

bool flag_refused(int err)
{
    return err == EINVAL || err == ENOSYS || err == EOPNOTSUPP;
}

// Renames without replace: renameat2 with RENAME_NOREPLACE, else link + unlink. Returns 0 or an
// errno (EEXIST when the target is taken).
int rename_noreplace(const QByteArray &from, const QByteArray &to)
{
    if (renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (!flag_refused(errno))
        return errno;
    if (::link(from.constData(), to.constData()) != 0)
        return errno;
    if (::unlink(from.constData()) != 0) {
        const int err = errno;
        ::unlink(to.constData());
        return err;
    }
    return 0;
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

// A file being written that has no visible name yet: an unnamed file (O_TMPFILE) where the
// file system allows it, else a hidden name in the target folder. Dropped unless named.
class PendingFile
{
  public:
    explicit PendingFile(const QByteArray &folder) : folder_(folder)
    {
        fd_ = ::open(folder.constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, S_IRUSR | S_IWUSR);
        if (fd_ >= 0)
            return;
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL && errno != ENOENT)
            return; // the folder itself is the problem (missing, no permission, read-only)
        QByteArray name = folder + ".vorn-XXXXXX.part";
        fd_ = mkostemps(name.data(), 5, O_CLOEXEC);
        if (fd_ >= 0)
            hidden_ = name;
    }
    ~PendingFile()
    {
        if (fd_ >= 0)
            ::close(fd_);
        if (!hidden_.isEmpty())
            ::unlink(hidden_.constData());
    }
    PendingFile(const PendingFile &) = delete;
    PendingFile &operator=(const PendingFile &) = delete;

    int fd() const { return fd_; }
    // Closes the descriptor; false (errno set) when the system reports a late write error.
    bool close()
    {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }
    // Gives the file the first free name "name", "name (2)", ... in the folder, never
    // replacing a file; the name taken goes to *path. Returns 0 or an errno.
    int publish(const QString &folder, const QString &name, QString *path)
    {
        const QByteArray proc = "/proc/self/fd/" + QByteArray::number(fd_);
        for (int n = 1; n <= kMaxCollisionNumber; ++n) {
            const QString candidate = folder + FileOps::collision_name(name, n);
            const QByteArray target = native_path(candidate);
            int err = 0;
            if (hidden_.isEmpty())
                err = linkat(AT_FDCWD, proc.constData(), AT_FDCWD, target.constData(), AT_SYMLINK_FOLLOW) == 0
                          ? 0
                          : errno;
            else
                err = rename_noreplace(hidden_, target);
            if (err == 0) {
                hidden_.clear();
                *path = candidate;
                return 0;
            }
            if (err != EEXIST)
                return err;
        }
        return EEXIST;
    }

  private:
    QByteArray folder_;
    QByteArray hidden_;
    int fd_ = -1;
};

// The copy of source into folder. The data, permissions and times are written into a file
// without a visible name, which gets its free name only when complete, so an interruption
// never leaves a partial file under a real name. With `durable` the data is on the disk before
// the name is given (a move removes its source afterwards). *sourceSeen is the source as the
// copy read it.
FileOpResult copy_file(const QString &source, const QString &folderIn, bool durable,
                       const FileOpProgress &progress, struct stat *sourceSeen = nullptr)
{
    const QByteArray from = native_path(source);
    const QString folder = with_trailing_slash(folderIn);
    if (from.isEmpty() || native_path(folder).isEmpty())
        return failure(EINVAL);
    // Without blocking: a named pipe put in place of the file must not hang the program.
    Fd in(::open(from.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
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
    fcntl(in.get(), F_SETFL, fcntl(in.get(), F_GETFL) & ~O_NONBLOCK);
    posix_fadvise(in.get(), 0, 0, POSIX_FADV_SEQUENTIAL);

    PendingFile out(native_path(folder));
    if (out.fd() < 0)
        return failure(errno);
    CopyMeter meter(progress, source, qint64(st.st_size));
    if (const int err = copy_data(in.get(), out.fd(), st.st_size, meter))
        return failure(err);
    struct stat after {
    };
    struct stat written {
    };
    if (fstat(in.get(), &after) != 0 || fstat(out.fd(), &written) != 0)
        return failure(errno);
    if (after.st_size != st.st_size || written.st_size != st.st_size)
        return failure(EIO);
    copy_dos_attrib(in.get(), out.fd());
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    if (futimens(out.fd(), times) != 0)
        return failure(errno);
    if (fchmod(out.fd(), st.st_mode & 0777) != 0)
        return failure(errno);
    if (durable && fsync(out.fd()) != 0)
        return failure(errno);
    if (fstat(out.fd(), &written) != 0)
        return failure(errno);
    if (g_hook)
        g_hook(FileOpStage::CopyWritten, source);
    QString target;
    if (const int err = out.publish(folder, QFileInfo(source).fileName(), &target))
        return failure(err);
    if (!out.close()) {
        const int err = errno;
        ::unlink(native_path(target).constData());
        return failure(err);
    }
    if (sourceSeen)
        *sourceSeen = after;
    FileOpResult r = success(target);
    r.identity = identity_of(written);
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

bool same_folder(const QString &a, const QString &b)
{
    struct stat sa {
    };
    struct stat sb {
    };
    return stat(native_path(a).constData(), &sa) == 0 && stat(native_path(b).constData(), &sb) == 0 &&
           sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
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
    if (g_hook)
        g_hook(FileOpStage::Starting, source);
    return copy_file(source, folder, false, progress);
}

FileOpResult FileOps::move_into_folder(const QString &source, const QString &folderIn,
                                       const FileOpProgress &progress)
{
    if (g_hook)
        g_hook(FileOpStage::Starting, source);
    if (unusable(source) || unusable(folderIn))
        return failure(EINVAL);
    const QString folder = with_trailing_slash(folderIn);
    const QByteArray from = native_path(source);
    struct stat st {
    };
    if (lstat(from.constData(), &st) != 0)
        return failure(errno);
    if (same_folder(QFileInfo(source).absolutePath(), folder))
        return success(source);

    const QString name = QFileInfo(source).fileName();
    bool crossDevice = false;
    for (int n = 1; n <= kMaxCollisionNumber && !crossDevice; ++n) {
        const QString candidate = folder + collision_name(name, n);
        const QByteArray to = native_path(candidate);
        const int err = rename_noreplace(from, to);
        if (err == 0) {
            FileOpResult r = success(candidate);
            struct stat moved {
            };
            if (lstat(to.constData(), &moved) == 0)
                r.identity = identity_of(moved);
            return r;
        }
        if (err == EEXIST)
            continue;
        // Another file system, or one without hard links: copy, then remove the source.
        if (err == EXDEV || err == EPERM || err == EOPNOTSUPP || err == EMLINK)
            crossDevice = true;
        else
            return failure(err);
    }
    if (!crossDevice)
        return failure(EEXIST);
    if (S_ISDIR(st.st_mode))
        return failure(EXDEV);

    struct stat copied {
    };
    FileOpResult copy = S_ISLNK(st.st_mode) ? copy_link(source, folder, &copied)
                                            : copy_file(source, folder, true, progress, &copied);
    if (!copy.ok)
        return copy;
    if (g_hook)
        g_hook(FileOpStage::BeforeSourceRemoved, source);
    // The source goes only while its name still holds the very file that was copied: a file
    // saved over it meanwhile (a new file renamed over the name) must stay.
    struct stat now {
    };
    const bool same = lstat(from.constData(), &now) == 0 && now.st_dev == copied.st_dev &&
                      now.st_ino == copied.st_ino && now.st_size == copied.st_size &&
                      now.st_mtim.tv_sec == copied.st_mtim.tv_sec &&
                      now.st_mtim.tv_nsec == copied.st_mtim.tv_nsec;
    if (!same) {
        ::unlink(native_path(copy.newPath).constData());
        return refused(Msg::SourceChanged);
    }
    if (::unlink(from.constData()) != 0) {
        // The source stays, so the copy goes: the move did not happen.
        const int err = errno;
        ::unlink(native_path(copy.newPath).constData());
        return failure(err);
    }
    return copy;
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
    const int err = rename_noreplace(native_path(from), native_path(to));
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
