#include "files/tree_scanner.h"

#include "files/file_helpers.h"

#include "files/masks.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace vorn
{

namespace
{

constexpr unsigned kHiddenFlag = 0x2;
constexpr unsigned kSystemFlag = 0x4;
constexpr size_t kDirBufferSize = 64 * 1024;

// The record layout getdents64 fills in.
struct Dirent64 {
    ino64_t d_ino;
    off64_t d_off;
    unsigned short d_reclen;
    unsigned char d_type;
    char d_name[];
};

// Lower-cases an ASCII name into out; false (out undefined) when the name is not ASCII.
bool lowerIfAscii(const char *s, size_t len, std::string &out)
{
    out.resize(len);
    for (size_t i = 0; i < len; ++i) {
        const char c = s[i];
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
        out[i] = (c >= 'A' && c <= 'Z') ? char(c + ('a' - 'A')) : c;
    }
    return true;
}

bool isAscii(const char *s, size_t len)
{
    for (size_t i = 0; i < len; ++i)
        if (static_cast<unsigned char>(s[i]) >= 0x80)
            return false;
    return true;
}

// Lower-cased name as UTF-8 bytes: the sort key, and the matcher's input for ASCII names.
void lowerName(const char *s, size_t len, std::string &out)
{
    if (lowerIfAscii(s, len, out))
        return;
    const QByteArray l = QString::fromUtf8(s, qsizetype(len)).toLower().toUtf8();
    out.assign(l.constData(), size_t(l.size()));
}

bool isDotName(const char *n)
{
    return n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0));
}

} // namespace

bool folder_flagged_hidden(int fd)
{
    char value[64];
    const ssize_t n = fgetxattr(fd, "user.DOSATTRIB", value, sizeof(value) - 1);
    if (n <= 2)
        return false;
    value[n] = 0;
    if (value[0] != '0' || (value[1] != 'x' && value[1] != 'X'))
        return false;
    const unsigned long flags = std::strtoul(value + 2, nullptr, 16);
    return (flags & (kHiddenFlag | kSystemFlag)) != 0;
}

TTreeScanner::TTreeScanner() = default;

void TTreeScanner::prepareMatcher()
{
    patterns_.clear();
    asciiPatterns_.clear();
    if (fileMask_.contains(QLatin1Char(';')) || fileMask_.contains(QLatin1Char(',')))
        patterns_ = parse_patterns(fileMask_, true, false);
    else
        patterns_ << fileMask_.toLower();
    asciiFast_ = true;
    for (const QString &p : std::as_const(patterns_)) {
        const QByteArray b = p.toUtf8();
        if (!isAscii(b.constData(), size_t(b.size())))
            asciiFast_ = false;
        asciiPatterns_.emplace_back(b.constData(), size_t(b.size()));
    }
}

// `lowered` receives the lower-cased name (the sort key) when the name matches.
bool TTreeScanner::matches(const char *name, size_t len, std::string &lowered) const
{
    if (asciiFast_ && lowerIfAscii(name, len, lowered)) {
        for (const std::string &p : asciiPatterns_)
            if (match_pattern_ascii(lowered.data(), lowered.size(), p.data(), p.size(), true))
                return true;
        return false;
    }
    const QString l = QString::fromUtf8(name, qsizetype(len)).toLower();
    for (const QString &p : patterns_) {
        if (match_pattern(l, p, true)) {
            const QByteArray b = l.toUtf8();
            lowered.assign(b.constData(), size_t(b.size()));
            return true;
        }
    }
    return false;
}

