#include "app/main_window.h"

#include "app/command_line.h"
#include "app/function_bar_view.h"
#include "app/info_dialog.h"
#include "app/language_dialog.h"
#include "app/qt_language.h"
#include "app/splash_dialog.h"
#include "app/view_router.h"
#include "app/view_stack_view.h"
#include "archives/zip_part.h"
#include "base/temp_files.h"
#include "base/text_file.h"
#include "base/window_state.h"
#include "catalog/catalog_part.h"
#include "files/file_helpers.h"
#include "files/files_part.h"
#include "files/grid_report.h"
#include "files/list_area_view.h"
#include "files/mask_bar_view.h"
#include "files/scan_panel_view.h"
#include "files/view_host.h"
#include "lang/start_texts.h"
#include "rename/rename_part.h"
#include "sorting/sort_bar_view.h"
#include "sorting/sort_part.h"
#include "viewers/documents/document_part.h"
#include "viewers/pictures/picture_part.h"
#include "viewers/video/video_part.h"
#include "viewers/video/video_view.h"
#include "widgets/collapsible_toolbar.h"
#include "widgets/panel_status_bar.h"
#include "widgets/text_applier.h"
#include "widgets/theme.h"

#include <QApplication>
#include <QButtonGroup>
#include <QClipboard>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QShortcut>
#include <QSplitter>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>

// The icons and pictures are compiled into the static ui library; register them once.
static void initResources()
{
    Q_INIT_RESOURCE(resources);
}

namespace vorn
{

namespace
{

const char *const kLongName = "Viewer, Organizer, Renamer and Navigator";

// The window's navy shows between its parts; the parts keep the desktop's colours.
class NavyBackdrop : public QWidget
{
  public:
    using QWidget::QWidget;

  protected:
    void paintEvent(QPaintEvent *) override { QPainter(this).fillRect(rect(), QColor(0, 0, 128)); }
};

} // namespace

QString MainWindow::fullTitle()
{
    return QStringLiteral("V.O.R.N. - ") + QLatin1String(kLongName) + QStringLiteral(" 2.0");
}

MainWindow::MainWindow(const StartOptions &options, QWidget *parent) : QMainWindow(parent), options_(options)
{
    initResources();
    setObjectName(QStringLiteral("form_main"));
    Prompter *prompter = options.prompter;
    if (!prompter) {
        ownPrompter_ = std::make_unique<DialogPrompter>(this);
        prompter = ownPrompter_.get();
    }
    ctx_ =
        std::make_unique<AppContext>(form_paths(program_dir_for_start(options.programDir)), *prompter, this);
    // Staging folders of a run that crashed (catalog open) are cleared before any new work.
    remove_stale_temp_files(ctx_->paths().progDir);
    follow_language_in_qt_dialogs(*ctx_, this);
    formcreate();
}

MainWindow::~MainWindow() = default;

void MainWindow::formcreate()
{
    // Hidden until shown, 800 x 600, not scaled to the font.
    hide();
    resize(800, 600);
    setMinimumSize(kMinimumSize);
    setWindowIcon(QIcon(QStringLiteral(":/icons/vorn.svg")));

    buildLayout();
    buildShortcuts();

    // The ZIP engine is linked in; binding cannot fail.
    zip_.bind();
    // German until the configuration is read; the working folders of the program folder.
    ctx_->setLanguageIndex(German);
    const Paths &p = ctx_->paths();
    create_working_folders(p);
    // The configuration (vorn.cfg) and its language.
    ctx_->config() = load_config(p.cfgFile);
    ctx_->setLanguageIndex(ctx_->config().language);
    // The catalog list: a missing vorn.pth is created as an empty file (the empty list);
    // the grid is written to it when the list first changes and at shutdown.
    catalogGrid_.setSize(2, 1);
    catalogGrid_.clearCells();
    catalogGrid_.setAllColWidths(300);
    if (!QFileInfo::exists(p.pthFile))
        write_text_lines(p.pthFile, {});
    else
        load_grid_reported(*ctx_, p.pthFile, catalogGrid_);
    // The user masks, applied and written back.
    maskBar_->loadMaskFile();
    maskBar_->bt_maskconfigokClick();
    // The textured theme.
    apply_theme(this, true);
    restoreWindowState();
}

// The place of the last run when it still lies on a screen of this desktop, else 800 x 600
// centred on the primary screen.
void MainWindow::restoreWindowState()
{
    savedState_ = load_window_state(ctx_->paths().stateFile);
    QList<QRect> screens;
    for (QScreen *s : QGuiApplication::screens())
        screens << s->availableGeometry();
    const QRect placed = fit_on_screens(savedState_.geometry, screens, kMinimumSize);
    if (placed.isValid()) {
        setGeometry(placed);
        return;
    }
    if (QScreen *s = QGuiApplication::primaryScreen())
        move(s->availableGeometry().center() - rect().center());
}

void MainWindow::saveWindowState()
{
    WindowState state;
    state.geometry = isMaximized() || isMinimized() || isFullScreen() ? normalGeometry() : geometry();
    const QString folder = listArea_->listedFolder();
    state.folder = folder.isEmpty() ? QString() : QDir::cleanPath(folder);
    // Losing the window's place is no reason to hold up the close.
    save_window_state(ctx_->paths().stateFile, state);
}

// The window's side of the install interface: its frame, its router and its lock-out.
class MainWindow::Host : public ViewHost
{
  public:
    explicit Host(MainWindow &w) : ViewHost(&w), w_(w) {}

