// The undo journal of sort runs: each run lists the files it copied or moved (from, to).
// Undoing a run moves its moved files back where they came from (never overwriting) and sends
// the copies it made to the trash. The journal is kept in a file of the program folder,
// rewritten atomically after every change, so that it survives the end of the program.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <memory>

namespace vorn {

class FileOps;

enum class SortOp { Copy, Move };

struct SortStep {
    QString from; // where the file was before the run
    QString to;   // where the run put it (the new copy for a copy)
    SortOp op = SortOp::Copy;

    bool operator==(const SortStep &) const = default;
};

using SortRun = QList<SortStep>;

struct UndoResult {
    int restored = 0;      // steps undone
    QStringList failures;  // "name: reason" per step that could not be undone
};

class SortJournal {
public:
    // Runs beyond this many are forgotten, oldest first.
    static constexpr int kMaxRuns = 100;

    explicit SortJournal(QString file = {});
    // Waits for the last write to reach the file.
    ~SortJournal();
    SortJournal(const SortJournal &) = delete;
    SortJournal &operator=(const SortJournal &) = delete;

    const QList<SortRun> &runs() const { return runs_; }
    bool isEmpty() const { return runs_.isEmpty(); }

    // Reads the journal file; a missing file is an empty journal, and lines that make no
    // sense are passed over.
    void load();
    // Appends a run (an empty one is not kept) and writes the file. The write (an atomic
    // rewrite with its sync to disk) runs in the background so that the next picture is not
    // held up; writes follow each other in order and the last one always lands.
    void record(const SortRun &run);
    // Blocks until every write posted so far is on disk.
    void flush();
    // Undoes the last run, step by step from its end, drops it and writes the file.
    UndoResult undo_last(FileOps &ops);

    // The file form of the runs, and back.
    static QStringList to_lines(const QList<SortRun> &runs);
    static QList<SortRun> from_lines(const QStringList &lines);

private:
    class Writer;
    void save();

    QString file_;
    std::shared_ptr<Writer> writer_;
    QList<SortRun> runs_;
};

} // namespace vorn
