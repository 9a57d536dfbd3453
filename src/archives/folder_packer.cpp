#include "archives/folder_packer.h"

#include "base/native_names.h"
#include "base/temp_files.h"
#include "files/file_helpers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace vorn
{

namespace
{

QString with_slash(const QString &dir)
{
    return dir.endsWith(QLatin1Char('/')) ? dir : dir + QLatin1Char('/');
}

QByteArray hex(qint64 value, int width)
{
    return QByteArray::number(value, 16).toUpper().rightJustified(width, '0');
}

// Reads exactly `size` bytes unless the device ends; returns the count read, -1 on error.
qint64 read_full(QIODevice &in, char *data, qint64 size)
{
    qint64 got = 0;
    while (got < size) {
        const qint64 n = in.read(data + got, size - got);
        if (n < 0 && in.atEnd())
            break; // a stream that has ended reads as an error
        if (n < 0)
            return got > 0 ? got : -1;
        if (n == 0 && !in.waitForReadyRead(-1))
            break;
        got += n;
    }
    return got;
}

bool write_all(QIODevice &out, const char *data, qint64 size)
{
    while (size > 0) {
        const qint64 n = out.write(data, size);
        if (n <= 0)
            return false;
        data += n;
        size -= n;
    }
    return true;
}

// Writes all bytes to a descriptor; false on an error.
bool write_fd_all(int fd, const char *data, qint64 size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size_t(size));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= n;
    }
    return true;
}

// Where packed bytes go. A file is written through its descriptor with a buffer of its own,
// and file contents are copied into it by the kernel (copy_file_range), without passing through
// this process; any other device gets plain writes.
class Sink
{
  public:
    explicit Sink(QIODevice &dev) : dev_(dev)
    {
        auto *file = qobject_cast<QFileDevice *>(&dev);
        if (file && file->handle() >= 0 && file->flush())
            fd_ = file->handle();
    }

    bool write(const char *data, qint64 size)
    {
        if (fd_ < 0)
            return write_all(dev_, data, size);
        if (buf_.size() + size > kBuffer && !flush())
            return false;
        if (size >= kBuffer)
            return write_fd(data, size);
        buf_.append(data, size);
        return true;
    }
    bool write(const QByteArray &bytes) { return write(bytes.constData(), bytes.size()); }

    // Copies `size` bytes of the open file `src` (from its current offset) to the output.
    // Returns a PackCode; `step` is told each piece copied.
    int copyFrom(int src, qint64 size, const std::function<void(qint64)> &step)
    {
        if (fd_ >= 0 && kernelCopy_) {
            if (!flush())
                return PackWriteFailed;
            qint64 left = size;
            while (left > 0) {
                const ssize_t n =
                    ::copy_file_range(src, nullptr, fd_, nullptr, size_t(std::min(left, kPiece)), 0);
                if (n < 0 && errno == EINTR)
                    continue;
                if (n < 0 && left == size &&
                    (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP)) {
                    kernelCopy_ = false; // not between these file systems: copy by hand
                    return copyByHand(src, size, step);
                }
                if (n < 0)
                    return errno == EIO || errno == EBADF ? PackReadFailed : PackWriteFailed;
                if (n == 0)
                    return PackSizeMismatch;
                left -= n;
                step(n);
            }
            return PackOk;
        }
        return copyByHand(src, size, step);
    }

    bool flush()
    {
        if (fd_ < 0 || buf_.isEmpty())
            return true;
        const bool ok = write_fd(buf_.constData(), buf_.size());
        buf_.clear();
        return ok;
    }

  private:
    static constexpr qint64 kBuffer = 256 * 1024;
    static constexpr qint64 kPiece = 8 * 1024 * 1024;

    bool write_fd(const char *data, qint64 size) { return write_fd_all(fd_, data, size); }

    int copyByHand(int src, qint64 size, const std::function<void(qint64)> &step)
    {
        if (!flush())
            return PackWriteFailed;
        std::vector<char> piece(size_t(std::min<qint64>(std::max<qint64>(size, 1), kBuffer)));
        qint64 left = size;
        while (left > 0) {
            const ssize_t n = ::read(src, piece.data(), size_t(std::min<qint64>(left, qint64(piece.size()))));
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                return PackReadFailed;
            if (n == 0)
                return PackSizeMismatch;
            if (!(fd_ >= 0 ? write_fd(piece.data(), n) : write_all(dev_, piece.data(), n)))
                return PackWriteFailed;
            left -= n;
            step(n);
        }
        return PackOk;
    }

    QIODevice &dev_;
    int fd_ = -1;
    bool kernelCopy_ = true;
    QByteArray buf_;
};

