// One open ZIP archive (one archive slot of the ZIP view): listing, extracting, adding and
// deleting entries on libzip. The archive is read through a file descriptor or any QIODevice,
// so tests and fuzzers feed it bytes.
//
// Safety rules every extraction keeps, whatever the archive says:
// - nothing is written outside the base folder: names with "..", absolute names, drive letters
//   and control characters are refused (the rest of the run goes on); folders are created and
//   entered without following symbolic links; entries are never created as links, devices or
//   FIFOs, and set-user-id bits are dropped;
// - overlapping entries (a bomb that reuses one run of packed data), entries that expand beyond
//   the ratio limit, and runs beyond the total limit or the free space are refused before
//   anything is written; a full disk stops the run and removes the half-written file;
// - an existing file is replaced only with the overwrite option, and then atomically.
// Adding and deleting write the new archive into the program's own working file and rename it
// over the old one, so a failed or killed run leaves the old archive untouched and nothing
// beside it. Every call returns success, counts and the reasons of what was refused.
#pragma once

#include "archives/zip_names.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>
#include <memory>
#include <vector>

class QIODevice;
typedef struct zip zip_t;

namespace vorn
{

struct ZipDirRecord;

struct ZipEntry {
    QString name;        // as stored, "/" separators; names without the UTF-8 flag decoded as CP437
    QString key;         // the name in lower case, as the grid shows it
    quint16 dosDate = 0; // the time stamp as stored: local wall-clock time, two-second steps
    quint16 dosTime = 0;
    quint64 packed = 0;
    quint64 size = 0;
    quint64 index = 0; // libzip's index
    quint16 encryption = 0;
    quint32 unixMode = 0; // file type and permissions when a Unix tool stored them, else 0
    bool folder = false;
    bool symlink = false;
    bool overlapped = false;
    bool crcStored = true; // false for AES entries written as AE-2: the authentication code is the check

    // The stamp's date and time of day (invalid when the stamp is); no time zone is involved.
    QDate date() const;
    QTime clock() const;
    // The stamp as a moment in local time; invalid when the stamp is.
    QDateTime time() const;
};

enum class ZipIssue {
    None,
    NotZip,          // no archive found in the file
    ReadError,       // the archive could not be read (detail: the library's reason)
    UnsafeName,      // the name leads out of the target folder
    BadName,         // control characters, or a component too long
    Exists,          // the file exists and overwrite is off: skipped
    PathBlocked,     // a file or a link stands where a folder has to go
    Overlap,         // the entry shares packed data with others
    RatioLimit,      // the entry expands beyond the ratio limit
    TotalLimit,      // the run would write more than the total limit
    NoSpace,         // the run needs more than the target's free space
    DiskFull,        // the target ran full while writing
    WriteError,      // another write failure (detail: the system's reason)
    Damaged,         // the entry's data is damaged (bad CRC, truncated, wrong size)
    PasswordNeeded,  // an encrypted entry and no password
    WrongPassword,   // the password does not open the entry
    Unsupported,     // compression or encryption method not supported
    Cancelled,       // the user cancelled the run
    ArchiveWrite,    // adding or deleting failed; the archive stays as it was (detail: reason)
    SourceUnreadable // a file to add could not be read
};

struct ZipProblem {
    ZipIssue issue = ZipIssue::None;
    QString entry;  // the entry's name (or the file's path when adding)
    QString detail; // the system's or library's reason, or the figures of a limit
};

struct ZipResult {
    bool ok = true;
    int done = 0;    // entries written, added or deleted
    int skipped = 0; // existing files kept (overwrite off)
    QList<ZipProblem> problems;

