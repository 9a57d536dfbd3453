#include "base/temp_files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vorn
{

namespace
{

QByteArray ownPrefix()
{
    return QByteArrayLiteral(".vorn-tmp-") + QByteArray::number(qint64(getpid())) + '-';
}

// The pid in a name of the program's pattern, or 0 when the name is not one.
pid_t ownerOf(const QByteArray &name)
{
    static const QByteArray head = QByteArrayLiteral(".vorn-tmp-");
    if (!name.startsWith(head))
        return 0;
    const qsizetype dash = name.indexOf('-', head.size());
    if (dash <= head.size())
        return 0;
    bool ok = false;
    const qint64 pid = name.mid(head.size(), dash - head.size()).toLongLong(&ok);
    return ok && pid > 0 ? pid_t(pid) : 0;
}

std::atomic<bool> unnamedAllowed{true};

bool isRunning(pid_t pid)
{
    return ::kill(pid, 0) == 0 || errno == EPERM;
}

} // namespace

void set_unnamed_temp_files(bool allowed)
{
    unnamedAllowed = allowed;
}

TempFile open_temp_file(int dirFd, mode_t mode, bool allowUnnamed)
{
    TempFile f;
#ifdef O_TMPFILE
    if (allowUnnamed && unnamedAllowed) {
        f.fd = openat(dirFd, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
        if (f.fd >= 0)
            return f;
        // EOPNOTSUPP / EISDIR / EINVAL: this file system cannot; other errors also get the
        // named attempt, which reports its own.
    }
#else
    Q_UNUSED(allowUnnamed);
#endif
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QByteArray name =
            ownPrefix() + QByteArray::number(quint32(std::rand()) ^ quint32(attempt << 20), 36);
        f.fd = openat(dirFd, name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (f.fd >= 0) {
            f.name = name;
            return f;
        }
        if (errno != EEXIST)
            break;
    }
    return f;
}

int publish_temp_file(const TempFile &file, int dirFd, const QByteArray &finalName, bool replace)
{
    QByteArray name = file.name;
    if (name.isEmpty()) {
        const QByteArray proc = QByteArrayLiteral("/proc/self/fd/") + QByteArray::number(file.fd);
        if (!replace) // link fails on an existing name, so nothing is replaced
            return linkat(AT_FDCWD, proc.constData(), dirFd, finalName.constData(), AT_SYMLINK_FOLLOW) == 0
                       ? 0
                       : errno;
        // a name of our own first, then renamed over the old file in one step
        for (int attempt = 0; attempt < 100 && name.isEmpty(); ++attempt) {
            const QByteArray candidate = ownPrefix() + QByteArray::number(quint32(std::rand()), 36);
            if (linkat(AT_FDCWD, proc.constData(), dirFd, candidate.constData(), AT_SYMLINK_FOLLOW) == 0)
                name = candidate;
            else if (errno != EEXIST)
                return errno;
        }
        if (name.isEmpty())
            return EEXIST;
    }
    if (replace) {
        if (renameat(dirFd, name.constData(), dirFd, finalName.constData()) == 0)
            return 0;
        const int err = errno;
        if (name != file.name)
            unlinkat(dirFd, name.constData(), 0);
        return err;
    }
    if (linkat(dirFd, name.constData(), dirFd, finalName.constData(), 0) != 0)
        return errno;
    unlinkat(dirFd, name.constData(), 0);
    return 0;
}

void discard_temp_file(TempFile &file, int dirFd)
{
    if (file.fd >= 0)
        ::close(file.fd);
    file.fd = -1;
    if (!file.name.isEmpty())
        unlinkat(dirFd, file.name.constData(), 0); // gone already when it was published
    file.name.clear();
}

QString make_temp_dir(const QString &parent)
{
    QByteArray path = QFile::encodeName(QDir(parent).absolutePath()) + '/' + ownPrefix() + "XXXXXX";
    if (!mkdtemp(path.data()))
        return {};
    return QFile::decodeName(path);
}

int remove_stale_temp_files(const QString &folder)
{
    int removed = 0;
    const QFileInfoList entries = QDir(folder).entryInfoList({QStringLiteral(".vorn-tmp-*")},
                                                             QDir::AllEntries | QDir::Hidden | QDir::System);
    for (const QFileInfo &fi : entries) {
        const pid_t pid = ownerOf(QFile::encodeName(fi.fileName()));
        if (pid == 0 || isRunning(pid))
            continue;
        const bool ok = fi.isDir() && !fi.isSymLink() ? QDir(fi.filePath()).removeRecursively()
                                                      : QFile::remove(fi.filePath());
        removed += ok ? 1 : 0;
    }
    return removed;
}

} // namespace vorn
