#include "archives/zip_archive.h"

#include "archives/zip_aes.h"
#include "archives/zip_directory.h"
#include "archives/zip_update_source.h"
#include "archives/zip_writer.h"
#include "base/native_names.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QIODevice>
#include <QSet>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <zip.h>

namespace vorn
{

QDate ZipEntry::date() const
{
    return QDate(1980 + (dosDate >> 9), (dosDate >> 5) & 0x0f, dosDate & 0x1f);
}

QTime ZipEntry::clock() const
{
    return QTime(dosTime >> 11, (dosTime >> 5) & 0x3f, (dosTime & 0x1f) * 2);
}

QDateTime ZipEntry::time() const
{
    const QDate d = date();
    const QTime t = clock();
    return d.isValid() && t.isValid() ? QDateTime(d, t) : QDateTime();
}

bool ZipResult::has(ZipIssue issue) const
{
    for (const ZipProblem &p : problems)
        if (p.issue == issue)
            return true;
    return false;
}

namespace
{

struct BusyScope {
    std::atomic<bool> &flag;
    explicit BusyScope(std::atomic<bool> &f) : flag(f) { flag = true; }
    ~BusyScope() { flag = false; }
};

QString errnoText(int err)
{
    return QString::fromLocal8Bit(strerror(err));
}

QString zipErrorText(zip_error_t *error)
{
    return QString::fromUtf8(zip_error_strerror(error));
}

QByteArray native(const QString &s)
{
    return native_path(s);
}

// Closes a descriptor when it goes out of scope.
struct Fd {
    int fd = -1;
    Fd() = default;
    explicit Fd(int f) : fd(f) {}
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    ~Fd() { reset(); }
    void reset(int f = -1)
    {
        if (fd >= 0)
            ::close(fd);
        fd = f;
    }
};

bool isFullError(int err)
{
    return err == ENOSPC || err == EDQUOT || err == EFBIG;
}

// Writes the whole buffer; false with errno set on failure.
bool writeAll(int fd, const char *data, qint64 len)
{
    while (len > 0) {
        const ssize_t n = ::write(fd, data, size_t(len));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        len -= n;
    }
    return true;
}

// The open folders below the base folder, entered without following links.
class FolderWalker
{
  public:
    explicit FolderWalker(int baseFd) : base_(baseFd) {}
    ~FolderWalker()
    {
        for (int fd : std::as_const(open_))
            ::close(fd);
    }
    // The descriptor of base/parts[0]/.../parts[n-1], created as needed; -1 with errno.
    int enter(const QStringList &parts, qsizetype n)
    {
        if (n == 0)
            return base_;
        const QString key = QStringList(parts.mid(0, n)).join(QLatin1Char('/'));
        if (const auto it = open_.constFind(key); it != open_.constEnd())
            return it.value();
        const int parent = enter(parts, n - 1);
        if (parent < 0)
            return -1;
        const QByteArray name = native(parts.at(n - 1));
        if (mkdirat(parent, name.constData(), 0755) != 0 && errno != EEXIST)
            return -1;
        const int fd = openat(parent, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0)
            return -1;
        if (open_.size() > 256) { // keep the number of open folders bounded
            for (int f : std::as_const(open_))
                ::close(f);
            open_.clear();
        }
        open_.insert(key, fd);
        return fd;
    }

  private:
    int base_;
    QHash<QString, int> open_;
};

constexpr qint64 kBufferSize = 256 * 1024;

} // namespace

// ---- reading through a QIODevice ----

struct ZipArchive::DeviceSource {
    QIODevice *device = nullptr;
    qint64 base = 0; // the library sees the device from here on
    zip_error_t error;
    DeviceSource() { zip_error_init(&error); }
    ~DeviceSource() { zip_error_fini(&error); }

