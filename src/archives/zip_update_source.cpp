#include "archives/zip_update_source.h"

#include "base/temp_files.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

namespace vorn
{

namespace
{

class UpdateSource
{
  public:
    UpdateSource() { zip_error_init(&error_); }
    ~UpdateSource()
    {
        discard_temp_file(temp_, dirFd_);
        if (readFd_ >= 0)
            ::close(readFd_);
        if (dirFd_ >= 0)
            ::close(dirFd_);
        zip_error_fini(&error_);
    }
    UpdateSource(const UpdateSource &) = delete;
    UpdateSource &operator=(const UpdateSource &) = delete;

    // Opens the archive and its folder; false with the error set.
    bool open(const QString &path, zip_error_t *error)
    {
        const QFileInfo fi(path);
        folder_ = fi.absolutePath();
        name_ = QFile::encodeName(fi.fileName());
        dirFd_ = ::open(QFile::encodeName(folder_).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dirFd_ < 0) {
            zip_error_set(error, ZIP_ER_OPEN, errno);
            return false;
        }
        readFd_ = openat(dirFd_, name_.constData(), O_RDONLY | O_CLOEXEC);
        struct stat st {
        };
        if (readFd_ < 0 || fstat(readFd_, &st) != 0) {
            zip_error_set(error, errno == ENOENT ? ZIP_ER_NOENT : ZIP_ER_OPEN, errno);
            return false;
        }
        if (!S_ISREG(st.st_mode)) {
            zip_error_set(error, ZIP_ER_NOZIP, 0);
            return false;
        }
        mode_ = st.st_mode & 0777;
        return true;
    }

    static zip_int64_t callback(void *state, void *data, zip_uint64_t len, zip_source_cmd_t cmd)
    {
        return static_cast<UpdateSource *>(state)->handle(data, len, cmd);
    }

  private:
    zip_int64_t fail(int zipCode, int sysCode)
    {
        zip_error_set(&error_, zipCode, sysCode);
        return -1;
    }

    // Moves fd as a seek argument asks; the new position or -1.
    zip_int64_t seek(int fd, void *data, zip_uint64_t len, int zipCode)
    {
        auto *args = ZIP_SOURCE_GET_ARGS(zip_source_args_seek_t, data, len, &error_);
        if (!args)
            return -1;
        if (lseek(fd, off_t(args->offset), args->whence) < 0)
            return fail(zipCode, errno);
        return 0;
    }

