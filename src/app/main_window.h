// The main window form_main: composes the views, runs start-up (formcreate, formshow) and
// shutdown (shut_down). Each view owns its controls and handlers.
#pragma once

#include "app/prompter_dialog.h"
#include "archives/zip_engine.h"
#include "base/string_grid.h"
#include "base/window_state.h"
#include "files/app_context.h"
#include "widgets/theme.h"

#include <QMainWindow>
#include <memory>

class QToolButton;
class QFrame;
class QWidget;

namespace vorn
{

class CatalogView;
class CollapsibleToolBar;
class FunctionBarView;
class ListAreaView;
class MaskBarView;
class ScanPanelView;
class SlideshowView;
class SortBarView;
class PanelStatusBar;
class PictureView;
class VideoView;
class TextView;
class HtmlView;
class HelpView;
class RenameView;
class ViewHost;
class ViewRouter;
class ViewStack;
class ZipView;

struct StartOptions {
    QString programDir;           // chosen by program_dir_for_start when empty
    Prompter *prompter = nullptr; // QMessageBox dialogs when null
    bool showSplash = true;
};

class MainWindow : public QMainWindow
{
    Q_OBJECT
  public:
    explicit MainWindow(const StartOptions &options = {}, QWidget *parent = nullptr);
    ~MainWindow() override;

    AppContext &context() { return *ctx_; }
    const StringGrid &catalogGrid() const { return catalogGrid_; }

    // The title shown in the caption after the first show.
    static QString fullTitle();
    // The height of one row of tool buttons.
    static constexpr int kButtonRowHeight = vorn::kButtonRowHeight;
    // The smallest the window may be made.
    static constexpr QSize kMinimumSize{480, 360};

    FunctionBarView *functionBar() const { return functionBar_; }
    ListAreaView *listArea() const { return listArea_; }
    MaskBarView *maskButtons() const { return maskBar_; }
    ScanPanelView *scanPanel() const { return scanPanel_; }
    PictureView *pictureView() const { return pictureView_; }
    VideoView *videoView() const { return videoView_; }
    SlideshowView *slideshow() const { return slideshow_; }
    SortBarView *sortView() const { return sortView_; }
    TextView *textView() const { return textView_; }
    HtmlView *htmlView() const { return htmlView_; }
    HelpView *helpView() const { return helpView_; }
    ZipView *zipView() const { return zipView_; }
    CatalogView *catalogView() const { return catalogView_; }
    RenameView *renameView() const { return renameView_; }
    ViewStack *views() const { return views_; }
    CollapsibleToolBar *maskBar() const { return tbar_mask_; }
    CollapsibleToolBar *sortBar() const { return tbar_sortmain_; }
    PanelStatusBar *sortStatus() const { return stat_sort_; }
    // What the subsystems install their views through.
    ViewHost &host() const;
    ViewRouter &router() const { return *router_; }

  public slots:
    void bt_closeclick();
    void bt_languageClick();
    void bt_infoClick();
    void bt_helpclick();
    void bt_dirhideClick();
    // Routes one file to the view of its kind.
    void show_file(const QString &path);
    // Opens paths from the command line or a second start: a folder is listed; files open
    // their folder, selected, a single one shown in its view. Missing paths are reported.
    void openPaths(const QStringList &paths);
    void releaseViews();
    // Applies the texts of the current language to every control and message of the window.
    void applyTexts();

  protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

  private:
    class Host;

    void formcreate();
    void formshow();
    void shut_down();
    void restoreWindowState();
    void saveWindowState();
    void buildLayout();
    void buildShortcuts();
    void installParts();
    void followMode(ViewMode mode);
    void showListSide();
    // Selects these files (full paths) in the folder list.
    void selectListedFiles(const QStringList &files);
    WindowShow currentWindowShow() const;

    std::unique_ptr<DialogPrompter> ownPrompter_;
    std::unique_ptr<AppContext> ctx_;
    StartOptions options_;
    ZipEngine zip_;
    StringGrid catalogGrid_;
    WindowState savedState_;
    bool shown_ = false;
    bool shuttingDown_ = false;

    ViewRouter *router_ = nullptr;
    Host *host_ = nullptr;
    FunctionBarView *functionBar_ = nullptr;
    ListAreaView *listArea_ = nullptr;
    MaskBarView *maskBar_ = nullptr;
    ScanPanelView *scanPanel_ = nullptr;
    PictureView *pictureView_ = nullptr;
    VideoView *videoView_ = nullptr;
    SlideshowView *slideshow_ = nullptr;
    SortBarView *sortView_ = nullptr;
    TextView *textView_ = nullptr;
    HtmlView *htmlView_ = nullptr;
    HelpView *helpView_ = nullptr;
    ZipView *zipView_ = nullptr;
    CatalogView *catalogView_ = nullptr;
    RenameView *renameView_ = nullptr;
    bool closeConfirmed_ = false;
    ViewStack *views_ = nullptr;
    CollapsibleToolBar *tbar_mask_ = nullptr;
    CollapsibleToolBar *tbar_sortmain_ = nullptr;
    PanelStatusBar *stat_sort_ = nullptr;
};

} // namespace vorn
