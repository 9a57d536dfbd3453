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

constexpr char16_t kKeptByte = 0xDC00; // + the byte (0x80 .. 0xFF)

bool is_kept_byte(char16_t c)
{
    return c >= kKeptByte + 0x80 && c <= kKeptByte + 0xFF;
}

// The length of the valid UTF-8 sequence at p (at most n bytes), 0 when it is not one.
int utf8_sequence(const unsigned char *p, qsizetype n)
{
    const unsigned char c = p[0];
    int len = 0;
    unsigned char lo = 0x80, hi = 0xBF; // the allowed range of the second byte
    if (c >= 0xC2 && c <= 0xDF) {
        len = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
        len = 3;
        if (c == 0xE0)
            lo = 0xA0; // no overlong forms
        else if (c == 0xED)
            hi = 0x9F; // no surrogates
    } else if (c >= 0xF0 && c <= 0xF4) {
        len = 4;
        if (c == 0xF0)
            lo = 0x90;
        else if (c == 0xF4)
            hi = 0x8F; // nothing above U+10FFFF
    } else {
        return 0;
    }
    if (n < len || p[1] < lo || p[1] > hi)
        return 0;
    for (int i = 2; i < len; ++i)
        if ((p[i] & 0xC0) != 0x80)
            return 0;
    return len;
}

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

QString path_from_native(const QByteArray &bytes)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.constData());
    const qsizetype n = bytes.size();
    qsizetype i = 0;
    while (i < n && p[i] < 0x80)
        ++i;
    if (i == n)
        return QString::fromLatin1(bytes); // plain ASCII, the common case
    QString out = QString::fromLatin1(bytes.constData(), i);
    out.reserve(n);
    while (i < n) {
        const int len = p[i] < 0x80 ? 1 : utf8_sequence(p + i, n - i);
        if (len == 0) {
            out += QChar(char16_t(kKeptByte + p[i]));
            ++i;
        } else {
            out += QString::fromUtf8(bytes.constData() + i, len);
            i += len;
        }
    }
    return out;
}

QByteArray native_path(const QString &path)
{
    QByteArray out;
    out.reserve(path.size());
    const qsizetype n = path.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = path[i].unicode();
        if (c == 0)
            return {};
        if (c < 0x80) {
            out += char(c);
        } else if (QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(path[i + 1].unicode())) {
            out += QStringView(path).mid(i, 2).toUtf8();
            ++i;
        } else if (is_kept_byte(c)) {
            out += char(c - kKeptByte);
        } else if (QChar::isSurrogate(c)) {
            return {};
        } else {
            out += QStringView(path).mid(i, 1).toUtf8();
        }
    }
    return out;
}

QString shown_name(const QString &path)
{
    QString out = path;
    for (QChar &c : out)
        if (is_kept_byte(c.unicode()))
            c = QChar::ReplacementCharacter;
    return out;
}

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

bool set_modification_time(const QString &path, const QDateTime &localTime)
{
    if (path.isEmpty() || path.contains(QChar(0)) || !localTime.isValid())
        return false;
    const struct timespec times[2] = {{0, UTIME_OMIT}, {time_t(localTime.toSecsSinceEpoch()), 0}};
    return utimensat(AT_FDCWD, native_path(path).constData(), times, 0) == 0;
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
