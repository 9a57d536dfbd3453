// The folder packer: one folder tree into one file and back. It is the container of the catalog
// files. The format holds only names, the tree and file bytes, as a plain run of records
// without header or trailer; numbers are upper-case hexadecimal ASCII of fixed width:
//
//   kind+length  2 hex  files: name length; folders: name length + 0x80
//   level        2 hex  depth of the containing folder, the root counting 1 (the root record too)
//   name         bytes  the entry's name, no path, no terminator
//   size         8 hex  files only
//   data         bytes  files only
//
// The first record is the packed folder itself; a folder's record is followed at once by its
// contents (depth first). Unpacking treats the file as hostile: a name that is empty, "." or
// "..", or holds "/", "\" or NUL, a level that jumps or leaves the root, a size beyond the end of
// the packed data, or a name that exists already ends the run with a code, and nothing is ever
// written outside the target folder or over an existing file.
#pragma once

#include "lang/message_texts.h"

#include <QString>
#include <atomic>
#include <functional>

class QIODevice;

namespace vorn
{

// The result codes of a run; 0 is success. 1..14 are the packer's classic codes; 15..17 guard
// against hostile or unrepresentable input.
enum PackCode : int {
    PackOk = 0,
    PackNoPath = 1,            // source or target empty
    PackFolderNotFound = 2,    // pack: the folder to pack is missing
    PackNoTargetName = 3,      // pack: the target names a folder, not a file
    PackTargetNotFound = 4,    // pack: the target's folder, unpack: the target folder missing
    UnpackFileNotFound = 5,    // unpack: the packed file is missing
    PackCreateFailed = 10,     // pack: creating the target; unpack: opening the packed file
    PackWriteFailed = 11,      // pack: writing the target; unpack: reading the packed file
    PackOpenFailed = 12,       // pack: opening a source file; unpack: creating a file
    PackReadFailed = 13,       // pack: reading a source file; unpack: writing a file
    PackSizeMismatch = 14,     // a file ends before its size
    PackBadRecord = 15,        // unpack: a record that is not valid or would leave the target
    PackWouldReplace = 16,     // unpack: a file of that name exists already
    PackNotRepresentable = 17, // pack: a name of 128 bytes or more, a file of 2 GiB or more,
                               // or a tree deeper than 250 levels
};

constexpr int kPackBlockSize = 16384;
constexpr int kPackMaxLevel = 250;
constexpr int kPackMaxNameBytes = 127;
constexpr qint64 kPackMaxFileSize = 0x7FFFFFFF;

// The message key for a code; Msg::Count_ for 0.
Msg pack_code_message(int code);

// Called with the work done and the total (bytes of file contents when packing, bytes of the
// packed file when unpacking).
using PackProgressFn = std::function<void(qint64 done, qint64 total)>;

// Writes the records of `folder` (which must exist) to `out`. Entries of a folder are taken
// in name order; symbolic links are not followed and not packed. Returns a PackCode.
int pack_folder(const QString &folder, QIODevice &out, const PackProgressFn &progress = {});

// Reads records from `in` and recreates the tree inside the existing folder `targetDir`.
// `total` is the progress total (the packed size; 0 when unknown). Returns a PackCode.
int unpack_folder(QIODevice &in, const QString &targetDir, qint64 total = 0,
                  const PackProgressFn &progress = {});

// The packer as the window uses it: set the direction and the two paths, run, read the code.
// progress() may be read from another thread while execute() runs.
class FolderPacker
{
  public:
    enum class Mode { Pack, Unpack };

    Mode mode = Mode::Pack;
    // Pack: the folder to pack. Unpack: the packed file.
    QString sourcePath;
    // Pack: the file to write (replaced only when the pack succeeds, never left half written).
    // Unpack: the existing folder to unpack into.
    QString targetPath;

    // Runs synchronously; returns the code, also kept in errorCode().
    int execute();

    int errorCode() const { return errorCode_.load(); }
    // Per cent done, 0..100; 100 only after a run without error.
    int progress() const { return progress_.load(); }

  private:
    int runPack();
    int runUnpack();
    void setProgress(qint64 done, qint64 total);

    std::atomic<int> errorCode_{0};
    std::atomic<int> progress_{0};
};

} // namespace vorn
