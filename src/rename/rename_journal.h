// The journal of rename runs, kept in a file of the program folder so that the last run can be
// undone after a restart and a run cut short by a crash can be finished or undone.
//
// It is written ahead: before a run touches a file, the journal on disk lists every file of it
// by identity (device, inode, size and modification time) with its old name, the temporary name it passes
// through (a run whose new names are old names of its own files renames in two phases) and its new name. The
// file is therefore always under one of these names, and the identity says which file it is.
// Every rewrite is atomic and synced; a checksum line guards against a damaged file.
#pragma once

#include "rename/rename_run.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace vorn
{

// Which file it is: a renamed file keeps its inode, size and modification time.
struct FileId {
    quint64 inode = 0;
    qint64 size = 0;
    qint64 mtimeNs = 0;

    bool operator==(const FileId &) const = default;
};

// The identity of the file at path and its device; false when there is none.
bool file_id(const QString &path, quint64 *device, FileId *id);

struct RenameJournalEntry {
    FileId id;
    QString oldName;
    QString tempName; // empty when the file is renamed directly
    QString newName;

    bool operator==(const RenameJournalEntry &) const = default;
};

struct RenameJournalRun {
    bool undo = false; // the run undoes the run before it
    bool open = true;  // not finished yet
    quint64 device = 0;
    QString folder; // ends with '/'
    QList<RenameJournalEntry> entries;

    bool operator==(const RenameJournalRun &) const = default;
};

struct RenameMove {
    QString from;
    QString to;
};

class RenameJournal
{
  public:
    // Finished runs beyond this many are forgotten, oldest first.
    static constexpr int kMaxRuns = 20;

    explicit RenameJournal(QString file = {});

    // Reads the file. A missing file is an empty journal; a damaged one (checksum, form) is
    // renamed aside (setAsidePath() says where) and reported by returning false.
    bool load();
    QString setAsidePath() const { return setAside_; }
    const QList<RenameJournalRun> &runs() const { return runs_; }
    // The last run was cut short (the program ended in the middle of it).
    bool hasOpenRun() const { return !runs_.isEmpty() && runs_.last().open; }
    bool canUndo() const { return !runs_.isEmpty() && !runs_.last().open && !runs_.last().undo; }

    // Renames the files of one folder (from and to are names in it; the rows must have passed
    // check_renames). Journaled and two-phased as described above.
    RenameOutcome run(const QString &folder, const QList<RenameMove> &moves,
                      const RenameProgress &progress = {});
    // Puts the files of the last run back under their old names, never overwriting; a file that
    // is no longer the one the run renamed is reported and left alone.
    RenameOutcome undo_last(const RenameProgress &progress = {});
    // Finishes (finish) or undoes the run that was cut short.
    RenameOutcome recover(bool finish, const RenameProgress &progress = {});

    static QStringList to_lines(const QList<RenameJournalRun> &runs);
    static QList<RenameJournalRun> from_lines(const QStringList &lines, bool *damaged = nullptr);

  private:
    bool save();
    // Carries out the moves as a new open run appended to the journal; closes it at the end.
    RenameOutcome execute(const QString &folder, const QList<RenameMove> &moves, bool undo,
                          const RenameProgress &progress, bool *appended);
    // Where the entry's file is now (its old, temporary or new name); empty when none of
    // them is that file any more.
    static QString locate(const RenameJournalRun &run, const RenameJournalEntry &e);

    QString file_;
    QString setAside_;
    QList<RenameJournalRun> runs_;
};

} // namespace vorn
