// The undo journal of sort runs: each run lists the files it copied or moved (from, to).
// Undoing a run moves its moved files back where they came from (never overwriting) and sends
// the copies it made to the trash. The journal is kept in a file of the program folder,
// rewritten atomically after every change, so that it survives the end of the program.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

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

    explicit SortJournal(QString file = {}) : file_(std::move(file)) {}

    const QList<SortRun> &runs() const { return runs_; }
    bool isEmpty() const { return runs_.isEmpty(); }

    // Reads the journal file; a missing file is an empty journal, and lines that make no
    // sense are passed over.
    void load();
    // Appends a run (an empty one is not kept) and writes the file.
    bool record(const SortRun &run, QString *error = nullptr);
    // Undoes the last run, step by step from its end, drops it and writes the file.
    UndoResult undo_last(FileOps &ops);

    // The file form of the runs, and back.
    static QStringList to_lines(const QList<SortRun> &runs);
    static QList<SortRun> from_lines(const QStringList &lines);

private:
    bool save(QString *error = nullptr) const;

    QString file_;
    QList<SortRun> runs_;
};

} // namespace vorn
