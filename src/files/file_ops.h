// The one way the program copies, moves, renames and deletes a user's file. Nothing here ever
// overwrites an existing file or removes a file for good:
// - a copy or move into a folder that already holds the name gives the new file the name
//   "name (2).ext", "name (3).ext", ...;
// - a move inside one file system is a rename without replace; across file systems it copies
//   data, permissions and times, checks the size, and only then removes the source;
// - a delete goes to the freedesktop.org trash, or into the program's own trash folder when the desktop
//   trash cannot take the file.
// Every call returns success or failure with the system's reason.
#pragma once

#include <QString>
#include <utility>

namespace vorn {

struct FileOpResult {
    bool ok = false;
    QString newPath;   // where the file is now (for a copy: the new copy)
    QString error;     // the system's reason, in the system's language, when !ok
    int errorCode = 0; // errno of the failure

    explicit operator bool() const { return ok; }
};

// The shell operation codes callers pass to shell_file_op.
enum ShellOp : int { OpMove = 1, OpCopy = 2, OpDelete = 3 };

class FileOps {
public:
    // fallbackTrashDir: the program's own trash folder (Paths::trashDir).
    explicit FileOps(QString fallbackTrashDir = {}) : trashDir_(std::move(fallbackTrashDir)) {}

    void setFallbackTrashDir(const QString &dir) { trashDir_ = dir; }
    const QString &fallbackTrashDir() const { return trashDir_; }

    // Copies one file into the folder under a free name; the copy keeps the source's
    // permissions, modification time and attributes. A failed copy leaves nothing behind.
    static FileOpResult copy_into_folder(const QString &source, const QString &folder);
    // Moves one file into the folder under a free name. Moving a file into its own folder
    // changes nothing. A failed move leaves the source where it was.
    static FileOpResult move_into_folder(const QString &source, const QString &folder);
    // Renames (or moves within one file system); fails with EEXIST when `to` exists.
    static FileOpResult rename_no_replace(const QString &from, const QString &to);
    // Sends the file to the desktop trash, else into the fallback trash folder.
    FileOpResult delete_to_trash(const QString &path);

    // The shell-style entry: OpMove and OpCopy put `source` into the folder `target`; OpDelete
    // sends `source` to the trash. `aborted` is the caller's in/out flag; nothing here aborts, so
    // it keeps its value. Records last_result(): 0 on success, else the errno of the failure.
    FileOpResult shell_file_op(int op, const QString &source, const QString &target = {},
                               bool *aborted = nullptr);
    int last_result() const { return lastResult_; }

    // "name.ext" for n < 2, else "name (n).ext"; a leading dot does not start an extension.
    static QString collision_name(const QString &name, int n);

private:
    QString trashDir_;
    int lastResult_ = 0;
};

} // namespace vorn
