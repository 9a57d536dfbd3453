#include "archives/folder_packer.h"

#include "base/native_names.h"
#include "base/temp_files.h"
#include "files/file_helpers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
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

bool write_all(QIODevice &out, const QByteArray &bytes)
{
    return write_all(out, bytes.constData(), bytes.size());
}

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

    // Adds up the file sizes and checks that every entry fits the format.
    int measure(const QString &folder, int level)
    {
        if (level > kPackMaxLevel)
            return PackNotRepresentable;
        for (const Entry &e : list_folder(folder)) {
            if (e.name.size() > kPackMaxNameBytes)
                return PackNotRepresentable;
            if (e.dir) {
                if (const int code = measure(e.path, level + 1))
                    return code;
            } else {
                const qint64 size = path_info(e.path).size;
                if (size > kPackMaxFileSize)
                    return PackNotRepresentable;
                total_ += size;
            }
        }
        return PackOk;
    }

    int writeRoot(const QByteArray &name)
    {
        return write_all(out_, hex(name.size() + 0x80, 2) + hex(1, 2) + name) ? PackOk : PackWriteFailed;
    }

    int walk(const QString &folder, int level)
    {
        for (const Entry &e : list_folder(folder)) {
            if (e.dir) {
                if (!write_all(out_, hex(e.name.size() + 0x80, 2) + hex(level, 2) + e.name))
                    return PackWriteFailed;
                if (const int code = walk(e.path, level + 1))
                    return code;
            } else if (const int code = packFile(e, level)) {
                return code;
            }
        }
        return PackOk;
    }

  private:
    int packFile(const Entry &e, int level)
    {
        QFile file;
        if (!open_native(file, e.path, QIODevice::ReadOnly))
            return PackOpenFailed;
        const qint64 size = file.size();
        if (size > kPackMaxFileSize)
            return PackNotRepresentable;
        if (!write_all(out_, hex(e.name.size(), 2) + hex(level, 2) + e.name + hex(size, 8)))
            return PackWriteFailed;
        qint64 left = size;
        while (left > 0) {
            const qint64 n = file.read(buffer_, qMin<qint64>(left, kPackBlockSize));
            if (n < 0)
                return PackReadFailed;
            if (n == 0)
                return PackSizeMismatch;
            if (!write_all(out_, buffer_, n))
                return PackWriteFailed;
            left -= n;
            done_ += n;
            if (progress_)
                progress_(done_, total_);
        }
        return PackOk;
    }

    QIODevice &out_;
    const PackProgressFn &progress_;
    qint64 total_ = 0;
    qint64 done_ = 0;
    char buffer_[kPackBlockSize];
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
    auto packer = std::make_unique<Packer>(out, progress);
    if (const int code = packer->measure(root.absoluteFilePath(), 1))
        return code;
    if (const int code = packer->writeRoot(rootName))
        return code;
    return packer->walk(root.absoluteFilePath(), 1);
}

int unpack_folder(QIODevice &in, const QString &targetDir, qint64 total, const PackProgressFn &progress)
{
    const QString target = with_slash(targetDir);
    std::vector<QString> parts; // the relative folder path, one component each
    std::vector<char> buffer(kPackBlockSize);
    qint64 done = 0;
    bool first = true;
    const auto report = [&]() {
        done = in.pos();
        if (progress)
            progress(done, total);
    };
    for (;;) {
        char head[4];
        const qint64 got = read_full(in, head, 4);
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
        if (read_full(in, name.data(), nameLength) != nameLength)
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
        if (read_full(in, sizeText, 8) != 8)
            return PackWriteFailed;
        const qint64 size = parse_hex(sizeText, 8);
        if (size < 0 || size > kPackMaxFileSize)
            return PackBadRecord;
        if (!in.isSequential() && in.size() - in.pos() < size)
            return PackSizeMismatch; // nothing is created for data that is not there
        if (exists)
            return PackWouldReplace;
        QFile out;
        if (!open_native(out, path, QIODevice::WriteOnly | QIODevice::NewOnly))
            return errno == EEXIST ? PackWouldReplace : PackOpenFailed;
        qint64 left = size;
        while (left > 0) {
            const qint64 n = read_full(in, buffer.data(), qMin<qint64>(left, kPackBlockSize));
            if (n < 0)
                return PackWriteFailed;
            if (n == 0)
                return PackSizeMismatch;
            if (!write_all(out, buffer.data(), n))
                return PackReadFailed;
            left -= n;
            report();
        }
        if (!out.flush())
            return PackReadFailed;
        out.close();
        if (out.error() != QFileDevice::NoError)
            return PackReadFailed;
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
        ::open(QFile::encodeName(target.absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
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
                               publish_temp_file(temp, dfd, QFile::encodeName(target.fileName()), true) != 0))
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
