// The one way the program copies, moves, renames and deletes a user's file. Nothing here ever
// overwrites an existing file or removes a file for good:
// - a copy or move into a folder that already holds the name gives the new file the name
//   "name (2).ext", "name (3).ext", ...;
// - a copy is written under no visible name and gets its free name only when complete, so an
//   interruption never leaves a partial file under a real name (a plain copy is not forced to
//   the disk first: its source stays, and a sync per file would make copying many small files
//   many times slower);
// - a move inside one file system is a rename without replace; across file systems it copies
//   data, permissions and times, checks the size, puts the copy on the disk, and removes the
//   source only while its name still holds the very file that was copied; a symbolic link
//   stays a link;
// - only regular files are copied: a named pipe or device is refused without blocking;
// - a delete goes to the freedesktop.org trash, or into the program's own trash folder when the desktop
//   trash cannot take the file.
// Every call returns success or failure with the system's reason or the program's own.
#pragma once

#include "lang/message_texts.h"

#include <QString>
#include <functional>
#include <optional>
#include <utility>

namespace vorn
{

// What tells one file from another that later carries its name.
struct FileIdentity {
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = -1;
    qint64 mtimeNs = 0; // modification time, nanoseconds since the epoch

    bool isKnown() const { return size >= 0; }
    bool operator==(const FileIdentity &) const = default;
};

// The identity of whatever the path names now (a link itself, not its target); unknown when
// nothing does.
FileIdentity identity_of_path(const QString &path);

struct FileOpResult {
    bool ok = false;
    QString newPath;           // where the file is now (for a copy: the new copy)
    FileIdentity identity;     // of the file at newPath, when ok
    QString error;             // the reason in English when !ok (the system's text for an errno)
    int errorCode = 0;         // errno of the failure
    std::optional<Msg> reason; // the program's own reason, when it is not an errno

    explicit operator bool() const { return ok; }
    // The reason in the given language.
    QString errorText(int language) const;
};

// Test hooks: points where a test can change the files under an operation, or hold it.
enum class FileOpStage {
    CopyWritten,         // the data of a copy is written, the copy has no name yet
    BeforeSourceRemoved, // a move across file systems has its copy and checks the source next
    Starting,            // a copy, move or delete is about to start on the source
    DataCopied,          // a slice of a copy's data is written (copies with a progress function)
    Renaming,            // a rename without replace is about to start on the source
};
using FileOpHook = void (*)(FileOpStage stage, const QString &source);

// Told the bytes of a copy written so far, out of its size; returning false stops the copy,
// which then fails with ECANCELED and leaves nothing behind. Called from the thread that
// runs the operation.
using FileOpProgress = std::function<bool(qint64 done, qint64 total)>;

class FileOps
{
  public:
    // fallbackTrashDir: the program's own trash folder (Paths::trashDir).
    explicit FileOps(QString fallbackTrashDir = {}) : trashDir_(std::move(fallbackTrashDir)) {}

    void setFallbackTrashDir(const QString &dir) { trashDir_ = dir; }
    const QString &fallbackTrashDir() const { return trashDir_; }

    // Copies one file into the folder under a free name; the copy keeps the source's
    // permissions, modification time and attributes. A failed copy leaves nothing behind.
    static FileOpResult copy_into_folder(const QString &source, const QString &folder,
                                         const FileOpProgress &progress = {});
    // Moves one file into the folder under a free name. Moving a file into its own folder
    // changes nothing. A failed move leaves the source where it was. Only a move across file
    // systems copies data, and only it reports progress.
    static FileOpResult move_into_folder(const QString &source, const QString &folder,
                                         const FileOpProgress &progress = {});
    // Renames (or moves within one file system); fails with EEXIST when `to` exists.
    static FileOpResult rename_no_replace(const QString &from, const QString &to);
    // Sends the file to the desktop trash, else into the fallback trash folder (a copy when
    // that lies on another file system, which reports progress).
    FileOpResult delete_to_trash(const QString &path, const FileOpProgress &progress = {});

    // For tests only: called at each stage; nullptr switches it off.
    static void set_hook(FileOpHook hook);

    // "name.ext" for n < 2, else "name (n).ext"; a leading dot does not start an extension.
    static QString collision_name(const QString &name, int n);
    // Renames a file the program cannot read (a damaged journal) to "<name>.unreadable" beside
    // it, "(2)", "(3)" ... when taken, so it is kept and a fresh one can start. Returns the new
    // path, empty when it could not be moved.
    static QString set_aside(const QString &path);

  private:
    QString trashDir_;
};

} // namespace vorn