    static zip_int64_t callback(void *state, void *data, zip_uint64_t len, zip_source_cmd_t cmd)
    {
        auto *s = static_cast<DeviceSource *>(state);
        QIODevice *d = s->device;
        switch (cmd) {
        case ZIP_SOURCE_OPEN:
            return d->seek(s->base) ? 0 : (zip_error_set(&s->error, ZIP_ER_SEEK, EIO), -1);
        case ZIP_SOURCE_READ: {
            const qint64 n =
                d->read(static_cast<char *>(data), qint64(std::min<zip_uint64_t>(len, 1u << 30)));
            if (n < 0) {
                zip_error_set(&s->error, ZIP_ER_READ, EIO);
                return -1;
            }
            return n;
        }
        case ZIP_SOURCE_CLOSE:
        case ZIP_SOURCE_FREE:
            return 0;
        case ZIP_SOURCE_STAT: {
            auto *st = static_cast<zip_stat_t *>(data);
            zip_stat_init(st);
            st->size = zip_uint64_t(std::max<qint64>(d->size() - s->base, 0));
            st->valid |= ZIP_STAT_SIZE;
            return sizeof(*st);
        }
        case ZIP_SOURCE_ERROR:
            return zip_error_to_data(&s->error, data, len);
        case ZIP_SOURCE_SEEK: {
            const zip_int64_t off = zip_source_seek_compute_offset(
                zip_uint64_t(d->pos() - s->base), zip_uint64_t(d->size() - s->base), data, len, &s->error);
            if (off < 0)
                return -1;
            if (!d->seek(s->base + off)) {
                zip_error_set(&s->error, ZIP_ER_SEEK, EIO);
                return -1;
            }
            return 0;
        }
        case ZIP_SOURCE_TELL:
            return d->pos() - s->base;
        case ZIP_SOURCE_SUPPORTS:
            return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE,
                                                  ZIP_SOURCE_STAT, ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE,
                                                  ZIP_SOURCE_SEEK, ZIP_SOURCE_TELL, ZIP_SOURCE_SUPPORTS, -1);
        default:
            zip_error_set(&s->error, ZIP_ER_OPNOTSUPP, 0);
            return -1;
        }
    }
};

ZipArchive::ZipArchive() = default;

ZipArchive::~ZipArchive()
{
    close();
}

void ZipArchive::close()
{
    if (zip_)
        zip_discard(zip_);
    zip_ = nullptr;
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    base_ = 0;
    device_.reset();
    entries_.clear();
}

bool ZipArchive::open(const QString &path)
{
    close();
    path_ = path;
    openError_ = {};
    const int fd = ::open(native(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        openError_ = {ZipIssue::ReadError, path, errnoText(errno)};
        return false;
    }
    struct stat st {
    };
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        openError_ = {ZipIssue::NotZip, path, {}};
        return false;
    }
    const ZipDirectory dir = read_central_directory(
        [fd](qint64 off, char *buf, qint64 len) { return qint64(pread(fd, buf, size_t(len), off)); },
        qint64(st.st_size));
    if (dir.complete) {
        fd_ = fd;
        base_ = dir.base;
        listFrom(dir.records);
        return true;
    }
    int err = 0;
    zip_t *za = zip_fdopen(fd, ZIP_RDONLY, &err);
    if (!za) {
        ::close(fd);
        zip_error_t ze;
        zip_error_init_with_code(&ze, err);
        openError_ = {err == ZIP_ER_NOZIP ? ZipIssue::NotZip : ZipIssue::ReadError, path, zipErrorText(&ze)};
        zip_error_fini(&ze);
        return false;
    }
    return finishOpen(za);
}

bool ZipArchive::open(QIODevice *device)
{
    close();
    openError_ = {};
    if (!device || !device->isOpen() || device->isSequential()) {
        openError_ = {ZipIssue::ReadError, path_, {}};
        return false;
    }
    const ZipDirectory dir = read_central_directory(
        [device](qint64 off, char *buf, qint64 len) {
            return device->seek(off) ? device->read(buf, len) : qint64(-1);
        },
        device->size());
    device_ = std::make_unique<DeviceSource>();
    device_->device = device;
    if (dir.complete) {
        base_ = dir.base;
        device_->base = qint64(dir.base);
        listFrom(dir.records);
        return true;
    }
    ZipProblem error;
    if (!ensureLibrary(&error)) {
        openError_ = error;
        device_.reset();
        return false;
    }
    return finishOpen(zip_);
}

