// The ZIP view pn_zipmain: the open archives as tabs of pc_zip with their entry grids, the
// extract and pack modes with their options and target folder tree, the operations on the
// current archive and the preview area. Slow engine calls run on the thread pool with
// progress and cancel in stat_zip; the controls that could start another call are locked
// meanwhile, and results are shown in the order the operations describe.
#pragma once

#include "archives/zip_browser.h"
#include "files/app_context.h"
#include "files/file_viewer.h"

#include <QFrame>
#include <QPointer>
#include <functional>
#include <memory>
#include <vector>

class QCheckBox;
class QFileSystemModel;
class QLabel;
class QLineEdit;
class QProgressBar;
class QSplitter;
class QStackedWidget;
class QTabWidget;
class QTableWidget;
class QToolButton;
class QTreeView;

namespace vorn
{

class PanelStatusBar;
class Job;
class ViewHost;
class ZipPreviewView;
struct SortExtraRun;

// The engine instance of one archive slot, found again by its name "zip_" + n.
class ZipSlotEngine : public QObject
{
    Q_OBJECT
  public:
    using QObject::QObject;
    ZipArchive archive;
    // The password that last opened entries of this archive: asked once, not on every click.
    QByteArray password;
};

class ZipView : public QFrame, public FileViewer
{
    Q_OBJECT
  public:
    ZipView(ViewHost &host, QWidget *parent = nullptr);
    ~ZipView() override;

    // Opens an archive as a further slot (algorithm 1); false when it shows no entries.
    bool open_archive(const QString &path);
    // Closes every archive (algorithm 3).
    void close_all();
    // A ZIP file met in the file list in picture mode: every archive is closed, this one opened.
    void showFile(const QString &path) override;
    // The grid of the current slot, or null.
    QTableWidget *currentGrid() const;
    ZipArchive *currentArchive() const;
    int lastSlot() const { return lastSlot_; }
    bool archiveLock() const { return lock_; }
    const QStringList &openArchives() const { return openList_; }
    QString entryInHand() const { return entryInHand_; }
    // True while an engine call runs on the pool (also one of a sort run on an archive).
    bool isBusy() const;
    // Prepares copying the selected entries into a folder under free names (the sorting
    // source): the password is asked now; the work, run on the sort job with progress and
    // cancel, extracts them into zip_dir and copies them from there.
    SortExtraRun prepareCopyInto(const QString &target);
    // The job that runs the sort runs: waited for before the archives go.
    void setSortJob(Job *job) { sortJob_ = job; }
    // The grid is the sort source: it has the focus, or it had it last with rows selected.
    bool gridHasFocus() const;
    ZipPreviewView *previewArea() const { return preview_; }
    // Opens a file with the desktop's application; true when that worked. Tests record the
    // calls instead of starting programs.
    using DesktopOpener = std::function<bool(const QString &path)>;
    void setDesktopOpener(DesktopOpener opener) { openOnDesktop_ = std::move(opener); }

  public slots:
    void bt_zipopenClick();
    void bt_zipcloseClick();
    void pc_zipChange(int index);
    void bt_zipextractClick();
    void bt_zipaddClick();
    void tv_extracttoclick(const QModelIndex &index);
    void cb_selfolderClick();
    void zipgridclick();
    void zipgriddblclick();
    void bt_extracttoClick();
    void bt_zipaddfileClick();
    void bt_zipdeleteClick();
    void bt_ziphtmlsourceClick();
    void bt_zipcopytoclipbClick();
    void bt_zipstartappClick();
    void applyTexts();
    // Recomputes the enabled state of the buttons (algorithm 8).
    void update_buttons();

  signals:
    // An entry grid got the keyboard focus, or the current archive changed: the sort bar's
    // source text is to be written again.
    void sortSourceEntered();

  protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