    AppContext &context() override { return *w_.ctx_; }
    QFrame *panel(View v) override { return w_.views_->panel(v); }
    void adopt(View v, QObject *view) override
    {
        if (auto *widget = qobject_cast<QWidget *>(view))
            panel(v)->layout()->addWidget(widget);
        else
            view->setParent(w_.views_->owner(v));
    }
    void registerViewer(View v, FileViewer *viewer) override { w_.router_->registerViewer(v, viewer); }
    void addLockout(QWidget *widget) override
    {
        w_.router_->addLockout([p = QPointer<QWidget>(widget)](bool locked) {
            if (p)
                p->setEnabled(!locked);
        });
    }
    void addLockout(std::function<void(bool)> fn) override { w_.router_->addLockout(std::move(fn)); }
    ActiveList &activeList() override { return w_.listArea_->active(); }
    QString treeFolder() override { return w_.listArea_->scanRoot(); }
    QWidget *clientArea() override { return w_.centralWidget(); }
    CollapsibleToolBar &bar(FrameBar which) override
    {
        return which == FrameBar::Mask ? *w_.tbar_mask_ : *w_.tbar_sortmain_;
    }
    PanelStatusBar &statusBar() override { return *w_.stat_sort_; }
    void addLeaveCheck(std::function<bool(bool)> fn) override { w_.router_->addLeaveCheck(std::move(fn)); }
    bool mayLeave(bool closing) override { return w_.router_->mayLeave(closing); }
    void showFile(const QString &path) override { w_.router_->route(path); }
    void releaseViews() override { w_.router_->releaseViews(); }
    void setLocked(bool locked) override { w_.router_->setLocked(locked); }
    void enterMode(ViewMode mode) override { w_.router_->enterMode(mode); }
    void bringToFront(View v) override { w_.router_->bringToFront(v); }
    void setSideAndBarsVisible(bool visible) override
    {
        for (QWidget *widget :
             {static_cast<QWidget *>(w_.listArea_), static_cast<QWidget *>(w_.tbar_mask_),
              static_cast<QWidget *>(w_.tbar_sortmain_), static_cast<QWidget *>(w_.functionBar_)})
            widget->setVisible(visible);
    }
    void setCaption(const QString &caption) override { w_.setWindowTitle(caption); }

