#include "base/text_file.h"

#include "base/native_names.h"

#include <QFile>
#include <QRandomGenerator>
#include <QStringDecoder>

#include <cerrno>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

namespace vorn
{

namespace
{

// Windows-1252 code points for the bytes 0x80..0x9F; the rest are Latin-1.
constexpr char16_t kCp1252High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                      0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void set_error(QString *error, int code)
{
    if (error)
        *error = qt_error_string(code);
}

bool write_all(int fd, QByteArrayView bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

// Syncs the folder holding `nativePath`, so the rename itself survives a power loss.
void sync_folder(const QByteArray &nativePath)
{
    const qsizetype slash = nativePath.lastIndexOf('/');
    const QByteArray folder = slash < 0    ? QByteArray(".")
                              : slash == 0 ? QByteArray("/")
                                           : nativePath.left(slash);
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

} // namespace

bool write_file_atomic(const QByteArray &nativePath, QByteArrayView bytes, QString *error, unsigned newMode)
{
    struct stat old {
    };
    const bool exists = ::stat(nativePath.constData(), &old) == 0;
    if (exists && !S_ISREG(old.st_mode)) {
        set_error(error, EISDIR);
        return false;
    }
    // A hidden name of the program's own pattern in the same folder, so the rename stays on
    // one file system.
    const qsizetype slash = nativePath.lastIndexOf('/');
    const QByteArray folder = nativePath.left(slash + 1);
    const QByteArray base = nativePath.mid(slash + 1);
    QByteArray tmp;
    int fd = -1;
    for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
        tmp = folder + '.' + base.left(120) + ".vorn-tmp-" +
              QByteArray::number(QRandomGenerator::global()->generate64(), 36);
        fd = ::open(tmp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW,
                    exists ? 0600 : mode_t(newMode & 0777));
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0) {
        set_error(error, errno);
        return false;
    }
    bool ok = write_all(fd, bytes);
    int code = ok ? 0 : errno;
    if (ok && exists && ::fchmod(fd, old.st_mode & 07777) != 0) {
        ok = false;
        code = errno;
    }
    if (ok && ::fsync(fd) != 0) {
        ok = false;
        code = errno;
    }
    if (::close(fd) != 0 && ok) {
        ok = false;
        code = errno;
    }
    if (ok && ::rename(tmp.constData(), nativePath.constData()) != 0) {
        ok = false;
        code = errno;
    }
    if (!ok) {
        ::unlink(tmp.constData());
        set_error(error, code ? code : EIO);
        return false;
    }
    sync_folder(nativePath);
    return true;
}

bool write_file_atomic(const QString &path, QByteArrayView bytes, QString *error, unsigned newMode)
{
    return write_file_atomic(native_path(path), bytes, error, newMode);
}

QString decode_text(QByteArrayView bytes)
{
    // The decoder keeps a byte order mark; exactly one is taken off here (a second one is text).
    QStringDecoder utf8(QStringDecoder::Utf8,
                        QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError()) {
        if (text.startsWith(QChar(0xFEFF)))
            text.remove(0, 1);
        return text;
    }
    text.clear();
    text.reserve(bytes.size());
    for (char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        text.append(b >= 0x80 && b < 0xA0 ? QChar(kCp1252High[b - 0x80]) : QChar(b));
    }
    return text;
}

QStringList decode_lines(const QByteArray &bytes)
{
    QStringList lines;
    const QByteArrayView all(bytes);
    qsizetype start = 0;
    const qsizetype n = all.size();
    auto add = [&](qsizetype end) {
        if (end > start && all[end - 1] == '\r')
            --end;
        lines.append(decode_text(all.sliced(start, end - start)));
    };
    for (qsizetype i = 0; i < n; ++i) {
        if (all[i] == '\n') {
            add(i);
            start = i + 1;
        }
    }
    if (start < n)
        add(n);
    return lines;
}

bool read_text_lines(const QString &path, QStringList *lines)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    *lines = decode_lines(f.readAll());
    return true;
}

bool write_text_lines(const QString &path, const QStringList &lines, QString *error)
{
    QByteArray out;
    for (const QString &l : lines) {
        out += l.toUtf8();
        out += "\r\n";
    }
    return write_file_atomic(path, out, error);
}

int lenient_int(QStringView s)
{
    qsizetype i = 0;
    const qsizetype n = s.size();
    while (i < n && s[i] == QLatin1Char(' '))
        ++i;
    bool negative = false;
    if (i < n && (s[i] == QLatin1Char('+') || s[i] == QLatin1Char('-'))) {
        negative = s[i] == QLatin1Char('-');
        ++i;
    }
    int base = 10;
    if (i < n && s[i] == QLatin1Char('$')) {
        base = 16;
        ++i;
    } else if (i + 1 < n && s[i] == QLatin1Char('0') &&
               (s[i + 1] == QLatin1Char('x') || s[i + 1] == QLatin1Char('X'))) {
        base = 16;
        i += 2;
    }
    long long value = 0;
    constexpr long long kLimit = std::numeric_limits<int>::max();
    for (; i < n; ++i) {
        const char16_t c = s[i].unicode();
        int d = -1;
        if (c >= u'0' && c <= u'9')
            d = c - u'0';
        else if (base == 16 && c >= u'a' && c <= u'f')
            d = c - u'a' + 10;
        else if (base == 16 && c >= u'A' && c <= u'F')
            d = c - u'A' + 10;
        if (d < 0)
            break;
        value = value * base + d;
        if (value > kLimit)
            value = kLimit + 1; // saturate; the sign is applied below
    }
    if (negative)
        return value > kLimit ? std::numeric_limits<int>::min() : static_cast<int>(-value);
    return value > kLimit ? std::numeric_limits<int>::max() : static_cast<int>(value);
}

} // namespace vorn