bool ZipArchive::ensureLibrary(ZipProblem *error)
{
    if (zip_)
        return true;
    zip_error_t ze;
    zip_error_init(&ze);
    zip_t *za = nullptr;
    if (device_) {
        zip_source_t *src = zip_source_function_create(&DeviceSource::callback, device_.get(), &ze);
        za = src ? zip_open_from_source(src, ZIP_RDONLY, &ze) : nullptr;
        if (!za && src)
            zip_source_free(src);
    } else if (fd_ >= 0) {
        // the library sees the file from the archive's start on
        const int fd = fcntl(fd_, F_DUPFD_CLOEXEC, 0);
        FILE *file = fd >= 0 ? fdopen(fd, "rb") : nullptr;
        if (!file) {
            if (fd >= 0)
                ::close(fd);
            zip_error_set(&ze, ZIP_ER_OPEN, errno);
        }
        zip_source_t *src = file ? zip_source_filep_create(file, base_, -1, &ze) : nullptr;
        if (file && !src)
            fclose(file);
        za = src ? zip_open_from_source(src, ZIP_RDONLY, &ze) : nullptr;
        if (!za && src)
            zip_source_free(src); // closes the file
    } else {
        zip_error_set(&ze, ZIP_ER_OPEN, 0);
    }
    if (!za) {
        *error = {zip_error_code_zip(&ze) == ZIP_ER_NOZIP ? ZipIssue::NotZip : ZipIssue::ReadError, path_,
                  zipErrorText(&ze)};
        zip_error_fini(&ze);
        return false;
    }
    zip_error_fini(&ze);
    zip_ = za;
    return true;
}

void ZipArchive::listFrom(const std::vector<ZipDirRecord> &records)
{
    const std::vector<bool> overlap = overlapping_records(records);
    entries_.clear();
    entries_.reserve(records.size());
    for (size_t i = 0; i < records.size(); ++i) {
        const ZipDirRecord &r = records[i];
        ZipEntry e;
        e.index = i;
        e.name = r.name;
        e.key = entry_key(e.name);
        e.folder = e.name.endsWith(QLatin1Char('/')) || e.name.endsWith(QLatin1Char('\\'));
        e.dosDate = r.dosDate;
        e.dosTime = r.dosTime;
        e.packed = r.packedSize;
        e.size = r.size;
        e.encryption = r.encryption;
        if ((r.madeBy >> 8) == ZIP_OPSYS_UNIX) {
            e.unixMode = r.external >> 16;
            e.symlink = (e.unixMode & S_IFMT) == S_IFLNK;
        }
        e.overlapped = overlap[i];
        e.crcStored = r.aesVersion != 2;
        entries_.push_back(std::move(e));
    }
}

bool ZipArchive::finishOpen(zip_t *za)
{
    zip_ = za;
    const zip_int64_t count = zip_get_num_entries(za, 0);
    entries_.clear();
    entries_.reserve(size_t(std::max<zip_int64_t>(count, 0)));
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t st;
        if (zip_stat_index(za, zip_uint64_t(i), 0, &st) != 0 || !(st.valid & ZIP_STAT_NAME))
            continue;
        ZipEntry e;
        e.index = zip_uint64_t(i);
        e.name = QString::fromUtf8(st.name);
        e.key = entry_key(e.name);
        e.folder = e.name.endsWith(QLatin1Char('/')) || e.name.endsWith(QLatin1Char('\\'));
        if (st.valid & ZIP_STAT_MTIME) {
            const time_t t = st.mtime;
            struct tm tm {
            };
            if (localtime_r(&t, &tm) && tm.tm_year >= 80) {
                e.dosDate = quint16(((tm.tm_year - 80) << 9) | ((tm.tm_mon + 1) << 5) | tm.tm_mday);
                e.dosTime = quint16((tm.tm_hour << 11) | (tm.tm_min << 5) | (tm.tm_sec / 2));
            }
        }
        e.packed = (st.valid & ZIP_STAT_COMP_SIZE) ? st.comp_size : 0;
        e.size = (st.valid & ZIP_STAT_SIZE) ? st.size : 0;
        e.encryption = (st.valid & ZIP_STAT_ENCRYPTION_METHOD) ? st.encryption_method : 0;
        zip_uint8_t opsys = 0;
        zip_uint32_t attributes = 0;
        if (zip_file_get_external_attributes(za, zip_uint64_t(i), 0, &opsys, &attributes) == 0 &&
            opsys == ZIP_OPSYS_UNIX) {
            e.unixMode = attributes >> 16;
            e.symlink = (e.unixMode & S_IFMT) == S_IFLNK;
        }
        entries_.push_back(std::move(e));
    }
    return true;
}