    explicit operator bool() const { return ok; }
    bool has(ZipIssue issue) const;
};

// Limits against archive bombs, stated in the refusal messages.
struct ZipLimits {
    // An entry may expand at most this many times its packed size ...
    quint64 maxRatio = 200;
    // ... once it is larger than this (small files of zeros are harmless).
    quint64 ratioFloor = quint64(64) << 20;
    // One run never writes more than this.
    quint64 maxTotal = quint64(256) << 30;
};

struct ZipExtractOptions {
    bool useFolders = true; // recreate the stored folders below the base folder
    bool overwrite = false; // replace existing files
    QByteArray password;    // for encrypted entries (traditional and AES)
};

struct ZipAddOptions {
    bool storeFolders = true; // store names relative to baseDir instead of bare file names
    bool recurse = true;      // walk into subfolders of folders given
    int level = 9;
    QString baseDir; // folder names are stored relative to this folder
};

// Progress of a run: bytes done of total; returning false cancels the run.
using ZipProgress = std::function<bool(qint64 done, qint64 total)>;

class ZipArchive
{
  public:
    ZipArchive();
    ~ZipArchive();
    ZipArchive(const ZipArchive &) = delete;
    ZipArchive &operator=(const ZipArchive &) = delete;

    // Reads the archive's directory (the library opens the archive once entries are
    // extracted). False with openError() when it is no readable archive.
    bool open(const QString &path);
    // Reads from a device that stays open and owned by the caller while the archive is open.
    bool open(QIODevice *device);
    void close();
    bool isOpen() const { return zip_ != nullptr; }

    const QString &path() const { return path_; }
    const std::vector<ZipEntry> &entries() const { return entries_; }
    const ZipProblem &openError() const { return openError_; }

    ZipLimits &limits() { return limits_; }
    // True while a call is at work (the call may run on another thread).
    bool busy() const { return busy_.load(); }

    // The positions in entries() of the entries named by keys (matched without regard to case,
    // so one key may name several entries that differ only in case).
    std::vector<size_t> select(const QStringList &keys) const;

    // Whether any of the entries is encrypted. The views name entries by their position in
    // entries(), which tells apart names that differ only in case; the key forms are for
    // callers that know names only.
    bool needsPasswordAt(const std::vector<size_t> &chosen) const;
    bool needsPassword(const QStringList &keys) const { return needsPasswordAt(select(keys)); }

    // Writes the entries below baseDir.
    ZipResult extractAt(const std::vector<size_t> &chosen, const QString &baseDir,
                        const ZipExtractOptions &options, const ZipProgress &progress = {});
    ZipResult extract(const QStringList &keys, const QString &baseDir, const ZipExtractOptions &options,
                      const ZipProgress &progress = {})
    {
        return extractAt(select(keys), baseDir, options, progress);
    }

    // Adds files and folders to the archive at archivePath, creating it when missing; an entry
    // of the same name is replaced. Level 9 deflate, UTF-8 names.
    static ZipResult add(const QString &archivePath, const QStringList &paths, const ZipAddOptions &options,
                         const ZipProgress &progress = {});
    // Deletes the entries from this (path-opened) archive and reads it again.
    ZipResult removeAt(const std::vector<size_t> &chosen);
    ZipResult remove(const QStringList &keys) { return removeAt(select(keys)); }

  private:
    // Lists the entries from the program's own reading of the directory.
    void listFrom(const std::vector<ZipDirRecord> &records);
    // Lists the entries through the library (a directory the own reading did not accept).
    bool finishOpen(zip_t *za);
    // Opens the archive in the library for reading entries; false with the reason.
    bool ensureLibrary(ZipProblem *error);

    zip_t *zip_ = nullptr;
    int fd_ = -1;      // the file listed, kept open until the library reads it
    quint64 base_ = 0; // where the archive starts in the file (after a self-extracting program)
    QString path_;
    std::vector<ZipEntry> entries_;
    ZipProblem openError_;
    ZipLimits limits_;
    std::atomic<bool> busy_{false};
    struct DeviceSource;
    std::unique_ptr<DeviceSource> device_;
};

} // namespace vorn