void TTreeScanner::search()
{
    searching_.store(true);
    fileFound_.clear();
    fileSize_ = 0;
    QString root = initialDirectory_.isEmpty() ? QDir::currentPath() : initialDirectory_;
    while (root.size() > 1 && root.endsWith(QLatin1Char('/')))
        root.chop(1);
    if (!root.endsWith(QLatin1Char('/')))
        root += QLatin1Char('/');
    prepareMatcher();
    if (buffer_.size() < kDirBufferSize)
        buffer_.resize(kDirBufferSize);
    continue_.store(true);
    const int fd = ::open(native_path(root).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    searchFolder(fd, root);
    searching_.store(false);
}

void TTreeScanner::readFolder(int fd, Listing &out)
{
    std::string lowered;
    auto add = [&out](std::vector<Item> &to, const std::string &key, const char *name, size_t len,
                      qint64 size) {
        const size_t k = out.arena.size();
        out.arena += key;
        const size_t n = out.arena.size();
        out.arena.append(name, len);
        to.push_back(Item{k, key.size(), n, len, size});
    };
    for (;;) {
        const long n = syscall(SYS_getdents64, fd, buffer_.data(), buffer_.size());
        if (n <= 0)
            break; // end, or a folder that cannot be read: what was read so far stands
        for (long off = 0; off < n;) {
            const auto *d = reinterpret_cast<const Dirent64 *>(buffer_.data() + off);
            off += d->d_reclen;
            const char *name = d->d_name;
            if (isDotName(name))
                continue;
            unsigned char type = d->d_type;
            if (type == DT_UNKNOWN) {
                struct stat st;
                if (fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0)
                    continue;
                type = S_ISDIR(st.st_mode)   ? DT_DIR
                       : S_ISREG(st.st_mode) ? DT_REG
                       : S_ISLNK(st.st_mode) ? DT_LNK
                                             : DT_UNKNOWN;
            }
            const size_t len = std::strlen(name);
            if (type == DT_DIR) {
                if (name[0] == '.') // dot-folders are hidden
                    continue;
                lowerName(name, len, lowered);
                lowered += '/';
                add(out.dirs, lowered, name, len, 0);
            } else if (type == DT_REG || type == DT_LNK) {
                if (!matches(name, len, lowered))
                    continue;
                qint64 size = 0;
                if (type == DT_LNK) {
                    // A link counts as the file it points to; links to folders are never entered.
                    struct stat st;
                    if (fstatat(fd, name, &st, 0) != 0 || !S_ISREG(st.st_mode))
                        continue;
                    size = st.st_size;
                } else if (reportSizes_) {
                    struct stat st;
                    if (fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) == 0)
                        size = st.st_size;
                }
                add(out.files, lowered, name, len, size);
            }
            // fifos, sockets and devices are not files here
        }
    }
}

void TTreeScanner::searchFolder(int fd, const QString &folder)
{
    fire(OnIdle);
    if (!continue_.load()) {
        if (fd >= 0)
            ::close(fd);
        return;
    }
    fileSize_ = 0;
    fileFound_ = folder;
    fire(OnDirectoryFound);

    Listing list;
    if (fd >= 0)
        readFolder(fd, list);
    const char *a = list.arena.data();
    // By lower-cased key; names equal but for case keep a fixed order by their bytes.
    auto less = [a](const Item &x, const Item &y) {
        const int c = std::string_view(a + x.key, x.keyLen).compare(std::string_view(a + y.key, y.keyLen));
        return c != 0 ? c < 0
                      : std::string_view(a + x.name, x.nameLen) < std::string_view(a + y.name, y.nameLen);
    };
    std::sort(list.files.begin(), list.files.end(), less);
    std::sort(list.dirs.begin(), list.dirs.end(), less);

    for (const Item &f : list.files) {
        // Built in place: no temporary strings for plain ASCII names.
        fileFound_.truncate(0);
        fileFound_ += folder;
        if (isAscii(a + f.name, f.nameLen))
            fileFound_ += QLatin1StringView(a + f.name, qsizetype(f.nameLen));
        else
            fileFound_ += path_from_native(QByteArray(a + f.name, qsizetype(f.nameLen)));
        fileSize_ = f.size;
        fire(OnFileFound);
    }
    fileSize_ = 0;

    for (const Item &d : list.dirs) {
        const std::string name(a + d.name, d.nameLen);
        const QString path =
            folder + path_from_native(QByteArray(name.data(), qsizetype(name.size()))) + QLatin1Char('/');
        int sub = -1;
        if (fd >= 0)
            sub = ::openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW);
        if (sub >= 0 && folder_flagged_hidden(sub)) {
            ::close(sub);
            continue;
        }
        if (recursive_) {
            searchFolder(sub, path);
        } else {
            if (sub >= 0)
                ::close(sub);
            fileFound_ = path;
            fire(OnDirectoryFound);
        }
    }
    if (fd >= 0)
        ::close(fd);
    fileFound_ = folder;
    fire(OnDirectoryDone);
}

} // namespace vorn
