// The main window form_main: composes the views, runs start-up (formcreate, formshow) and
// shutdown (shut_down). Each view owns its controls and handlers.
#pragma once

#include "app/app_context.h"
#include "app/prompter_dialog.h"
#include "app/string_grid.h"
#include "archives/zip_engine.h"

#include <QHash>
#include <QMainWindow>
#include <memory>

class QToolButton;
class QFrame;
class QWidget;

namespace vorn {

class CatalogView;
class CollapsibleToolBar;
class FileViewer;
class FunctionBarView;
class ListAreaView;
class MaskBarView;
class ScanPanelView;
class SlideHost;
class SlideshowView;
class SortBarView;
class PanelStatusBar;
class PictureView;
class ViewStack;

struct StartOptions {
    QString programDir;           // chosen by program_dir_for_start when empty
    Prompter *prompter = nullptr; // QMessageBox dialogs when null
    bool showSplash = true;
};

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(const StartOptions &options = {}, QWidget *parent = nullptr);
    ~MainWindow() override;

    AppContext &context() { return *ctx_; }
    const StringGrid &catalogGrid() const { return catalogGrid_; }

    // The title shown in the caption after the first show.
    static QString fullTitle();
    // The height of one row of tool buttons.
    static constexpr int kButtonRowHeight = 23;

    FunctionBarView *functionBar() const { return functionBar_; }
    ListAreaView *listArea() const { return listArea_; }
    MaskBarView *maskButtons() const { return maskBar_; }
    ScanPanelView *scanPanel() const { return scanPanel_; }
    PictureView *pictureView() const { return pictureView_; }
    SlideshowView *slideshow() const { return slideshow_; }
    SortBarView *sortView() const { return sortView_; }
    CatalogView *catalogView() const { return catalogView_; }
    ViewStack *views() const { return views_; }
    CollapsibleToolBar *maskBar() const { return tbar_mask_; }
    CollapsibleToolBar *sortBar() const { return tbar_sortmain_; }
    PanelStatusBar *sortStatus() const { return stat_sort_; }
    // A view registers itself to receive the files routed to it.
    void registerViewer(View v, FileViewer *viewer);
    // Enables or disables, as a whole, the lists and the tool bars (around long operations).
    void setListsAndBarsEnabled(bool on);
    // Enables or disables the view buttons and the mask buttons.
    void setViewAndMaskEnabled(bool on);

public slots:
    void bt_closeclick();
    void bt_languageClick();
    void bt_infoClick();
    void bt_helpclick();
    void bt_showviewClick();
    void pc_listChange(int index);
    void bt_dirhideClick();
    // Routes one file to the view of its kind.
    void show_file(const QString &path);
    void releaseViews();
    // Applies the texts of the current language to every control and message of the window.
    void apply_texts();

signals:
    // Asks the help view for a page of help_dir (F1 and the help button).
    void helpRequested(const QString &page);
    // A swatch was picked: views with their own backgrounds (HTML, ZIP preview) follow it.
    void viewingColorChanged(const QColor &color);

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void formcreate();
    void formshow();
    void shut_down();
    void buildLayout();
    void buildShortcuts();
    void enterView(int tag);
    void resetViews();
    void showListSide();
    WindowShow currentWindowShow() const;

    std::unique_ptr<DialogPrompter> ownPrompter_;
    std::unique_ptr<AppContext> ctx_;
    StartOptions options_;
    ZipEngine zip_;
    StringGrid catalogGrid_;
    bool shown_ = false;
    bool shuttingDown_ = false;

    QString lastExtension_ = QStringLiteral(".jpg");
    QHash<int, FileViewer *> viewers_;
    FunctionBarView *functionBar_ = nullptr;
    ListAreaView *listArea_ = nullptr;
    MaskBarView *maskBar_ = nullptr;
    ScanPanelView *scanPanel_ = nullptr;
    PictureView *pictureView_ = nullptr;
    SlideshowView *slideshow_ = nullptr;
    std::unique_ptr<SlideHost> slideHost_;
    SortBarView *sortView_ = nullptr;
    CatalogView *catalogView_ = nullptr;
    bool closeConfirmed_ = false;
    ViewStack *views_ = nullptr;
    CollapsibleToolBar *tbar_mask_ = nullptr;
    CollapsibleToolBar *tbar_sortmain_ = nullptr;
    PanelStatusBar *stat_sort_ = nullptr;
};

} // namespace vorn
