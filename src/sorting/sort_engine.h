// The sort engine: the copy/move mode, the three quick targets, the check-and-dispatch that
// every target button runs (sort_into_target), sending the selected files of the active list
// into a folder (sort_from_list) and the undo journal of those runs. No widgets: the window
// gives it the active list through SortListAccess, and the ZIP and catalog views give their
// sources through SortExtraSource.
//
// A list run, a copy from the ZIP grid or the catalog, an undo and the trashing of a folder's
// files run on a job, off the user interface thread: the engine is busy meanwhile (busyChanged), refuses to
// start another run, reports progress through job() and can be cancelled. What a run did is applied to the
// list and reported when it ends, in the order a run on the spot would have had.
#pragma once

#include "sorting/sort_journal.h"

#include <QObject>
#include <QStringList>
#include <array>
#include <functional>
#include <memory>

namespace vorn
{

class AppContext;

// The active list as a sort run sees it.
class SortListAccess
{
  public:
    virtual ~SortListAccess() = default;
    virtual int count() const = 0;
    // Selected rows in list order.
    virtual QList<int> selectedRows() const = 0;
    virtual bool hasFocusItem() const = 0;
    virtual QString filePath(int row) const = 0;
    // True when the list is the control that has the keyboard focus in the window.
    virtual bool hasFocus() const = 0;
    virtual void takeFocus() = 0;
    virtual void removeRows(const QList<int> &rows) = 0;
    // Deselects every item, then selects and focuses `row`, which shows its file, and writes
    // the position counter.
    virtual void reselect(int row) = 0;
    // The list is empty: the picture view is cleared and the counter reads 0 of 0.
    virtual void emptied() = 0;
};

// What a copy from another source made (recorded so that it can be undone) and the lines
// naming what failed.
struct SortExtraOutcome {
    SortRun run;
    QStringList failures;
};

// A copy from another source: prepared on the user interface thread (questions are asked
// there), its work run on the sort job with progress and cancel, and its end shown on the
// user interface thread again (finished; when empty, the failures are shown as they are).
struct SortExtraRun {
    std::function<SortExtraOutcome(JobToken &)> work;
    std::function<void(const SortExtraOutcome &)> finished;
    explicit operator bool() const { return bool(work); }
};

// A source other than the file list (the ZIP grid of the open archive, the catalog picture),
// registered by its view. Such a source always copies.
class SortExtraSource
{
  public:
    virtual ~SortExtraSource() = default;
    // ZIP: its grid has the focus. Catalog: the catalog tab is active.
    virtual bool isCurrentSource() const = 0;
    // Prepares copying what is selected into the target folder (ends with '/'); an empty run
    // when there is nothing to copy.
    virtual SortExtraRun prepareSort(const QString &target) = 0;
};

// The index to select after a run: the item after the last selected one, counted after
// `removedBefore` items at or before it left the list; kept inside 0 .. count - 1; -1 for an
// empty list.
int sort_reselect_index(int lastSelected, int removedBefore, int count);

// Copies or moves each file into the folder through the never-overwriting file operations.
// Returns one entry per source, in order: the new path, or an empty path and the reason. With
// a journal, the run is recorded ahead: opened before the first file, each step added as soon
// as it is done, closed at the end. With a token, progress is reported in bytes and a cancel
// stops the run between files or inside a copy: the files not done have no entry.
struct FileSortOutcome {
    QString newPath;
    QString error;
    bool moved = false; // a move that really took the file out of its folder
};
QList<FileSortOutcome> sort_files(const QStringList &sources, const QString &target, SortOp op,
                                  int language = 1, SortJournal *journal = nullptr,
                                  JobToken *token = nullptr);

class Job;

class SortEngine : public QObject
{
    Q_OBJECT
  public:
    explicit SortEngine(AppContext &ctx, QObject *parent = nullptr);
    ~SortEngine() override;

    // A run is going on a job (a list run, an undo, a folder's files to the trash).
    bool isBusy() const;
    // The job of the runs: its progress for a panel.
    Job &job() const { return *job_; }
    // The title of the run going on.
    QString busyText() const;
    // Asks the run going on to stop; what it did so far is applied and reported as usual.
    void cancel();

    // The mode, read at the moment an operation starts.
    SortOp mode() const { return mode_; }
    bool copyFlag() const { return mode_ == SortOp::Copy; }
    bool moveFlag() const { return mode_ == SortOp::Move; }
    void setMode(SortOp op) { mode_ = op; }
    // "Modus: Kopieren" or "Modus: Verschieben".
    QString modeText() const;
    // The mode text shown over a sort button: "Modus: Extrahieren" while the ZIP grid is the
    // source, else the mode text.
    QString hoverModeText() const;

    // Quick targets 1 .. 3: a folder with a trailing '/', empty at start.
    QString quickTarget(int k) const;
    void setQuickTarget(int k, const QString &folder);

    void setList(SortListAccess *list) { list_ = list; }
    void setZipSource(SortExtraSource *s) { zip_ = s; }
    void setCatalogSource(SortExtraSource *s) { catalog_ = s; }

    SortJournal &journal() { return journal_; }
    // Tells the user when the journal file could not be read and was kept aside.
    void reportJournal();

    // The check-and-dispatch of every target button. False when a check refused (or a run
    // is still going).
    bool sort_into_target(const QString &target);
    // Starts sending the selected files of the active list into the target; the list is
    // updated and failures reported when the run ends. False when nothing was started.
    bool sort_from_list(const QString &target);
    // Paths of the selected items in list order; returns the last selected index or -1.
    int collect_selected_files(QStringList *paths) const;
    // Start copying from the ZIP grid or the catalog picture into the target (on the job).
    void sort_from_zip(const QString &target);
    void sort_from_catalog(const QString &target);

    // Starts undoing the last recorded run; the outcome is shown when it ends (undoFinished).
    void undo_last_run();
    // Starts sending the folder's own files to the trash; subfolders stay, the folder goes when
    // that left it empty. Files that stayed are named when it ends (folderTrashed).
    void trash_folder_files(const QString &folder);

  signals:
    // A run or an undo changed files on disk (the views may relist).
    void filesChanged();
    void undone(int restored);
    // A run started (true) or ended (false): controls that start operations are locked.
    void busyChanged(bool busy);
    // An undo ended and its outcome was shown.
    void undoFinished();
    // The files of the folder went to the trash as far as they could.
    void folderTrashed(const QString &folder);

  private:
    enum class Task { None, List, Undo, Folder, Extra };
    void begin(Task task);
    void onJobFinished();
    void finishListRun();
    void finishUndo();
    void finishFolder();
    void finishExtra();
    void sortFromExtraSources(const QString &target);
    // Starts the next queued extra source that has something to copy.
    void startNextExtra();
    void record(const SortRun &run);

    AppContext &ctx_;
    SortOp mode_ = SortOp::Copy;
    std::array<QString, 3> quick_;
    SortListAccess *list_ = nullptr;
    SortExtraSource *zip_ = nullptr;
    SortExtraSource *catalog_ = nullptr;
    SortJournal journal_;
    // The run going on and what it was given.
    Task task_ = Task::None;
    QString target_;
    SortOp runOp_ = SortOp::Copy;
    QStringList sources_;
    QList<int> rows_;
    int last_ = -1;
    QList<SortExtraSource *> extraQueue_;
    std::function<void(const SortExtraOutcome &)> extraFinished_;
    // Declared after the journal: destroyed first, so a run never outlives what it writes.
    std::unique_ptr<Job> job_;
};

} // namespace vorn
