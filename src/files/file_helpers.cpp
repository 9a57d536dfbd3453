#include "files/file_helpers.h"

#include "files/drive_info.h"
#include "files/file_attributes.h"

#include <QDir>
#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vorn {

namespace {

// The files of a folder as the clean-up sees them: plain files and links (hidden included),
// not system-flagged, no folders.
QStringList plain_files(const QDir &dir, const QStringList &patterns)
{
    QStringList out;
    const QStringList names =
        dir.entryList(patterns, QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString &name : names) {
        const QString path = dir.filePath(name);
        struct stat st {};
        if (lstat(QFile::encodeName(path).constData(), &st) != 0)
            continue;
        if (!S_ISLNK(st.st_mode) && (!S_ISREG(st.st_mode) || (file_attributes(path) & AttrSystem)))
            continue;
        out.append(path);
    }
    return out;
}

} // namespace

QString add_backslash(const QString &path)
{
    if (path.isEmpty() || path.endsWith(QLatin1Char('/')))
        return path;
    return path + QLatin1Char('/');
}

QString drop_double_backslash(const QString &path)
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
        const QByteArray p = QFile::encodeName(path);
        struct stat st {};
        if (lstat(p.constData(), &st) == 0 && !S_ISLNK(st.st_mode))
            make_writable(path, drives);
        ::unlink(p.constData());
    }
}

void clear_folder(const QString &folder) { clear_folder(folder, system_drive_info()); }

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

bool set_modification_time(const QString &path, const QDateTime &localTime)
{
    if (path.isEmpty() || path.contains(QChar(0)) || !localTime.isValid())
        return false;
    const struct timespec times[2] = {{0, UTIME_OMIT}, {time_t(localTime.toSecsSinceEpoch()), 0}};
    return utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0) == 0;
}

} // namespace vorn
