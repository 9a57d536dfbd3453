#include "files/desktop_trash.h"

#include "files/file_helpers.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStorageInfo>
#include <QUrl>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vorn
{

namespace
{

constexpr int kMaxTrashNames = 100000;

FileOpResult failed(int err)
{
    FileOpResult r;
    r.errorCode = err ? err : EIO;
    r.error = qt_error_string(r.errorCode);
    return r;
}

bool lstat_of(const QString &path, struct stat *st)
{
    return lstat(native_path(path).constData(), st) == 0;
}

// The device of the path, or of its nearest existing parent when it does not exist yet.
dev_t device_of(QString path)
{
    struct stat st {
    };
    while (!path.isEmpty()) {
        if (stat(native_path(path).constData(), &st) == 0)
            return st.st_dev;
        const QString parent = QFileInfo(path).path();
        if (parent == path)
            break;
        path = parent;
    }
    return dev_t(-1);
}

// A real folder (no link) of ours, created with mode 0700 when missing.
bool own_folder(const QString &path)
{
    if (mkdir(native_path(path).constData(), 0700) != 0 && errno != EEXIST)
        return false;
    struct stat st {
    };
    return lstat_of(path, &st) && S_ISDIR(st.st_mode) && st.st_uid == getuid();
}

bool prepare_trash(const QString &trash)
{
    return own_folder(trash) && own_folder(trash + QStringLiteral("/files")) &&
           own_folder(trash + QStringLiteral("/info"));
}

struct TrashPlace {
    QString dir;        // the trash folder (holding files/ and info/)
    QString pathInInfo; // the original path as the info file records it
};

// The trash for a file on device `dev`: the home trash for the home file system, else a trash
// at the top of the file's mount; empty when there is none.
TrashPlace find_trash(const QString &source, dev_t dev)
{
    const QString home =
        QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/Trash");
    // Files of the home file system use the home trash only, as the desktop does.
    if (device_of(home) == dev || device_of(QDir::homePath()) == dev) {
        if (QFileInfo(home).isAbsolute() && device_of(home) == dev && QDir().mkpath(QFileInfo(home).path()) &&
            prepare_trash(home))
            return {home, source};
        return {};
    }

    const QStorageInfo storage(QFileInfo(source).path());
    if (!storage.isValid() || storage.isReadOnly())
        return {};
    QString top = storage.rootPath();
    if (!top.endsWith(QLatin1Char('/')))
        top += QLatin1Char('/');
    if (!source.startsWith(top))
        return {};
    const QString relative = source.mid(top.size());
    const QString uid = QString::number(getuid());

    // An administrator's shared $topdir/.Trash: a real sticky folder.
    struct stat st {
    };
    const QString shared = top + QStringLiteral(".Trash");
    if (lstat_of(shared, &st) && S_ISDIR(st.st_mode) && (st.st_mode & S_ISVTX)) {
        const QString mine = shared + QLatin1Char('/') + uid;
        if (prepare_trash(mine) && device_of(mine) == dev)
            return {mine, relative};
    }
    const QString own = top + QStringLiteral(".Trash-") + uid;
    if (prepare_trash(own) && device_of(own) == dev)
        return {own, relative};
    return {};
}

} // namespace

FileOpResult move_to_desktop_trash(const QString &pathIn)
{
    if (pathIn.isEmpty() || pathIn.contains(QChar(0)))
        return failed(EINVAL);
    QString path = QDir::cleanPath(QFileInfo(pathIn).absoluteFilePath());
    struct stat st {
    };
    if (!lstat_of(path, &st))
        return failed(errno);
    const TrashPlace place = find_trash(path, st.st_dev);
    if (place.dir.isEmpty())
        return failed(ENOENT);

    // The info file names the original by its bytes, whatever they are.
    const QByteArray info =
        "[Trash Info]\nPath=" + native_path(place.pathInInfo).toPercentEncoding("/") + "\nDeletionDate=" +
        QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-ddThh:mm:ss")).toUtf8() + "\n";
    const QString name = QFileInfo(path).fileName();
    for (int n = 1; n <= kMaxTrashNames; ++n) {
        const QString trashName = FileOps::collision_name(name, n);
        const QByteArray infoPath =
            native_path(place.dir + QStringLiteral("/info/") + trashName + QStringLiteral(".trashinfo"));
        // The info file first, claimed atomically: it reserves the name.
        const int fd = open(infoPath.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return failed(errno);
        }
        const bool written = write(fd, info.constData(), size_t(info.size())) == info.size();
        const bool closed = close(fd) == 0;
        if (!written || !closed) {
            const int err = errno;
            unlink(infoPath.constData());
            return failed(err);
        }
        const QString target = place.dir + QStringLiteral("/files/") + trashName;
        const FileOpResult r = FileOps::rename_no_replace(path, target);
        if (r.ok)
            return r;
        unlink(infoPath.constData());
        if (r.errorCode != EEXIST)
            return r;
    }
    return failed(EEXIST);
}

} // namespace vorn
