// The journal of rename runs, kept in a file of the program folder so that the last run can be
// undone after a restart and a run cut short by a crash can be finished or undone.
//
// It is written ahead and only ever appended to: before a run touches a file, a run record and
// one record per file (its identity, its old name, the temporary name it passes through when
// its new name is the old name of another file of the run, and its new name) are appended and
// synced. The file is therefore always under one of these names, and the identity says which
// file it is. Records closing a run or dropping an undone one follow. Each record carries a
// checksum; a damaged file is kept aside, never written over. Runs forgotten in memory stay in
// the file until compact() rewrites it, through the one atomic write, off the window's thread.
#pragma once

#include "rename/rename_run.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <mutex>
#include <optional>

namespace vorn
{

// Which file it is: a renamed, re-stamped or re-attributed file keeps its inode, size and
// birth time; a file put in its place gets another birth time even when the system hands out
// the same inode again. A birth time of 0 is unknown (a file system that keeps none).
struct FileId {
    quint64 inode = 0;
    qint64 size = 0;
    qint64 birthNs = 0;

    bool operator==(const FileId &) const = default;
};

// The identity of the file at path (a link itself) and its device; false when there is none.
bool file_id(const QString &path, quint64 *device, FileId *id);
// Both name the same file (birth times compared when both are known).
bool same_file(const FileId &a, const FileId &b);

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
    quint64 serial = 0; // its number in the file

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
    // compact() is due when the file holds this many more runs than are kept, or is larger
    // than this while holding forgotten runs.
    static constexpr int kSpareRuns = kMaxRuns;
    static constexpr qint64 kMaxBytes = qint64(16) << 20;

    explicit RenameJournal(QString file = {});
    ~RenameJournal();
    RenameJournal(const RenameJournal &) = delete;
    RenameJournal &operator=(const RenameJournal &) = delete;

    // Reads the file. A missing file is an empty journal; a damaged one (checksum, form) is
    // renamed aside (setAsidePath() says where) and reported by returning false. A run before
    // load() reads the file first.
    bool load();
    QString setAsidePath() const;
    QList<RenameJournalRun> runs() const;
    // The last run was cut short (the program ended in the middle of it).
    bool hasOpenRun() const;
    bool canUndo() const;

    // Renames the files of one folder (from and to are names in it; the rows must have passed
    // check_renames). Journaled and two-phased as described above.
    RenameOutcome run(const QString &folder, const QList<RenameMove> &moves,
                      const RenameProgress &progress = {});
    // Puts the files of the last run back under their old names, never overwriting; a file that
    // is no longer the one the run renamed is reported and left alone.
    RenameOutcome undo_last(const RenameProgress &progress = {});
    // Finishes (finish) or undoes the run that was cut short.
    RenameOutcome recover(bool finish, const RenameProgress &progress = {});

    // The file holds enough forgotten records (or an older form) to be rewritten.
    bool needsCompaction() const;
    // Rewrites the file with the runs kept, through the one atomic write. Slow: run it as a job.
    bool compact();

    // The bytes of a journal holding these runs, and back; none when the bytes are not a
    // journal. A last record cut short by a crash is passed over.
    static QByteArray encode(const QList<RenameJournalRun> &runs);
    static std::optional<QList<RenameJournalRun>> parse(const QByteArray &bytes);

  private:
    bool loadLocked();
    bool compactLocked();
    bool append(const QList<QByteArrayList> &records, bool sync);
    void appendRun(RenameJournalRun &run);
    void close(quint64 serial);
    void drop(quint64 serial);
    void trim();
    // Carries out the moves as a new open run appended to the journal; closes it at the end.
    RenameOutcome execute(const QString &folder, const QList<RenameMove> &moves, bool undo,
                          const RenameProgress &progress, quint64 *serial);
    // Where the entry's file is now (its old, temporary or new name); empty when none of
    // them is that file any more.
    static QString locate(const RenameJournalRun &run, const RenameJournalEntry &e);

    mutable std::mutex m_;
    QString file_;
    QString setAside_;
    QList<RenameJournalRun> runs_;
    bool loaded_ = false;
    bool oldForm_ = false; // read from the form before appending: rewrite before the next record
    bool writable_ = true; // false when a damaged file could not be put aside
    int fd_ = -1;
    qint64 size_ = 0;    // bytes of whole records in the file
    int runsInFile_ = 0; // run records the file holds, forgotten ones included
    quint64 nextSerial_ = 1;
};

} // namespace vorn
