// The sort engine: the copy/move mode, the three quick targets, the check-and-dispatch that
// every target button runs (sort_into_target), sending the selected files of the active list
// into a folder (sort_from_list) and the undo journal of those runs. No widgets: the window
// gives it the active list through SortListAccess, and the ZIP and catalog views give their
// sources through SortExtraSource.
#pragma once

#include "sorting/sort_journal.h"

#include <QObject>
#include <QStringList>
#include <array>

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

// A source other than the file list (the ZIP grid of the open archive, the catalog picture),
// registered by its view. Such a source always copies.
class SortExtraSource
{
  public:
    virtual ~SortExtraSource() = default;
    // ZIP: its grid has the focus. Catalog: the catalog tab is active.
    virtual bool isCurrentSource() const = 0;
    // Copies what is selected into the target folder (ends with '/'); returns the copies made
    // so that they can be undone.
    virtual SortRun sortInto(const QString &target) = 0;
};

// What one list run did.
struct ListRunResult {
    int last = -1;        // the reselection index base, as sort_from_list returns it
    SortRun done;         // the files copied or moved
    QStringList failures; // "name: reason"
};

// The index to select after a run: the item after the last selected one, counted after
// `removedBefore` items at or before it left the list; kept inside 0 .. count - 1; -1 for an
// empty list.
int sort_reselect_index(int lastSelected, int removedBefore, int count);

// Copies or moves each file into the folder through the never-overwriting file operations.
// Returns one entry per source, in order: the new path, or an empty path and the reason. With
// a journal, the run is recorded ahead: opened before the first file, each step added as soon
// as it is done, closed at the end.
struct FileSortOutcome {
    QString newPath;
    QString error;
    bool moved = false; // a move that really took the file out of its folder
};
QList<FileSortOutcome> sort_files(const QStringList &sources, const QString &target, SortOp op,
                                  int language = 1, SortJournal *journal = nullptr);

class SortEngine : public QObject
{
    Q_OBJECT
  public:
    explicit SortEngine(AppContext &ctx, QObject *parent = nullptr);

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

    // The check-and-dispatch of every target button. False when a check refused.
    bool sort_into_target(const QString &target);
    // The selected files of the active list into the target; the result's `last` is the
    // index used to reselect.
    ListRunResult sort_from_list(const QString &target);
    // Paths of the selected items in list order; returns the last selected index or -1.
    int collect_selected_files(QStringList *paths) const;
    void sort_from_zip(const QString &target);
    void sort_from_catalog(const QString &target);

    // Undoes the last recorded run; the outcome has been shown to the user.
    UndoResult undo_last_run();

  signals:
    // A run or an undo changed files on disk (the views may relist).
    void filesChanged();
    void undone(int restored);

  private:
    void record(const SortRun &run);

    AppContext &ctx_;
    SortOp mode_ = SortOp::Copy;
    std::array<QString, 3> quick_;
    SortListAccess *list_ = nullptr;
    SortExtraSource *zip_ = nullptr;
    SortExtraSource *catalog_ = nullptr;
    SortJournal journal_;
};

} // namespace vorn
