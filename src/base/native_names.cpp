#include "base/native_names.h"

#include <cerrno>
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

PathInfo path_info(const QString &path)
{
    PathInfo info;
    const QByteArray p = native_path(path);
    struct stat st = {};
    if (p.isEmpty() || stat(p.constData(), &st) != 0)
        return info;
    info.exists = true;
    info.isDir = S_ISDIR(st.st_mode);
    info.isFile = S_ISREG(st.st_mode);
    info.size = qint64(st.st_size);
    info.mtimeNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return info;
}

bool open_native(QFile &file, const QString &path, QIODevice::OpenMode mode)
{
    const QByteArray p = native_path(path);
    if (p.isEmpty()) {
        errno = ENOENT;
        return false;
    }
    int flags = O_CLOEXEC | O_NOCTTY;
    if ((mode & QIODevice::ReadWrite) == QIODevice::ReadWrite)
        flags |= O_RDWR;
    else if (mode & QIODevice::WriteOnly)
        flags |= O_WRONLY;
    else
        flags |= O_RDONLY | O_NONBLOCK;
    if (mode & QIODevice::WriteOnly) {
        flags |= O_CREAT;
        if (mode & QIODevice::Append)
            flags |= O_APPEND;
        else if (!(mode & QIODevice::ReadOnly) || (mode & QIODevice::Truncate))
            flags |= O_TRUNC;
        if (mode & QIODevice::NewOnly)
            flags |= O_EXCL;
    }
    const int fd = ::open(p.constData(), flags, 0666);
    if (fd < 0)
        return false;
    if (flags & O_NONBLOCK)
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (!file.open(fd, mode, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        errno = EIO;
        return false;
    }
    return true;
}

} // namespace vorn