// Where packed bytes come from. A file is read through its descriptor with a buffer of its own,
// and file contents are copied out of it by the kernel; any other device is read as a device.
class Source
{
  public:
    explicit Source(QIODevice &dev) : dev_(dev)
    {
        auto *file = qobject_cast<QFileDevice *>(&dev);
        if (file && file->handle() >= 0 && !dev.isSequential()) {
            fd_ = file->handle();
            offset_ = dev.pos();
            size_ = dev.size();
        }
    }

    // Reads exactly `size` bytes unless the data ends; the count read, -1 on an error.
    qint64 read(char *data, qint64 size)
    {
        if (fd_ < 0)
            return read_full(dev_, data, size);
        qint64 got = 0;
        while (got < size) {
            if (pos_ == len_ && !fill())
                return got > 0 ? got : (error_ ? -1 : 0);
            const qint64 n = std::min(size - got, len_ - pos_);
            std::memcpy(data + got, buf_.data() + pos_, size_t(n));
            pos_ += n;
            got += n;
        }
        return got;
    }

    qint64 pos() const { return fd_ < 0 ? dev_.pos() : offset_ - (len_ - pos_); }
    // Bytes left, or -1 for a stream whose end is not known.
    qint64 left() const
    {
        if (fd_ >= 0)
            return size_ - pos();
        return dev_.isSequential() ? -1 : dev_.size() - dev_.pos();
    }

    // Copies the next `size` bytes into the file open as `out`. Returns a PackCode.
    int copyTo(int out, qint64 size, const std::function<void()> &step)
    {
        qint64 left = size;
        // What the buffer holds first.
        const qint64 held = fd_ >= 0 ? std::min(left, len_ - pos_) : 0;
        if (held > 0) {
            if (!write_fd_all(out, buf_.data() + pos_, held))
                return PackReadFailed;
            pos_ += held;
            left -= held;
            step();
        }
        while (left > 0 && fd_ >= 0 && kernelCopy_) {
            loff_t from = offset_;
            const ssize_t n = ::copy_file_range(fd_, &from, out, nullptr,
                                                size_t(std::min<qint64>(left, 8 * 1024 * 1024)), 0);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP)) {
                kernelCopy_ = false;
                break;
            }
            if (n < 0)
                return errno == EIO ? PackWriteFailed : PackReadFailed;
            if (n == 0)
                return PackSizeMismatch;
            offset_ += n;
            left -= n;
            step();
        }
        std::vector<char> piece(size_t(std::min<qint64>(std::max<qint64>(left, 1), 256 * 1024)));
        while (left > 0) {
            const qint64 n = read(piece.data(), std::min<qint64>(left, qint64(piece.size())));
            if (n < 0)
                return PackWriteFailed;
            if (n == 0)
                return PackSizeMismatch;
            if (!write_fd_all(out, piece.data(), n))
                return PackReadFailed;
            left -= n;
            step();
        }
        return PackOk;
    }

  private:
    bool fill()
    {
        if (buf_.empty())
            buf_.resize(64 * 1024);
        for (;;) {
            const ssize_t n = ::pread(fd_, buf_.data(), buf_.size(), offset_);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                error_ = true;
            if (n <= 0)
                return false;
            offset_ += n;
            pos_ = 0;
            len_ = n;
            return true;
        }
    }

    QIODevice &dev_;
    int fd_ = -1;
    bool kernelCopy_ = true;
    bool error_ = false;
    qint64 offset_ = 0; // the descriptor's offset of the next byte not yet in the buffer
    qint64 size_ = 0;
    std::vector<char> buf_;
    qint64 pos_ = 0, len_ = 0;
};

