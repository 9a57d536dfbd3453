// The rename view (panel pn_renamemain): its own folder tree tvrename and file list lvrename,
// the pattern tab tab_autorename with the sample pn_muster and the preview grid sg_rename, the
// time stamp tab (StampView), and the journaled rename run with its undo. The pattern rules live
// in RenamePattern, the run in RenameJournal; this class holds the controls and forwards.
#pragma once

#include "rename/rename_pattern.h"

#include <QWidget>
#include <memory>

class QAbstractButton;
class QFileSystemModel;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSortFilterProxyModel;
class QTabWidget;
class QTableView;
class QToolButton;
class QTreeView;

namespace vorn
{

class AppContext;
class Job;
class RenameJournal;
class RenameListModel;
class ProgressPanel;
class RenamePreviewModel;
class StampView;

class RenameView : public QWidget
{
    Q_OBJECT
  public:
    // journalFile: where the rename journal is kept (in the program folder).
    RenameView(AppContext &ctx, const QString &journalFile, QWidget *parent = nullptr);
    ~RenameView() override;

    // Chooses a folder as a click in tvrename does.
    void setFolder(const QString &folder);
    QString folder() const;
    // The names selected in lvrename, in the order the list shows them.
    QStringList selectedNames() const;
    // Selects these names in lvrename (as the user's clicks do) and tells the lamps.
    void selectNames(const QStringList &names);
    bool isBusy() const;
    StampView *stampView() const { return stamp_; }
    RenameJournal &journal() { return *journal_; }
    const RenamePattern &pattern() const { return pattern_; }
    // Asks what to do with a run the journal says was cut short (at start).
    void recoverJournal();
    // The panel that shows a rename or undo run's progress with its cancel: a cancelled run
    // stops before the next file; the files renamed so far keep their names and can be undone.
    void setProgressPanel(ProgressPanel *panel);

  signals:
    // Files of a folder were renamed, stamped or re-attributed: other lists follow the disk.
    void filesChanged();
    // A run starts or ends (the window's lock-out follows).
    void busyChanged(bool busy);

  public slots:
    void tvrenameChange();
    void lvrenameClick();
    void bt_renameClick();
    void lvrenameEdited(int row, const QString &newName);
    void ed_vortextChange();
    void ed_startChange();
    void bt_plusfilenameClick();
    void bt_plusleftClick();
    void bt_plusrightClick();
    void bt_nofillClick();
    void bt_nullClick();
    void bt_linesClick();
    void bt_fillupClick();
    void bt_filldownClick();
    void bt_prevrenameClick();
    void bt_renameallClick();
    void bt_cancelrenameClick();
    void bt_undorenameClick();
    void applyTexts();

  protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

  private:
    QWidget *buildPatternTab();
    bool startKey(const QString &text);
    bool nameKey(const QString &text);
    void rebuildSample();
    void updateDigitButtons();
    void updateRunButton();
    void updateUndoButton();
    void setBusy(bool busy);
    void runFinished();
    void refreshLists();
    // Lists the folder again with these names selected.
    void refreshLists(const QStringList &select);
    // Rewrites the journal in the background when it holds enough forgotten runs.
    void compactJournal();

    AppContext &ctx_;
    RenamePattern pattern_;
    std::shared_ptr<RenameJournal> journal_;
    Job *job_;
    Job *compactJob_;
    ProgressPanel *panel_ = nullptr;
    bool undoRun_ = false;

    QFileSystemModel *treeModel_;
    QTreeView *tree_;
    QLabel *dirPanel_;
    RenameListModel *listModel_;
    QSortFilterProxyModel *listProxy_;
    QTreeView *list_;
    QTabWidget *tabs_;
    StampView *stamp_;

    QLineEdit *before_;
    QLineEdit *start_;
    QLineEdit *after_;
    QLineEdit *template_;
    QPushButton *insertName_;
    QToolButton *left_;
    QToolButton *right_;
    QPushButton *fill_;
    QAbstractButton *zero_;
    QAbstractButton *underscore_;
    QLineEdit *digits_;
    QToolButton *up_;
    QToolButton *down_;
    QLabel *sample_;
    RenamePreviewModel *preview_;
    QTableView *grid_;
    QProgressBar *progress_;
    QPushButton *previewButton_;
    QPushButton *runButton_;
    QPushButton *discardButton_;
    QPushButton *undoButton_;
    QPushButton *selectAll_;
};

} // namespace vorn
