// A rename run over files of one folder: which rows of a preview can be carried out, and the
// run itself. Nothing here ever replaces a file: every rename is a rename without replace.
#pragma once

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>

namespace vorn
{

// One row of the preview: a file's name and the name it is to get, both without folder.
struct RenameRow {
    QString oldName;
    QString newName;
};

enum class RowCheck {
    Rename,   // will be renamed
    Same,     // the new name is the old one: nothing to do
    Empty,    // an empty row: nothing to do
    Missing,  // the file is gone
    Taken,    // the new name belongs to a file that keeps it
    Repeated, // an earlier row gets the same new name
    BadName,  // the new name cannot name a file of this folder
};

struct RenameCheck {
    QList<RowCheck> rows;

    int count(RowCheck c) const { return int(rows.count(c)); }
    // Rows that would be refused (gone, taken, repeated, bad).
    int refused() const
    {
        return int(rows.size()) - count(RowCheck::Rename) - count(RowCheck::Same) - count(RowCheck::Empty);
    }
};

// Checks every row against the folder's files and against the other rows. A new name taken by
// a file that is not renamed in the same run (or is refused itself) is Taken; a new name that
// is the old name of another file of the run is fine, the run frees it first.
RenameCheck check_renames(const QString &folder, const QList<RenameRow> &rows);

// Why a file was not renamed: an errno of the system, or one of the reasons below.
enum RenameRefusal : int {
    RefusedTaken = -1,    // the new name belongs to a file that keeps it
    RefusedRepeated = -2, // another row of the run gets the same new name
    RefusedChanged = -3,  // (undo) the file under the new name is no longer the one renamed
    RefusedBadName = -4,  // the new name cannot name a file
    RefusedLink = -5,     // (attributes) a symbolic link: its target in another place stays as it is
};

struct RenameFailure {
    QString name;
    int reason = 0; // errno or RenameRefusal

    bool operator==(const RenameFailure &) const = default;
};

// What a run did: files renamed (with the names they have now) and the files that were not,
// with the reason. A cancelled run says so; `planned` is how many files it was to rename.
struct RenameOutcome {
    int renamed = 0;
    QStringList newNames;
    QList<RenameFailure> failures;
    bool cancelled = false;
    int planned = 0;
};

// Told before each file (`done` of `total` so far, the name it is about to rename) and after the
// last one; returning false cancels the run before that file.
using RenameProgress = std::function<bool(int done, int total, const QString &name)>;

// Names are the file system's bytes, carried as path_from_native() keeps them.
// The names of everything in the folder (files, folders, links), "." and ".." included.
QSet<QString> names_in_folder(const QString &folder);

// A name is usable for a file of a folder: not empty, no '/' or NUL, not "." or "..", and
// bytes the system takes.
bool is_usable_name(const QString &name);

} // namespace vorn