  private:
    MainWindow &w_;
};

ViewHost &MainWindow::host() const
{
    return *host_;
}

void MainWindow::buildLayout()
{
    auto *central = new NavyBackdrop(this);
    central->setObjectName(QStringLiteral("pn_client"));
    auto *outer = new QVBoxLayout(central);
    outer->setContentsMargins(2, 2, 2, 2);
    outer->setSpacing(2);

    functionBar_ = new FunctionBarView(kButtonRowHeight, central);
    outer->addWidget(functionBar_);

    auto *body = new QSplitter(Qt::Horizontal, central);
    body->setObjectName(QStringLiteral("splitmain"));
    body->setChildrenCollapsible(false);
    listArea_ = new ListAreaView(*ctx_, kButtonRowHeight, body);
    listArea_->setMinimumWidth(180);
    views_ = new ViewStack(body);
    body->addWidget(listArea_);
    body->addWidget(views_);
    body->setStretchFactor(0, 0);
    body->setStretchFactor(1, 1);
    body->setSizes({250, 550});
    outer->addWidget(body, 1);

    tbar_mask_ = MaskBarView::makeBar(central);
    maskBar_ = new MaskBarView(*ctx_, kButtonRowHeight, tbar_mask_->content());
    tbar_mask_->addContent(maskBar_);
    outer->addWidget(tbar_mask_);
    tbar_sortmain_ = SortBarView::makeBar(central);
    outer->addWidget(tbar_sortmain_);
    stat_sort_ = new PanelStatusBar(QStringLiteral("stat_sort"), {120, 160, 180, 0, 120}, central);
    outer->addWidget(stat_sort_);
    setCentralWidget(central);

    stat_sort_->setAutoFillBackground(true);

    // A wheel over the empty view scrolls the tree or list clicked last.
    views_->panel(View::Empty)->installEventFilter(this);

    // The empty view's navy.
    QPalette pal = views_->panel(View::Empty)->palette();
    pal.setColor(QPalette::Window, QColor(0, 0, 128));
    views_->panel(View::Empty)->setPalette(pal);
    views_->panel(View::Empty)->setAutoFillBackground(true);

    router_ = new ViewRouter(*ctx_, this);
    host_ = new Host(*this);
    connect(router_, &ViewRouter::frontRequested, views_, &ViewStack::bringToFront);
    connect(router_, &ViewRouter::modeEntered, this, &MainWindow::followMode);
    connect(router_, &ViewRouter::viewsReset, this, [this] {
        showListSide();
        tbar_mask_->show();
        tbar_sortmain_->show();
    });
    for (QWidget *w : {static_cast<QWidget *>(functionBar_), static_cast<QWidget *>(tbar_mask_),
                       static_cast<QWidget *>(tbar_sortmain_)})
        host_->addLockout(w);

    connect(router_, &ViewRouter::routeRefused, host_, &ViewHost::routeRefused);
    // A view button leaves the view in front: unsaved edits are asked about first, and the
    // buttons go back to the mode when the user stays.
    connect(functionBar_, &FunctionBarView::viewButtonClicked, this, [this](ViewMode mode) {
        if (!router_->mayLeave()) {
            functionBar_->showMode(ctx_->mode());
            return;
        }
        router_->enterMode(mode);
    });
    connect(functionBar_, &FunctionBarView::closeClicked, this, &MainWindow::bt_closeclick);
    connect(functionBar_, &FunctionBarView::languageClicked, this, &MainWindow::bt_languageClick);
    connect(functionBar_, &FunctionBarView::infoClicked, this, &MainWindow::bt_infoClick);
    connect(functionBar_, &FunctionBarView::helpClicked, this, &MainWindow::bt_helpclick);
    connect(functionBar_, &FunctionBarView::themeChanged, this, [this](bool textured) {
        apply_theme(this, textured);
        host_->announceTheme(textured);
    });
    connect(functionBar_, &FunctionBarView::viewingTextureChosen, this,
            [this](bool blue) { set_viewing_texture(this, blue ? Texture::Blue : Texture::White); });
    connect(functionBar_, &FunctionBarView::viewingColorChosen, this, [this](const QColor &c) {
        set_viewing_color(this, c);
        host_->announceViewingColor(c);
    });
    // Any function button brings the hidden list area back; the view buttons decide for
    // themselves.
    connect(functionBar_, &FunctionBarView::functionClicked, this, &MainWindow::showListSide);
    connect(listArea_, &ListAreaView::hideRequested, this, &MainWindow::bt_dirhideClick);

    installParts();
}

// The subsystems install their views in this order.
void MainWindow::installParts()
{
    scanPanel_ = install_files_part(*host_, *listArea_);
    const PicturePart pictures = install_picture_part(*host_);
    pictureView_ = pictures.view;
    slideshow_ = pictures.slideshow;
    videoView_ = install_video_part(*host_).view;
    // While a video plays every mask button is off; after it, all twenty-eight are on alike.
    connect(videoView_, &VideoView::lockRequested, maskBar_,
            [masks = maskBar_](bool locked) { masks->setAllButtonsEnabled(!locked); });
    const DocumentPart documents = install_document_part(*host_);
    textView_ = documents.text;
    htmlView_ = documents.html;
    helpView_ = documents.help;
    sortView_ = install_sort_part(*host_, slideshow_);
    zipView_ = install_zip_part(*host_, sortView_).view;
    catalogView_ = install_catalog_part(*host_, *listArea_, catalogGrid_, sortView_, pictureView_);
    renameView_ = install_rename_part(*host_).view;
}

void MainWindow::buildShortcuts()
{
    auto *f1 = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(f1, &QShortcut::activated, this, &MainWindow::bt_helpclick);
    // Ctrl+Alt+F12 flips the key-stepping switch; many Linux desktops take Ctrl+Alt+F-keys
    // for console switching, so Ctrl+Shift+F12 does the same.
    for (const QKeySequence &seq :
         {QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_F12), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F12)}) {
        auto *s = new QShortcut(seq, this);
        s->setContext(Qt::ApplicationShortcut);
        connect(s, &QShortcut::activated, this, [this] { ctx_->setKeyStepping(!ctx_->keyStepping()); });
    }
}