    zip_int64_t handle(void *data, zip_uint64_t len, zip_source_cmd_t cmd)
    {
        switch (cmd) {
        case ZIP_SOURCE_OPEN:
            return lseek(readFd_, 0, SEEK_SET) < 0 ? fail(ZIP_ER_SEEK, errno) : 0;
        case ZIP_SOURCE_READ: {
            const size_t want = size_t(std::min<zip_uint64_t>(len, 1u << 30));
            for (;;) {
                const ssize_t n = ::read(readFd_, data, want);
                if (n >= 0)
                    return n;
                if (errno != EINTR)
                    return fail(ZIP_ER_READ, errno);
            }
        }
        case ZIP_SOURCE_CLOSE:
            return 0;
        case ZIP_SOURCE_STAT: {
            auto *st = ZIP_SOURCE_GET_ARGS(zip_stat_t, data, len, &error_);
            if (!st)
                return -1;
            struct stat sb {
            };
            if (fstat(readFd_, &sb) != 0)
                return fail(ZIP_ER_READ, errno);
            zip_stat_init(st);
            st->size = zip_uint64_t(sb.st_size);
            st->mtime = sb.st_mtime;
            st->valid |= ZIP_STAT_SIZE | ZIP_STAT_MTIME;
            return sizeof(*st);
        }
        case ZIP_SOURCE_SEEK:
            return seek(readFd_, data, len, ZIP_ER_SEEK);
        case ZIP_SOURCE_TELL: {
            const off_t at = lseek(readFd_, 0, SEEK_CUR);
            return at < 0 ? fail(ZIP_ER_TELL, errno) : zip_int64_t(at);
        }
        case ZIP_SOURCE_BEGIN_WRITE:
            discard_temp_file(temp_, dirFd_);
            temp_ = open_temp_file(dirFd_, mode_);
            if (temp_.fd < 0)
                return fail(ZIP_ER_TMPOPEN, errno);
            if (!temp_.name.isEmpty()) // no unnamed files here: clear what crashed runs left
                remove_stale_temp_files(folder_);
            return 0;
        case ZIP_SOURCE_WRITE: {
            const char *p = static_cast<const char *>(data);
            zip_uint64_t left = len;
            while (left > 0) {
                const ssize_t n = ::write(temp_.fd, p, size_t(std::min<zip_uint64_t>(left, 1u << 30)));
                if (n < 0) {
                    if (errno == EINTR)
                        continue;
                    return fail(ZIP_ER_WRITE, errno);
                }
                p += n;
                left -= zip_uint64_t(n);
            }
            return zip_int64_t(len);
        }
        case ZIP_SOURCE_SEEK_WRITE:
            return seek(temp_.fd, data, len, ZIP_ER_SEEK);
        case ZIP_SOURCE_TELL_WRITE: {
            const off_t at = lseek(temp_.fd, 0, SEEK_CUR);
            return at < 0 ? fail(ZIP_ER_TELL, errno) : zip_int64_t(at);
        }
        case ZIP_SOURCE_COMMIT_WRITE: {
            // the archive keeps its permissions; on disk before it takes the archive's name
            if (fchmod(temp_.fd, mode_) != 0 || fsync(temp_.fd) != 0)
                return fail(ZIP_ER_WRITE, errno);
            if (const int err = publish_temp_file(temp_, dirFd_, name_, true); err != 0)
                return fail(ZIP_ER_RENAME, err);
            temp_.name.clear(); // renamed: the name is the archive's now
            discard_temp_file(temp_, dirFd_);
            fsync(dirFd_);
            return 0;
        }
        case ZIP_SOURCE_ROLLBACK_WRITE:
            discard_temp_file(temp_, dirFd_);
            return 0;
        case ZIP_SOURCE_REMOVE:
            discard_temp_file(temp_, dirFd_);
            if (unlinkat(dirFd_, name_.constData(), 0) != 0)
                return fail(ZIP_ER_REMOVE, errno);
            fsync(dirFd_);
            return 0;
        case ZIP_SOURCE_ERROR:
            return zip_error_to_data(&error_, data, len);
        case ZIP_SOURCE_FREE:
            delete this;
            return 0;
        case ZIP_SOURCE_SUPPORTS:
            return zip_source_make_command_bitmap(
                ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE, ZIP_SOURCE_STAT, ZIP_SOURCE_ERROR,
                ZIP_SOURCE_FREE, ZIP_SOURCE_SEEK, ZIP_SOURCE_TELL, ZIP_SOURCE_BEGIN_WRITE, ZIP_SOURCE_WRITE,
                ZIP_SOURCE_SEEK_WRITE, ZIP_SOURCE_TELL_WRITE, ZIP_SOURCE_COMMIT_WRITE,
                ZIP_SOURCE_ROLLBACK_WRITE, ZIP_SOURCE_REMOVE, ZIP_SOURCE_SUPPORTS, -1);
        default:
            return fail(ZIP_ER_OPNOTSUPP, 0);
        }
    }

    QString folder_;
    QByteArray name_;
    int dirFd_ = -1;
    int readFd_ = -1;
    mode_t mode_ = 0644;
    TempFile temp_;
    zip_error_t error_;
};

} // namespace

zip_t *open_zip_for_update(const QString &path, zip_error_t *error)
{
    auto *state = new UpdateSource;
    if (!state->open(path, error)) {
        delete state;
        return nullptr;
    }
    zip_source_t *src = zip_source_function_create(&UpdateSource::callback, state, error);
    if (!src) {
        delete state;
        return nullptr;
    }
    zip_t *za = zip_open_from_source(src, 0, error);
    if (!za)
        zip_source_free(src); // frees the state too
    return za;
}

} // namespace vorn
