// The one way the program copies, moves, renames and deletes a user's file. Nothing here ever
// overwrites an existing file or removes a file for good:
// - a copy or move into a folder that already holds the name gives the new file the name
//   "name (2).ext", "name (3).ext", ...;
// - a copy is written under no visible name and gets its free name only when complete, so an
//   interruption never leaves a partial file under a real name (a plain copy is not forced to
//   the disk first: its source stays, and a sync per file would make copying many small files
//   many times slower);
// - a move inside one file system is a rename without replace; across file systems it copies
//   data, permissions and times, checks the size, puts the copy on the disk before it gets its
//   name, puts the name on the disk, and removes the source only while its name still holds
//   the very file that was copied; a symbolic link stays a link;
// - only regular files are copied: a named pipe or device is refused without blocking;
// - a delete goes to the freedesktop.org trash, or into the program's own trash folder when the desktop
//   trash cannot take the file.
// Every call returns success or failure with the system's reason or the program's own.
#pragma once

#include "lang/message_texts.h"

#include <QString>
#include <QStringList>
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

// What a move of many files tells its caller, from the thread that runs it; each may be unset.
struct MoveBatchCalls {
    // Asked before the file at `index` starts; false stops the batch there.
    std::function<bool(qsizetype index)> next;
    // The bytes of the copy of the file at `index` written so far (moves across file systems
    // only); false stops the batch inside that copy, which leaves nothing behind.
    std::function<bool(qsizetype index, qint64 done, qint64 total)> progress;
    // The outcome of the file at `index`, as soon as it is final: at once for a rename, after
    // its batch is on the disk for a copy across file systems (so not always in order).
    std::function<void(qsizetype index, const FileOpResult &result)> done;
};

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
    // Moves the files into the folder, each as move_into_folder would, paying once per batch for
    // what one call per file pays per file: the folder is opened once, and the copies made on
    // another file system are put on the disk together (one sync for a batch of files) before
    // they get their names and before any of their sources is removed; a failure of one file
    // leaves that file where it was and the others go on. A process killed between naming a
    // batch's copies and removing their sources leaves whole copies beside their sources, never
    // a lost file. Returns how many sources have an outcome: all of them unless stopped, then
    // those before the file it stopped at.
    static qsizetype move_all_into_folder(const QStringList &sources, const QString &folder,
                                          const MoveBatchCalls &calls);
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