void MainWindow::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (!shown_) {
        shown_ = true;
        formshow();
    }
}

void MainWindow::formshow()
{
    // The caption. The empty view stays in front and no mode is chosen yet: the picture view
    // button is down, so pictures show, but a ZIP file goes to the text view until the picture
    // view is entered.
    setWindowTitle(fullTitle());
    // The file list shows the start folder, selected in the tree, through "*.*": the folder of
    // the last run while it is still there, else the home folder.
    const QString last = savedState_.folder;
    listArea_->showStartFolder(!last.isEmpty() && QFileInfo(last).isDir() ? last : QDir::homePath());
    // The clipboard starts empty.
    if (QClipboard *cb = QGuiApplication::clipboard())
        cb->clear();
    // The texts; a language index other than German or English becomes English.
    const int lang = ctx_->config().language;
    ctx_->setLanguageIndex(lang == German || lang == English ? lang : English);
    applyTexts();
    // The splash, modal.
    if (options_.showSplash) {
        SplashDialog splash(ctx_->texts(), this);
        splash.exec();
        QCoreApplication::processEvents();
    }
}

void MainWindow::applyTexts()
{
    apply_control_texts(this, ctx_->texts());
    listArea_->applyTexts();
    functionBar_->applyTexts();
    ctx_->retranslate();
}

void MainWindow::bt_closeclick()
{
    close();
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (!shuttingDown_) {
        if (!closeConfirmed_) {
            const Answer a = ctx_->prompter().message(ctx_->msg(Msg::CloseQuestion),
                                                      Answer::Yes | Answer::Abort, PromptIcon::Question);
            if (a == Answer::Abort) {
                event->ignore();
                return;
            }
            // Unsaved edits of either editor are asked about; Cancel keeps the window open.
            if (!router_->mayLeave(true)) {
                event->ignore();
                return;
            }
            closeConfirmed_ = true;
        }
        if (scanPanel_->isScanning()) {
            // The scan runs inside a handler below us: stop it and close once it has returned.
            scanPanel_->abortScan();
            connect(scanPanel_, &ScanPanelView::scanFinished, this, &QWidget::close, Qt::QueuedConnection);
            event->ignore();
            return;
        }
        shut_down();
    }
    event->accept();
}

WindowShow MainWindow::currentWindowShow() const
{
    if (isMinimized())
        return WindowShow::Minimized;
    if (isMaximized())
        return WindowShow::Maximized;
    return WindowShow::Normal;
}

