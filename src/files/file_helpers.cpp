#include "files/file_helpers.h"

#include "files/drive_info.h"
#include "files/file_attributes.h"

#include <QDir>
#include <QFile>

#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vorn
{

namespace
{

// The files of a folder as the clean-up sees them: plain files and links (hidden included),
// not system-flagged, no folders.
QStringList plain_files(const QDir &dir, const QStringList &patterns)
{
    QStringList out;
    for (const QString &name : folder_entries(dir.path(), true)) {
        if (!patterns.isEmpty() && !QDir::match(patterns, name))
            continue;
        const QString path = with_trailing_slash(dir.path()) + name;
        struct stat st {
        };
        if (lstat(native_path(path).constData(), &st) != 0)
            continue;
        if (!S_ISLNK(st.st_mode) && (!S_ISREG(st.st_mode) || (file_attributes(path) & AttrSystem)))
            continue;
        out.append(path);
    }
    return out;
}

} // namespace

QStringList folder_entries(const QString &folder, bool filesOnly)
{
    QStringList out;
    const QByteArray dirPath = native_path(folder);
    DIR *dir = dirPath.isEmpty() ? nullptr : opendir(dirPath.constData());
    if (!dir)
        return out;
    const int dfd = dirfd(dir);
    while (const dirent *e = readdir(dir)) {
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0)
            continue;
        if (filesOnly) {
            struct stat st {
            };
            if (fstatat(dfd, e->d_name, &st, 0) != 0 || !S_ISREG(st.st_mode)) {
                // A link that leads nowhere is still a file of the folder.
                if (fstatat(dfd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISLNK(st.st_mode))
                    continue;
            }
        }
        out << path_from_native(QByteArray(e->d_name));
    }
    closedir(dir);
    return out;
}

qint64 file_size(const QString &path)
{
    struct stat st {
    };
    const QByteArray p = native_path(path);
    return !p.isEmpty() && stat(p.constData(), &st) == 0 ? qint64(st.st_size) : -1;
}

QString drop_doubled_slash(const QString &path)
{
    if (path.endsWith(QLatin1String("//")))
        return path.chopped(1);
    return path;
}

void clear_folder(const QString &folder, const DriveInfo &drives)
{
    if (folder.isEmpty())
        return;
    const QDir dir(folder);
    for (const QString &path : plain_files(dir, {})) {
        const QByteArray p = native_path(path);
        struct stat st {
        };
        if (lstat(p.constData(), &st) == 0 && !S_ISLNK(st.st_mode))
            make_writable(path, drives);
        ::unlink(p.constData());
    }
}

void clear_folder(const QString &folder)
{
    clear_folder(folder, system_drive_info());
}

int count_catalog_pages(const QString &tempDir)
{
    if (tempDir.isEmpty())
        return 0;
    QDir dir(tempDir);
    int count = 0;
    for (const QString &path : plain_files(dir, {QStringLiteral("*.htm")}))
        if (QFileInfo(path).isFile())
            ++count;
    return count;
}

QString name_before_dot(const QString &name)
{
    const qsizetype dot = name.indexOf(QLatin1Char('.'));
    return dot < 0 ? name : name.left(dot);
}

QString text_before_placeholder(const QString &pattern, const QString &placeholder)
{
    const qsizetype at = placeholder.isEmpty() ? -1 : pattern.indexOf(placeholder);
    return at < 0 ? QString() : pattern.left(at);
}

QString text_after_placeholder(const QString &pattern, const QString &storedPrefix,
                               const QString &placeholder)
{
    if (pattern.size() == placeholder.size())
        return {};
    return pattern.mid(storedPrefix.size() + placeholder.size());
}

QString replace_all(const QString &text, const QString &from, const QString &to, bool caseSensitive)
{
    if (from.isEmpty())
        return text;
    const Qt::CaseSensitivity cs = caseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive;
    QString out;
    qsizetype pos = 0;
    for (;;) {
        const qsizetype at = text.indexOf(from, pos, cs);
        if (at < 0)
            break;
        out += QStringView(text).mid(pos, at - pos);
        out += to;
        pos = at + from.size();
    }
    out += QStringView(text).mid(pos);
    return out;
}

bool set_modification_time(const QString &path, const QDateTime &localTime, bool onLink)
{
    if (path.isEmpty() || path.contains(QChar(0)) || !localTime.isValid())
        return false;
    const struct timespec times[2] = {{0, UTIME_OMIT}, {time_t(localTime.toSecsSinceEpoch()), 0}};
    return utimensat(AT_FDCWD, native_path(path).constData(), times, onLink ? AT_SYMLINK_NOFOLLOW : 0) == 0;
}

void create_working_folders(const Paths &paths)
{
    for (const QString &dir :
         {paths.tempDir, paths.templateDir, paths.zipDir, paths.catalogDir, paths.helpDir}) {
        if (!QDir(dir).exists())
            QDir().mkdir(dir);
    }
}

void remove_working_folders(const Paths &paths)
{
    for (const QString &dir : {paths.zipDir, paths.tempDir}) {
        clear_folder(dir);
        QDir().rmdir(dir); // fails quietly when something is left in it
    }
}

} // namespace vorn
