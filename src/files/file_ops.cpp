#include "files/file_ops.h"

#include "files/desktop_trash.h"
#include "files/file_helpers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <vector>
#include <fcntl.h>
#include <stdio.h> // renameat2
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace vorn {

namespace {

constexpr int kMaxCollisionNumber = 100000;
constexpr size_t kCopyChunk = size_t(1) << 30; // per copy_file_range / sendfile call
constexpr size_t kBufferSize = size_t(1) << 20;

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

// A path the C library would read differently from the QString (an embedded NUL) or no path.
bool unusable(const QString &path) { return path.isEmpty() || path.contains(QChar(0)); }

class Fd {
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

// Copies the contents of in to out from their current offsets. The kernel copies (and shares
// blocks where the file system can) through copy_file_range, else sendfile; a large buffer is
// the last resort. Returns 0 or an errno.
int copy_data(int in, int out, off_t size)
{
    off_t left = size;
    bool kernelCopy = true;
    while (left > 0 && kernelCopy) {
        const ssize_t n = copy_file_range(in, nullptr, out, nullptr, size_t(std::min<off_t>(left, kCopyChunk)), 0);
        if (n > 0) {
            left -= n;
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
        const ssize_t n = sendfile(out, in, nullptr, size_t(std::min<off_t>(left, kCopyChunk)));
        if (n > 0)
            left -= n;
        else if (n < 0 && errno == EINTR)
            continue;
        else if (n == 0 || fast_copy_refused(errno))
            sendCopy = false;
        else
            return errno;
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

// Opens a new file in folder under the first free name "name", "name (2)", ... . The name is
// claimed atomically (O_EXCL), so a file that appears meanwhile is never overwritten.
int create_free(const QString &folder, const QString &name, QString *path)
{
    for (int n = 1; n <= kMaxCollisionNumber; ++n) {
        const QString candidate = folder + FileOps::collision_name(name, n);
        const int fd = ::open(QFile::encodeName(candidate).constData(),
                              O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, S_IRUSR | S_IWUSR);
        if (fd >= 0) {
            *path = candidate;
            return fd;
        }
        if (errno != EEXIST)
            return -1;
    }
    errno = EEXIST;
    return -1;
}

// The copy of source into folder; with `durable` the data is on the disk before this returns
// (a move removes its source afterwards).
FileOpResult copy_file(const QString &source, const QString &folderIn, bool durable)
{
    if (unusable(source) || unusable(folderIn))
        return failure(EINVAL);
    const QString folder = add_backslash(folderIn);
    Fd in(::open(QFile::encodeName(source).constData(), O_RDONLY | O_CLOEXEC));
    if (in.get() < 0)
        return failure(errno);
    struct stat st {};
    if (fstat(in.get(), &st) != 0)
        return failure(errno);
    if (S_ISDIR(st.st_mode))
        return failure(EISDIR);
    if (!S_ISREG(st.st_mode))
        return failure(EINVAL);
    posix_fadvise(in.get(), 0, 0, POSIX_FADV_SEQUENTIAL);

    QString target;
    Fd out(create_free(folder, QFileInfo(source).fileName(), &target));
    if (out.get() < 0)
        return failure(errno);
    const QByteArray targetName = QFile::encodeName(target);
    auto discard = [&](int err) {
        ::unlink(targetName.constData());
        return failure(err);
    };

    if (const int err = copy_data(in.get(), out.get(), st.st_size))
        return discard(err);
    struct stat after {};
    struct stat written {};
    if (fstat(in.get(), &after) != 0 || fstat(out.get(), &written) != 0)
        return discard(errno);
    if (after.st_size != st.st_size || written.st_size != st.st_size)
        return discard(EIO);
    copy_dos_attrib(in.get(), out.get());
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    if (futimens(out.get(), times) != 0)
        return discard(errno);
    if (fchmod(out.get(), st.st_mode & 0777) != 0)
        return discard(errno);
    if (durable && fsync(out.get()) != 0)
        return discard(errno);
    if (!out.close())
        return discard(errno);
    return success(target);
}

bool flag_refused(int err) { return err == EINVAL || err == ENOSYS || err == EOPNOTSUPP; }

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

bool same_folder(const QString &a, const QString &b)
{
    struct stat sa {};
    struct stat sb {};
    return stat(QFile::encodeName(a).constData(), &sa) == 0 && stat(QFile::encodeName(b).constData(), &sb) == 0 &&
           sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

} // namespace

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

FileOpResult FileOps::copy_into_folder(const QString &source, const QString &folder)
{
    return copy_file(source, folder, false);
}

FileOpResult FileOps::move_into_folder(const QString &source, const QString &folderIn)
{
    if (unusable(source) || unusable(folderIn))
        return failure(EINVAL);
    const QString folder = add_backslash(folderIn);
    const QByteArray from = QFile::encodeName(source);
    struct stat st {};
    if (lstat(from.constData(), &st) != 0)
        return failure(errno);
    if (same_folder(QFileInfo(source).absolutePath(), folder))
        return success(source);

    const QString name = QFileInfo(source).fileName();
    bool crossDevice = false;
    for (int n = 1; n <= kMaxCollisionNumber && !crossDevice; ++n) {
        const QString candidate = folder + collision_name(name, n);
        const int err = rename_noreplace(from, QFile::encodeName(candidate));
        if (err == 0)
            return success(candidate);
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

    FileOpResult copy = copy_file(source, folder, true);
    if (!copy.ok)
        return copy;
    if (::unlink(from.constData()) != 0) {
        // The source stays, so the copy goes: the move did not happen.
        const int err = errno;
        ::unlink(QFile::encodeName(copy.newPath).constData());
        return failure(err);
    }
    return copy;
}

FileOpResult FileOps::rename_no_replace(const QString &from, const QString &to)
{
    if (unusable(from) || unusable(to))
        return failure(EINVAL);
    const int err = rename_noreplace(QFile::encodeName(from), QFile::encodeName(to));
    return err ? failure(err) : success(to);
}

FileOpResult FileOps::delete_to_trash(const QString &path)
{
    if (unusable(path))
        return failure(EINVAL);
    struct stat st {};
    if (lstat(QFile::encodeName(path).constData(), &st) != 0)
        return failure(errno);
    const FileOpResult trashed = move_to_desktop_trash(path);
    if (trashed.ok)
        return trashed;
    if (trashDir_.isEmpty())
        return failure(ENOENT);
    if (!QDir().mkpath(trashDir_))
        return failure(errno);
    return move_into_folder(path, trashDir_);
}

FileOpResult FileOps::shell_file_op(int op, const QString &source, const QString &target, bool *)
{
    FileOpResult r;
    switch (op) {
    case OpMove:
        r = move_into_folder(source, target);
        break;
    case OpCopy:
        r = copy_into_folder(source, target);
        break;
    case OpDelete:
        r = delete_to_trash(source);
        break;
    default:
        r = failure(EINVAL);
        break;
    }
    lastResult_ = r.ok ? 0 : r.errorCode;
    return r;
}

} // namespace vorn