std::vector<size_t> ZipArchive::select(const QStringList &keys) const
{
    QSet<QString> wanted;
    for (const QString &k : keys)
        wanted.insert(k.toLower());
    std::vector<size_t> out;
    for (size_t i = 0; i < entries_.size(); ++i)
        if (wanted.contains(entries_[i].key))
            out.push_back(i);
    return out;
}

bool ZipArchive::needsPasswordAt(const std::vector<size_t> &chosen) const
{
    for (size_t i : chosen)
        if (i < entries_.size() && entries_[i].encryption != ZIP_EM_NONE && !entries_[i].folder)
            return true;
    return false;
}

ZipResult ZipArchive::extractAt(const std::vector<size_t> &chosen, const QString &baseDir,
                                const ZipExtractOptions &options, const ZipProgress &progress)
{
    BusyScope busy(busy_);
    ZipResult result;
    auto refuse = [&result](ZipIssue issue, const QString &entry, const QString &detail = {}) {
        result.ok = false;
        result.problems.append({issue, entry, detail});
    };
    ZipProblem libraryError;
    if (!ensureLibrary(&libraryError)) {
        refuse(libraryError.issue == ZipIssue::None ? ZipIssue::ReadError : libraryError.issue, path_,
               libraryError.detail);
        return result;
    }

    // What will be written, after the checks that need no writing.
    struct Job {
        size_t entry;
        ZipNameCheck name;
    };
    std::vector<Job> jobs;
    quint64 total = 0;
    for (size_t i : chosen) {
        if (i >= entries_.size())
            continue;
        const ZipEntry &e = entries_[i];
        ZipNameCheck check = check_entry_name(e.name);
        if (check.verdict == ZipNameVerdict::Absolute || check.verdict == ZipNameVerdict::ParentStep) {
            refuse(ZipIssue::UnsafeName, e.name);
            continue;
        }
        if (!check.writable()) {
            refuse(ZipIssue::BadName, e.name);
            continue;
        }
        if (check.verdict == ZipNameVerdict::Folder) {
            if (options.useFolders)
                jobs.push_back({i, std::move(check)});
            continue;
        }
        if (e.overlapped) {
            refuse(ZipIssue::Overlap, e.name);
            continue;
        }
        if (e.size > limits_.ratioFloor && e.size / std::max<quint64>(e.packed, 1) > limits_.maxRatio) {
            refuse(ZipIssue::RatioLimit, e.name,
                   QStringLiteral("%1:1 > %2:1")
                       .arg(e.size / std::max<quint64>(e.packed, 1))
                       .arg(limits_.maxRatio));
            continue;
        }
        // declared sizes are untrusted: their sum saturates instead of wrapping round
        total = e.size > std::numeric_limits<quint64>::max() - total ? std::numeric_limits<quint64>::max()
                                                                     : total + e.size;
        jobs.push_back({i, std::move(check)});
    }
    if (total > limits_.maxTotal) {
        refuse(ZipIssue::TotalLimit, {}, QStringLiteral("%1|%2").arg(total).arg(limits_.maxTotal));
        return result;
    }

    if (!QDir().mkpath(baseDir)) {
        refuse(ZipIssue::WriteError, baseDir, errnoText(errno));
        return result;
    }
    Fd base(::open(native(baseDir).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (base.fd < 0) {
        refuse(ZipIssue::WriteError, baseDir, errnoText(errno));
        return result;
    }
    struct statvfs vfs {
    };
    if (fstatvfs(base.fd, &vfs) == 0) {
        const quint64 avail = quint64(vfs.f_bavail) * quint64(vfs.f_frsize);
        if (total > avail) {
            refuse(ZipIssue::NoSpace, {}, QStringLiteral("%1|%2").arg(total).arg(avail));
            return result;
        }
    }

    FolderWalker walker(base.fd);
    QByteArray buffer(kBufferSize, Qt::Uninitialized);
    const char *password = options.password.isEmpty() ? nullptr : options.password.constData();
    qint64 done = 0;
    int tempCounter = 0;
    const qint64 progressTotal = qint64(std::min<quint64>(total, std::numeric_limits<qint64>::max()));
    if (progress && !progress(0, progressTotal)) {
        refuse(ZipIssue::Cancelled, {});
        return result;
    }

    for (const Job &job : jobs) {
        // asked per entry too, so that runs of entries without data stop promptly
        if (progress && !progress(done, progressTotal)) {
            refuse(ZipIssue::Cancelled, {});
            break;
        }
        const ZipEntry &e = entries_[job.entry];
        const QStringList &parts = job.name.parts;
        if (job.name.verdict == ZipNameVerdict::Folder) {
            if (walker.enter(parts, parts.size()) < 0)
                refuse(ZipIssue::PathBlocked, e.name, errnoText(errno));
            continue;
        }
        const int dfd = options.useFolders ? walker.enter(parts, parts.size() - 1) : base.fd;
        if (dfd < 0) {
            refuse(ZipIssue::PathBlocked, e.name, errnoText(errno));
            continue;
        }
        const QByteArray fileName = native(parts.constLast());
        struct stat existing {
        };
        const bool exists = fstatat(dfd, fileName.constData(), &existing, AT_SYMLINK_NOFOLLOW) == 0;
        if (exists && !options.overwrite) {
            ++result.skipped;
            result.problems.append({ZipIssue::Exists, e.name, {}});
            done += qint64(e.size);
            continue;
        }
        if (exists && S_ISDIR(existing.st_mode)) {
            refuse(ZipIssue::PathBlocked, e.name, errnoText(EISDIR));
            continue;
        }
        if (e.encryption != ZIP_EM_NONE && !password) {
            refuse(ZipIssue::PasswordNeeded, e.name);
            continue;
        }
        // The library reads the same directory; an entry it sees differently is not read.
        zip_stat_t seen;
        if (zip_stat_index(zip_, e.index, 0, &seen) != 0 ||
            ((seen.valid & ZIP_STAT_SIZE) && seen.size != e.size) ||
            ((seen.valid & ZIP_STAT_COMP_SIZE) && seen.comp_size != e.packed)) {
            refuse(ZipIssue::Damaged, e.name);
            zip_error_clear(zip_);
            continue;
        }
        zip_file_t *zf = zip_fopen_index_encrypted(zip_, e.index, 0, password);
        if (!zf) {
            const int code = zip_error_code_zip(zip_get_error(zip_));
            if (code == ZIP_ER_WRONGPASSWD || code == ZIP_ER_NOPASSWD)
                refuse(code == ZIP_ER_NOPASSWD ? ZipIssue::PasswordNeeded : ZipIssue::WrongPassword, e.name);
            else if (code == ZIP_ER_COMPNOTSUPP || code == ZIP_ER_ENCRNOTSUPP)
                refuse(ZipIssue::Unsupported, e.name, zipErrorText(zip_get_error(zip_)));
            else
                refuse(ZipIssue::Damaged, e.name, zipErrorText(zip_get_error(zip_)));
            zip_error_clear(zip_);
            continue;
        }

        // Permissions as stored by a Unix tool, without set-id and sticky bits; never a link,
        // device or FIFO: every entry becomes a regular file holding the entry's bytes.
        mode_t mode = 0644;
        if (e.unixMode & 0777)
            mode = mode_t(e.unixMode & 0777) | S_IRUSR | S_IWUSR;
        QByteArray target = fileName;
        if (exists) { // written under a hidden name, then renamed over the old file
            target = QByteArrayLiteral(".vorn-unzip-") + QByteArray::number(getpid()) + '-' +
                     QByteArray::number(++tempCounter);
        }
        Fd out(openat(dfd, target.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
        if (out.fd < 0) {
            const int err = errno;
            zip_fclose(zf);
            if (err == EEXIST && !exists) { // appeared meanwhile: kept
                ++result.skipped;
                result.problems.append({ZipIssue::Exists, e.name, {}});
            } else {
                refuse(isFullError(err) ? ZipIssue::DiskFull : ZipIssue::WriteError, e.name, errnoText(err));
                if (isFullError(err))
                    return result;
            }
            continue;
        }
        ZipIssue failure = ZipIssue::None;
        QString detail;
        quint64 written = 0;
        bool authenticated = false;
        for (;;) {
            const zip_int64_t n = zip_fread(zf, buffer.data(), zip_uint64_t(buffer.size()));
            if (n < 0) {
                const int code = zip_error_code_zip(zip_file_get_error(zf));
                // AE-2 stores no CRC (0), yet the library compares it once all data is read:
                // there the authentication code, checked by us, decides
                if (code == ZIP_ER_CRC && !e.crcStored && written == e.size &&
                    zip_aes_authentic(zip_, e.index, e.packed, aesStrength(e.encryption), options.password)) {
                    authenticated = true;
                    break;
                }
                failure = (code == ZIP_ER_CRC && e.encryption == ZIP_EM_TRAD_PKWARE) ? ZipIssue::WrongPassword
                                                                                     : ZipIssue::Damaged;
                detail = zipErrorText(zip_file_get_error(zf));
                break;
            }
            if (n == 0)
                break;
            written += quint64(n);
            if (written > e.size) { // more than the directory promised: refused like a bomb
                failure = ZipIssue::Damaged;
                break;
            }
            if (!writeAll(out.fd, buffer.constData(), n)) {
                const int err = errno;
                failure = isFullError(err) ? ZipIssue::DiskFull : ZipIssue::WriteError;
                detail = errnoText(err);
                break;
            }
            done += n;
            if (progress && !progress(done, progressTotal)) {
                failure = ZipIssue::Cancelled;
                break;
            }
        }
        const int closeCode = zip_fclose(zf);
        if (failure == ZipIssue::None && closeCode != 0 && !authenticated)
            failure = e.encryption == ZIP_EM_TRAD_PKWARE ? ZipIssue::WrongPassword : ZipIssue::Damaged;
        if (failure == ZipIssue::None && written != e.size)
            failure = ZipIssue::Damaged;
        if (const QDateTime stamp = e.time(); failure == ZipIssue::None && stamp.isValid()) {
            const struct timespec times[2] = {{UTIME_OMIT, UTIME_OMIT},
                                              {time_t(stamp.toSecsSinceEpoch()), 0}};
            futimens(out.fd, times);
        }
        if (failure == ZipIssue::None && ::close(out.fd) != 0) {
            const int err = errno;
            failure = isFullError(err) ? ZipIssue::DiskFull : ZipIssue::WriteError;
            detail = errnoText(err);
        }
        out.fd = -1;
        if (failure == ZipIssue::None && exists &&
            renameat(dfd, target.constData(), dfd, fileName.constData()) != 0) {
            failure = ZipIssue::WriteError;
            detail = errnoText(errno);
        }
        if (failure != ZipIssue::None) {
            out.reset();
            unlinkat(dfd, target.constData(), 0); // nothing half-written stays behind
            refuse(failure, failure == ZipIssue::Cancelled ? QString() : e.name, detail);
            if (failure == ZipIssue::Cancelled || failure == ZipIssue::DiskFull)
                return result;
            continue;
        }
        ++result.done;
    }
    // Existing files kept are reported but are no failure.
    return result;
}

// ---- adding and deleting ----

ZipResult ZipArchive::add(const QString &archivePath, const QStringList &paths, const ZipAddOptions &options,
                          const ZipProgress &progress)
{
    const QList<ZipWriteItem> items = zip_items_for(paths, options, archivePath);
    struct stat st {
    };
    if (::lstat(native(archivePath).constData(), &st) != 0)
        return write_new_zip(archivePath, items, options.level, progress);

    ZipResult result;

    zip_error_t ze;
    zip_error_init(&ze);
    zip_t *za = open_zip_for_update(archivePath, &ze);
    if (!za) {
        result.ok = false;
        result.problems.append(
            {zip_error_code_zip(&ze) == ZIP_ER_NOZIP ? ZipIssue::NotZip : ZipIssue::ArchiveWrite, archivePath,
             zipErrorText(&ze)});
        zip_error_fini(&ze);
        return result;
    }
    zip_error_fini(&ze);
    for (const ZipWriteItem &item : items) {
        if (::access(native(item.path).constData(), R_OK) != 0 || item.name.isEmpty()) {
            result.problems.append({ZipIssue::SourceUnreadable, item.path, {}});
            continue;
        }
        zip_source_t *src = zip_source_file(za, native(item.path).constData(), 0, -1);
        // A name of a file whose bytes are no UTF-8 is stored as those bytes.
        const QByteArray name = native(item.name);
        const zip_flags_t encoding =
            QUtf8StringView(name).isValidUtf8() ? ZIP_FL_ENC_UTF_8 : ZIP_FL_ENC_CP437;
        const zip_int64_t idx =
            src ? zip_file_add(za, name.constData(), src, encoding | ZIP_FL_OVERWRITE) : -1;
        if (idx < 0) {
            if (src)
                zip_source_free(src);
            result.problems.append({ZipIssue::SourceUnreadable, item.path, zipErrorText(zip_get_error(za))});
            zip_error_clear(za);
            continue;
        }
        zip_set_file_compression(za, zip_uint64_t(idx), ZIP_CM_DEFLATE, zip_uint32_t(options.level));
        struct stat fst {
        };
        const bool known = ::stat(native(item.path).constData(), &fst) == 0;
        if (known)
            zip_file_set_mtime(za, zip_uint64_t(idx), fst.st_mtim.tv_sec, 0);
        const mode_t perms = known ? (fst.st_mode & 0777) : 0644;
        zip_file_set_external_attributes(za, zip_uint64_t(idx), 0, ZIP_OPSYS_UNIX,
                                         zip_uint32_t(S_IFREG | perms) << 16);
        ++result.done;
    }
    struct State {
        const ZipProgress *progress;
        bool cancelled = false;
    } state{&progress};
    if (progress) {
        zip_register_progress_callback_with_state(
            za, 0.001,
            [](zip_t *, double share, void *ud) {
                auto *s = static_cast<State *>(ud);
                if (!(*s->progress)(qint64(share * 1000), 1000))
                    s->cancelled = true;
            },
            nullptr, &state);
        zip_register_cancel_callback_with_state(
            za, [](zip_t *, void *ud) { return static_cast<State *>(ud)->cancelled ? 1 : 0; }, nullptr,
            &state);
    }
    if (zip_close(za) != 0) {
        const QString reason = zipErrorText(zip_get_error(za));
        zip_discard(za); // the old archive stays as it was
        result.ok = false;
        result.done = 0;
        result.problems.append({state.cancelled ? ZipIssue::Cancelled : ZipIssue::ArchiveWrite, archivePath,
                                state.cancelled ? QString() : reason});
    }
    return result;
}

ZipResult ZipArchive::removeAt(const std::vector<size_t> &chosen)
{
    BusyScope busy(busy_);
    ZipResult result;
    if (chosen.empty())
        return result;
    zip_error_t ze;
    zip_error_init(&ze);
    zip_t *za = device_ ? nullptr : open_zip_for_update(path_, &ze);
    if (!za) {
        result.ok = false;
        result.problems.append({ZipIssue::ArchiveWrite, path_, device_ ? QString() : zipErrorText(&ze)});
        zip_error_fini(&ze);
        return result;
    }
    zip_error_fini(&ze);
    for (size_t i : chosen)
        if (i < entries_.size() && zip_delete(za, entries_[i].index) == 0)
            ++result.done;
    if (zip_close(za) != 0) {
        result.ok = false;
        result.problems.append({ZipIssue::ArchiveWrite, path_, zipErrorText(zip_get_error(za))});
        result.done = 0;
        zip_discard(za);
    }
    const QString path = path_;
    busy_ = false;
    if (QFileInfo::exists(path))
        open(path);
    else
        close(); // the last entry went: libzip removes an empty archive
    busy_ = true;
    return result;
}

} // namespace vorn