// Parses `width` upper- or lower-case hex digits; -1 when any is not a hex digit.
qint64 parse_hex(const char *p, int width)
{
    qint64 v = 0;
    for (int i = 0; i < width; ++i) {
        const char c = p[i];
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else if (c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else
            return -1;
        v = v * 16 + d;
    }
    return v;
}

bool safe_name(const QByteArray &name)
{
    if (name.isEmpty() || name == "." || name == "..")
        return false;
    for (const char c : name)
        if (c == '/' || c == '\\' || c == '\0')
            return false;
    return true;
}

struct Entry {
    QString path;
    QByteArray name;
    bool dir = false;
};

// Entries of one folder in name order, without links, "." and "..". Names are the file
// system's bytes, whatever their encoding.
std::vector<Entry> list_folder(const QString &folder)
{
    std::vector<Entry> out;
    QStringList names = folder_entries(folder, false);
    names.sort();
    const QString dir = with_trailing_slash(folder);
    for (const QString &name : names) {
        const QString path = dir + name;
        struct stat st = {};
        if (::lstat(native_path(path).constData(), &st) != 0 || S_ISLNK(st.st_mode))
            continue;
        out.push_back({path, native_path(name), S_ISDIR(st.st_mode)});
    }
    return out;
}

class Packer
{
  public:
    Packer(QIODevice &out, const PackProgressFn &progress) : out_(out), progress_(progress) {}

    // Lists the tree once, depth first, adds up the file sizes and checks that every entry fits
    // the format; the records are then written from this list.
    int measure(const QString &folder, int level)
    {
        if (level > kPackMaxLevel)
            return PackNotRepresentable;
        for (Entry &e : list_folder(folder)) {
            if (e.name.size() > kPackMaxNameBytes)
                return PackNotRepresentable;
            const QString path = e.path;
            if (e.dir) {
                items_.push_back({std::move(e), level});
                if (const int code = measure(path, level + 1))
                    return code;
                continue;
            }
            // Pipes, sockets and devices hold no file to pack (and a pipe would never end).
            struct stat st;
            if (::lstat(native_path(path).constData(), &st) != 0 || !S_ISREG(st.st_mode))
                continue;
            if (st.st_size > kPackMaxFileSize)
                return PackNotRepresentable;
            total_ += st.st_size;
            items_.push_back({std::move(e), level});
        }
        return PackOk;
    }

    int write(const QByteArray &rootName)
    {
        if (!out_.write(hex(rootName.size() + 0x80, 2) + hex(1, 2) + rootName))
            return PackWriteFailed;
        for (const Item &item : items_) {
            const Entry &e = item.entry;
            if (e.dir) {
                if (!out_.write(hex(e.name.size() + 0x80, 2) + hex(item.level, 2) + e.name))
                    return PackWriteFailed;
            } else if (const int code = packFile(e, item.level)) {
                return code;
            }
        }
        return out_.flush() ? PackOk : PackWriteFailed;
    }

  private:
    struct Item {
        Entry entry;
        int level;
    };

    int packFile(const Entry &e, int level)
    {
        const int fd =
            ::open(native_path(e.path).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
        if (fd < 0)
            return PackOpenFailed;
        struct stat st;
        int code = PackOk;
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
            code = PackOpenFailed;
        else if (st.st_size > kPackMaxFileSize)
            code = PackNotRepresentable;
        else if (!out_.write(hex(e.name.size(), 2) + hex(level, 2) + e.name + hex(st.st_size, 8)))
            code = PackWriteFailed;
        else
            code = out_.copyFrom(fd, st.st_size, [this](qint64 n) {
                done_ += n;
                if (progress_)
                    progress_(done_, total_);
            });
        ::close(fd);
        return code;
    }

    Sink out_;
    const PackProgressFn &progress_;
    std::vector<Item> items_;
    qint64 total_ = 0;
    qint64 done_ = 0;
};

} // namespace

Msg pack_code_message(int code)
{
    switch (code) {
    case PackNoPath:
        return Msg::PackNoPath;
    case PackFolderNotFound:
        return Msg::PackFolderNotFound;
    case PackNoTargetName:
        return Msg::PackNoTargetName;
    case PackTargetNotFound:
        return Msg::PackTargetNotFound;
    case UnpackFileNotFound:
        return Msg::UnpackFileNotFound;
    case PackCreateFailed:
        return Msg::PackCreateFailed;
    case PackWriteFailed:
        return Msg::PackWriteFailed;
    case PackOpenFailed:
        return Msg::PackOpenFailed;
    case PackReadFailed:
        return Msg::PackReadFailed;
    case PackSizeMismatch:
        return Msg::PackSizeMismatch;
    case PackBadRecord:
        return Msg::PackBadRecord;
    case PackWouldReplace:
        return Msg::PackWouldReplace;
    case PackNotRepresentable:
        return Msg::PackNotRepresentable;
    default:
        return Msg::Count_;
    }
}

int pack_folder(const QString &folder, QIODevice &out, const PackProgressFn &progress)
{
    const QFileInfo root(folder);
    if (!path_info(folder).isDir)
        return PackFolderNotFound;
    const QByteArray rootName = native_path(QDir(root.absoluteFilePath()).dirName());
    if (!safe_name(rootName) || rootName.size() > kPackMaxNameBytes)
        return PackNotRepresentable;
    Packer packer(out, progress);
    if (const int code = packer.measure(root.absoluteFilePath(), 1))
        return code;
    return packer.write(rootName);
}

int unpack_folder(QIODevice &in, const QString &targetDir, qint64 total, const PackProgressFn &progress)
{
    const QString target = with_slash(targetDir);
    std::vector<QString> parts; // the relative folder path, one component each
    Source source(in);
    bool first = true;
    const auto report = [&]() {
        if (progress)
            progress(source.pos(), total);
    };
    for (;;) {
        char head[4];
        const qint64 got = source.read(head, 4);
        if (got == 0)
            break;
        if (got < 0)
            return PackWriteFailed;
        if (got < 4)
            return PackBadRecord;
        const qint64 kind = parse_hex(head, 2);
        const qint64 level = parse_hex(head + 2, 2);
        if (kind < 0 || level < 0)
            return PackBadRecord;
        const bool isDir = kind > 0x80;
        const int nameLength = int(kind & 0x7F);
        QByteArray name(nameLength, Qt::Uninitialized);
        if (source.read(name.data(), nameLength) != nameLength)
            return PackWriteFailed;
        if (!safe_name(name))
            return PackBadRecord;
        // The root record is a folder at level 1; every later record lies inside the root and
        // goes at most one level below the folder last opened.
        if (first ? (!isDir || level != 1) : (level < 1 || level > qint64(parts.size())))
            return PackBadRecord;
        first = false;
        parts.resize(std::min(size_t(level), parts.size()));
        QString rel;
        for (const QString &p : parts)
            rel += p + QLatin1Char('/');
        const QString localName = path_from_native(name);
        if (localName.isEmpty() || localName == QLatin1String(".") || localName == QLatin1String("..") ||
            localName.contains(QLatin1Char('/')))
            return PackBadRecord;
        const QString path = target + rel + localName;
        const QByteArray nativePath = native_path(path);
        struct stat st;
        const bool exists = ::lstat(nativePath.constData(), &st) == 0;

        if (isDir) {
            parts.push_back(localName);
            if (!exists)
                ::mkdir(nativePath.constData(), 0777); // a failure shows when a file inside cannot be created
            else if (!S_ISDIR(st.st_mode))
                return PackOpenFailed; // a file or a link where the folder goes
            report();
            continue;
        }

        char sizeText[8];
        if (source.read(sizeText, 8) != 8)
            return PackWriteFailed;
        const qint64 size = parse_hex(sizeText, 8);
        if (size < 0 || size > kPackMaxFileSize)
            return PackBadRecord;
        if (source.left() >= 0 && source.left() < size)
            return PackSizeMismatch; // nothing is created for data that is not there
        if (exists)
            return PackWouldReplace;
        const int out =
            ::open(nativePath.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (out < 0)
            return errno == EEXIST ? PackWouldReplace : PackOpenFailed;
        int code = source.copyTo(out, size, report);
        if (::close(out) != 0 && code == PackOk)
            code = PackReadFailed;
        if (code != PackOk)
            return code;
        report();
    }
    return PackOk;
}

void FolderPacker::setProgress(qint64 done, qint64 total)
{
    if (total > 0)
        progress_.store(int(qMin<qint64>(100, done * 100 / total)));
}

int FolderPacker::execute()
{
    errorCode_.store(PackOk);
    progress_.store(0);
    int code = PackOk;
    if (sourcePath.trimmed().isEmpty() || targetPath.trimmed().isEmpty())
        code = PackNoPath;
    else
        code = mode == Mode::Pack ? runPack() : runUnpack();
    errorCode_.store(code);
    if (code == PackOk)
        progress_.store(100);
    return code;
}

int FolderPacker::runPack()
{
    if (!path_info(sourcePath).isDir)
        return PackFolderNotFound;
    if (targetPath.endsWith(QLatin1Char('/')) || QFileInfo(targetPath).isDir())
        return PackNoTargetName;
    if (!QFileInfo(QFileInfo(targetPath).absolutePath()).isDir())
        return PackTargetNotFound;
    // Written unnamed (or under a name the next start clears) and named only when complete
    // and on disk, so neither a failed run nor a crash destroys an existing file or leaves
    // a half-written one.
    const QFileInfo target(targetPath);
    const int dfd =
        ::open(native_path(target.absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd < 0)
        return PackCreateFailed;
    TempFile temp = open_temp_file(dfd, 0644);
    if (temp.fd < 0) {
        ::close(dfd);
        return PackCreateFailed;
    }
    if (!temp.name.isEmpty())
        remove_stale_temp_files(target.absolutePath());
    int code = PackOk;
    {
        QFile out;
        if (!out.open(temp.fd, QIODevice::WriteOnly, QFileDevice::DontCloseHandle))
            code = PackCreateFailed;
        else
            code = pack_folder(sourcePath, out, [this](qint64 d, qint64 t) { setProgress(d, t); });
        if (code == PackOk && (!out.flush() || fsync(temp.fd) != 0 ||
                               publish_temp_file(temp, dfd, native_path(target.fileName()), true) != 0))
            code = PackWriteFailed;
    }
    discard_temp_file(temp, dfd);
    ::close(dfd);
    return code;
}

int FolderPacker::runUnpack()
{
    if (!path_info(sourcePath).isFile)
        return UnpackFileNotFound;
    if (!path_info(targetPath).isDir)
        return PackTargetNotFound;
    QFile in;
    if (!open_native(in, sourcePath, QIODevice::ReadOnly))
        return PackCreateFailed;
    return unpack_folder(in, targetPath, in.size(), [this](qint64 d, qint64 t) { setProgress(d, t); });
}

} // namespace vorn
