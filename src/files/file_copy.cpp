#include "files/file_copy.h"

#include "base/native_names.h"
#include "files/file_ops.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <stdio.h> // renameat2
#include <sys/sendfile.h>
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

bool flag_refused(int err)
{
    return err == EINVAL || err == ENOSYS || err == EOPNOTSUPP;
}

} // namespace

FileDescriptor::~FileDescriptor()
{
    if (fd_ >= 0)
        ::close(fd_);
}

void FileDescriptor::reset(int fd)
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = fd;
}

size_t CopyMeter::slice(size_t quiet) const
{
    return report_ ? kProgressChunk : quiet;
}

bool CopyMeter::add(qint64 n)
{
    done_ += n;
    if (tick_)
        tick_();
    return !report_ || report_(done_, total_);
}

int copy_data(int in, int out, off_t size, CopyMeter &meter, bool *noKernelCopy)
{
    off_t left = size;
    bool kernelCopy = !noKernelCopy || !*noKernelCopy;
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
            if (noKernelCopy && errno == EXDEV)
                *noKernelCopy = true;
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

void copy_dos_attrib(int in, int out)
{
    char buf[256];
    const ssize_t n = fgetxattr(in, "user.DOSATTRIB", buf, sizeof buf);
    if (n > 0)
        fsetxattr(out, "user.DOSATTRIB", buf, size_t(n), 0);
}

int rename_noreplace_at(int fromDir, const QByteArray &from, int toDir, const QByteArray &to)
{
    if (renameat2(fromDir, from.constData(), toDir, to.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (!flag_refused(errno))
        return errno;
    if (::linkat(fromDir, from.constData(), toDir, to.constData(), 0) != 0)
        return errno;
    if (::unlinkat(fromDir, from.constData(), 0) != 0) {
        const int err = errno;
        ::unlinkat(toDir, to.constData(), 0);
        return err;
    }
    return 0;
}

PendingFile::PendingFile(const QByteArray &folder, int folderFd) : folderFd_(folderFd)
{
    fd_ = folderFd >= 0 ? ::openat(folderFd, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, S_IRUSR | S_IWUSR)
                        : ::open(folder.constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, S_IRUSR | S_IWUSR);
    if (fd_ >= 0)
        return;
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL && errno != ENOENT)
        return; // the folder itself is the problem (missing, no permission, read-only)
    QByteArray name = folder + ".vorn-XXXXXX.part";
    fd_ = mkostemps(name.data(), 5, O_CLOEXEC);
    if (fd_ >= 0)
        hidden_ = name;
}

PendingFile::~PendingFile()
{
    if (fd_ >= 0)
        ::close(fd_);
    if (!hidden_.isEmpty())
        ::unlink(hidden_.constData());
}

bool PendingFile::close()
{
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
}

int PendingFile::publish(const QString &folder, const QString &name, QString *path)
{
    const QByteArray proc = "/proc/self/fd/" + QByteArray::number(fd_);
    // With a descriptor of the folder, names are looked up from it instead of from the root.
    const int dir = folderFd_ >= 0 ? folderFd_ : AT_FDCWD;
    for (int n = 1; n <= kMaxCollisionNumber; ++n) {
        const QString candidate = FileOps::collision_name(name, n);
        const QByteArray target = native_path(folderFd_ >= 0 ? candidate : folder + candidate);
        if (target.isEmpty())
            return EINVAL;
        int err = 0;
        if (hidden_.isEmpty())
            err = linkat(AT_FDCWD, proc.constData(), dir, target.constData(), AT_SYMLINK_FOLLOW) == 0 ? 0
                                                                                                      : errno;
        else
            err = rename_noreplace_at(AT_FDCWD, hidden_, dir, target);
        if (err == 0) {
            hidden_.clear();
            *path = folder + candidate;
            return 0;
        }
        if (err != EEXIST)
            return err;
    }
    return EEXIST;
}

} // namespace vorn
