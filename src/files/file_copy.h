// The pieces FileOps builds its copies and moves from: a descriptor that closes itself, the
// kernel-side copy of a file's data, a rename that never replaces, and a file written without
// a visible name that gets its free name only when complete.
#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <sys/types.h>

namespace vorn
{

class FileDescriptor
{
  public:
    explicit FileDescriptor(int fd = -1) : fd_(fd) {}
    ~FileDescriptor();
    FileDescriptor(const FileDescriptor &) = delete;
    FileDescriptor &operator=(const FileDescriptor &) = delete;
    int get() const { return fd_; }
    void reset(int fd);

  private:
    int fd_;
};

// Counts the bytes of one copy and tells `report` (when set) after each slice.
class CopyMeter
{
  public:
    // report(done, total): false stops the copy. tick() is called after each slice (a test hook).
    CopyMeter(const std::function<bool(qint64, qint64)> &report, qint64 total,
              std::function<void()> tick = {})
        : report_(report), total_(total), tick_(std::move(tick))
    {
    }
    // Slices of this size between two reports.
    size_t slice(size_t quiet) const;
    // n more bytes are written; false when the copy must stop.
    bool add(qint64 n);

  private:
    const std::function<bool(qint64, qint64)> &report_;
    qint64 total_;
    std::function<void()> tick_;
    qint64 done_ = 0;
};

// Copies the contents of in to out from their current offsets: copy_file_range (which shares
// blocks where the file system can), else sendfile, else a buffer up to the end of the file.
// *noKernelCopy, when given, remembers that copy_file_range was refused, so that the next file
// between the same two file systems does not ask again. Returns 0 or an errno (ECANCELED when
// the meter said stop).
int copy_data(int in, int out, off_t size, CopyMeter &meter, bool *noKernelCopy = nullptr);

// Copies the attribute text that keeps hidden/system/archive; silently skipped where the file
// systems keep none.
void copy_dos_attrib(int in, int out);

// Renames without replace (both names relative to their folder descriptors, or AT_FDCWD):
// renameat2 with RENAME_NOREPLACE, else link + unlink. Returns 0 or an errno (EEXIST when the
// target is taken).
int rename_noreplace_at(int fromDir, const QByteArray &from, int toDir, const QByteArray &to);

// A file being written that has no visible name yet: an unnamed file (O_TMPFILE) where the
// file system allows it, else a hidden name in the target folder. Dropped unless named.
class PendingFile
{
  public:
    // folder: the target folder's path ending with '/'; folderFd: a descriptor of it, or -1.
    PendingFile(const QByteArray &folder, int folderFd = -1);
    ~PendingFile();
    PendingFile(const PendingFile &) = delete;
    PendingFile &operator=(const PendingFile &) = delete;

    int fd() const { return fd_; }
    // Closes the descriptor; false (errno set) when the system reports a late write error.
    bool close();
    // Gives the file the first free name "name", "name (2)", ... in the folder (a path ending
    // with '/'), never replacing a file; the path taken goes to *path. Returns 0 or an errno.
    int publish(const QString &folder, const QString &name, QString *path);

  private:
    QByteArray hidden_;
    int folderFd_ = -1;
    int fd_ = -1;
};

} // namespace vorn