  private:
    struct Slot {
        ZipSlotEngine *engine = nullptr;
        QWidget *tab = nullptr;
        QTableWidget *grid = nullptr;
    };
    void buildToolBar();
    void buildSidePanel(QSplitter *split);
    QTableWidget *makeGrid(QWidget *tab, int n);
    void fill_grid();
    void clear_preview();
    void drop_slot(int n);
    void setMode(bool extract, bool pack);
    void setTargetFolder(const QString &folder);
    std::vector<size_t> selectedEntries(QStringList *fileNames = nullptr) const;
    // The files selected in the active list, in list order.
    QStringList selectedFiles() const;
    void setStatusAfterOpen();
    void preview();
    void packRun();
    ZipSlotEngine *currentEngine() const;
    // The password for the entries: none when none is encrypted, else the archive's remembered
    // one or the user's answer.
    QByteArray askPassword(const std::vector<size_t> &chosen);
    // Remembers a password that worked and forgets one that did not.
    void notePassword(ZipSlotEngine *engine, const QByteArray &password, const ZipResult &result);
    // Runs work on the pool with progress and cancel; then() gets its result on this thread.
    void runTask(std::function<ZipResult(const ZipProgress &)> work,
                 std::function<void(const ZipResult &)> then);
    void onProgress(qint64 done, qint64 total);
    void onJobFinished();
    void report(const ZipResult &result, Msg failureText);
    QString mountPointOf(const QString &folder) const;

    ViewHost &host_;
    AppContext &ctx_;
    std::vector<Slot> slots_;
    int lastSlot_ = -1;
    int current_ = -1;
    QStringList openList_;
    bool lock_ = false;
    bool htmlSource_ = false;
    // the last click's extraction wanted a password it did not get: a click on the same row retries
    bool retryClick_ = false;
    QString entryInHand_;
    QString previewed_;
    QString targetFolder_;
    bool previewPending_ = false;
    bool sortSource_ = false; // the grid was the last place the user worked in

    QToolButton *bt_zipextract_ = nullptr, *bt_zipadd_ = nullptr, *bt_zipopen_ = nullptr,
                *bt_zipaddfile_ = nullptr, *bt_zipdelete_ = nullptr, *bt_zipstartapp_ = nullptr,
                *bt_zipclose_ = nullptr, *bt_zipinzip_ = nullptr, *bt_ziphtmlsource_ = nullptr,
                *bt_zipcopytoclipb_ = nullptr, *bt_zipcancel_ = nullptr;
    QWidget *toolBar_ = nullptr;
    QStackedWidget *archiveWindow_ = nullptr;
    QLabel *pn_emptyzip_ = nullptr;
    QTabWidget *pc_zip_ = nullptr;
    QWidget *side_ = nullptr;
    QFrame *pn_unzipopts_ = nullptr, *pn_addopts_ = nullptr, *pn_unzipdir_ = nullptr;
    QCheckBox *cb_usefolder_ = nullptr, *cb_overwrite_ = nullptr, *cb_selfolder_ = nullptr,
              *cb_subfolders_ = nullptr, *cb_foldername_ = nullptr;
    QTreeView *tv_extractto_ = nullptr;
    QFileSystemModel *folders_ = nullptr;
    QLabel *pn_extracttotxt_ = nullptr, *lb_zipnametext_ = nullptr;
    QLineEdit *lb_zipname_ = nullptr;
    QToolButton *bt_extractto_ = nullptr;
    ZipPreviewView *preview_ = nullptr;
    PanelStatusBar *stat_zip_ = nullptr;
    QProgressBar *pb_zip_ = nullptr;

    // The engine call running on the pool, and what follows it on this thread.
    Job *job_ = nullptr;
    std::function<void(const ZipResult &)> then_;
    // The sort job and how many of its runs use an archive of this view.
    QPointer<Job> sortJob_;
    int sortRunsOut_ = 0;
    DesktopOpener openOnDesktop_;
};

} // namespace vorn
