// The catalog page pn_catalogmain: its tool bar (create, save, open, close, delete, move
// entries, thumbnail size and columns, paging, back to the viewer), the catalog panel pn_catalog
// with the view htmlcatalog and the progress panels pn_createcat and pn_catopen, the status bar
// stat_catalog, and the catalog list sg_catalog on the catalog tab. The work itself is done by
// the catalog core (CatalogJob, the folder packer, catalog_files) off the window's thread.
#pragma once

#include "catalog/catalog_settings.h"
#include "files/app_context.h"

#include <QFrame>
#include <QFutureWatcher>
#include <memory>

class QLabel;
class QProgressBar;
class QTableWidget;
class QTimer;
class QToolButton;

namespace vorn
{

class CatalogBrowser;
class CatalogJob;
class ActiveList;
class FolderPacker;
class PanelStatusBar;
class SortExtraSource;
class StringGrid;
struct CatalogRunResult;

class CatalogView : public QFrame
{
    Q_OBJECT
  public:
    // The tool bar tbar_catalog, locked during long operations of other views.
    QWidget *toolBar() const { return toolBar_; }
    // folderList, searchList: the lists the pictures come from, the one whose tab was in front
    // last; listTab: the catalog tab of the list area, which shows the catalog list;
    // grid: the catalog list the window loads from and saves to vorn.pth.
    CatalogView(AppContext &ctx, ActiveList &folderList, ActiveList &searchList, QWidget *listTab,
                StringGrid &grid, QWidget *panel);
    ~CatalogView() override;

    // The catalog picture as a sort source (registered with the sort engine by the window).
    SortExtraSource *sortSource() const { return sortSource_.get(); }
    QString catalogPicture() const { return catalogPicture_; }
    bool catalogShown() const { return catalogShown_; }
    bool newCatalog() const { return newCatalog_; }
    bool isBusy() const;
    const ThumbSettings &settings() const { return settings_; }
    CatalogBrowser *browser() const { return htmlcatalog_; }

  public slots:
    void bt_catcreateClick();
    void bt_exitcatcreateClick();
    void bt_thcolsupClick();
    void bt_thcolsdownClick();
    void bt_thsizeupClick();
    void bt_thsizedownClick();
    void bt_gotocatalogClick();
    void bt_changepageClick(int tag);
    void bt_catsaveClick();
    void bt_catopenClick();
    void bt_catdeleteClick();
    void bt_catcloseClick();
    void bt_titleupClick();
    void bt_titledownClick();
    void update_catalog_buttons();
    void clear_catalog_view();
    void applyTexts();
    // The theme of the window: textured (the default) or plain (bt_256cols down).
    void setTextured(bool textured);

  signals:
    // The controls that could start another operation are locked (true) or free again.
    void lockRequested(bool locked);
    void backToViewRequested();
    // A save or open has ended with the packer's code (0 on success).
    void catalogIoFinished(int code);
    // A generation has ended.
    void catalogCreated();

  protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

  private:
    QWidget *toolBar_ = nullptr;
    void buildToolBar(QWidget *row);
    void buildPanels();
    void buildList();
    QToolButton *addButton(QWidget *row, const char *name);
    QToolButton *button(const char *name) const;
    ActiveList &sourceList() const;
    QStringList collect_catalog_pictures();
    void onPictureAdded(int index, int count, const QString &picture);
    void onCatalogCreated(const CatalogRunResult &result);
    void showFirstPage();
    QString pageStatusText(int page) const;
    void showSettings();
    void setThumbButtonsEnabled(bool on);
    void centre(QWidget *panel);
    void showIoPanel(Msg operation, const QString &file);
    void runPacker(std::function<int(FolderPacker &)> work, std::function<void(int)> done);
    void onIoFinished(int code);
    void reportPackCode(int code);
    void writeList(bool readBack);
    void showList();
    int selectedRow() const;
    void setBusy(bool busy);

    AppContext &ctx_;
    ActiveList &folderList_;
    ActiveList &searchList_;
    QWidget *listTab_;
    StringGrid &grid_;
    ThumbSettings settings_;
    ListTab sourceTab_ = ListTab::Folder;

    QFrame *pn_catalog_ = nullptr;
    CatalogBrowser *htmlcatalog_ = nullptr;
    PanelStatusBar *stat_catalog_ = nullptr;
    QLabel *pn_thumbsize_ = nullptr;
    QLabel *pn_thumbcols_ = nullptr;
    QFrame *pn_createcat_ = nullptr;
    QLabel *lb_operation_ = nullptr;
    QLabel *lb_dateivon_ = nullptr;
    QLabel *lb_dateiname_ = nullptr;
    QProgressBar *pb_createcat_ = nullptr;
    QFrame *pn_catopen_ = nullptr;
    QLabel *lb_iooperation_ = nullptr;
    QLabel *lb_catname_ = nullptr;
    QProgressBar *pb_catzip_ = nullptr;
    QTimer *tm_packer_ = nullptr;
    QTableWidget *sg_catalog_ = nullptr;

    std::unique_ptr<CatalogJob> job_;
    std::shared_ptr<FolderPacker> packer_;
    QFutureWatcher<int> ioWatcher_;
    std::function<void(int)> ioDone_;
    std::unique_ptr<SortExtraSource> sortSource_;

    QString title_;
    QString catalogPicture_;
    QString lastSaveDir_;
    bool catalogShown_ = false;
    bool newCatalog_ = false;
    bool saved_ = false;
    bool busy_ = false;
    bool textured_ = true;
};

} // namespace vorn