void MainWindow::shut_down()
{
    shuttingDown_ = true;
    // A video that plays stops with the window and gives back its lock-out.
    videoView_->releaseFile();
    const Paths &p = ctx_->paths();
    // The catalog list and the configuration are written.
    save_grid(p.pthFile, catalogGrid_);
    save_config(p.cfgFile, ctx_->language(), currentWindowShow());
    saveWindowState();
    // The ZIP engine lets go.
    zip_.release();
    // zipdir and temp are emptied and removed when empty, and staging folders of runs that
    // crashed meanwhile go as well.
    remove_working_folders(p);
    remove_stale_temp_files(p.progDir);
}

void MainWindow::bt_languageClick()
{
    {
        LanguageDialog dlg(*ctx_, this);
        dlg.exec();
    }
    QCoreApplication::processEvents();
    applyTexts();
}

void MainWindow::bt_infoClick()
{
    {
        InfoDialog info(ctx_->texts(), this);
        info.exec();
    }
    activateWindow();
}

void MainWindow::bt_helpclick()
{
    host_->requestHelp(ctx_->paths().helpDir + (ctx_->language() == German ? QStringLiteral("d_main.htm")
                                                                           : QStringLiteral("e_main.htm")));
}

} // namespace vorn

namespace vorn
{

void MainWindow::showListSide()
{
    listArea_->show();
}

// The frame follows the mode: rename mode has the list side, the bars and help hidden.
void MainWindow::followMode(ViewMode mode)
{
    const bool rename = mode == ViewMode::Rename;
    functionBar_->showMode(mode);
    listArea_->setVisible(!rename);
    tbar_mask_->setVisible(!rename);
    tbar_sortmain_->setVisible(!rename);
    listArea_->updateListButtons();
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Wheel && watched == views_->panel(View::Empty)) {
        const int dy = static_cast<QWheelEvent *>(event)->angleDelta().y();
        if (dy != 0)
            listArea_->scrollWheelTarget(dy > 0 ? -1 : 1);
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::bt_dirhideClick()
{
    listArea_->hide();
}

void MainWindow::releaseViews()
{
    router_->releaseViews();
}

void MainWindow::show_file(const QString &path)
{
    router_->route(path);
}

void MainWindow::openPaths(const QStringList &paths)
{
    const PathPlan plan = plan_paths(paths);
    if (!plan.folder.isEmpty()) {
        listArea_->openFolder(plan.folder);
        // The folder is listed in the background: select once its entries are in.
        FileListModel *model = listArea_->folderList()->fileModel();
        if (model->isListing()) {
            const QString folder = model->folder();
            connect(
                model, &FileListModel::listed, this,
                [this, model, folder, files = plan.selectFiles] {
                    if (model->folder() == folder)
                        selectListedFiles(files);
                },
                Qt::SingleShotConnection);
        } else {
            selectListedFiles(plan.selectFiles);
        }
        // A single file is shown in its view, even when the mask hides it from the list.
        if (plan.selectFiles.size() == 1)
            show_file(plan.selectFiles.first());
    }
    if (!plan.missing.isEmpty()) {
        QString text = paths_not_found_text(ctx_->language());
        for (const QString &p : plan.missing)
            text += QLatin1Char('\n') + p;
        ctx_->prompter().error(text);
    }
}

void MainWindow::selectListedFiles(const QStringList &files)
{
    FileListView *list = listArea_->folderList();
    FileListModel *model = list->fileModel();
    QItemSelection selection;
    int first = -1;
    for (int row = 0; row < model->rowCount(); ++row) {
        if (!files.contains(model->entry(row).fullPath()))
            continue;
        const QModelIndex i = model->index(row, 0);
        selection.select(i, i);
        if (first < 0)
            first = row;
    }
    if (first >= 0) {
        list->selectionModel()->select(selection,
                                       QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        list->selectionModel()->setCurrentIndex(model->index(first, 0), QItemSelectionModel::Rows);
        list->scrollTo(model->index(first, 0));
    }
    listArea_->updateReadout();
    listArea_->updateListButtons();
}

} // namespace vorn
