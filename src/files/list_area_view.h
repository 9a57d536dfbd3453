// The list area pn_tablist: the folder tree tv above the file list lv (folder tab), the
// search list lvscan (scan tab) and the catalog tab, with their labels and list buttons.
#pragma once

#include "files/active_list.h"
#include "files/app_context.h"
#include "files/file_list_view.h"

#include <QFrame>
#include <QPointer>
#include <functional>

class QFileSystemModel;
class QLabel;
class QSplitter;
class QTabWidget;
class QToolButton;
class QTreeView;

namespace vorn
{

class Job;
class ProgressPanel;

class ListAreaView : public QFrame
{
    Q_OBJECT
  public:
    ListAreaView(AppContext &ctx, int rowHeight, QWidget *parent = nullptr);

    QTabWidget *tabs() const { return pc_list_; }
    QTreeView *tree() const { return tv_; }
    FileListView *folderList() const { return lv_; }
    FileListView *searchList() const { return lvscan_; }
    // lv on the folder tab, lvscan on the scan tab.
    FileListView *activeList() const;
    // The same, as the other views see it.
    ActiveList &active() const;
    // The folder list and the search list on their own, as the other views see them.
    ActiveList &folderFacade() const;
    ActiveList &searchFacade() const;
    QWidget *catalogTab() const { return tab_catalog_; }
    // Makes the catalog tab the one in front (its tab-change handling runs).
    void showCatalogTab();
    QToolButton *button(const char *name) const;

    // The folder the user chose in tv (with trailing '/'); empty until a folder was clicked,
    // so the start folder shown at start-up is not a scan root.
    QString scanRoot() const { return scanRoot_; }
    // The folder lv lists (with trailing '/').
    QString listedFolder() const { return listedFolder_; }
    // Selects a folder in the tree and lists it, as a click on it would.
    void openFolder(const QString &path);
    // Selects and lists the start folder without making it the scan root.
    void showStartFolder(const QString &path);
    // Re-reads the selected folder into lv through the current mask.
    void refresh_folder_view();
    // Lists the selected folder again through the current mask, staying on the current tab.
    void relist();
    // The selection read-out and position texts of the active list.
    void updateReadout();
    QString positionText(const FileListView *list) const;
    // The count text under the search list (pns_nr).
    void setScanCountText(const QString &text);
    // Recomputes the enabled state of the list buttons.
    void updateListButtons();
    // imwheel: one page up (steps < 0) or down on the tree or list clicked last.
    void scrollWheelTarget(int steps);
    // The list part of the lock-out during long operations.
    void setListsEnabled(bool on);
    // The panel that shows the progress of sending files to the trash, with its cancel, and
    // locks the window around it.
    void setProgressPanel(ProgressPanel *panel);
    // Files are being sent to the trash.
    bool isBusy() const;
    // Asked before a folder is opened or listed anew while a view shows something the user
    // may lose (unsaved edits); false keeps the folder and the list as they are.
    void setLeaveCheck(std::function<bool()> check) { leaveCheck_ = std::move(check); }

  public slots:
    void tvclick(const QModelIndex &index);
    void lvclick();
    void bt_trashmainClick();
    void bt_editlisteClick();
    void bt_deleteitemClick();
    void bt_clearscanclick();
    void applyTexts();
    // The file just chosen was not shown (the user stayed with unsaved edits): the list
    // selects the file shown before again.
    void routeRefused() { refused_ = true; }

  signals:
    // A single file was chosen in the active list: route it to its view.
    void showFileRequested(const QString &path);
    // The selection or the list contents changed.
    void listChanged();
    // Both lists are empty of a shown file: views release their pictures.
    void releaseViews();
    // The tab in front changed (pc_listChange).
    void tabChanged(vorn::ListTab tab);
    void hideRequested();
    // bt_startscan: the tree scan acts on it.
    void startScanClicked();

  private:
    void buildFolderTab();
    void buildScanTab();
    void buildButtons(int rowHeight);
    void onRenameRequested(int row, const QString &newName);
    void onNavigated(int row);
    void followFilter();
    void trashFinished();
    // Routes a file; when the view refuses to be left, the file shown before is selected again.
    void requestShow(FileListView *list, const QString &path);

    class Facade;

    AppContext &ctx_;
    Facade *active_ = nullptr;
    Facade *folderFacade_ = nullptr;
    Facade *searchFacade_ = nullptr;
    QTabWidget *pc_list_ = nullptr;
    QWidget *tab_folder_ = nullptr;
    QWidget *tab_scan_ = nullptr;
    QWidget *tab_catalog_ = nullptr;
    QSplitter *pn_treelist_ = nullptr;
    QTreeView *tv_ = nullptr;
    QFileSystemModel *dirs_ = nullptr;
    FileListModel *lvModel_ = nullptr;
    FileListModel *scanModel_ = nullptr;
    FileListView *lv_ = nullptr;
    FileListView *lvscan_ = nullptr;
    QLabel *pno_dir_ = nullptr;
    QLabel *pno_nr_ = nullptr;
    QLabel *pns_nr_ = nullptr;
    QLabel *pn_lwchar_ = nullptr;
    QAbstractItemView *wheelTarget_ = nullptr;
    QString scanRoot_;
    QString listedFolder_;
    QString editPath_;
    QString shownPath_; // the file routed last from a list
    std::function<bool()> leaveCheck_;
    bool refused_ = false;
    bool restoring_ = false;   // the tree goes back to the listed folder
    bool startFolder_ = false; // selecting the start folder is not a folder click
    Job *trashJob_ = nullptr;
    ProgressPanel *panel_ = nullptr;
    // The trash run going on: the list and rows it was given.
    QPointer<FileListView> trashList_;
    QList<int> trashRows_;
};

} // namespace vorn
