// The undo journal of sort runs: each run lists the files it copied or moved (from, to, and
// the identity of the result). Undoing a run moves its moved files back where they came from
// (never overwriting) and sends the copies it made to the trash, but only files that are still
// the ones the run left; anything else is skipped with its reason.
//
// The journal is written ahead, as raw bytes (file names are the file system's bytes): a run
// record opens before the first file, each step is appended as soon as it is done (on the disk
// in small batches), and an end record closes the run. A run killed midway keeps the steps it
// did. Every record carries a checksum; a damaged record is never acted on. The file keeps the
// newest runs up to a size limit, dropping the oldest whole runs; a file that is not a journal
// is kept aside under a new name, never overwritten.
#pragma once

#include "files/file_ops.h"

#include <QByteArrayList>
#include <QList>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

namespace vorn
{

class JobToken;

enum class SortOp { Copy, Move };

struct SortStep {
    QString from; // where the file was before the run
    QString to;   // where the run put it (the new copy for a copy)
    SortOp op = SortOp::Copy;
    FileIdentity identity; // of `to` right after the step; looked up when recorded if unknown

    bool operator==(const SortStep &) const = default;
};

using SortRun = QList<SortStep>;

struct JournalRun {
    quint64 id = 0;
    SortRun steps;
    bool closed = false; // false: the program ended during the run
    int damaged = 0;     // records of this run that failed their check

    bool operator==(const JournalRun &) const = default;
};

struct UndoResult {
    int restored = 0;     // steps undone
    QStringList failures; // "name: reason" per step skipped or not undone
    bool unfinishedRun = false;
    bool cancelled = false; // stopped midway: the steps not undone stay as the last run
};

class SortJournal
{
  public:
    // Runs beyond this many are forgotten, oldest first.
    static constexpr int kMaxRuns = 100;
    // The file is cut back to its newest whole runs beyond this size.
    static constexpr qint64 kMaxBytes = qint64(8) << 20;
    // Steps appended between two syncs to the disk.
    static constexpr int kSyncBatch = 16;

    explicit SortJournal(QString file = {});
    ~SortJournal();
    SortJournal(const SortJournal &) = delete;
    SortJournal &operator=(const SortJournal &) = delete;

    const QList<JournalRun> &runs() const { return runs_; }
    bool isEmpty() const { return runs_.isEmpty(); }

    // Reads the journal file; a missing or empty file is an empty journal. A file that is not
    // a journal is renamed aside (setAsidePath() says where) and a new journal starts.
    void load();
    QString setAsidePath() const { return setAside_; }

    // Write-ahead recording of one run: open it, add each step as it is done, close it.
    void begin_run();
    void add_step(SortStep step);
    void end_run();
    // A whole run at once (an empty one is not kept).
    void record(const SortRun &run);
    // Waits until everything written so far is on the disk.
    void flush();

    // Undoes the last run, step by step from its end, and drops it from the journal. With a
    // token it reports progress and stops when cancelled: the steps not undone then stay in
    // the journal as a run of their own, to be undone later.
    UndoResult undo_last(FileOps &ops, int language = 1, JobToken *token = nullptr);

    // One record: the fields escaped, joined by tabs, with a checksum; and back (false for a
    // damaged record).
    static QByteArray encode_record(const QByteArrayList &fields);
    static bool decode_record(const QByteArray &line, QByteArrayList *fields);

    // The runs held by the bytes of a journal file (the newest kMaxRuns); none when the bytes
    // are not a journal.
    struct ParsedJournal {
        QList<JournalRun> runs;
        quint64 nextId = 1;
        int runRecords = 0; // runs the file holds, undone ones included
    };
    static std::optional<ParsedJournal> parse(const QByteArray &bytes);

  private:
    class Syncer;
    void append(const QByteArrayList &fields, bool sync);
    bool openForAppend();
    void compact();
    void setAside();

    QString file_;
    int fd_ = -1;
    std::shared_ptr<Syncer> syncer_;
    QList<JournalRun> runs_;
    quint64 nextId_ = 1;
    bool inRun_ = false;
    int unsynced_ = 0;
    qint64 size_ = 0;
    int runsInFile_ = 0;
    QString setAside_;
};

} // namespace vorn
